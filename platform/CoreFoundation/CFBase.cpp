#include "CoreFoundation/CoreFoundation.h"
#include "CoreFoundation/DeviceFacts.hpp"

#include "Foundation/NSString.hpp"

#include <map>
#include <mutex>
#include <string>

extern "C" {

// The device's own number, there before any library that links this one starts.
double kCFCoreFoundationVersionNumber = CF::deviceFacts().coreFoundationVersion;

CFStringRef __CFStringMakeConstantString(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    static std::mutex mutex;
    // Never released: constants outlive every user, as on the device.
    static auto* constants = new std::map<std::string, NS::String*, std::less<>>;
    std::lock_guard lock(mutex);
    auto it = constants->find(text);
    if (it == constants->end()) {
        it = constants->emplace(text, NS::String::alloc()->initWithUTF8String(text)).first;
    }
    return it->second;
}
}
