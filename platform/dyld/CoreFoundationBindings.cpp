// CoreFoundation's imports: the Darwin notification centre, whose callbacks run guest code.
#include "CoreFoundation/CoreFoundation.h"
#include "dyld/Bindings.hpp"
#include "dyld/GuestObjects.hpp"

#include <array>

namespace dyld {

namespace {

void addObserver(CFNotificationCenterRef center, const void* observer, std::uint64_t callback,
                 CFStringRef name, const void* object, long behavior) {
    if (name != nullptr) {
        requireObject("CFNotificationCenterAddObserver", reinterpret_cast<std::uint64_t>(name), "a name");
    }
    CFNotificationCenterAddObserver(center, observer, hostFunction<CFNotificationCallback>(callback), name,
                                    object, static_cast<CFNotificationSuspensionBehavior>(behavior));
}

// The centre is only compared with the one there is; the object and the user info are not read.
void postNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                      CFDictionaryRef userInfo, Boolean deliverImmediately) {
    if (name != nullptr) {
        requireObject("CFNotificationCenterPostNotification", reinterpret_cast<std::uint64_t>(name),
                      "a name");
    }
    CFNotificationCenterPostNotification(center, name, object, userInfo, deliverImmediately);
}

const std::array bindings{
    Binding{"_CFNotificationCenterGetDarwinNotifyCenter", call<CFNotificationCenterGetDarwinNotifyCenter>},
    Binding{"_CFNotificationCenterAddObserver", call<addObserver>},
    Binding{"_CFNotificationCenterPostNotification", call<postNotification>},
    Binding{"_kCFCoreFoundationVersionNumber", object<&kCFCoreFoundationVersionNumber>},
};

} // namespace

std::span<const Binding> coreFoundationBindings() { return bindings; }

} // namespace dyld
