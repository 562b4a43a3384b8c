#include "UIKit/UINavigationItem.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

id initWithTitle(id self, SEL, id title) {
    self = objc::send<id>(self, "init"_sel);
    objc::send(self, "setTitle:"_sel, title);
    return self;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UINavigationItem", "NSObject")
        .property<id>("title")
        .property<id>("titleView")
        .property<id>("rightBarButtonItem")
        .property<id>("leftBarButtonItem")
        .method<&initWithTitle>("initWithTitle:")
        .build();
}

} // namespace
