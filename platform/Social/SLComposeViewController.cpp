#include "Social/SLComposeViewController.hpp"

#include "CoreFoundation/CoreFoundation.h"
#include "CoreFoundation/DeviceAccounts.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdlib>

NS::String* const SLServiceTypeTwitter = CFSTR("com.apple.social.twitter");

namespace SL {
namespace {

using NS::literals::operator""_ns;
using Composer = ComposeViewController;

constexpr const char* kTwitterAccountType = "com.apple.twitter";
constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";

// The major number of the system's version; 0 when the version file cannot tell.
long systemMajorVersion() {
    // The caller need not have a pool of its own: reading the file autoreleases what it makes.
    NS::AutoreleaseScope pool;
    auto versions =
        objc::adopt(NS::Dictionary::alloc()->initWithContentsOfFile(NS::String::string(kSystemVersionPath)));
    return std::atol(NS::cast<NS::String>(versions->objectForKey("ProductVersion"_ns))->str().c_str());
}

// The system removed Twitter in 11.0.
bool systemCarries(NS::String* service) {
    return objc::Ptr(service)->isEqualToString(SLServiceTypeTwitter) && systemMajorVersion() < 11;
}

// Tells the handler, keeping the composer alive through the call: the handler usually dismisses
// it, which may release the last reference to it.
void finish(Composer* composer, ComposeViewControllerResult result) {
    auto keep = objc::retain(composer);
    auto handler = objc::retain(keep->completionHandler());
    handler->invoke<void, ComposeViewControllerResult>(result);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Composer>()
        .property<NS::String*>("serviceType", objc::Ownership::Copying)
        .ivar<NS::String*>("_initialText", objc::Ownership::Copying)
        .property<NS::Block*>("completionHandler", objc::Ownership::Owning)
        .method(Composer::isAvailableForServiceType_,
                [](Class, NS::String* service) -> bool {
                    return systemCarries(service) && CF::findDeviceAccount(kTwitterAccountType);
                })
        .method(Composer::composeViewControllerForServiceType_,
                [](Class, NS::String* service) -> Composer* {
                    if (!systemCarries(service)) {
                        return nullptr;
                    }
                    auto composer = objc::adopt(Composer::alloc()->init());
                    objc::setIvar<NS::Object*>(composer, "_serviceType", objc::Ptr(service)->copy());
                    return composer->retain()->autorelease();
                })
        .method(Composer::setInitialText_,
                [](Composer* self, NS::String* text) -> bool {
                    if (text == nullptr) {
                        return false;
                    }
                    auto old = objc::ivar<NS::Object*>(self, "_initialText");
                    objc::setIvar<NS::Object*>(self, "_initialText", objc::Ptr(text)->copy());
                    objc::Ptr(old)->release();
                    return true;
                })
        .build();
}

} // namespace

std::string textOf(ComposeViewController* composer) {
    return objc::Ptr(objc::ivar<NS::String*>(composer, "_initialText"))->str();
}

std::string post(ComposeViewController* composer, const PostLog& log) {
    std::string error = appendPost(textOf(composer), log);
    if (error.empty()) {
        finish(composer, ComposeViewControllerResultDone);
    }
    return error;
}

void cancel(ComposeViewController* composer) { finish(composer, ComposeViewControllerResultCancelled); }

} // namespace SL
