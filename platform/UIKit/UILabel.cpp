#include "UIKit/UILabel.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

// Texts are copied on the way in, as Cocoa's `copy` properties do, so that a mutable string
// changed later by its owner does not change what the label shows.
id text(id self, SEL) { return objc::ivar<id>(self, "_text"); }

void setText(id self, SEL, id text) {
    id copy = objc::send<id>(text, "copy"_sel);
    id old = objc::ivar<id>(self, "_text");
    objc::setIvar<id>(self, "_text", copy);
    objc::send(old, "release"_sel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UILabel", "UIView")
        .ivar<id>("_text", objc::Ownership::Owning)
        .property<id>("textColor")
        .property<id>("font")
        .method<&text>("text")
        .method<&setText>("setText:")
        .build();
}

} // namespace
