#include "BMGlintmereMakersListController.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "ShareButton.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;
using Pane = BMGlintmereMakersListController;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pane>()
        // Loads the rows until a load gives a list (an empty one counts), and
        // titles the pane anew from the shared localizer on every call.
        .method(PS::ListController::specifiers_,
                [](Pane* self) -> NS::Array* {
                    NS::Array* rows = glintmere::cachedSpecifiers(self, "GlintmereMakers"_ns);
                    self->setTitle(
                        BMGlintmereLocalizer::sharedLocalizer()->localizedStringForKey("MAKERS"_ns));
                    return rows;
                })
        .method(UI::ViewController::loadView_,
                [](Pane* self) {
                    UI::ViewController::loadView_.super<Pane>(self);
                    glintmere::installShareButton(self);
                })
        .method(Pane::tweetSupport_,
                [](Pane* self, id) { glintmere::presentTwitterComposer(self, "#Glintmere is awesome!"); })
        .build();
}

} // namespace
