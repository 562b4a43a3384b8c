// _WKActivatedElementInfo: what the user long-pressed in a page, handed to the sheet's actions.
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
    ActivatedElementInfo* initWithImage(NS::String* imagePath, UI::Image* image) {
        return objc::send<ActivatedElementInfo*>(this, objc::Selector<"_initWithImagePath:image:">(),
                                                 imagePath, image);
    }

    ActivatedElementType type() {
        return static_cast<ActivatedElementType>(objc::send<long>(this, objc::Selector<"type">()));
    }
    NS::String* imagePath() { return objc::send<NS::String*>(this, objc::Selector<"imagePath">()); }
    UI::Image* image() { return objc::send<UI::Image*>(this, objc::Selector<"image">()); }
};

} // namespace WK
