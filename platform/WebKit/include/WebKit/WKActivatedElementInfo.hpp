// _WKActivatedElementInfo: what the user long-pressed in a page, handed to the sheet's actions (from
// iOS 8.0).
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
}
namespace UI {
class Image;
}

namespace WK {

enum ActivatedElementType : long {
    ActivatedElementTypeLink = 0,
    ActivatedElementTypeImage = 1,
};

class GLINTMERE_EXPORT ActivatedElementInfo
    : public NS::Referencing<ActivatedElementInfo, "_WKActivatedElementInfo"> {
  public:
    // An image element: where the picture came from and the decoded picture.
    OBJC_MESSAGE_NAMED(initWithImage, initWithImage_,
                       "_initWithImagePath:image:", ActivatedElementInfo*(NS::String*, UI::Image*))

    OBJC_MESSAGE(type, "type", ActivatedElementType())
    OBJC_MESSAGE(imagePath, "imagePath", NS::String*())
    OBJC_MESSAGE(image, "image", UI::Image*())
};

} // namespace WK
