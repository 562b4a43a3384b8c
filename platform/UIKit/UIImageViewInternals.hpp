// What the stand-in keeps in each UIImageView beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIImageView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ImageViewInternals : public objc::Internals<ImageViewInternals, ImageView> {
  public:
    OBJC_IVAR(_image, Image*, Owning)
};

} // namespace UI
