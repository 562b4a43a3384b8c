// MobileGestalt: answers questions about the device (its model, system version and build) by name.
#pragma once

#include "CoreFoundation/CoreFoundation.h"

namespace NS {
class Object;
} // namespace NS

// A property-list object: a string for every question this device answers.
typedef NS::Object* CFPropertyListRef;

extern "C" {

// The answer to `question`, owned by the caller (release it); null for a question the device does
// not answer or a fact it cannot read. Answered: "ProductType" (the hardware model, "iPhone6,1"),
// "ProductVersion" (the system version, "8.4") and "BuildVersion" (the system build, "12H143").
GLINTMERE_EXPORT CFPropertyListRef MGCopyAnswer(CFStringRef question);
}
