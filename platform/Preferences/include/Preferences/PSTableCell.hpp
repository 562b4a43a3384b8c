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
    OBJC_CLASS_MESSAGE(cellTypeFromString, "cellTypeFromString:", long(NS::String*))
    // The name a specifier file gives the cell type; nil for a type it cannot name.
    OBJC_CLASS_MESSAGE(stringFromCellType, "stringFromCellType:", NS::String*(long))

    // The host makes every row's cell this way, for its own cells and for a specifier's `cellClass`.
    // The cell shows the specifier's name as its title and its `iconImage` property (a UIImage), if
    // any, as its image.
    OBJC_MESSAGE_NAMED(initWithStyle, initWithStyleReuseIdentifierSpecifier_,
                       "initWithStyle:reuseIdentifier:specifier:", TableCell*(long, NS::String*, Specifier*))

    // Shows another row in the cell, as its initialiser shows the first: the host sends it to a cell
    // of its own that the table gives back for reuse. A custom cell that shows its row otherwise is
    // reused only when its class has its own version of this.
    OBJC_MESSAGE(refreshCellContentsWithSpecifier, "refreshCellContentsWithSpecifier:", void(Specifier*))

    // The label showing the row title.
    OBJC_MESSAGE(titleLabel, "titleLabel", UI::Label*())
    OBJC_MESSAGE(specifier, "specifier", Specifier*())
    OBJC_MESSAGE(setSpecifier, "setSpecifier:", void(Specifier*))
    OBJC_MESSAGE(type, "type", long())
    // The control's value, as the pane's getter gave it; nil for rows without one.
    OBJC_MESSAGE(value, "value", NS::Object*())
    OBJC_MESSAGE(setValue, "setValue:", void(NS::Object*))
};

} // namespace PS
