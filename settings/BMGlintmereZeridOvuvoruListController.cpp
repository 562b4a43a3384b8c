#include "BMGlintmereZeridOvuvoruListController.hpp"

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

// Asks the package manager to show a package; what it answers is its own
// affair.
void openPackagePage(const char* url) {
    UI::Application::sharedApplication()->openURL(NS::URL::URLWithString(NS::String::string(url)));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pane>()
        .method(PS::ListController::specifiers_,
                [](Pane* self) {
                    return glintmere::titledSpecifiers(self, "GlintmereZeridOvuvoru"_ns, "ZeridOvuvoru"_ns);
                })
        .method<&glintmere::loadViewWithShareButton<Pane>>(UI::ViewController::loadView_)
        .method(Pane::tweetSupport_,
                [](Pane* self, id) { glintmere::presentTwitterComposer(self, glintmere::kShareText); })
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
