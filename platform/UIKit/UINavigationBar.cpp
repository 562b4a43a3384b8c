#include "UIKit/UINavigationBar.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UINavigationBar", "UIView")
        .property<id>("tintColor")
        .property<id>("barTintColor")
        .property<id>("titleTextAttributes")
        .build();
}

} // namespace
