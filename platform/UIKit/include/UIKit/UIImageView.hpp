// UIImageView: a view that shows one image, scaled to its bounds.
#pragma once

#include "UIKit/UIView.hpp"

namespace UI {

class Image;

class GLINTMERE_EXPORT ImageView : public NS::Referencing<ImageView, "UIImageView", View> {
  public:
    // A view as big as the image (zero-sized for nil) at (0, 0).
    OBJC_MESSAGE(initWithImage, "initWithImage:", ImageView*(Image*))
    // nil shows nothing. A template image draws its shape in the view's tint colour.
    OBJC_MESSAGE(image, "image", Image*())
    OBJC_MESSAGE(setImage, "setImage:", void(Image*))
};

} // namespace UI
