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
#include "WebKit/WKElementAction.hpp"
#include "dispatch/dispatch.h"
#include "substrate/substrate.h"

#include <atomic>
#include <cstdint>

extern "C" {
// Which screens the saved wallpaper goes to (0: lock and home screen). Nothing assigns it.
GLINTMERE_EXPORT std::intptr_t wallpaperMode = 0;
}

namespace {

// The reload writes it on whatever thread the notification arrives on while the browser's threads
// read it in the title hook: a lock-free atomic byte keeps that read a plain load, and the program
// free of data races. True from load, before any code of the library has run.
constinit std::atomic<bool> enabled{true};
static_assert(std::atomic<bool>::is_always_lock_free && sizeof(enabled) == 1);

// Strings made once and kept for the life of the process: the hooks run on the browser's threads,
// which need not have an autorelease pool.
template <objc::FixedString Text> NS::String* constant() {
    static NS::String* const string = NS::String::alloc()->initWithUTF8String(Text.text);
    return string;
}

void reloadPreferences() {
    NS::AutoreleaseScope pool;
    auto preferences = objc::adopt(NS::MutableDictionary::alloc()->initWithContentsOfFile(
        constant<"/private/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist">()));
    auto value = preferences->objectForKey(constant<"isEnabled">());
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
                                    constant<"com.brightmoth.glintmere/settingschanged">(), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    reloadPreferences();
}

// The implementations the hooks replace. Calling one goes through a saved function pointer, which
// has no view by nature; the message it implements gives it its types.
IMP originalInit = nullptr;
IMP originalRun = nullptr;

// -[_WKElementAction _initWithTitle:actionHandler:type:]
WK::ElementAction* initWithTitle(WK::ElementAction* self, SEL sel, NS::String* title, NS::Block* handler,
                                 WK::ElementActionType type) {
    if (objc::Ptr(title)->isEqualToString(constant<"Copy">()) && enabled.load(std::memory_order_relaxed)) {
        title = constant<"Set As Wallpaper">();
    }
    return WK::ElementAction::initWithTitle_.call(originalInit, self, sel, title, handler, type);
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
    object_setInstanceVariable(controller->self(), "_wallpaperMode", reinterpret_cast<void*>(wallpaperMode));
    controller->savePhoto();
}

NS::Block* handOff() {
    static NS::Block* const block = NS::Block::create([] { setWallpaperFromPasteboard(); }).leak();
    return block;
}

// -[_WKElementAction _runActionWithElementInfo:view:]
void runActionWithElementInfo(WK::ElementAction* self, SEL sel, NS::Object* elementInfo, NS::Object* view) {
    const bool setsWallpaper = self->title()->isEqualToString(constant<"Set As Wallpaper">());
    WK::ElementAction::runActionWithElementInfo_.call(originalRun, self, sel, elementInfo, view);
    if (setsWallpaper) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 200 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                       handOff());
    }
}

__attribute__((constructor(102))) void installHooks() {
    Class actionClass = WK::ElementAction::runtimeClass();
    // Only the browser's web views have element actions; elsewhere there is nothing to change.
    if (actionClass == Nil) {
        return;
    }
    MSHookMessageEx(actionClass, WK::ElementAction::initWithTitle_.selector(),
                    WK::ElementAction::initWithTitle_.implementation(&initWithTitle), &originalInit);
    MSHookMessageEx(actionClass, WK::ElementAction::runActionWithElementInfo_.selector(),
                    WK::ElementAction::runActionWithElementInfo_.implementation(&runActionWithElementInfo),
                    &originalRun);
}

} // namespace
