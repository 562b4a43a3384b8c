#include "UIKit/UISwitch.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Switch> definition;
    definition.ivar<bool>("_on")
        .property<NS::Object*>("thumbTintColor")
        .ivar<NS::Object*>("_onTintColor", objc::Ownership::Owning)
        .method(View::initWithFrame_,
                [](Switch* self, CGRect frame) -> View* {
                    return View::initWithFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize});
                })
        .method(View::setFrame_,
                [](Switch* self, CGRect frame) {
                    View::setFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize});
                })
        .method(Switch::isOn_, [](Switch* self) -> bool { return objc::ivar<bool>(self, "_on"); })
        .method(Switch::setOn_, [](Switch* self, bool on) { self->setOn(on, false); })
        .method(Switch::setOnAnimated_,
                [](Switch* self, bool on, bool) { objc::setIvar<bool>(self, "_on", on); })
        .method(Switch::onTintColor_,
                [](Switch* self) -> id {
                    if (auto own = objc::ivar<NS::Object*>(self, "_onTintColor")) {
                        return objc::toId(own);
                    }
                    return objc::toId(appearanceValue(self, "onTintColor"));
                })
        .method(Switch::setOnTintColor_, [](Switch* self, id color) {
            objc::Ptr<NS::Object> old = objc::ivar<NS::Object*>(self, "_onTintColor");
            objc::Ptr(reinterpret_cast<NS::Object*>(color))->retain();
            objc::setIvar<id>(self, "_onTintColor", color);
            old->release();
        });
    addAppearanceMethods(definition);
    definition.build();
}

} // namespace
} // namespace UI
