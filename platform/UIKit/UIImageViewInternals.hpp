// The inner workings of UIImageView: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIImageView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ImageViewInternals : public objc::Internals<ImageViewInternals, ImageView> {
  public:
    OBJC_IVAR(_image, Image*, Owning)
};

} // namespace UI
