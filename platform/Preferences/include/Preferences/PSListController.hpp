// PSListController: a pane of the Settings app, a view controller showing rows made from specifiers.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
class Bundle;
class String;
class IndexPath;
class MutableDictionary;
} // namespace NS

namespace UI {
class TableView;
class TableViewCell;
class View;
} // namespace UI

namespace PS {

class Specifier;

class GLINTMERE_EXPORT ListController
    : public NS::Referencing<ListController, "PSListController", UI::ViewController> {
  public:
    // The pane's rows, owned; panes fill it straight from `specifiers`.
    OBJC_IVAR(_specifiers, NS::Array*, Owning)

    // The pane's rows. The host's own version returns the field `_specifiers` (nil until a pane
    // fills it); panes override it to fill the field on first use.
    OBJC_MESSAGE(specifiers, "specifiers", NS::Array*())
    // Replaces the rows (the field takes its own ownership).
    OBJC_MESSAGE(setSpecifiers, "setSpecifiers:", void(NS::Array*))
    // The rows of "<name>.plist" in the pane's bundle, autoreleased, with `target` as every row's
    // target; nil when the file is missing or holds no `items` array.
    OBJC_MESSAGE_NAMED(loadSpecifiersFromPlistName, loadSpecifiersFromPlistNameTarget_,
                       "loadSpecifiersFromPlistName:target:", NS::Array*(NS::String*, id))

    // The bundle the pane came from; a pane opened from a link row gets its parent's.
    OBJC_MESSAGE(bundle, "bundle", NS::Bundle*())
    OBJC_MESSAGE(setBundle, "setBundle:", void(NS::Bundle*))
    // The row that opened the pane; setting it titles the pane after the row.
    OBJC_MESSAGE(specifier, "specifier", Specifier*())
    OBJC_MESSAGE(setSpecifier, "setSpecifier:", void(Specifier*))
    OBJC_MESSAGE(parentController, "parentController", ListController*())
    OBJC_MESSAGE(setParentController, "setParentController:", void(ListController*))

    // The host's own value storage: the defaults domain named by the specifier's `defaults`
    // property, or the pane's memory when it names none. Panes override both.
    OBJC_MESSAGE(readPreferenceValue, "readPreferenceValue:", NS::Object*(Specifier*))
    OBJC_MESSAGE_NAMED(setPreferenceValue, setPreferenceValueSpecifier_,
                       "setPreferenceValue:specifier:", void(NS::Object*, Specifier*))

    // The pane's table: its view, made by loadView.
    OBJC_MESSAGE(table, "table", UI::TableView*())
    // Shows `controller` on top of this pane in the navigation controller.
    OBJC_MESSAGE(pushController, "pushController:", void(UI::ViewController*))

    // The table callbacks. Sections start at each group row; rows before the first group make a
    // section without a header.
    OBJC_MESSAGE_NAMED(numberOfSections, numberOfSectionsInTableView_,
                       "numberOfSectionsInTableView:", long(UI::TableView*))
    OBJC_MESSAGE_NAMED(numberOfRows, tableViewNumberOfRowsInSection_,
                       "tableView:numberOfRowsInSection:", long(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(cellForRow, tableViewCellForRowAtIndexPath_,
                       "tableView:cellForRowAtIndexPath:", UI::TableViewCell*(UI::TableView*, NS::IndexPath*))
    OBJC_MESSAGE_NAMED(titleForHeader, tableViewTitleForHeaderInSection_,
                       "tableView:titleForHeaderInSection:", NS::String*(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(titleForFooter, tableViewTitleForFooterInSection_,
                       "tableView:titleForFooterInSection:", NS::String*(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(viewForHeader, tableViewViewForHeaderInSection_,
                       "tableView:viewForHeaderInSection:", UI::View*(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(viewForFooter, tableViewViewForFooterInSection_,
                       "tableView:viewForFooterInSection:", UI::View*(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(heightForHeader, tableViewHeightForHeaderInSection_,
                       "tableView:heightForHeaderInSection:", double(UI::TableView*, long))
    OBJC_MESSAGE_NAMED(heightForFooter, tableViewHeightForFooterInSection_,
                       "tableView:heightForFooterInSection:", double(UI::TableView*, long))
    // A row's height: the positive number its specifier gives as "height", else the table's own
    // (TableViewAutomaticDimension).
    OBJC_MESSAGE_NAMED(heightForRow, tableViewHeightForRowAtIndexPath_,
                       "tableView:heightForRowAtIndexPath:", double(UI::TableView*, NS::IndexPath*))
    // A tap on the row: a button row sends its action to its target, a link row opens its pane.
    OBJC_MESSAGE_NAMED(didSelectRow, tableViewDidSelectRowAtIndexPath_,
                       "tableView:didSelectRowAtIndexPath:", void(UI::TableView*, NS::IndexPath*))
    // The row's specifier at an index path of the table; nullptr when there is none.
    OBJC_MESSAGE(specifierAtIndexPath, "specifierAtIndexPath:", Specifier*(NS::IndexPath*))
};

} // namespace PS
