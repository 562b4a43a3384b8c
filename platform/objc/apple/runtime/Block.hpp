// Blocks on a device: laid out as the compiler lays out a block literal, by hand, since the product is
// C++ without the blocks extension. A callable without state is a global block in static data; one
// with state starts on the stack and is copied to the heap by the block runtime, which copies and
// destroys the callable through the helpers the literal names.
#pragma once

#include "objc/Runtime.hpp"
#include "objc/TypeEncoding.hpp"

#include <Block.h>
#include <sys/_darwin_abi.h>

#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace objc::runtime {

namespace block {

enum Flags : int {
    HasCopyDispose = __DARWIN_BLOCK_HAS_COPY_DISPOSE,
    IsGlobal = __DARWIN_BLOCK_IS_GLOBAL,
    HasSignature = __DARWIN_BLOCK_HAS_SIGNATURE,
};

using Header = __darwin_block_literal;

// The descriptors of the two kinds made here: with a signature, and with the helpers before it.
struct GlobalDescriptor : __darwin_block_descriptor {
    const char* signature;
};

struct Descriptor : __darwin_block_descriptor {
    void (*copy)(void* to, const void* from);
    void (*dispose)(const void* block);
    const char* signature;
};

// The block's type encoding: the result, the block itself ("@?"), then the arguments.
template <class R, class... Args> const char* signature() {
    static const std::string text = encode<R>() + "@?" + (std::string() + ... + encode<Args>());
    return text.c_str();
}

template <class F, class Sig> struct Literal;
template <class F, class R, class... Args> struct Literal<F, R(Args...)> {
    Header header;
    F fn;

    static R invoke(Literal* self, Args... args) { return self->fn(args...); }
    static R invokeGlobal(void*, Args... args) { return F{}(args...); }
    static void copy(void* to, const void* from) {
        new (&static_cast<Literal*>(to)->fn) F(static_cast<const Literal*>(from)->fn);
    }
    static void dispose(const void* block) { static_cast<const Literal*>(block)->fn.~F(); }
};

// A callable of no state: one global block of the process per callable type.
template <class F, class R, class... Args> struct Global {
    struct Empty {};
    using Shape = Literal<Empty, R(Args...)>;
    static id get() {
        static const GlobalDescriptor descriptor{{0, sizeof(Shape)}, signature<R, Args...>()};
        static Shape literal{{&_NSConcreteGlobalBlock, IsGlobal | HasSignature, 0,
                              functionAs<void (*)()>(&Literal<F, R(Args...)>::invokeGlobal), &descriptor},
                             {}};
        return reinterpret_cast<id>(&literal);
    }
};

template <class Sig> struct Make;
template <class R, class... Args> struct Make<R(Args...)> {
    template <class F> static id from(F fn) {
        if constexpr (std::is_empty_v<F> && std::is_default_constructible_v<F>) {
            return Global<F, R, Args...>::get();
        } else {
            static_assert(std::is_copy_constructible_v<F>, "a block's callable is copied to the heap");
            using Shape = Literal<F, R(Args...)>;
            static const Descriptor descriptor{
                {0, sizeof(Shape)}, &Shape::copy, &Shape::dispose, signature<R, Args...>()};
            Shape onStack{{&_NSConcreteStackBlock, HasCopyDispose | HasSignature, 0,
                           functionAs<void (*)()>(&Shape::invoke), &descriptor},
                          std::move(fn)};
            return reinterpret_cast<id>(_Block_copy(&onStack));
        }
    }
};

} // namespace block

// A new block of the signature `Sig` (`R(Args...)`) that calls `fn`; the caller owns it (a global
// block has no owners to count, and releasing it does nothing).
template <class Sig, class F> id makeBlock(F fn) { return block::Make<Sig>::from(std::move(fn)); }

// Calls `block` with the types it was made with.
template <class R, class... Args> R callBlock(id block, Args... args) {
    auto* header = reinterpret_cast<block::Header*>(block);
    return functionAs<R (*)(id, Args...)>(header->invoke)(block, args...);
}

} // namespace objc::runtime
