// UITableViewCell: one row of a table, with a title label and, in most styles, a detail label.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class Label;

enum TableViewCellStyle : long {
    TableViewCellStyleDefault = 0,
    TableViewCellStyleValue1 = 1,
    TableViewCellStyleValue2 = 2,
    TableViewCellStyleSubtitle = 3,
};

class GLINTMERE_EXPORT TableViewCell : public NS::Referencing<TableViewCell, "UITableViewCell", View> {
  public:
    TableViewCell* initWithStyle(long style, NS::String* reuseIdentifier) {
        return objc::send<TableViewCell*>(this, objc::Selector<"initWithStyle:reuseIdentifier:">(), style,
                                          reuseIdentifier);
    }

    long style() { return objc::send<long>(this, objc::Selector<"style">()); }
    NS::String* reuseIdentifier() {
        return objc::send<NS::String*>(this, objc::Selector<"reuseIdentifier">());
    }
    // The view that holds the cell's content; custom cells add their subviews here.
    View* contentView() { return objc::send<View*>(this, objc::Selector<"contentView">()); }
    Label* textLabel() { return objc::send<Label*>(this, objc::Selector<"textLabel">()); }
    // Nil in the default style, which has no place for a detail text.
    Label* detailTextLabel() { return objc::send<Label*>(this, objc::Selector<"detailTextLabel">()); }
};

} // namespace UI
