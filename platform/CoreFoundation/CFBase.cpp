#include "CoreFoundation/CoreFoundation.h"

#include "Foundation/NSString.hpp"

#include <map>
#include <mutex>
#include <string>

extern "C" {

double kCFCoreFoundationVersionNumber = 1348.0;

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
