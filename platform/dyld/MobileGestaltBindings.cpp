// MobileGestalt's one import, MGCopyAnswer, answered by the device's stand-in. Its install name is under
// /usr/lib on a phone, where the host's own libraries are, so its stand-in lives among the private
// frameworks.
#include "dyld/Bindings.hpp"
#include "dyld/GuestObjects.hpp"

#include <array>

namespace dyld {

namespace {

constexpr char kMobileGestalt[] = "/System/Library/PrivateFrameworks/MobileGestalt.framework/MobileGestalt";

// Its question is a CFString, an object, checked before the stand-in reads it.
using CopyAnswer = const void* (*)(const void*);
CopyAnswer standInCopyAnswer = nullptr;
const void* copyAnswer(const void* question) {
    if (question != nullptr) {
        requireObject("MGCopyAnswer", reinterpret_cast<std::uint64_t>(question), "a question");
    }
    return standInCopyAnswer(question);
}
std::uint64_t bindCopyAnswer(std::string_view symbol) {
    standInCopyAnswer = reinterpret_cast<CopyAnswer>(standInExport(kMobileGestalt, symbol));
    return call<copyAnswer>(symbol);
}

const std::array bindings{
    Binding{"_MGCopyAnswer", bindCopyAnswer},
};

} // namespace

std::span<const Binding> mobileGestaltBindings() { return bindings; }

} // namespace dyld
