// UIScrollView: a view onto content larger than itself, shown from the content offset on.
#pragma once

#include "UIKit/UIView.hpp"

namespace UI {

class GLINTMERE_EXPORT ScrollView : public NS::Referencing<ScrollView, "UIScrollView", View> {
  public:
    // The point of the content at the view's top left corner: the origin of its bounds. Subviews
    // are placed in the content's coordinates and shown moved up and left by it. Set as given,
    // not kept within the content, as on the device; (0, 0) until set.
    OBJC_MESSAGE(contentOffset, "contentOffset", CGPoint())
    OBJC_MESSAGE(setContentOffset, "setContentOffset:", void(CGPoint))
    // Moves there at once; the animation a device shows is not drawn here.
    OBJC_MESSAGE_NAMED(setContentOffset, setContentOffsetAnimated_,
                       "setContentOffset:animated:", void(CGPoint, bool))
    // How large the content is; zero until set (a table sets its own).
    OBJC_MESSAGE(contentSize, "contentSize", CGSize())
    OBJC_MESSAGE(setContentSize, "setContentSize:", void(CGSize))
};

} // namespace UI
