// The one place that knows which Objective-C runtime the bridge runs on: GNU libobjc's lookups.
#pragma once

// A build for a device swaps this file, and nothing else, for one over Apple's runtime: `lookup`
// becomes a cast of `objc_msgSend` (and `objc_msgSend_stret` for large structs), `lookupSuper` of
// `objc_msgSendSuper`, and the unrecognized-selector hook `objc_setForwardHandler`.
#include <objc/message.h>
#include <objc/runtime.h>

namespace objc::runtime {

// The implementation that a send of `sel` to `self` (not nil) runs.
inline IMP lookup(id self, SEL sel) { return objc_msg_lookup(self, sel); }

// The implementation that `[super sel]` runs, for `self` seen as an instance of `superclass`.
inline IMP lookupSuper(id self, Class superclass, SEL sel) {
    objc_super super{self, superclass};
    return objc_msg_lookup_super(&super, sel);
}

// What runs for a message that no class in the receiver's chain answers.
using UnrecognizedHandler = void (*)(id, SEL);
inline void setUnrecognizedSelectorHandler(UnrecognizedHandler handler) {
    static UnrecognizedHandler installed = nullptr;
    installed = handler;
    __objc_msg_forward2 = [](id, SEL) -> IMP {
        return reinterpret_cast<IMP>(reinterpret_cast<void (*)()>(installed));
    };
}

} // namespace objc::runtime
