// MobileSubstrate's imports: a hook's replacement is guest code, and the implementation it replaces
// is handed back as a guest address that calls the host's.
#include "dyld/Bindings.hpp"
#include "substrate/substrate.h"

#include <array>

namespace dyld {

namespace {

void hookMessage(Class cls, SEL selector, std::uint64_t replacement, std::uint64_t* result) {
    Method method = cls != Nil && selector != nullptr ? class_getInstanceMethod(cls, selector) : nullptr;
    if (method == nullptr || replacement == 0) {
        MSHookMessageEx(cls, selector, nullptr, nullptr);
        if (result != nullptr) {
            *result = 0;
        }
        return;
    }
    const Signature& signature = Signature::of(method_getTypeEncoding(method));
    // The slot is filled before the hook takes effect, as MSHookMessageEx does: the replacement may
    // run at once and call through it.
    IMP original = method_getImplementation(method);
    if (result != nullptr) {
        *result = signature.callableByGuest(reinterpret_cast<void*>(original), sel_getName(selector));
    }
    MSHookMessageEx(cls, selector, reinterpret_cast<IMP>(signature.callableByHost(replacement)), nullptr);
}

const std::array bindings{
    Binding{"_MSHookMessageEx", call<hookMessage>},
};

} // namespace

std::span<const Binding> substrateBindings() { return bindings; }

} // namespace dyld
