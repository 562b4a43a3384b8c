// The inner workings of UIColor: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIColor.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ColorInternals : public objc::Internals<ColorInternals, Color> {
  public:
    OBJC_IVAR(_rgba, ::CGColor)
};

// The components of `color`; nullopt for nil.
GLINTMERE_EXPORT std::optional<CGColor> rgbaOf(const Color* color);

// The colour UIKit tints controls with when no view above sets one (iOS's system blue).
GLINTMERE_EXPORT CGColor defaultTintColor();

} // namespace UI
