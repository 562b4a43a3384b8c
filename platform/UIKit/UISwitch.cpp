#include "UIKit/UISwitch.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Scene.hpp"
#include "UIKit/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIDisplay.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

constexpr CGSize kKnob = {27, 27};
constexpr double kKnobInset = 2;

// The track (filled in the on colour when on; white with a gray outline when off) and the white knob
// at the end the switch is turned to.
void showState(Switch* self) {
    for (NS::Object* child : self->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
    const bool on = self->isOn();
    Color* onColor = self->onTintColor() != nullptr ? self->onTintColor().get() : colorRGB(76, 217, 100);
    self->addSubview(
        artworkView("UISwitchTrack@2x.png", kSwitchSize, on ? onColor : colorRGB(255, 255, 255)));
    if (!on) {
        self->addSubview(artworkView("UISwitchTrackOutline@2x.png", kSwitchSize, colorRGB(229, 229, 229)));
    }
    Color* thumb = self->thumbTintColor() != nullptr ? self->thumbTintColor().get() : colorRGB(255, 255, 255);
    auto knob = artworkView("UISwitchKnob@2x.png", kKnob, thumb);
    const double x = on ? kSwitchSize.width - kKnobInset - kKnob.width : kKnobInset;
    knob->setFrame(CGRectMake(x, kKnobInset, kKnob.width, kKnob.height));
    self->addSubview(knob);
}

View* initWithFrame(Switch* self, CGRect frame) {
    return View::initWithFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize});
}

void setFrame(Switch* self, CGRect frame) {
    View::setFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize});
}

bool isOn(Switch* self) { return objc::ivar(self, UI::Switch::_on); }

void setOn(Switch* self, bool on) { self->setOn(on, false); }

void setOnAnimated(Switch* self, bool on, bool) { objc::setIvar(self, UI::Switch::_on, on); }

Color* onTintColor(Switch* self) {
    if (auto own = objc::ivar(self, UI::Switch::_onTintColor)) {
        return own;
    }
    return NS::cast<Color>(appearanceValue(self, "onTintColor"));
}

void prepare(Switch* self) { showState(self); }

// The colour the switch shows when on: the system's green where nothing else applies.
void fillSceneNode(Switch* self, draw::Node* node) {
    View::fillSceneNode_.super<Switch>(self, node);
    if (node == nullptr) {
        return;
    }
    node->colors.emplace_back(
        "onTintColor",
        sceneColor(rgbaOf(self->onTintColor()).value_or(CGColor{76 / 255.0, 217 / 255.0, 100 / 255.0, 1})));
}

void setOnTintColor(Switch* self, Color* color) {
    objc::Ptr<NS::Object> old = objc::ivar(self, UI::Switch::_onTintColor);
    objc::Ptr(color)->retain();
    objc::setIvar(self, UI::Switch::_onTintColor, color);
    old->release();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Switch> definition;
    definition.ivar(Switch::_on)
        .property<Color*>("thumbTintColor")
        .ivar(Switch::_onTintColor)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&setFrame>(View::setFrame_)
        .method<&isOn>(Switch::isOn_)
        .method<&setOn>(Switch::setOn_)
        .method<&setOnAnimated>(Switch::setOnAnimated_)
        .method<&onTintColor>(Switch::onTintColor_)
        .method<&prepare>(Display::prepare_)
        .method<&fillSceneNode>(View::fillSceneNode_)
        .method<&setOnTintColor>(Switch::setOnTintColor_);
    addAppearanceMethods(definition);
    definition.build();
}

} // namespace
} // namespace UI
