#include "UIKit/UITableView.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UITableView", "UIView")
        .property<id>("dataSource", objc::Ownership::Plain)
        .property<id>("delegate", objc::Ownership::Plain)
        .build();
}

} // namespace
