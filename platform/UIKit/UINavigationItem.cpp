#include "UIKit/UINavigationItem.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::NavigationItem;

NavigationItem* initWithTitle(NavigationItem* self, NS::String* title) {
    auto item = self->init();
    item->setTitle(title);
    return item;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<NavigationItem>()
        .property(NavigationItem::title_, NavigationItem::setTitle_)
        .property(NavigationItem::titleView_, NavigationItem::setTitleView_)
        .property(NavigationItem::rightBarButtonItem_, NavigationItem::setRightBarButtonItem_)
        .property(NavigationItem::leftBarButtonItem_, NavigationItem::setLeftBarButtonItem_)
        .method<&initWithTitle>(NavigationItem::initWithTitle_)
        .build();
}

} // namespace
