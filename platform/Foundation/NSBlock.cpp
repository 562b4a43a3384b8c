#include "Foundation/NSBlock.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

Class blockClass() { return objc_lookUpClass("NSBlock"); }

void dealloc(id self, SEL sel) {
    delete static_cast<NS::detail::BlockBodyBase*>(objc::ivar<void*>(self, "_body"));
    objc::sendSuper(blockClass(), self, sel);
}

// Blocks are immutable: a copy is the same block with one more owner.
id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSBlock", "NSObject")
        .ivar<void*>("_body")
        .method<&dealloc>("dealloc")
        .method<&copyWithZone>("copyWithZone:")
        .build();
}

} // namespace
