#include "GlintmereListController.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

// Loads the rows once; the field keeps them (and their ownership) for the life of the pane.
id specifiers(id self, SEL) {
    if (objc::ivar<id>(self, glintmere::host::kSpecifiersField) == nil) {
        id name = objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, "Glintmere");
        objc::setIvar<id>(self, glintmere::host::kSpecifiersField,
                          objc::send<id>(self, "specifiersForPlistName:"_sel, name));
    }
    return objc::ivar<id>(self, glintmere::host::kSpecifiersField);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("GlintmereListController", "BMGlintmereListController")
        .method<&specifiers>("specifiers")
        .build();
}

} // namespace
