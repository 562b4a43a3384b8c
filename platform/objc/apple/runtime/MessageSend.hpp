// How a message is sent on a device, Apple's runtime: objc_msgSend (objc_msgSendSuper for super sends)
// called through the message's exact prototype.
#pragma once

#include "objc/Prototype.hpp"

#include <objc/message.h>
#include <objc/runtime.h>

namespace objc::runtime {

// Sends `sel` to `self` (not nil) through the prototype of `Signature` (see Prototype.hpp).
template <class Signature, class... Args> decltype(auto) send(id self, SEL sel, Args... args) {
    return functionAs<PrototypeOf<Signature>>(&objc_msgSend)(self, sel, args...);
}

// `[super sel]` for `self` (not nil): the search starts at `superclass`.
template <class Signature, class... Args>
decltype(auto) sendSuper(id self, Class superclass, SEL sel, Args... args) {
    objc_super super{self, superclass};
    return functionAs<PrototypeOf<Signature, objc_super*>>(&objc_msgSendSuper)(&super, sel, args...);
}

} // namespace objc::runtime
