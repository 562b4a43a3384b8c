#include "Social/SLComposeViewController.hpp"
#include "Social/SLComposeViewControllerInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "CoreFoundation/CoreFoundation.h"
#include "CoreFoundation/DeviceAccounts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>

NS::String* const SLServiceTypeTwitter = CFSTR("com.apple.social.twitter");

namespace SL {
namespace {

using NS::literals::operator""_ns;
using Composer = ComposeViewController;

constexpr const char* kTwitterAccountType = "com.apple.twitter";
constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";

// The major number of the system's version; 0 when the version file cannot tell.
long systemMajorVersion() {
    // The caller need not have a pool of its own: reading the file autoreleases what it makes.
    NS::AutoreleaseScope pool;
    auto versions =
        objc::adopt(NS::Dictionary::alloc()->initWithContentsOfFile(NS::String::string(kSystemVersionPath)));
    return std::atol(NS::cast<NS::String>(versions->objectForKey("ProductVersion"_ns))->str().c_str());
}

// The system removed Twitter in 11.0.
bool systemCarries(NS::String* service) {
    return objc::Ptr(service)->isEqualToString(SLServiceTypeTwitter) && systemMajorVersion() < 11;
}

// Tells the handler, keeping the composer alive through the call: the handler usually dismisses
// it, which may release the last reference to it.
void finish(Composer* composer, ComposeViewControllerResult result) {
    auto keep = objc::retain(composer);
    auto handler = objc::retain(keep->completionHandler());
    handler->invoke<void, ComposeViewControllerResult>(result);
}

// What the composer shows over the app: the screen dimmed, and a card near its top with the
// service's name between Cancel and Post, and the text below them.
class SheetView : public NS::Referencing<SheetView, "SLComposeSheetView", UI::View> {};

constexpr double kCardMargin = 8;
constexpr double kCardWidest = 540; // on a pad, the card stays a card
constexpr double kCardTop = UI::kStatusBarHeight + 30;
constexpr double kBarHeight = 44;
constexpr double kInset = 12;
constexpr double kLeastTextHeight = 130;

// The name a person knows the service by.
std::string serviceTitle(NS::String* service) {
    if (objc::Ptr(service)->isEqualToString(SLServiceTypeTwitter)) {
        return "Twitter";
    }
    return objc::Ptr(service)->str();
}

// `label` placed at `x`, centred in the bar; returns its frame.
CGRect placeInBar(UI::View* card, UI::View* label, double x) {
    CGRect f = label->frame();
    f.origin = {x, (kBarHeight - f.size.height) / 2};
    label->setFrame(f);
    card->addSubview(label);
    return f;
}

void showSheet(SheetView* self) {
    for (NS::Object* child : self->subviews()) {
        reinterpret_cast<UI::View*>(child)->removeFromSuperview();
    }
    auto composer = NS::cast<Composer>(UI::controllerOfView(self));
    if (composer == nullptr) {
        return;
    }
    const CGSize screen = self->frame().size;
    self->setBackgroundColor(UI::colorRGB(0, 0, 0, 0.4));
    const double width = std::max(0.0, std::min(screen.width - 2 * kCardMargin, kCardWidest));
    UI::View* text = UI::makeLabel(textOf(composer).c_str(), "HelveticaNeue", 17, UI::colorRGB(0, 0, 0), {},
                                   width - 2 * kInset);
    const double textHeight = std::max(text->frame().size.height + 2 * kInset, kLeastTextHeight);
    auto card = UI::makeBox(CGRectMake((screen.width - width) / 2, kCardTop, width, kBarHeight + textHeight),
                            UI::colorRGB(255, 255, 255));
    card->addSubview(UI::makeBox(CGRectMake(0, 0, width, kBarHeight), UI::colorRGB(247, 247, 247)));
    card->addSubview(UI::makeBox(CGRectMake(0, kBarHeight, width, 0.5), UI::colorRGB(200, 199, 204)));
    const CGRect cancel =
        placeInBar(card, UI::makeLabel("Cancel", "HelveticaNeue", 17, UI::systemTintColor()), kInset);
    UI::View* post = UI::makeLabel("Post", "HelveticaNeue-Medium", 17, UI::systemTintColor());
    placeInBar(card, post, width - kInset - post->frame().size.width);
    UI::View* title = UI::makeLabel(serviceTitle(composer->serviceType()).c_str(), "HelveticaNeue-Medium", 17,
                                    UI::colorRGB(0, 0, 0));
    CGRect tf = title->frame();
    // Between the buttons, however long the name.
    tf.size.width = std::min(tf.size.width, std::max(0.0, width - 2 * (cancel.size.width + 2 * kInset)));
    title->setFrame(tf);
    placeInBar(card, title, (width - tf.size.width) / 2);
    CGRect xf = text->frame();
    xf.origin = {kInset, kBarHeight + kInset};
    text->setFrame(xf);
    card->addSubview(text);
    self->addSubview(card);
}

// The sheet is shown as it is when the composer appears: its text is given before it is presented.
void viewWillAppear(Composer* self, bool animated) {
    UI::ViewController::viewWillAppear_.super<Composer>(self, animated);
    showSheet(self->view().as<SheetView>());
}

bool isAvailableForServiceType(Class, NS::String* service) {
    return systemCarries(service) && CF::findDeviceAccount(kTwitterAccountType);
}

Composer* composeViewControllerForServiceType(Class, NS::String* service) {
    if (!systemCarries(service)) {
        return nullptr;
    }
    auto composer = objc::adopt(Composer::alloc()->init());
    objc::setIvar(composer, ComposeViewControllerInternals::_serviceType,
                  objc::Ptr(service)->copy().as<NS::String>());
    // The sheet comes in over the app, dimming it: the app stays on screen under the card.
    composer->setModalPresentationStyle(UI::ModalPresentationCustom);
    return composer->retain()->autorelease();
}

void loadView(Composer* self) {
    self->setView(objc::adopt(SheetView::alloc()->initWithFrame(UI::Screen::mainScreen()->bounds())));
}

bool setInitialText(Composer* self, NS::String* text) {
    if (text == nullptr) {
        return false;
    }
    auto old = objc::ivar(self, SL::ComposeViewControllerInternals::_initialText);
    objc::setIvar(self, SL::ComposeViewControllerInternals::_initialText,
                  objc::Ptr(text)->copy().as<NS::String>());
    objc::Ptr(old)->release();
    return true;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<SheetView>().build();

    objc::ClassDefinition<Composer>()
        .property(ComposeViewControllerInternals::_serviceType)
        .ivar(ComposeViewControllerInternals::_initialText)
        .property<NS::Block*>("completionHandler", objc::Ownership::Owning)
        .method<&isAvailableForServiceType>(Composer::isAvailableForServiceType_)
        .method<&composeViewControllerForServiceType>(Composer::composeViewControllerForServiceType_)
        .method<&loadView>(UI::ViewController::loadView_)
        .method<&viewWillAppear>(UI::ViewController::viewWillAppear_)
        .method<&setInitialText>(Composer::setInitialText_)
        .build();
}

} // namespace

std::string textOf(ComposeViewController* composer) {
    return objc::Ptr(objc::ivar(composer, SL::ComposeViewControllerInternals::_initialText))->str();
}

std::string post(ComposeViewController* composer, const PostLog& log) {
    std::string error = appendPost(textOf(composer), log);
    if (error.empty()) {
        finish(composer, ComposeViewControllerResultDone);
    }
    return error;
}

void cancel(ComposeViewController* composer) { finish(composer, ComposeViewControllerResultCancelled); }

} // namespace SL
