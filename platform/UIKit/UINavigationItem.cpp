#include "UIKit/UINavigationItem.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    using UI::NavigationItem;
    objc::ClassDefinition<NavigationItem>()
        .property<NS::String*>("title")
        .property<NS::Object*>("titleView")
        .property<NS::Object*>("rightBarButtonItem")
        .property<NS::Object*>("leftBarButtonItem")
        .method(NavigationItem::initWithTitle_,
                [](NavigationItem* self, NS::String* title) -> NavigationItem* {
                    auto item = self->init();
                    item->setTitle(title);
                    return item;
                })
        .build();
}

} // namespace
