// Messages declared once, in the view: selector and C++ signature, from which calls and classes are made.
#pragma once

#include "objc/Runtime.hpp"

#include <type_traits>

namespace objc {

// Whether a message goes to instances or to the class object.
enum class Side { Instance, Class };

// What a typed send gives back for a declared result: a nil-safe reference for views, else the result.
template <class R> struct Returned { using type = R; };
template <ViewType T> struct Returned<T*> { using type = Ptr<T>; };
template <ViewType T> struct Returned<const T*> { using type = Ptr<const T>; };

// How an argument reaches a send: an owning reference as the object it holds, the rest as they are.
template <class A> decltype(auto) unwrap(A&& argument) { return static_cast<A&&>(argument); }
template <class T> Ptr<T> unwrap(const Ref<T>& argument) { return argument.get(); }
template <class T> Ptr<T> unwrap(Ref<T>& argument) { return argument.get(); }
template <class T> Ptr<T> unwrap(Ref<T>&& argument) { return argument.get(); }

// One message: its selector and the C++ signature of its arguments and result. Views declare one per
// method (through OBJC_MESSAGE); calls, super calls and the class builder all take it from there.
template <FixedString Name, class Signature, Side S = Side::Instance> struct Message;

template <FixedString Name, class R, class... Params, Side S> struct Message<Name, R(Params...), S> {
    using Result = R;
    using Signature = R(Params...);
    static constexpr Side side = S;

    static SEL selector() { return Selector<Name>::get(); }
    static constexpr const char* name() { return Name.text; }

    template <class Recv> static typename Returned<R>::type send(Recv receiver, Params... args) {
        return objc::send<R>(receiver, selector(), args...);
    }
    // `fn` as an implementation of this message, for a hook: its arguments and result must be the
    // message's, after the receiver (a view of it) and the selector.
    template <class Self> static IMP implementation(R (*fn)(Self*, SEL, Params...)) { return toImp(fn); }
    // Calls `imp`, an implementation of this message that a hook saved, as the runtime would.
    template <class Recv>
    static typename Returned<R>::type call(IMP imp, Recv receiver, SEL sel, Params... args) {
        return reinterpret_cast<R (*)(id, SEL, Params...)>(reinterpret_cast<void (*)()>(imp))(toId(receiver),
                                                                                              sel, args...);
    }
    // `[super name...]` from a method of the class that the view `Defining` stands for.
    template <class Defining, class Recv>
    static typename Returned<R>::type super(Recv receiver, Params... args) {
        return objc::sendSuper<R>(Defining::runtimeClass(), receiver, selector(), args...);
    }
};

// True when `M` can be sent with arguments of types `A...`, after owning references are unwrapped.
template <class M, class... A>
concept Accepts = requires(A&&... args) {
    M::send(static_cast<id>(nullptr), unwrap(static_cast<A&&>(args))...);
};

} // namespace objc

// Declares, inside a view, the message `selector` with the C++ signature given last (e.g.
// `Object*(unsigned long)`): the member `name` sends it, and `name_` describes it for the class builder.
#define OBJC_MESSAGE(name, selector, ...) OBJC_MESSAGE_NAMED(name, name##_, selector, __VA_ARGS__)

// The same, with a descriptor name of its own: for a member name that is overloaded, or one that
// another member already has.
#define OBJC_MESSAGE_NAMED(name, descriptor, selector, ...)                                                  \
    static constexpr ::objc::Message<selector, __VA_ARGS__> descriptor{};                                    \
    template <class... A>                                                                                    \
    requires ::objc::Accepts<::objc::Message<selector, __VA_ARGS__>, A...>                                   \
    decltype(auto) name(A&&... args) const {                                                                 \
        return descriptor.send(this, ::objc::unwrap(static_cast<A&&>(args))...);                             \
    }

// Declares a message to the view's class object; the static member `name` sends it.
#define OBJC_CLASS_MESSAGE(name, selector, ...) OBJC_CLASS_MESSAGE_NAMED(name, name##_, selector, __VA_ARGS__)

// The same, with a descriptor name of its own.
#define OBJC_CLASS_MESSAGE_NAMED(name, descriptor, selector, ...)                                            \
    static constexpr ::objc::Message<selector, __VA_ARGS__, ::objc::Side::Class> descriptor{};               \
    template <class... A>                                                                                    \
    requires ::objc::Accepts<::objc::Message<selector, __VA_ARGS__, ::objc::Side::Class>, A...>              \
    static decltype(auto) name(A&&... args) {                                                                \
        return descriptor.send(runtimeClass(), ::objc::unwrap(static_cast<A&&>(args))...);                   \
    }
