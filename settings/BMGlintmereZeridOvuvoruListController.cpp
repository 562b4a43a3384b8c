#include "BMGlintmereZeridOvuvoruListController.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSURL.hpp"
#include "ShareButton.hpp"
#include "UIKit/UIApplication.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;
using Pane = BMGlintmereZeridOvuvoruListController;

constexpr const char* kShareText = "#Glintmere makes settings a wallpaper easy "
                                   "from Safari, thanks @Brightmoth";

// Asks the package manager to show a package; what it answers is its own
// affair.
void openPackagePage(const char* url) {
    UI::Application::sharedApplication()->openURL(NS::URL::URLWithString(NS::String::string(url)));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pane>()
        // Loads the rows until a load gives a list (an empty one counts), and
        // titles the pane anew from the shared localizer on every call.
        .method(PS::ListController::specifiers_,
                [](Pane* self) -> NS::Array* {
                    NS::Array* rows = glintmere::cachedSpecifiers(self, "GlintmereZeridOvuvoru"_ns);
                    self->setTitle(
                        BMGlintmereLocalizer::sharedLocalizer()->localizedStringForKey("ZeridOvuvoru"_ns));
                    return rows;
                })
        .method(UI::ViewController::loadView_,
                [](Pane* self) {
                    UI::ViewController::loadView_.super<Pane>(self);
                    glintmere::installShareButton(self);
                })
        .method(Pane::tweetSupport_,
                [](Pane* self, id) { glintmere::presentTwitterComposer(self, kShareText); })
        .method(Pane::openAmbergate_,
                [](Pane*) { openPackagePage("cydia://package/com.brightmoth.ambergate"); })
        .method(Pane::openGlintmere_,
                [](Pane*) { openPackagePage("cydia://package/com.brightmoth.glintmere"); })
        .method(Pane::openQuillfern_,
                [](Pane*) { openPackagePage("cydia://package/com.brightmoth.quillfern"); })
        .method(Pane::openHarborkite_,
                [](Pane*) { openPackagePage("cydia://package/com.brightmoth.harborkite"); })
        .method(Pane::openMossvale_,
                [](Pane*) { openPackagePage("cydia://package/com.brightmoth.mossvale"); })
        .build();
}

} // namespace
