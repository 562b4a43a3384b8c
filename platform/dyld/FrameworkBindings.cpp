// The data and functions that the settings bundle imports from frameworks other than the runtime's
// and the C library's: found in the device's stand-in of each, which is loaded for them.
#include "dyld/Bindings.hpp"
#include "dyld/GuestObjects.hpp"

#include <dlfcn.h>

#include <array>

namespace dyld {

namespace {

// Where each stand-in lies in the device. MobileGestalt's install name is under /usr/lib on a phone,
// where the host's own libraries are, so its stand-in lives among the private frameworks.
constexpr char kUIKit[] = "/System/Library/Frameworks/UIKit.framework/UIKit";
constexpr char kSocial[] = "/System/Library/Frameworks/Social.framework/Social";
constexpr char kMobileGestalt[] = "/System/Library/PrivateFrameworks/MobileGestalt.framework/MobileGestalt";

void* exported(const char* library, std::string_view symbol) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    const std::string name(symbol.substr(1));
    // A program that refers to a framework's variable itself holds the copy that every library uses
    // (a copy relocation), and the framework's own stays as it was linked: the process's first
    // definition is the live one.
    void* found = handle == nullptr ? nullptr : dlsym(RTLD_DEFAULT, name.c_str());
    if (found == nullptr && handle != nullptr) {
        found = dlsym(handle, name.c_str());
    }
    if (found == nullptr) {
        guestFault(std::string(symbol) + " is not exported by " + library + " in this device");
    }
    return found;
}

// A variable of the stand-in, at its address.
template <const char* Library> std::uint64_t data(std::string_view symbol) {
    return reinterpret_cast<std::uint64_t>(exported(Library, symbol));
}

// MobileGestalt's one function. Its question is a CFString, an object, checked before the stand-in
// reads it.
using CopyAnswer = const void* (*)(const void*);
CopyAnswer standInCopyAnswer = nullptr;
const void* copyAnswer(const void* question) {
    if (question != nullptr) {
        requireObject("MGCopyAnswer", reinterpret_cast<std::uint64_t>(question), "a question");
    }
    return standInCopyAnswer(question);
}
std::uint64_t bindCopyAnswer(std::string_view symbol) {
    standInCopyAnswer = reinterpret_cast<CopyAnswer>(exported(kMobileGestalt, symbol));
    return call<copyAnswer>(symbol);
}

const std::array bindings{
    Binding{"_NSForegroundColorAttributeName", data<kUIKit>},
    Binding{"_SLServiceTypeTwitter", data<kSocial>},
    Binding{"_MGCopyAnswer", bindCopyAnswer},
};

} // namespace

std::span<const Binding> frameworkBindings() { return bindings; }

} // namespace dyld
