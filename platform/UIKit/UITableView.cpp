#include "UIKit/UITableView.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<UI::TableView>()
        .property<NS::Object*>("dataSource", objc::Ownership::Plain)
        .property<NS::Object*>("delegate", objc::Ownership::Plain)
        .build();
}

} // namespace
