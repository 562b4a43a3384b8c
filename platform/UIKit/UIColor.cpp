#include "UIKit/UIColor.hpp"

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
CGColor* storage(const Color* self) {
    Ivar v = class_getInstanceVariable(object_getClass(objc::toId(self)), "_rgba");
    if (v == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<CGColor*>(reinterpret_cast<char*>(objc::toId(self)) + ivar_getOffset(v));
}

objc::Ptr<Color> make(Class cls, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    return Color::alloc_.send(cls)->initWithRed(r, g, b, a)->autorelease();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Color>()
        .ivar<CGColor>("_rgba")
        .method(Color::init_, [](Color* self) -> Color* { return self->initWithRed(0, 0, 0, 1); })
        .method(Color::initWithRedGreenBlueAlpha_,
                [](Color* self, CGFloat r, CGFloat g, CGFloat b, CGFloat a) -> Color* {
                    auto color = Color::init_.super<Color>(self);
                    if (color == nullptr) {
                        return nullptr;
                    }
                    *storage(color) = CGColor{component(r), component(g), component(b), component(a)};
                    return color;
                })
        .method(Color::colorWithRedGreenBlueAlpha_,
                [](Class cls, CGFloat r, CGFloat g, CGFloat b, CGFloat a) -> Color* {
                    return make(cls, r, g, b, a);
                })
        .method(
            Color::colorWithWhiteAlpha_,
            [](Class cls, CGFloat white, CGFloat a) -> Color* { return make(cls, white, white, white, a); })
        // The grey levels and hues UIKit names.
        .method(Color::whiteColor_, [](Class cls) -> Color* { return make(cls, 1, 1, 1, 1); })
        .method(Color::blackColor_, [](Class cls) -> Color* { return make(cls, 0, 0, 0, 1); })
        .method(Color::grayColor_, [](Class cls) -> Color* { return make(cls, 0.5, 0.5, 0.5, 1); })
        .method(Color::lightGrayColor_,
                [](Class cls) -> Color* { return make(cls, 2 / 3.0, 2 / 3.0, 2 / 3.0, 1); })
        .method(Color::darkGrayColor_,
                [](Class cls) -> Color* { return make(cls, 1 / 3.0, 1 / 3.0, 1 / 3.0, 1); })
        .method(Color::redColor_, [](Class cls) -> Color* { return make(cls, 1, 0, 0, 1); })
        .method(Color::greenColor_, [](Class cls) -> Color* { return make(cls, 0, 1, 0, 1); })
        .method(Color::blueColor_, [](Class cls) -> Color* { return make(cls, 0, 0, 1, 1); })
        .method(Color::clearColor_, [](Class cls) -> Color* { return make(cls, 0, 0, 0, 0); })
        .method(Color::colorWithAlphaComponent_,
                [](Color* self, CGFloat alpha) -> Color* {
                    const CGColor c = *rgbaOf(self);
                    return make(object_getClass(objc::toId(self)), c.red, c.green, c.blue, alpha);
                })
        .method(Color::CGColor_, [](Color* self) -> CGColorRef { return storage(self); })
        .build();
}

} // namespace

std::optional<CGColor> rgbaOf(const Color* color) {
    // Colours travel as `id` in many places: anything that is not one has no components.
    const CGColor* c = objc::isNil(color) ? nullptr : storage(color);
    if (c == nullptr) {
        return std::nullopt;
    }
    return *c;
}

CGColor defaultTintColor() { return CGColor{0, 122 / 255.0, 1, 1}; }

} // namespace UI
