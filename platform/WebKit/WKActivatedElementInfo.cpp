#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
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
    objc::setIvar(info, WK::ActivatedElementInfoInternals::_imagePath,
                  objc::Ptr(imagePath)->copy().as<NS::String>());
    objc::storeOwned(info, WK::ActivatedElementInfoInternals::_image, image);
    objc::setIvar(info, WK::ActivatedElementInfoInternals::_type, ActivatedElementTypeImage);
    return info;
}

NS::String* imagePath(Info* self) { return objc::ivar(self, WK::ActivatedElementInfoInternals::_imagePath); }

UI::Image* image(Info* self) { return objc::ivar(self, WK::ActivatedElementInfoInternals::_image); }

ActivatedElementType type(Info* self) { return objc::ivar(self, WK::ActivatedElementInfoInternals::_type); }

GLINTMERE_REGISTER_CLASSES {
    if (!CF::systemIsAtLeast(CF::release::iOS8_0)) {
        return;
    }
    objc::ClassDefinition<Info>()
        .ivar(ActivatedElementInfoInternals::_imagePath)
        .ivar(ActivatedElementInfoInternals::_image)
        .ivar(ActivatedElementInfoInternals::_type)
        .method<&initWithImage>(WK::ActivatedElementInfoInternals::initWithImage_)
        .method<&imagePath>(WK::ActivatedElementInfoInternals::imagePath_)
        .method<&image>(WK::ActivatedElementInfoInternals::image_)
        .method<&type>(Info::type_)
        .build();
}

} // namespace
} // namespace WK
