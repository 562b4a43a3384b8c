// The inner workings of _WKActivatedElementInfo: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "WebKit/WKActivatedElementInfo.hpp"
#include "objc/Internals.hpp"

namespace WK {

class ActivatedElementInfoInternals
    : public objc::Internals<ActivatedElementInfoInternals, ActivatedElementInfo> {
  public:
    OBJC_IVAR(_type, ActivatedElementType)
    OBJC_IVAR(_image, UI::Image*, Owning)
    OBJC_IVAR(_imagePath, NS::String*, Owning)

    // An image element: where the picture came from and the decoded picture.
    OBJC_MESSAGE_NAMED(initWithImage, initWithImage_,
                       "_initWithImagePath:image:", ActivatedElementInfo*(NS::String*, UI::Image*))
    OBJC_MESSAGE(imagePath, "imagePath", NS::String*())
    OBJC_MESSAGE(image, "image", UI::Image*())
};

} // namespace WK
