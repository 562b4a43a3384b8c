// Blocks on the simulated device: a C++ callable held by an object of the runtime class NSBlock.
#pragma once

#include "objc/InstanceVariable.hpp"
#include "objc/Runtime.hpp"
#include "objc/TypeEncoding.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace objc::runtime {

namespace block {
// An NSBlock as this side sees it: where it keeps its body.
struct Storage {
    using DeclaringView = Storage;
    static constexpr const char* className() { return "NSBlock"; }
    OBJC_IVAR(_body, void*)
};
inline const Storage* storage(id block) { return reinterpret_cast<const Storage*>(block); }

struct BodyBase {
    virtual ~BodyBase() = default;
    // The C++ signature a typed body was made with; null for a body that is not C++ (a phone's block
    // run by the device's loader), which is called through call() instead.
    virtual const char* signature() const = 0;
    // Calls a body that is not C++: `arguments` point at the values, of the types `encoding` gives
    // (result first), and the result is written to `result`. False, calling nothing, when those types
    // do not fit the body's own.
    virtual bool call(const char* encoding, void* result, void** arguments) {
        (void)encoding, (void)result, (void)arguments;
        return false;
    }
};

template <class Sig> struct Body : BodyBase {
    explicit Body(std::function<Sig> f) : fn(std::move(f)) {}
    const char* signature() const override { return typeid(Sig).name(); }
    std::function<Sig> fn;
};

// Compares signatures by name: type_info objects of hidden types differ between libraries.
inline bool sameSignature(const char* a, const char* b) {
    return std::strcmp(a[0] == '*' ? a + 1 : a, b[0] == '*' ? b + 1 : b) == 0;
}
} // namespace block

// A new block that runs `body`, which it owns from here; the caller owns the block.
inline id makeBlockWithBody(block::BodyBase* body) {
    id block = objc::send<id>(objc::send<id>(objc_lookUpClass("NSBlock"), Selector<"alloc">::get()),
                              Selector<"init">::get());
    setIvar(block::storage(block), block::Storage::_body, body);
    return block;
}

// What `block` (an NSBlock) runs.
inline block::BodyBase* blockBody(id block) {
    return static_cast<block::BodyBase*>(ivar(block::storage(block), block::Storage::_body));
}

// A new block of the signature `Sig` (`R(Args...)`) that calls `fn`; the caller owns it.
template <class Sig, class F> id makeBlock(F fn) {
    return makeBlockWithBody(new block::Body<Sig>(std::function<Sig>(std::move(fn))));
}

// Calls `block`. The types given must be those the block was made with: a block is untyped once it
// travels as `id`, so a mismatch is caught here rather than miscalled.
template <class R, class... Args> R callBlock(id block, Args... args) {
    block::BodyBase* body = blockBody(block);
    if (body == nullptr) {
        return zeroValue<R>();
    }
    if (body->signature() == nullptr) {
        static const std::string encoding = (encode<R>() + ... + encode<Args>());
        void* arguments[] = {&args..., nullptr};
        if constexpr (std::is_void_v<R>) {
            if (body->call(encoding.c_str(), nullptr, arguments)) {
                return;
            }
        } else {
            R result{};
            if (body->call(encoding.c_str(), &result, arguments)) {
                return result;
            }
        }
        std::fprintf(stderr, "NSBlock: called as %s, which its own signature does not take\n",
                     encoding.c_str());
        std::abort();
    }
    if (!block::sameSignature(body->signature(), typeid(R(Args...)).name())) {
        std::fprintf(stderr, "NSBlock: called as %s, made as %s\n", typeid(R(Args...)).name(),
                     body->signature());
        std::abort();
    }
    return static_cast<block::Body<R(Args...)>*>(body)->fn(args...);
}

// Destroys what `block` holds, when the block goes.
inline void destroyBlockBody(id block) {
    delete static_cast<block::BodyBase*>(ivar(block::storage(block), block::Storage::_body));
}

} // namespace objc::runtime
