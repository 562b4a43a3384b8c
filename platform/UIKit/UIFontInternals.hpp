// The inner workings of UIFont: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/Text/Typesetter.hpp"
#include "UIKit/UIFont.hpp"
#include "objc/Internals.hpp"

namespace UI {

class FontInternals : public objc::Internals<FontInternals, Font> {
  public:
    OBJC_IVAR(_fontName, NS::String*, Owning)
    OBJC_IVAR(_pointSize, CGFloat)
};

// Text set in `font` (the system font at 17 points for nil), as the typesetter takes it.
GLINTMERE_EXPORT text::Style textStyleOf(const Font* font);

} // namespace UI
