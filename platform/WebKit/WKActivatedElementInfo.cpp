#include "WebKit/WKActivatedElementInfo.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

GLINTMERE_REGISTER_CLASSES {
    using Info = ActivatedElementInfo;
    objc::ClassDefinition<Info>()
        .ivar<NS::Object*>("_imagePath", objc::Ownership::Owning)
        .ivar<UI::Image*>("_image", objc::Ownership::Owning)
        .ivar<ActivatedElementType>("_type")
        .method(Info::initWithImage_,
                [](Info* self, NS::String* imagePath, UI::Image* image) -> Info* {
                    auto info = Info::init_.super<Info>(self);
                    if (info == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar<NS::Object*>(info, "_imagePath", objc::Ptr(imagePath)->copy());
                    objc::setIvar<UI::Image*>(info, "_image", objc::Ptr(image)->retain());
                    objc::setIvar(info, "_type", ActivatedElementTypeImage);
                    return info;
                })
        .method(Info::imagePath_,
                [](Info* self) -> NS::String* { return objc::ivar<NS::String*>(self, "_imagePath"); })
        .method(Info::image_, [](Info* self) -> UI::Image* { return objc::ivar<UI::Image*>(self, "_image"); })
        .method(Info::type_,
                [](Info* self) -> ActivatedElementType {
                    return objc::ivar<ActivatedElementType>(self, "_type");
                })
        .build();
}

} // namespace
} // namespace WK
