// What the stand-in keeps in each UIColor beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIColor.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ColorInternals : public objc::Internals<ColorInternals, Color> {
  public:
    OBJC_IVAR(_rgba, ::CGColor)
};

} // namespace UI
