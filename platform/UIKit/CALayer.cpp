#include "UIKit/CALayer.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace CA {
namespace {

// The layer's own copy of its shadow colour, which shadowColor hands out.
CGColor* shadowStorage(const Layer* self) {
    Ivar v = class_getInstanceVariable(object_getClass(objc::toId(self)), "_shadowColor");
    return reinterpret_cast<CGColor*>(reinterpret_cast<char*>(objc::toId(self)) + ivar_getOffset(v));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Layer>()
        .ivar<CGColor>("_shadowColor")
        .ivar<bool>("_hasShadowColor")
        .ivar<CGSize>("_shadowOffset")
        .ivar<float>("_shadowOpacity")
        .ivar<CGFloat>("_shadowRadius")
        .method(Layer::init_,
                [](Layer* self) -> Layer* {
                    auto layer = Layer::init_.super<Layer>(self);
                    if (layer == nullptr) {
                        return nullptr;
                    }
                    *shadowStorage(layer) = CGColor{0, 0, 0, 1};
                    objc::setIvar<bool>(layer, "_hasShadowColor", true);
                    objc::setIvar(layer, "_shadowOffset", CGSize{0, -3});
                    objc::setIvar<CGFloat>(layer, "_shadowRadius", 3);
                    return layer;
                })
        .method(Layer::shadowColor_,
                [](Layer* self) -> CGColorRef {
                    return objc::ivar<bool>(self, "_hasShadowColor") ? shadowStorage(self) : nullptr;
                })
        .method(Layer::setShadowColor_,
                [](Layer* self, CGColorRef color) {
                    objc::setIvar<bool>(self, "_hasShadowColor", color != nullptr);
                    if (color != nullptr && color != shadowStorage(self)) {
                        *shadowStorage(self) = *color;
                    }
                })
        .method(Layer::shadowOffset_,
                [](Layer* self) -> CGSize { return objc::ivar<CGSize>(self, "_shadowOffset"); })
        .method(Layer::setShadowOffset_,
                [](Layer* self, CGSize offset) { objc::setIvar(self, "_shadowOffset", offset); })
        .method(Layer::shadowOpacity_,
                [](Layer* self) -> float { return objc::ivar<float>(self, "_shadowOpacity"); })
        .method(Layer::setShadowOpacity_,
                [](Layer* self, float opacity) {
                    objc::setIvar<float>(self, "_shadowOpacity",
                                         !(opacity > 0) ? 0.0F : (opacity > 1 ? 1.0F : opacity));
                })
        .method(Layer::shadowRadius_,
                [](Layer* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_shadowRadius"); })
        .method(Layer::setShadowRadius_,
                [](Layer* self, CGFloat radius) {
                    objc::setIvar<CGFloat>(self, "_shadowRadius", radius > 0 ? radius : 0);
                })
        .build();
}

} // namespace
} // namespace CA
