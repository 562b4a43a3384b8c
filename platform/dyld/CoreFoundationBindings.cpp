// CoreFoundation's imports: the Darwin notification centre, whose callbacks run guest code.
#include "CoreFoundation/CoreFoundation.h"
#include "dyld/Bindings.hpp"

#include <array>

namespace dyld {

namespace {

void addObserver(CFNotificationCenterRef center, const void* observer, std::uint64_t callback,
                 CFStringRef name, const void* object, long behavior) {
    CFNotificationCenterAddObserver(center, observer, hostFunction<CFNotificationCallback>(callback), name,
                                    object, static_cast<CFNotificationSuspensionBehavior>(behavior));
}

const std::array bindings{
    Binding{"_CFNotificationCenterGetDarwinNotifyCenter", call<CFNotificationCenterGetDarwinNotifyCenter>},
    Binding{"_CFNotificationCenterAddObserver", call<addObserver>},
    Binding{"_CFNotificationCenterPostNotification", call<CFNotificationCenterPostNotification>},
    Binding{"_kCFCoreFoundationVersionNumber", object<&kCFCoreFoundationVersionNumber>},
};

} // namespace

std::span<const Binding> coreFoundationBindings() { return bindings; }

} // namespace dyld
