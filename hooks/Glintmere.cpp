// Glintmere's hook library: while the user's setting allows it, the browser's image action "Copy"
// becomes "Set As Wallpaper", and the image it copies is saved as the wallpaper a moment later.
#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "dispatch/dispatch.h"
#include "substrate/substrate.h"

#include <atomic>
#include <cstdint>

extern "C" {
// Which screens the saved wallpaper goes to (0: lock and home screen). Nothing assigns it.
GLINTMERE_EXPORT std::intptr_t wallpaperMode = 0;
}

namespace {

using objc::operator""_sel;

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
    id preferences = objc::send<id>(
        objc::send<id>(objc_getClass("NSMutableDictionary"), "alloc"_sel), "initWithContentsOfFile:"_sel,
        constant<"/private/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist">());
    if (preferences == nil) {
        return;
    }
    id value = objc::send<id>(preferences, "objectForKey:"_sel, constant<"isEnabled">());
    // Only numbers and strings have a boolean reading; any other kind of entry counts as absent.
    if (objc::send<bool>(value, "isKindOfClass:"_sel, objc_getClass("NSNumber")) ||
        objc::send<bool>(value, "isKindOfClass:"_sel, objc_getClass("NSString"))) {
        enabled.store(objc::send<bool>(value, "boolValue"_sel), std::memory_order_relaxed);
    }
    objc::send(preferences, "release"_sel);
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

IMP savedInit = nullptr;
IMP savedRun = nullptr;

using InitMethod = id (*)(id, SEL, id, id, long);
using RunMethod = void (*)(id, SEL, id, id);

// A saved implementation as the function it is; the detour through `void (*)()` is the one
// function-pointer cast compilers accept without a warning.
template <class Method> Method saved(IMP imp) {
    return reinterpret_cast<Method>(reinterpret_cast<void (*)()>(imp));
}

id titleHook(id self, SEL sel, id title, id handler, long type) {
    const bool isCopy = objc::send<bool>(title, "isEqualToString:"_sel, constant<"Copy">());
    if (isCopy && enabled.load(std::memory_order_relaxed)) {
        title = objc::toId(constant<"Set As Wallpaper">());
    }
    return saved<InitMethod>(savedInit)(self, sel, title, handler, type);
}

void setWallpaperFromPasteboard() {
    NS::AutoreleaseScope pool;
    id image = objc::send<id>(UI::Pasteboard::generalPasteboard(), "image"_sel);
    // An empty pasteboard means the copy did not happen; there is nothing to save.
    if (image == nil) {
        return;
    }
    id controller = objc::send<id>(objc_getClass("PLStaticWallpaperImageViewController"), "alloc"_sel);
    controller = objc::send<id>(objc::send<id>(controller, "initWithUIImage:"_sel, image), "autorelease"_sel);
    if (controller == nil) {
        return;
    }
    objc::send(controller, "setSaveWallpaperData:"_sel, true);
    object_setInstanceVariable(controller, "_wallpaperMode", reinterpret_cast<void*>(wallpaperMode));
    objc::send(controller, "_savePhoto"_sel);
}

NS::Block* handOff() {
    static NS::Block* const block = NS::Block::create([] { setWallpaperFromPasteboard(); }).leak();
    return block;
}

void runHook(id self, SEL sel, id elementInfo, id view) {
    id title = objc::send<id>(self, "title"_sel);
    const bool setsWallpaper =
        objc::send<bool>(title, "isEqualToString:"_sel, constant<"Set As Wallpaper">());
    saved<RunMethod>(savedRun)(self, sel, elementInfo, view);
    if (setsWallpaper) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 200000000), dispatch_get_main_queue(), handOff());
    }
}

__attribute__((constructor(102))) void installHooks() {
    Class actionClass = objc_getClass("_WKElementAction");
    // Only the browser's web views have element actions; elsewhere there is nothing to change.
    if (actionClass == Nil) {
        return;
    }
    MSHookMessageEx(actionClass, "_initWithTitle:actionHandler:type:"_sel, objc::toImp(&titleHook),
                    &savedInit);
    MSHookMessageEx(actionClass, "_runActionWithElementInfo:view:"_sel, objc::toImp(&runHook), &savedRun);
}

} // namespace
