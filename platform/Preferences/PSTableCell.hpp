// PSTableCell: the Settings host's cell for one specifier row; custom cells derive from it.
#pragma once

#include "UIKit/UITableViewCell.hpp"

namespace NS {
class String;
} // namespace NS

namespace PS {

class Specifier;

class GLINTMERE_EXPORT TableCell : public NS::Referencing<TableCell, "PSTableCell", UI::TableViewCell> {
  public:
    // The cell type named by a specifier file's `cell` entry (e.g. "PSSwitchCell"); -1 when unknown.
    static long cellTypeFromString(NS::String* name) {
        return objc::send<long>(runtimeClass(), objc::Selector<"cellTypeFromString:">(), name);
    }

    // The host makes every row's cell this way, for its own cells and for a specifier's `cellClass`.
    TableCell* initWithStyle(long style, NS::String* reuseIdentifier, Specifier* specifier) {
        return objc::send<TableCell*>(this, objc::Selector<"initWithStyle:reuseIdentifier:specifier:">(),
                                      style, reuseIdentifier, specifier);
    }

    // The label showing the row title.
    UI::Label* titleLabel() { return objc::send<UI::Label*>(this, objc::Selector<"titleLabel">()); }
    Specifier* specifier() { return objc::send<Specifier*>(this, objc::Selector<"specifier">()); }
    long type() { return objc::send<long>(this, objc::Selector<"type">()); }
    // The control's value, as the pane's getter gave it; nil for rows without one.
    NS::Object* value() { return objc::send<NS::Object*>(this, objc::Selector<"value">()); }
    void setValue(NS::Object* value) { objc::send<void>(this, objc::Selector<"setValue:">(), value); }
};

} // namespace PS
