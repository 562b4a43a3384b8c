#include "substrate/substrate.h"

#include <cstdlib>

namespace {

bool definesOwnMethod(Class cls, SEL selector) {
    unsigned int count = 0;
    Method* methods = class_copyMethodList(cls, &count);
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = sel_isEqual(method_getName(methods[i]), selector);
    }
    std::free(methods);
    return found;
}

} // namespace

extern "C" void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result) {
    Method method = cls != Nil && selector != nullptr && replacement != nullptr
                        ? class_getInstanceMethod(cls, selector)
                        : nullptr;
    if (method == nullptr) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return;
    }
    // The slot is filled first: once the replacement is in place it may run on any thread, and
    // it calls through the slot.
    if (result != nullptr) {
        *result = method_getImplementation(method);
    }
    if (definesOwnMethod(cls, selector)) {
        class_replaceMethod(cls, selector, replacement, method_getTypeEncoding(method));
    } else {
        class_addMethod(cls, selector, replacement, method_getTypeEncoding(method));
    }
}
