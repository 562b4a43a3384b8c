#include "UIKit/UILabel.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<UI::Label>()
        // Texts are copied on the way in, as Cocoa's `copy` properties do, so that a mutable string
        // changed later by its owner does not change what the label shows.
        .property<NS::String*>("text", objc::Ownership::Copying)
        .property<NS::Object*>("textColor")
        .property<NS::Object*>("font")
        .build();
}

} // namespace
