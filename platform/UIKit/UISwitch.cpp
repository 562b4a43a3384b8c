#include "UIKit/UISwitch.hpp"
#include "UIKit/UIAppearanceInternals.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UISwitchInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/Rendering/Scene.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

constexpr CGSize kKnob = {27, 27};
constexpr double kKnobInset = 2;

// The track, the gray outline that an off switch shows around it, and the knob: views made once, in
// this order back to front.
View* track(Switch* self) { return self->subviews()->objectAtIndex(0).as<View>(); }
View* knob(Switch* self) { return self->subviews()->lastObject().as<View>(); }

// An off switch shows the outline between its track and its knob; an on one does not.
void showOutline(Switch* self, bool shown) {
    const bool showing = self->subviews()->count() == 3;
    if (shown == showing) {
        return;
    }
    if (!shown) {
        self->subviews()->objectAtIndex(1).as<View>()->removeFromSuperview();
        return;
    }
    objc::Ref<View> front = objc::retain(knob(self));
    front->removeFromSuperview();
    self->addSubview(artworkView("UISwitchTrackOutline@2x.png", kSwitchSize, colorRGB(229, 229, 229)));
    self->addSubview(front.get());
}

View* initWithFrame(Switch* self, CGRect frame) {
    auto toggle = View::initWithFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize}).as<Switch>();
    if (toggle == nullptr) {
        return nullptr;
    }
    toggle->addSubview(artworkView("UISwitchTrack@2x.png", kSwitchSize, nullptr));
    toggle->addSubview(artworkView("UISwitchKnob@2x.png", kKnob, nullptr));
    showOutline(toggle, !toggle->isOn());
    return toggle;
}

void setFrame(Switch* self, CGRect frame) {
    View::setFrame_.super<Switch>(self, CGRect{frame.origin, kSwitchSize});
}

bool isOn(Switch* self) { return objc::ivar(self, UI::SwitchInternals::_on); }

void setOn(Switch* self, bool on) { self->setOn(on, false); }

void setOnAnimated(Switch* self, bool on, bool) {
    if (on == self->isOn()) {
        return;
    }
    objc::setIvar(self, UI::SwitchInternals::_on, on);
    showOutline(self, !on);
    self->setNeedsLayout();
}

Color* onTintColor(Switch* self) {
    if (auto own = objc::ivar(self, UI::SwitchInternals::_onTintColor)) {
        return own;
    }
    return NS::cast<Color>(appearanceValue(self, "onTintColor"));
}

// The track filled in the on colour when on (white when off), and the knob at the end the switch is
// turned to.
void layoutSwitch(Switch* self) {
    const bool on = self->isOn();
    Color* onColor = self->onTintColor() != nullptr ? self->onTintColor().get() : colorRGB(76, 217, 100);
    track(self)->setTintColor(on ? onColor : colorRGB(255, 255, 255));
    Color* thumb = self->thumbTintColor() != nullptr ? self->thumbTintColor().get() : colorRGB(255, 255, 255);
    auto shownKnob = knob(self);
    shownKnob->setTintColor(thumb);
    const double x = on ? kSwitchSize.width - kKnobInset - kKnob.width : kKnobInset;
    shownKnob->setFrame(CGRectMake(x, kKnobInset, kKnob.width, kKnob.height));
}

// The colour the switch shows when on: the system's green where nothing else applies.
void fillSceneNode(Switch* self, draw::Node* node) {
    ViewInternals::fillSceneNode_.super<Switch>(self, node);
    if (node == nullptr) {
        return;
    }
    node->colors.emplace_back(
        "onTintColor",
        sceneColor(rgbaOf(self->onTintColor()).value_or(CGColor{76 / 255.0, 217 / 255.0, 100 / 255.0, 1})));
}

void setOnTintColor(Switch* self, Color* color) {
    objc::storeOwned(self, UI::SwitchInternals::_onTintColor, color);
    self->setNeedsLayout();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Switch> definition;
    definition.ivar(SwitchInternals::_on)
        .property<Color*>("thumbTintColor")
        .ivar(SwitchInternals::_onTintColor)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&setFrame>(View::setFrame_)
        .method<&isOn>(Switch::isOn_)
        .method<&setOn>(Switch::setOn_)
        .method<&setOnAnimated>(Switch::setOnAnimated_)
        .method<&onTintColor>(Switch::onTintColor_)
        .method<&layoutSwitch>(View::layoutSubviews_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .method<&setOnTintColor>(Switch::setOnTintColor_);
    addAppearanceMethods(definition);
    definition.build();
}

} // namespace
} // namespace UI
