// The inner workings of UITableViewCell: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UITableViewCell.hpp"
#include "objc/Internals.hpp"

namespace UI {

class TableViewCellInternals : public objc::Internals<TableViewCellInternals, TableViewCell> {
  public:
    OBJC_IVAR(_style, long)
    OBJC_IVAR(_reuseIdentifier, NS::String*, Owning)
    OBJC_IVAR(_contentView, View*, Owning)
    OBJC_IVAR(_textLabel, Label*, Owning)
    OBJC_IVAR(_detailTextLabel, Label*, Owning)
    OBJC_IVAR(_imageView, UI::ImageView*, Owning)
    // The accessory now among the subviews, which the next layout takes out again.
    OBJC_IVAR(_shownAccessory, View*, Owning)
    OBJC_IVAR(_accessoryType, long)
    OBJC_IVAR(_accessoryView, View*, Owning)
    OBJC_IVAR(_chevron, View*, Owning)
};

// Where the cell's title starts: after its image when it shows one. The table parts the rows of a
// section there.
double textInset(TableViewCell* cell);

// What the cell shows at its right end (its accessory view, or the chevron of its accessory type), in
// front of its other subviews; nil when it shows none.
View* shownAccessory(TableViewCell* cell);

} // namespace UI
