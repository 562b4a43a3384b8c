// CoreFoundation as far as this platform uses it: base types, the version number, constant strings
// and the Darwin notification centre.
#pragma once

#include "objc/Runtime.hpp"

namespace NS {
class Dictionary;
class String;
} // namespace NS

typedef unsigned char Boolean;
typedef long CFIndex;
// Toll-free bridged: a CFStringRef is an NSString, a CFDictionaryRef an NSDictionary.
typedef NS::String* CFStringRef;
typedef NS::Dictionary* CFDictionaryRef;
typedef struct __CFNotificationCenter* CFNotificationCenterRef;

enum CFNotificationSuspensionBehavior : CFIndex {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

typedef void (*CFNotificationCallback)(CFNotificationCenterRef center, void* observer, CFStringRef name,
                                       const void* object, CFDictionaryRef userInfo);

// A string constant that lives as long as the process; equal texts give the same string.
#define CFSTR(text) __CFStringMakeConstantString("" text "")

extern "C" {

// The version of this Core Foundation; assignable, so that tests can play other systems.
GLINTMERE_EXPORT extern double kCFCoreFoundationVersionNumber;

GLINTMERE_EXPORT CFStringRef __CFStringMakeConstantString(const char* text);

// The centre whose notifications reach every process of the device: a bare name, no object and no
// user info. Observers are called on their process's main run loop, each observed name at most once
// for all posts that arrived since the last delivery. A post is also an open-for-writing and close
// (as `touch` does) of the name's file in /private/var/run/notifyd, so shell scripts can post too.
GLINTMERE_EXPORT CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void);

// Registers `callBack` for `name`. Adding the same observer, callback and name again changes
// nothing. The object and the suspension behaviour have no effect on this centre. A null centre,
// callback or name is refused.
GLINTMERE_EXPORT void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                                      CFNotificationCallback callBack, CFStringRef name,
                                                      const void* object,
                                                      CFNotificationSuspensionBehavior suspensionBehavior);
// Stops the observer's callbacks for `name`, or for every name when `name` is null.
GLINTMERE_EXPORT void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer,
                                                         CFStringRef name, const void* object);
GLINTMERE_EXPORT void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center,
                                                              const void* observer);
// Posts `name` to every observer of the device, this process included. Object, user info and
// deliverImmediately have no effect on this centre. A null or empty name is refused.
GLINTMERE_EXPORT void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name,
                                                           const void* object, CFDictionaryRef userInfo,
                                                           Boolean deliverImmediately);
}
