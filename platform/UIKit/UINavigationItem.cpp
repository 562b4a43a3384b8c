#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UINavigationBarInternals.hpp"
#include "UIKit/UINavigationItemInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::NavigationItem;

// What the bars holding the item show changes with it.
NS::String* title(NavigationItem* self) { return objc::ivar(self, UI::NavigationItemInternals::_title); }

void setTitle(NavigationItem* self, NS::String* title) {
    objc::Ptr<NS::String> old = objc::ivar(self, UI::NavigationItemInternals::_title);
    objc::setIvar(self, UI::NavigationItemInternals::_title, objc::Ptr(title)->copy().as<NS::String>());
    old->release();
    UI::navigationItemChanged(self);
}

UI::View* titleView(NavigationItem* self) {
    return objc::ivar(self, UI::NavigationItemInternals::_titleView);
}

void setTitleView(NavigationItem* self, UI::View* view) {
    objc::storeOwned(self, UI::NavigationItemInternals::_titleView, view);
    UI::navigationItemChanged(self);
}

UI::BarButtonItem* rightBarButtonItem(NavigationItem* self) {
    return objc::ivar(self, UI::NavigationItemInternals::_rightBarButtonItem);
}

void setRightBarButtonItem(NavigationItem* self, UI::BarButtonItem* item) {
    objc::storeOwned(self, UI::NavigationItemInternals::_rightBarButtonItem, item);
    UI::navigationItemChanged(self);
}

UI::BarButtonItem* leftBarButtonItem(NavigationItem* self) {
    return objc::ivar(self, UI::NavigationItemInternals::_leftBarButtonItem);
}

void setLeftBarButtonItem(NavigationItem* self, UI::BarButtonItem* item) {
    objc::storeOwned(self, UI::NavigationItemInternals::_leftBarButtonItem, item);
    UI::navigationItemChanged(self);
}

NavigationItem* initWithTitle(NavigationItem* self, NS::String* title) {
    auto item = self->init();
    item->setTitle(title);
    return item;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<NavigationItem>()
        .ivar(UI::NavigationItemInternals::_title)
        .ivar(UI::NavigationItemInternals::_titleView)
        .ivar(UI::NavigationItemInternals::_rightBarButtonItem)
        .ivar(UI::NavigationItemInternals::_leftBarButtonItem)
        .method<&title>(NavigationItem::title_)
        .method<&setTitle>(NavigationItem::setTitle_)
        .method<&titleView>(NavigationItem::titleView_)
        .method<&setTitleView>(NavigationItem::setTitleView_)
        .method<&rightBarButtonItem>(NavigationItem::rightBarButtonItem_)
        .method<&setRightBarButtonItem>(NavigationItem::setRightBarButtonItem_)
        .method<&leftBarButtonItem>(NavigationItem::leftBarButtonItem_)
        .method<&setLeftBarButtonItem>(NavigationItem::setLeftBarButtonItem_)
        .method<&initWithTitle>(NavigationItem::initWithTitle_)
        .build();
}

} // namespace
