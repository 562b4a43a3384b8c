#include "UIKit/UIColor.hpp"
#include "UIKit/UIColorInternals.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cmath>

namespace UI {
namespace {

CGFloat component(CGFloat value) {
    if (!(value > 0)) {
        return 0; // negative, zero and not a number
    }
    return value > 1 ? 1 : value;
}

// The components live in the colour itself, so that its CGColor needs no allocation of its own.
CGColor* storage(const Color* self) { return &objc::storage(self, ColorInternals::_rgba); }

objc::Ptr<Color> make(Class cls, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    return Color::alloc_.send(cls)->initWithRed(r, g, b, a)->autorelease();
}

Color* init(Color* self) { return self->initWithRed(0, 0, 0, 1); }

Color* initWithRedGreenBlueAlpha(Color* self, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    auto color = Color::init_.super<Color>(self);
    if (color == nullptr) {
        return nullptr;
    }
    *storage(color) = CGColor{component(r), component(g), component(b), component(a)};
    return color;
}

Color* colorWithRedGreenBlueAlpha(Class cls, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    return make(cls, r, g, b, a);
}

Color* colorWithWhiteAlpha(Class cls, CGFloat white, CGFloat a) { return make(cls, white, white, white, a); }

// The grey levels and hues UIKit names.
Color* whiteColor(Class cls) { return make(cls, 1, 1, 1, 1); }

Color* blackColor(Class cls) { return make(cls, 0, 0, 0, 1); }

Color* grayColor(Class cls) { return make(cls, 0.5, 0.5, 0.5, 1); }

Color* lightGrayColor(Class cls) { return make(cls, 2 / 3.0, 2 / 3.0, 2 / 3.0, 1); }

Color* darkGrayColor(Class cls) { return make(cls, 1 / 3.0, 1 / 3.0, 1 / 3.0, 1); }

Color* redColor(Class cls) { return make(cls, 1, 0, 0, 1); }

Color* greenColor(Class cls) { return make(cls, 0, 1, 0, 1); }

Color* blueColor(Class cls) { return make(cls, 0, 0, 1, 1); }

Color* clearColor(Class cls) { return make(cls, 0, 0, 0, 0); }

Color* colorWithAlphaComponent(Color* self, CGFloat alpha) {
    const CGColor c = *rgbaOf(self);
    return make(object_getClass(objc::toId(self)), c.red, c.green, c.blue, alpha);
}

CGColorRef cgColor(Color* self) { return storage(self); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Color>()
        .ivar(ColorInternals::_rgba)
        .method<&init>(Color::init_)
        .method<&initWithRedGreenBlueAlpha>(Color::initWithRedGreenBlueAlpha_)
        .method<&colorWithRedGreenBlueAlpha>(Color::colorWithRedGreenBlueAlpha_)
        .method<&colorWithWhiteAlpha>(Color::colorWithWhiteAlpha_)
        .method<&whiteColor>(Color::whiteColor_)
        .method<&blackColor>(Color::blackColor_)
        .method<&grayColor>(Color::grayColor_)
        .method<&lightGrayColor>(Color::lightGrayColor_)
        .method<&darkGrayColor>(Color::darkGrayColor_)
        .method<&redColor>(Color::redColor_)
        .method<&greenColor>(Color::greenColor_)
        .method<&blueColor>(Color::blueColor_)
        .method<&clearColor>(Color::clearColor_)
        .method<&colorWithAlphaComponent>(Color::colorWithAlphaComponent_)
        .method<&cgColor>(Color::CGColor_)
        .build();
}

} // namespace

std::optional<CGColor> rgbaOf(const Color* color) {
    // Colours travel as `id` in many places: anything that is not one has no components.
    if (!NS::Object::isKindOfClass_.send(objc::toId(color), Color::runtimeClass())) {
        return std::nullopt;
    }
    return *storage(color);
}

CGColor defaultTintColor() { return CGColor{0, 122 / 255.0, 1, 1}; }

} // namespace UI
