#include "BMGlintmereZeridOvuvoruListController.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;
using Pane = BMGlintmereZeridOvuvoruListController;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pane>()
        // Loads the rows until a load gives a list (an empty one counts), and titles the pane
        // anew from the shared localizer on every call.
        .method(PS::ListController::specifiers_,
                [](Pane* self) -> NS::Array* {
                    const char* field = glintmere::host::kSpecifiersField;
                    if (objc::ivar<NS::Array*>(self, field) == nullptr) {
                        objc::setIvar<NS::Array*>(self, field,
                                                  self->specifiersForPlistName("GlintmereZeridOvuvoru"_ns));
                    }
                    self->setTitle(
                        BMGlintmereLocalizer::sharedLocalizer()->localizedStringForKey("ZeridOvuvoru"_ns));
                    return objc::ivar<NS::Array*>(self, field);
                })
        .build();
}

} // namespace
