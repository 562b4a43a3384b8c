// The inner workings of UIScrollView: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIScrollView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ScrollViewInternals : public objc::Internals<ScrollViewInternals, ScrollView> {
  public:
    OBJC_IVAR(_contentOffset, CGPoint)
    OBJC_IVAR(_contentSize, CGSize)
};

// The offsets a person can scroll a scroll view to, from its top to where its content's bottom
// meets its own: the top offset is 0, the bottom one 0 too when the content fits.
GLINTMERE_EXPORT double bottomOffset(ScrollView* view);

} // namespace UI
