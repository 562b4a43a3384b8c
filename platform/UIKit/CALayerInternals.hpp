// The inner workings of CALayer: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/CALayer.hpp"
#include "objc/Internals.hpp"

namespace CA {

class LayerInternals : public objc::Internals<LayerInternals, Layer> {
  public:
    OBJC_IVAR(_shadowColor, CGColor)
    OBJC_IVAR(_hasShadowColor, bool)
    OBJC_IVAR(_shadowOffset, CGSize)
    OBJC_IVAR(_shadowOpacity, float)
    OBJC_IVAR(_shadowRadius, CGFloat)
};

} // namespace CA
