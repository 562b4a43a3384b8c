// What the stand-in keeps in each UIScrollView beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIScrollView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ScrollViewInternals : public objc::Internals<ScrollViewInternals, ScrollView> {
  public:
    OBJC_IVAR(_contentOffset, CGPoint)
    OBJC_IVAR(_contentSize, CGSize)
};

} // namespace UI
