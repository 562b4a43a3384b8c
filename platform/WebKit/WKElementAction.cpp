#include "WebKit/WKElementAction.hpp"

#include "Foundation/NSBlock.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

using objc::operator""_sel;

Class actionClass() { return objc_lookUpClass("_WKElementAction"); }

id initWithTitle(id self, SEL, id title, id handler, long type) {
    self = objc::sendSuper<id>(actionClass(), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    objc::setIvar<id>(self, "_title", objc::send<id>(title, "copy"_sel));
    objc::setIvar<id>(self, "_actionHandler", objc::send<id>(handler, "copy"_sel));
    objc::setIvar<long>(self, "_type", type);
    return self;
}

id title(id self, SEL) { return objc::ivar<id>(self, "_title"); }
long type(id self, SEL) { return objc::ivar<long>(self, "_type"); }

void runAction(id self, SEL, id elementInfo, id) {
    auto* handler = reinterpret_cast<NS::Block*>(objc::ivar<id>(self, "_actionHandler"));
    if (handler != nullptr) {
        handler->invoke<void, id>(elementInfo);
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("_WKElementAction", "NSObject")
        .ivar<id>("_title", objc::Ownership::Owning)
        .ivar<id>("_actionHandler", objc::Ownership::Owning)
        .ivar<long>("_type")
        .method<&initWithTitle>("_initWithTitle:actionHandler:type:")
        .method<&title>("title")
        .method<&type>("type")
        .method<&runAction>("_runActionWithElementInfo:view:")
        .build();
}

} // namespace
} // namespace WK
