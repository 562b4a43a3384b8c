#include "UIKit/UINavigationItem.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    using UI::NavigationItem;
    objc::ClassDefinition<NavigationItem>()
        .property(NavigationItem::title_, NavigationItem::setTitle_)
        .property(NavigationItem::titleView_, NavigationItem::setTitleView_)
        .property(NavigationItem::rightBarButtonItem_, NavigationItem::setRightBarButtonItem_)
        .property(NavigationItem::leftBarButtonItem_, NavigationItem::setLeftBarButtonItem_)
        .method(NavigationItem::initWithTitle_,
                [](NavigationItem* self, NS::String* title) -> NavigationItem* {
                    auto item = self->init();
                    item->setTitle(title);
                    return item;
                })
        .build();
}

} // namespace
