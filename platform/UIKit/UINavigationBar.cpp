#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UIBarButtonItemInternals.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UINavigationBarInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/Rendering/Scene.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <string>
#include <vector>

NS::String* const NSForegroundColorAttributeName = CFSTR("NSColor");

namespace UI {
namespace {

using NS::literals::operator""_ns;

// The parts of the bar, named as the device names them.
class BarBackground : public NS::Referencing<BarBackground, "_UINavigationBarBackground", View> {};
class ItemView : public NS::Referencing<ItemView, "UINavigationItemView", View> {};
class BackButton : public NS::Referencing<BackButton, "UINavigationItemButtonView", View> {};
class BarButton : public NS::Referencing<BarButton, "UINavigationButton", View> {};

constexpr double kMargin = 8;

void clear(View* view) {
    for (NS::Object* child : view->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
}

// The button for a bar-button item: its system image or its title, in the tint colour.
View* buttonFor(BarButtonItem* item, Color* tint) {
    auto button = BarButton::alloc()->init()->autorelease();
    objc::Ptr<View> content;
    if (UI::BarButtonItemInternals::of(item)->systemItem() == UIBarButtonSystemItemCompose) {
        content = artworkView("UIButtonBarCompose@2x.png", {22, 22}, tint);
    } else {
        const std::string title = item->title() != nullptr ? item->title()->str()
                                  : UI::BarButtonItemInternals::of(item)->systemItem() == 0 ? "Done"
                                                                                            : "";
        content = makeLabel(title.c_str(), "HelveticaNeue", 17, tint);
    }
    const CGSize size = content->frame().size;
    button->setFrame(CGRectMake(0, 0, size.width, size.height));
    button->addSubview(content);
    return button;
}

// The colour the bar's buttons are drawn in: its own tint, else the one around it, else the system's.
Color* shownTint(NavigationBar* bar) {
    if (auto own = bar->tintColor()) {
        return own.get();
    }
    return bar->superview() != nullptr ? bar->superview()->tintColor().get() : systemTintColor();
}

// The bar's own tint only: nil until set (its buttons then take the one around the bar).
Color* tintColor(NavigationBar* self) { return objc::ivar(self, UI::ViewInternals::_tintColor); }

NS::Array* items(NavigationBar* self) {
    auto items = objc::ivar(self, UI::NavigationBarInternals::_items);
    return items != nullptr ? items : NS::Array::array().get();
}

void rebuild(NavigationBar* self);

// Bars alive, not owned: an item that changes is shown anew by the bars that hold it.
std::vector<NavigationBar*>& bars() {
    static std::vector<NavigationBar*> list;
    return list;
}

void setItemsAnimated(NavigationBar* self, NS::Array* items, bool) {
    objc::Ptr<NS::Array> old = objc::ivar(self, UI::NavigationBarInternals::_items);
    objc::setIvar(self, UI::NavigationBarInternals::_items, objc::Ptr(items)->copy().as<NS::Array>());
    old->release();
    rebuild(self);
}

void setTintColor(NavigationBar* self, Color* color) {
    View::setTintColor_.super<NavigationBar>(self, color);
    rebuild(self);
}

Color* barTintColor(NavigationBar* self) {
    return objc::ivar(self, UI::NavigationBarInternals::_barTintColor);
}

void setBarTintColor(NavigationBar* self, Color* color) {
    objc::storeOwned(self, UI::NavigationBarInternals::_barTintColor, color);
    rebuild(self);
}

NS::Dictionary* titleTextAttributes(NavigationBar* self) {
    return objc::ivar(self, UI::NavigationBarInternals::_titleTextAttributes);
}

void setTitleTextAttributes(NavigationBar* self, NS::Dictionary* attributes) {
    objc::Ptr<NS::Dictionary> old = objc::ivar(self, UI::NavigationBarInternals::_titleTextAttributes);
    objc::setIvar(self, UI::NavigationBarInternals::_titleTextAttributes,
                  objc::Ptr(attributes)->copy().as<NS::Dictionary>());
    old->release();
    rebuild(self);
}

void setHidden(NavigationBar* self, bool hidden) {
    View::setHidden_.super<NavigationBar>(self, hidden);
    rebuild(self);
}

// A bar of another width places its back button and title anew.
void setFrame(NavigationBar* self, CGRect frame) {
    const CGSize before = self->frame().size;
    View::setFrame_.super<NavigationBar>(self, frame);
    if (!(self->frame().size == before)) {
        rebuild(self);
    }
}

View* initWithFrame(NavigationBar* self, CGRect frame) {
    auto bar = View::initWithFrame_.super<NavigationBar>(self, frame);
    if (bar != nullptr) {
        bars().push_back(bar.as<NavigationBar>());
        rebuild(bar.as<NavigationBar>());
    }
    return bar;
}

void dealloc(NavigationBar* self) {
    std::erase(bars(), self);
    View::dealloc_.super<NavigationBar>(self);
}

NavigationItem* topItem(NavigationBar* self) { return self->items()->lastObject().as<NavigationItem>(); }

NavigationItem* backItem(NavigationBar* self) {
    auto items = self->items();
    return items->count() < 2 ? nullptr : items->objectAtIndex(items->count() - 2).as<NavigationItem>();
}

// Beyond what every view shows: the bar's background colour where it has one, and its
// title's colour where its title text attributes give one.
void fillSceneNode(NavigationBar* self, draw::Node* node) {
    ViewInternals::fillSceneNode_.super<NavigationBar>(self, node);
    if (node == nullptr) {
        return;
    }
    // A bar without a tint of its own (which super wrote) shows the one around it.
    if (self->tintColor() == nullptr) {
        node->colors.emplace_back("tintColor",
                                  sceneColor(rgbaOf(shownTint(self)).value_or(defaultTintColor())));
    }
    if (auto background = rgbaOf(self->barTintColor())) {
        node->colors.emplace_back("barTintColor", sceneColor(*background));
    }
    auto title = NS::cast<Color>(self->titleTextAttributes()->objectForKey(NSForegroundColorAttributeName));
    if (auto color = rgbaOf(title)) {
        node->colors.emplace_back("titleColor", sceneColor(*color));
    }
}

// The background, then the back button, the title (or the item's title view) and the right button of
// the top item: made anew when the items, the bar's colours, its visibility or its width change, placed
// for the bar's width as they are made. A hidden bar shows nothing.
void rebuild(NavigationBar* self) {
    clear(self);
    self->setNeedsLayout();
    if (self->isHidden()) {
        return;
    }
    const CGSize size = self->frame().size;
    auto background = BarBackground::alloc()->initWithFrame(CGRectMake(0, 0, size.width, size.height));
    objc::Ptr<Color> barColor = self->barTintColor();
    background->setBackgroundColor(barColor != nullptr ? barColor.get() : colorRGB(247, 247, 247));
    self->addSubview(background);
    auto hairline = View::alloc()->initWithFrame(CGRectMake(0, size.height, size.width, 0.5));
    hairline->setBackgroundColor(colorRGB(0, 0, 0, 0.3));
    self->addSubview(hairline);
    hairline->release();
    background->release();

    objc::Ptr<Color> tint = shownTint(self);
    auto item = self->topItem();
    View* titleView = item->titleView();
    if (titleView == nullptr && item->title() != nullptr) {
        auto attributes = self->titleTextAttributes();
        auto color = NS::cast<Color>(attributes->objectForKey(NSForegroundColorAttributeName));
        titleView = makeLabel(item->title()->str().c_str(), "HelveticaNeue-Medium", 17,
                              color != nullptr ? color.get() : colorRGB(0, 0, 0));
    }
    const double titleWidth = titleView != nullptr ? titleView->frame().size.width : 0;
    double left = kMargin;
    double right = size.width - kMargin;
    if (auto rightItem = NS::cast<BarButtonItem>(item->rightBarButtonItem())) {
        View* button = buttonFor(rightItem, tint);
        CGRect bf = button->frame();
        bf.origin = {right - bf.size.width, (size.height - bf.size.height) / 2};
        button->setFrame(bf);
        self->addSubview(button);
        right = bf.origin.x - kMargin;
    }
    if (auto back = self->backItem()) {
        auto button = BackButton::alloc()->init()->autorelease();
        objc::Ptr<View> chevron = artworkView("UINavigationBarBackIndicatorDefault@2x.png", {13, 21}, tint);
        chevron->setFrame(CGRectMake(0, (size.height - 21) / 2, 13, 21));
        button->addSubview(chevron);
        // The back button names the controller below while that leaves the title
        // room in the middle of the bar; else it says "Back", else it is the
        // chevron alone.
        const double titleStart = std::min((size.width - titleWidth) / 2, right - titleWidth) - kMargin;
        double width = 13;
        for (const std::string& title :
             {back->title() != nullptr ? back->title()->str() : std::string("Back"), std::string("Back")}) {
            View* label = makeLabel(title.c_str(), "HelveticaNeue", 17, tint, {19, 0});
            CGRect lf = label->frame();
            if (kMargin + lf.origin.x + lf.size.width > titleStart) {
                continue;
            }
            lf.origin.y = (size.height - lf.size.height) / 2;
            label->setFrame(lf);
            button->addSubview(label);
            width = lf.origin.x + lf.size.width;
            break;
        }
        button->setFrame(CGRectMake(kMargin, 0, width, size.height));
        self->addSubview(button);
        left = kMargin + width + kMargin;
    }
    if (titleView != nullptr) {
        auto holder = ItemView::alloc()->initWithFrame(CGRectMake(0, 0, size.width, size.height));
        // Centred on the bar, unless that would run into a button.
        CGRect tf = titleView->frame();
        tf.origin.x =
            std::clamp((size.width - tf.size.width) / 2, left, std::max(left, right - tf.size.width));
        tf.origin.y = (size.height - tf.size.height) / 2;
        titleView->setFrame(tf);
        holder->addSubview(titleView);
        self->addSubview(holder);
        holder->release();
    }
}

// The background reaches up behind the status bar, as the device's does, however far down the bar sits.
void layoutBar(NavigationBar* self) {
    for (NS::Object* child : self->subviews()) {
        if (auto background = NS::cast<BarBackground>(child)) {
            const CGSize size = self->frame().size;
            const double above = std::max(0.0, originInWindow(self).y);
            background->setFrame(CGRectMake(0, -above, size.width, size.height + above));
        }
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<BarBackground>().build();
    objc::ClassDefinition<ItemView>().build();
    objc::ClassDefinition<BackButton>().build();
    objc::ClassDefinition<BarButton>().build();

    objc::ClassDefinition<NavigationBar>()
        .method<&tintColor>(View::tintColor_)
        .method<&setTintColor>(View::setTintColor_)
        .ivar(UI::NavigationBarInternals::_barTintColor)
        .method<&barTintColor>(NavigationBar::barTintColor_)
        .method<&setBarTintColor>(NavigationBar::setBarTintColor_)
        .ivar(UI::NavigationBarInternals::_titleTextAttributes)
        .method<&titleTextAttributes>(NavigationBar::titleTextAttributes_)
        .method<&setTitleTextAttributes>(NavigationBar::setTitleTextAttributes_)
        .method<&setHidden>(View::setHidden_)
        .method<&setFrame>(View::setFrame_)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&dealloc>(View::dealloc_)
        .ivar(UI::NavigationBarInternals::_items)
        .method<&items>(NavigationBar::items_)
        .method<&setItemsAnimated>(NavigationBar::setItemsAnimated_)
        .method<&topItem>(NavigationBar::topItem_)
        .method<&backItem>(NavigationBar::backItem_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .method<&layoutBar>(View::layoutSubviews_)
        .build();
}

} // namespace

void navigationItemChanged(NavigationItem* item) {
    // A copy: showing an item anew changes no bar's life, but stays safe if it did.
    const std::vector<NavigationBar*> now = bars();
    for (NavigationBar* bar : now) {
        if (bar->items()->containsObject(item)) {
            rebuild(bar);
        }
    }
}

} // namespace UI
