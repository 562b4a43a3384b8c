// The inner workings of UISwitch: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UISwitch.hpp"
#include "objc/Internals.hpp"

namespace UI {

class SwitchInternals : public objc::Internals<SwitchInternals, Switch> {
  public:
    OBJC_IVAR(_on, bool)
    OBJC_IVAR(_onTintColor, Color*, Owning)
};

inline constexpr CGSize kSwitchSize = {51, 31};

} // namespace UI
