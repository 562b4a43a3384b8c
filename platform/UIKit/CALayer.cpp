#include "UIKit/CALayer.hpp"
#include "UIKit/CALayerInternals.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace CA {
namespace {

// The layer's own copy of its shadow colour, which shadowColor hands out.
CGColor* shadowStorage(const Layer* self) { return &objc::storage(self, LayerInternals::_shadowColor); }

Layer* init(Layer* self) {
    auto layer = Layer::init_.super<Layer>(self);
    if (layer == nullptr) {
        return nullptr;
    }
    *shadowStorage(layer) = CGColor{0, 0, 0, 1};
    objc::setIvar(layer, CA::LayerInternals::_hasShadowColor, true);
    objc::setIvar(layer, CA::LayerInternals::_shadowOffset, CGSize{0, -3});
    objc::setIvar(layer, CA::LayerInternals::_shadowRadius, 3);
    return layer;
}

CGColorRef shadowColor(Layer* self) {
    return objc::ivar(self, CA::LayerInternals::_hasShadowColor) ? shadowStorage(self) : nullptr;
}

void setShadowColor(Layer* self, CGColorRef color) {
    objc::setIvar(self, CA::LayerInternals::_hasShadowColor, color != nullptr);
    if (color != nullptr && color != shadowStorage(self)) {
        *shadowStorage(self) = *color;
    }
}

CGSize shadowOffset(Layer* self) { return objc::ivar(self, CA::LayerInternals::_shadowOffset); }

void setShadowOffset(Layer* self, CGSize offset) {
    objc::setIvar(self, CA::LayerInternals::_shadowOffset, offset);
}

float shadowOpacity(Layer* self) { return objc::ivar(self, CA::LayerInternals::_shadowOpacity); }

void setShadowOpacity(Layer* self, float opacity) {
    objc::setIvar(self, CA::LayerInternals::_shadowOpacity,
                  !(opacity > 0) ? 0.0F : (opacity > 1 ? 1.0F : opacity));
}

CGFloat shadowRadius(Layer* self) { return objc::ivar(self, CA::LayerInternals::_shadowRadius); }

void setShadowRadius(Layer* self, CGFloat radius) {
    objc::setIvar(self, CA::LayerInternals::_shadowRadius, radius > 0 ? radius : 0);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Layer>()
        .ivar(LayerInternals::_shadowColor)
        .ivar(LayerInternals::_hasShadowColor)
        .ivar(LayerInternals::_shadowOffset)
        .ivar(LayerInternals::_shadowOpacity)
        .ivar(LayerInternals::_shadowRadius)
        .method<&init>(Layer::init_)
        .method<&shadowColor>(Layer::shadowColor_)
        .method<&setShadowColor>(Layer::setShadowColor_)
        .method<&shadowOffset>(Layer::shadowOffset_)
        .method<&setShadowOffset>(Layer::setShadowOffset_)
        .method<&shadowOpacity>(Layer::shadowOpacity_)
        .method<&setShadowOpacity>(Layer::setShadowOpacity_)
        .method<&shadowRadius>(Layer::shadowRadius_)
        .method<&setShadowRadius>(Layer::setShadowRadius_)
        .build();
}

} // namespace
} // namespace CA
