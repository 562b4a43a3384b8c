#include "WebKit/WKActivatedElementInfo.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

using Info = ActivatedElementInfo;

Info* initWithImage(Info* self, NS::String* imagePath, UI::Image* image) {
    auto info = Info::init_.super<Info>(self);
    if (info == nullptr) {
        return nullptr;
    }
    objc::setIvar<NS::Object*>(info, "_imagePath", objc::Ptr(imagePath)->copy());
    objc::setIvar<UI::Image*>(info, "_image", objc::Ptr(image)->retain());
    objc::setIvar(info, "_type", ActivatedElementTypeImage);
    return info;
}

NS::String* imagePath(Info* self) { return objc::ivar<NS::String*>(self, "_imagePath"); }

UI::Image* image(Info* self) { return objc::ivar<UI::Image*>(self, "_image"); }

ActivatedElementType type(Info* self) { return objc::ivar<ActivatedElementType>(self, "_type"); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Info>()
        .ivar<NS::Object*>("_imagePath", objc::Ownership::Owning)
        .ivar<UI::Image*>("_image", objc::Ownership::Owning)
        .ivar<ActivatedElementType>("_type")
        .method<&initWithImage>(Info::initWithImage_)
        .method<&imagePath>(Info::imagePath_)
        .method<&image>(Info::image_)
        .method<&type>(Info::type_)
        .build();
}

} // namespace
} // namespace WK
