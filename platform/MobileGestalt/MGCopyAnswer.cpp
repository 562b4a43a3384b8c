#include "MobileGestalt/MobileGestalt.h"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"

#include <string_view>

namespace {

using NS::literals::operator""_ns;

// Where the system keeps its version and build.
constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";

// A string entry of the system's version file, read afresh; null when the file or the entry is
// missing or not a string.
NS::Object* copySystemVersionEntry(NS::String* key) {
    auto versions =
        objc::adopt(NS::Dictionary::alloc()->initWithContentsOfFile(NS::String::string(kSystemVersionPath)));
    auto entry = NS::cast<NS::String>(versions->objectForKey(key));
    if (entry == nullptr || entry->length() == 0) {
        return nullptr;
    }
    return entry->copy();
}

} // namespace

CFPropertyListRef MGCopyAnswer(CFStringRef question) {
    // The caller need not have a pool of its own: the answer is made without leaving anything to one.
    NS::AutoreleaseScope pool;
    const std::string_view asked = objc::Ptr<NS::String>(question)->view();
    if (asked == "ProductType") {
        return NS::String::alloc()->initWithUTF8String(CF::deviceFacts().productType.c_str());
    }
    if (asked == "ProductVersion") {
        return copySystemVersionEntry("ProductVersion"_ns);
    }
    if (asked == "BuildVersion") {
        return copySystemVersionEntry("ProductBuildVersion"_ns);
    }
    return nullptr;
}
