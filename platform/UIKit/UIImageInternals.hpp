// What the stand-in keeps in each UIImage beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIImage.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ImageInternals : public objc::Internals<ImageInternals, Image> {
  public:
    OBJC_IVAR(_surface, void*)
    OBJC_IVAR(_png, void*)
    OBJC_IVAR(_renderingMode, ImageRenderingMode)
    OBJC_IVAR(_fileName, NS::String*, Owning)
    OBJC_IVAR(_scale, CGFloat)
};

} // namespace UI
