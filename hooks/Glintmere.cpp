// Glintmere's hook library: while the user's setting allows it, the browser's image action "Copy"
// becomes "Set As Wallpaper", and the image it copies is saved as the wallpaper a moment later.
#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "UIKit/UIWebElementAction.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKElementAction.hpp"
#include "dispatch/dispatch.h"
#include "substrate/substrate.h"

#include <atomic>
#include <cstdint>
#include <cstring>

extern "C" {
// Which screens the saved wallpaper goes to (0: lock and home screen). Nothing assigns it.
GLINTMERE_EXPORT std::intptr_t wallpaperMode = 0;
}

namespace {

// Its strings are constants, never autoreleased: the hooks run on the browser's threads, which need not
// have an autorelease pool.
using NS::literals::operator""_ns;

// The reload writes it on whatever thread the notification arrives on while the browser's threads
// read it in the title hook: a lock-free atomic byte keeps that read a plain load, and the program
// free of data races. True from load, before any code of the library has run.
constinit std::atomic<bool> enabled{true};
static_assert(std::atomic<bool>::is_always_lock_free && sizeof(enabled) == 1);

void reloadPreferences() {
    NS::AutoreleaseScope pool;
    auto preferences = objc::adopt(NS::MutableDictionary::alloc()->initWithContentsOfFile(
        "/private/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist"_ns));
    auto value = preferences->objectForKey("isEnabled"_ns);
    // Only numbers and strings have a boolean reading; any other kind of entry (or none, or no
    // readable file) leaves the setting as it was.
    if (auto number = NS::cast<NS::Number>(value)) {
        enabled.store(number->boolValue(), std::memory_order_relaxed);
    } else if (auto text = NS::cast<NS::String>(value)) {
        enabled.store(text->boolValue(), std::memory_order_relaxed);
    }
}

void settingsChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
    reloadPreferences();
}

__attribute__((constructor(101))) void loadPreferences() {
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &settingsChanged,
                                    "com.brightmoth.glintmere/settingschanged"_ns, nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    reloadPreferences();
}

// The implementations the hooks replace: of the one initialiser and the one run method the running
// system's action class has. Calling one goes through a saved function pointer, which has no view by
// nature; the message it implements gives it its types.
IMP originalInit = nullptr;
IMP originalRun = nullptr;

NS::String* relabelled(NS::String* title) {
    if (objc::Ptr(title)->isEqualToString("Copy"_ns) && enabled.load(std::memory_order_relaxed)) {
        return "Set As Wallpaper"_ns;
    }
    return title;
}

bool setsWallpaper(NS::String* title) { return objc::Ptr(title)->isEqualToString("Set As Wallpaper"_ns); }

// -[_WKElementAction _initWithTitle:actionHandler:type:], iOS 8.0 to 8.4
WK::ElementAction* initWithTitle(WK::ElementAction* self, SEL sel, NS::String* title, NS::Block* handler,
                                 WK::ElementActionType type) {
    return WK::ElementAction::initWithTitle_.call(originalInit, self, sel, relabelled(title), handler, type);
}

// -[_WKElementAction _initWithTitle:actionHandler:type:assistant:], from iOS 9.0
WK::ElementAction* initWithTitleForAssistant(WK::ElementAction* self, SEL sel, NS::String* title,
                                             NS::Block* handler, WK::ElementActionType type,
                                             WK::ActionSheetAssistant* assistant) {
    return WK::ElementAction::initWithTitleForAssistant_.call(originalInit, self, sel, relabelled(title),
                                                              handler, type, assistant);
}

// -[UIWebElementAction initWithTitle:actionHandler:type:], the browser's on iOS 7
UI::WebElementAction* initWebElementAction(UI::WebElementAction* self, SEL sel, NS::String* title,
                                           NS::Block* handler, int type) {
    return UI::WebElementAction::initWithTitle_.call(originalInit, self, sel, relabelled(title), handler,
                                                     type);
}

// Which screens the controller's `_wallpaperMode` names, written as wide as the variable is: the
// runtime's own setter stores a whole pointer, which on a 4-byte `int` overwrites what follows it.
void setWallpaperMode(PL::StaticWallpaperImageViewController* controller) {
    Ivar variable = class_getInstanceVariable(object_getClass(controller->self()), "_wallpaperMode");
    const char* type = variable != nullptr ? ivar_getTypeEncoding(variable) : nullptr;
    if (type == nullptr) {
        return;
    }
    char* place = reinterpret_cast<char*>(controller->self()) + ivar_getOffset(variable);
    const auto put = [place](auto value) { std::memcpy(place, &value, sizeof value); };
    switch (type[0]) {
    case 'i':
    case 'I':
        put(static_cast<std::int32_t>(wallpaperMode));
        break;
    case 'l':
    case 'L':
    case 'q':
    case 'Q':
        put(static_cast<std::int64_t>(wallpaperMode));
        break;
    default:
        // A kind of variable no release has: leave it as the controller made it.
        break;
    }
}

