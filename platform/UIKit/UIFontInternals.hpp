// What the stand-in keeps in each UIFont beside what iOS declares: its instance variables.
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
