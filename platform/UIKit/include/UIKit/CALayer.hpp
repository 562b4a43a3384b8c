// CALayer: what draws a view, here the part of it that casts the view's shadow.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/UIColor.hpp"

namespace CA {

class GLINTMERE_EXPORT Layer : public NS::Referencing<Layer, "CALayer"> {
  public:
    // Opaque black until set. The layer keeps a copy of the colour given; nil takes the shadow's
    // colour away (a shadow without a colour is not drawn).
    OBJC_MESSAGE(shadowColor, "shadowColor", CGColorRef())
    OBJC_MESSAGE(setShadowColor, "setShadowColor:", void(CGColorRef))
    // (0, -3) until set: y grows downwards, so the default shadow falls upwards, as on the device.
    OBJC_MESSAGE(shadowOffset, "shadowOffset", CGSize())
    OBJC_MESSAGE(setShadowOffset, "setShadowOffset:", void(CGSize))
    // 0 (no shadow) until set; clamped to [0, 1].
    OBJC_MESSAGE(shadowOpacity, "shadowOpacity", float())
    OBJC_MESSAGE(setShadowOpacity, "setShadowOpacity:", void(float))
    // The blur radius in points, 3 until set; negative values count as 0.
    OBJC_MESSAGE(shadowRadius, "shadowRadius", CGFloat())
    OBJC_MESSAGE(setShadowRadius, "setShadowRadius:", void(CGFloat))
};

} // namespace CA
