// UIScreen: the device's display, sized by the device's model facts.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace UI {

class GLINTMERE_EXPORT Screen : public NS::Referencing<Screen, "UIScreen"> {
  public:
    OBJC_CLASS_MESSAGE(mainScreen, "mainScreen", Screen*())
    // In points, portrait, origin at zero.
    OBJC_MESSAGE(bounds, "bounds", CGRect())
    // Pixels per point.
    OBJC_MESSAGE(scale, "scale", CGFloat())
};

} // namespace UI
