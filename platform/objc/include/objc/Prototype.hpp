// The C function type through which a message of a given signature is sent.
#pragma once

#include <objc/runtime.h>

namespace objc::runtime {

// `Signature` is the message's own, `R(P...)`, or `R(P..., ...)` for a variadic message, whose
// variadic arguments must travel as variadic ones: on a device they go on the stack while fixed
// ones go in registers. `First` is what comes before the selector: the receiver, or a super record.
template <class Signature, class First> struct Prototype;
template <class R, class... P, class First> struct Prototype<R(P...), First> {
    using type = R (*)(First, SEL, P...);
};
template <class R, class... P, class First> struct Prototype<R(P..., ...), First> {
    using type = R (*)(First, SEL, P..., ...);
};
template <class Signature, class First = id> using PrototypeOf = typename Prototype<Signature, First>::type;

// Any function pointer seen as another function type. The detour through `void (*)()` is the one
// function-pointer cast that compilers accept without a warning.
template <class To, class From> To functionAs(From fn) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(fn));
}

} // namespace objc::runtime
