#include "BMGlintmereMakersListController.hpp"

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
        .method(
            PS::ListController::specifiers_,
            [](Pane* self) { return glintmere::titledSpecifiers(self, "GlintmereMakers"_ns, "MAKERS"_ns); })
        .method<&glintmere::loadViewWithShareButton<Pane>>(UI::ViewController::loadView_)
        .method(Pane::tweetSupport_,
                [](Pane* self, id) { glintmere::presentTwitterComposer(self, "#Glintmere is awesome!"); })
        .build();
}

} // namespace
