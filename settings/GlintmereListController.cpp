#include "GlintmereListController.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<GlintmereListController>()
        // Loads the rows once; the field keeps them (and their ownership) for the life of the pane.
        .method(PS::ListController::specifiers_,
                [](GlintmereListController* self) -> NS::Array* {
                    const char* field = glintmere::host::kSpecifiersField;
                    if (objc::ivar<NS::Array*>(self, field) == nullptr) {
                        objc::setIvar<NS::Array*>(self, field, self->specifiersForPlistName("Glintmere"_ns));
                    }
                    return objc::ivar<NS::Array*>(self, field);
                })
        .build();
}

} // namespace
