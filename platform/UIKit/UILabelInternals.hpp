// The inner workings of UILabel: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UILabel.hpp"
#include "objc/Internals.hpp"

namespace UI {

class LabelInternals : public objc::Internals<LabelInternals, Label> {
  public:
    OBJC_IVAR(_textAlignment, TextAlignment)
    OBJC_IVAR(_numberOfLines, long)
    OBJC_IVAR(_preferredMaxLayoutWidth, CGFloat)
    OBJC_IVAR(_text, NS::String*, Copying)
    OBJC_IVAR(_textColor, Color*, Owning)
    OBJC_IVAR(_font, Font*, Owning)
};

} // namespace UI
