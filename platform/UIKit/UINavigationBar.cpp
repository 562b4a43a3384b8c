#include "UIKit/UINavigationBar.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<UI::NavigationBar>()
        .property<NS::Object*>("tintColor")
        .property<NS::Object*>("barTintColor")
        .property<NS::Object*>("titleTextAttributes")
        .build();
}

} // namespace
