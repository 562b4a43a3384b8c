// How a message is sent on the simulated device's runtime, GNU libobjc: the implementation is looked
// up, then called.
#pragma once

#include "objc/Prototype.hpp"

#include <objc/message.h>
#include <objc/runtime.h>

namespace objc::runtime {

// Sends `sel` to `self` (not nil) through the prototype of `Signature` (see Prototype.hpp).
template <class Signature, class... Args> decltype(auto) send(id self, SEL sel, Args... args) {
    return functionAs<PrototypeOf<Signature>>(objc_msg_lookup(self, sel))(self, sel, args...);
}

// `[super sel]` for `self` (not nil): the search starts at `superclass`.
template <class Signature, class... Args>
decltype(auto) sendSuper(id self, Class superclass, SEL sel, Args... args) {
    objc_super super{self, superclass};
    return functionAs<PrototypeOf<Signature>>(objc_msg_lookup_super(&super, sel))(self, sel, args...);
}

// What runs for a message that no class in the receiver's chain answers. Only the root class of the
// stand-in Foundation sets it; on a device the runtime's own forwarding does this.
using UnrecognizedHandler = void (*)(id, SEL);
inline void setUnrecognizedSelectorHandler(UnrecognizedHandler handler) {
    static UnrecognizedHandler installed = nullptr;
    installed = handler;
    __objc_msg_forward2 = [](id, SEL) -> IMP { return functionAs<IMP>(installed); };
}

} // namespace objc::runtime
