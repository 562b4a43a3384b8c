// MobileSubstrate's imports: a hook's replacement is guest code, and the implementation it replaces
// is handed back as a guest address that calls the host's.
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/GuestObjects.hpp"
#include "substrate/substrate.h"

#include <array>

namespace dyld {

namespace {

void hookMessage(Class cls, SEL selector, std::uint64_t replacement, std::uint64_t* result) {
    if (cls != Nil) {
        requireClass("MSHookMessageEx", cls);
    }
    if (selector != nullptr) {
        requireSelector("MSHookMessageEx", selector);
    }
    // The slot is filled before the hook takes effect, as MSHookMessageEx does: the replacement may
    // run at once and call through it.
    const auto fill = [result](std::uint64_t original) {
        if (result != nullptr && !darwin::copyToGuest(result, original)) {
            guestFault("MSHookMessageEx: guest code passed a result it cannot write");
        }
    };
    Method method = cls != Nil && selector != nullptr ? class_getInstanceMethod(cls, selector) : nullptr;
    if (method == nullptr || replacement == 0) {
        fill(0);
        MSHookMessageEx(cls, selector, nullptr, nullptr);
        return;
    }
    const Signature& signature = Signature::of(method_getTypeEncoding(method));
    IMP original = method_getImplementation(method);
    fill(signature.callableByGuest(reinterpret_cast<void*>(original), sel_getName(selector)));
    MSHookMessageEx(cls, selector, reinterpret_cast<IMP>(signature.callableByHost(replacement)), nullptr);
}

const std::array bindings{
    Binding{"_MSHookMessageEx", call<hookMessage>},
};

} // namespace

std::span<const Binding> substrateBindings() { return bindings; }

} // namespace dyld
