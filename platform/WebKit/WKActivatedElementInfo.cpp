#include "WebKit/WKActivatedElementInfo.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

using objc::operator""_sel;

id initWithImage(id self, SEL, id imagePath, id image) {
    self = objc::sendSuper<id>(objc_lookUpClass("_WKActivatedElementInfo"), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    objc::setIvar<id>(self, "_imagePath", objc::send<id>(imagePath, "copy"_sel));
    objc::setIvar<id>(self, "_image", objc::send<id>(image, "retain"_sel));
    objc::setIvar<long>(self, "_type", static_cast<long>(ActivatedElementTypeImage));
    return self;
}

id imagePath(id self, SEL) { return objc::ivar<id>(self, "_imagePath"); }
id image(id self, SEL) { return objc::ivar<id>(self, "_image"); }
long type(id self, SEL) { return objc::ivar<long>(self, "_type"); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("_WKActivatedElementInfo", "NSObject")
        .ivar<id>("_imagePath", objc::Ownership::Owning)
        .ivar<id>("_image", objc::Ownership::Owning)
        .ivar<long>("_type")
        .method<&initWithImage>("_initWithImagePath:image:")
        .method<&imagePath>("imagePath")
        .method<&image>("image")
        .method<&type>("type")
        .build();
}

} // namespace
} // namespace WK
