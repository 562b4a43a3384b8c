// What the stand-in keeps in each UITableViewCell beside what iOS declares: its instance variables.
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

} // namespace UI
