// Blocks on the simulated device: a C++ callable held by an object of the runtime class NSBlock.
#pragma once

#include "objc/InstanceVariable.hpp"
#include "objc/Runtime.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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
    virtual const char* signature() const = 0;
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

// A new block of the signature `Sig` (`R(Args...)`) that calls `fn`; the caller owns it.
template <class Sig, class F> id makeBlock(F fn) {
    id block = objc::send<id>(objc::send<id>(objc_lookUpClass("NSBlock"), Selector<"alloc">::get()),
                              Selector<"init">::get());
    block::BodyBase* body = new block::Body<Sig>(std::function<Sig>(std::move(fn)));
    setIvar(block::storage(block), block::Storage::_body, body);
    return block;
}

// Calls `block`. The types given must be those the block was made with: a block is untyped once it
// travels as `id`, so a mismatch is caught here rather than miscalled.
template <class R, class... Args> R callBlock(id block, Args... args) {
    auto* body = static_cast<block::BodyBase*>(ivar(block::storage(block), block::Storage::_body));
    if (body == nullptr) {
        return zeroValue<R>();
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
