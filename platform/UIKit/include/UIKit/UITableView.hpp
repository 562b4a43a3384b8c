// UITableView: a scrolling view of rows in sections, filled by its data source and shaped by its
// delegate.
#pragma once

#include "UIKit/UIScrollView.hpp"

namespace NS {
class String;
class IndexPath;
} // namespace NS

namespace UI {

class TableViewCell;

// The height that lets the table choose for itself.
inline constexpr CGFloat TableViewAutomaticDimension = -1.0;

enum UITableViewStyle : long {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

// A section's header or footer as the table makes it: its title in a label.
class GLINTMERE_EXPORT TableViewHeaderFooterView
    : public NS::Referencing<TableViewHeaderFooterView, "UITableViewHeaderFooterView", View> {};

class GLINTMERE_EXPORT TableView : public NS::Referencing<TableView, "UITableView", ScrollView> {
  public:
    OBJC_MESSAGE_NAMED(initWithFrameStyle, initWithFrameStyle_,
                       "initWithFrame:style:", TableView*(CGRect, long))
    OBJC_MESSAGE(style, "style", long())

    // Not owned: a table's owner is normally its data source and delegate. Setting either has the
    // table ask again when it is next laid out.
    OBJC_MESSAGE(dataSource, "dataSource", id())
    OBJC_MESSAGE(setDataSource, "setDataSource:", void(id))
    OBJC_MESSAGE(delegate, "delegate", id())
    OBJC_MESSAGE(setDelegate, "setDelegate:", void(id))

    // Asks the data source and the delegate again and lays the sections out, top to bottom, as the
    // content: each header (the delegate's view at the delegate's height, else the title), the rows'
    // cells, each footer. Heights are asked of every section and row (a header or footer view
    // without a height is asked for to be measured, then let go); the content size follows. Views
    // and cells are made only for what lies in the bounds at the content offset; the cells shown
    // until then wait for reuse.
    OBJC_MESSAGE(reloadData, "reloadData", void())
    // The cell shown at `indexPath`; nil when that row is not on screen. Asked right after the
    // table scrolled, it answers for where the table is now, making what came into view.
    OBJC_MESSAGE(cellForRowAtIndexPath, "cellForRowAtIndexPath:", TableViewCell*(NS::IndexPath*))
    // A cell with this reuse identifier that has left the bounds, for the data source to show
    // another row in (sent prepareForReuse first, where the cell answers it); nil when none waits.
    // Only a few wait: a cell the data source does not take back is soon let go.
    OBJC_MESSAGE(dequeueReusableCellWithIdentifier,
                 "dequeueReusableCellWithIdentifier:", TableViewCell*(NS::String*))

    // The sections and rows as the table last asked for them (asked now when it has not yet).
    OBJC_MESSAGE(numberOfSections, "numberOfSections", long())
    OBJC_MESSAGE(numberOfRowsInSection, "numberOfRowsInSection:", long(long))
    // Where the row lies in the content; CGRectZero for a row the table does not have.
    OBJC_MESSAGE(rectForRowAtIndexPath, "rectForRowAtIndexPath:", CGRect(NS::IndexPath*))
};

// The table's messages to its data source and delegate, sent only where they are answered.
class TableViewDataSource : public NS::Object {
  public:
    OBJC_MESSAGE_NAMED(numberOfSectionsInTableView, numberOfSections_,
                       "numberOfSectionsInTableView:", long(TableView*))
    OBJC_MESSAGE_NAMED(tableViewNumberOfRowsInSection, numberOfRows_,
                       "tableView:numberOfRowsInSection:", long(TableView*, long))
    OBJC_MESSAGE_NAMED(tableViewCellForRowAtIndexPath, cellForRow_,
                       "tableView:cellForRowAtIndexPath:", TableViewCell*(TableView*, NS::IndexPath*))
    OBJC_MESSAGE_NAMED(tableViewTitleForHeaderInSection, titleForHeader_,
                       "tableView:titleForHeaderInSection:", NS::String*(TableView*, long))
    OBJC_MESSAGE_NAMED(tableViewTitleForFooterInSection, titleForFooter_,
                       "tableView:titleForFooterInSection:", NS::String*(TableView*, long))
};
class TableViewDelegate : public NS::Object {
  public:
    OBJC_MESSAGE_NAMED(tableViewHeightForHeaderInSection, heightForHeader_,
                       "tableView:heightForHeaderInSection:", CGFloat(TableView*, long))
    OBJC_MESSAGE_NAMED(tableViewHeightForFooterInSection, heightForFooter_,
                       "tableView:heightForFooterInSection:", CGFloat(TableView*, long))
    OBJC_MESSAGE_NAMED(tableViewHeightForRowAtIndexPath, heightForRow_,
                       "tableView:heightForRowAtIndexPath:", CGFloat(TableView*, NS::IndexPath*))
    OBJC_MESSAGE_NAMED(tableViewViewForHeaderInSection, viewForHeader_,
                       "tableView:viewForHeaderInSection:", View*(TableView*, long))
    OBJC_MESSAGE_NAMED(tableViewViewForFooterInSection, viewForFooter_,
                       "tableView:viewForFooterInSection:", View*(TableView*, long))
};

} // namespace UI
