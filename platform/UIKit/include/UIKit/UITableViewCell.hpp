// UITableViewCell: one row of a table, with a title label and, in most styles, a detail label.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class ImageView;
class Label;

enum TableViewCellStyle : long {
    TableViewCellStyleDefault = 0,
    TableViewCellStyleValue1 = 1,
    TableViewCellStyleValue2 = 2,
    TableViewCellStyleSubtitle = 3,
};

enum UITableViewCellAccessoryType : long {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};

class GLINTMERE_EXPORT TableViewCell : public NS::Referencing<TableViewCell, "UITableViewCell", View> {
  public:
    OBJC_MESSAGE_NAMED(initWithStyle, initWithStyleReuseIdentifier_,
                       "initWithStyle:reuseIdentifier:", TableViewCell*(long, NS::String*))

    OBJC_MESSAGE(style, "style", long())
    // Names the kind of cell a table keeps for reuse once it leaves view; nil, it is let go.
    OBJC_MESSAGE(reuseIdentifier, "reuseIdentifier", NS::String*())
    // Sent by the table to a cell it hands back for reuse, where the cell's class answers it: what a
    // cell's class puts back of the row it showed before.
    OBJC_MESSAGE(prepareForReuse, "prepareForReuse", void())
    // The view that holds the cell's content; custom cells add their subviews here.
    OBJC_MESSAGE(contentView, "contentView", View*())
    OBJC_MESSAGE(textLabel, "textLabel", Label*())
    // Nil in the default style, which has no place for a detail text.
    OBJC_MESSAGE(detailTextLabel, "detailTextLabel", Label*())
    // The picture at the row's left end, such as an icon; made on first use. While it shows an
    // image, the title starts after it.
    OBJC_MESSAGE(imageView, "imageView", ImageView*())

    // What the cell shows at its right end: a view of its own (a switch, say), else the mark of
    // its accessory type (the disclosure chevron).
    OBJC_MESSAGE(accessoryType, "accessoryType", long())
    OBJC_MESSAGE(setAccessoryType, "setAccessoryType:", void(long))
    OBJC_MESSAGE(accessoryView, "accessoryView", View*())
    OBJC_MESSAGE(setAccessoryView, "setAccessoryView:", void(View*))
};

} // namespace UI