void setWallpaperFromPasteboard() {
    NS::AutoreleaseScope pool;
    auto image = UI::Pasteboard::generalPasteboard()->image();
    // An empty pasteboard means the copy did not happen; there is nothing to save.
    if (image == nullptr) {
        return;
    }
    auto controller = objc::adopt(PL::StaticWallpaperImageViewController::alloc()->initWithUIImage(image));
    if (!controller) {
        return;
    }
    controller->setSaveWallpaperData(true);
    setWallpaperMode(controller.get());
    controller->savePhoto();
}

NS::Block* handOff() {
    static NS::Block* const block = NS::Block::create([] { setWallpaperFromPasteboard(); }).leak();
    return block;
}

// After the action has run (it copies the image), the wallpaper is set from the pasteboard.
void handOffLater() {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 200 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                   handOff());
}

// -[_WKElementAction _runActionWithElementInfo:view:], iOS 8.0 to 8.2
void runActionWithElementInfo(WK::ElementAction* self, SEL sel, NS::Object* elementInfo, NS::Object* view) {
    const bool handsOff = setsWallpaper(self->title());
    WK::ElementAction::runActionWithElementInfo_.call(originalRun, self, sel, elementInfo, view);
    if (handsOff) {
        handOffLater();
    }
}

// -[_WKElementAction _runActionWithElementInfo:forActionSheetAssistant:], from iOS 8.3
void runActionWithElementInfoForAssistant(WK::ElementAction* self, SEL sel, NS::Object* elementInfo,
                                          WK::ActionSheetAssistant* assistant) {
    const bool handsOff = setsWallpaper(self->title());
    WK::ElementAction::runActionWithElementInfoForAssistant_.call(originalRun, self, sel, elementInfo,
                                                                  assistant);
    if (handsOff) {
        handOffLater();
    }
}

// -[UIWebElementAction _runActionWithElement:targetURL:documentView:interactionLocation:], iOS 7
void runWebElementAction(UI::WebElementAction* self, SEL sel, NS::Object* element, NS::Object* targetURL,
                         NS::Object* documentView, CGPoint location) {
    const bool handsOff = setsWallpaper(self->title());
    UI::WebElementAction::runActionWithElement_.call(originalRun, self, sel, element, targetURL, documentView,
                                                     location);
    if (handsOff) {
        handOffLater();
    }
}

// The Core Foundation number of iOS 8.0, the first release whose browser sheet is WebKit's.
constexpr double kCoreFoundationOfIOS8 = 1140.10;

// Replaces `message` of `actionClass` by `replacement`, keeping the original in `original`; false
// when the class has no such method in this release.
template <typename Message, typename Function>
bool replace(Class actionClass, const Message& message, Function replacement, IMP* original) {
    if (class_getInstanceMethod(actionClass, message.selector()) == nullptr) {
        return false;
    }
    MSHookMessageEx(actionClass, message.selector(), message.implementation(replacement), original);
    return true;
}

__attribute__((constructor(102))) void installHooks() {
    // Where the system has no wallpaper screen (iOS 14 and later), "Set As Wallpaper" would promise
    // what nothing can do: the sheet keeps its "Copy".
    if (PL::StaticWallpaperImageViewController::runtimeClass() == Nil) {
        return;
    }
    // The browser's sheet is made of WebKit's actions from iOS 8 on, of UIKit's on iOS 7 (UIKit keeps
    // its class later on, for other web views' sheets); a process without the class of its release
    // has no sheet to change. One form of each method is there in any release: whichever the class
    // answers to is replaced.
    if (kCFCoreFoundationVersionNumber >= kCoreFoundationOfIOS8) {
        Class actionClass = WK::ElementAction::runtimeClass();
        if (actionClass == Nil) {
            return;
        }
        replace(actionClass, WK::ElementAction::initWithTitle_, &initWithTitle, &originalInit) ||
            replace(actionClass, WK::ElementAction::initWithTitleForAssistant_, &initWithTitleForAssistant,
                    &originalInit);
        replace(actionClass, WK::ElementAction::runActionWithElementInfo_, &runActionWithElementInfo,
                &originalRun) ||
            replace(actionClass, WK::ElementAction::runActionWithElementInfoForAssistant_,
                    &runActionWithElementInfoForAssistant, &originalRun);
    } else if (Class legacyClass = UI::WebElementAction::runtimeClass(); legacyClass != Nil) {
        replace(legacyClass, UI::WebElementAction::initWithTitle_, &initWebElementAction, &originalInit);
        replace(legacyClass, UI::WebElementAction::runActionWithElement_, &runWebElementAction, &originalRun);
    }
}

} // namespace
