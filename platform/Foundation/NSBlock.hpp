// Blocks: a C++ callable wrapped in a runtime object, so that it can travel as `id`.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <typeinfo>

namespace NS {

namespace detail {
struct BlockBodyBase {
    virtual ~BlockBodyBase() = default;
    virtual const char* signature() const = 0;
};

template <class Sig> struct BlockBody : BlockBodyBase {
    explicit BlockBody(std::function<Sig> f) : fn(std::move(f)) {}
    const char* signature() const override { return typeid(Sig).name(); }
    std::function<Sig> fn;
};

// Compares signatures by name: type_info objects of hidden types differ between libraries.
inline bool sameSignature(const char* a, const char* b) {
    return std::strcmp(a[0] == '*' ? a + 1 : a, b[0] == '*' ? b + 1 : b) == 0;
}
} // namespace detail

class GLINTMERE_EXPORT Block : public Referencing<Block, "NSBlock"> {
  public:
    // A new block that owns `fn`; the caller owns the block.
    template <class R, class... Args> static objc::Ref<Block> create(std::function<R(Args...)> fn) {
        Block* block = alloc()->init();
        block->setBody(new detail::BlockBody<R(Args...)>(std::move(fn)));
        return objc::adopt(block);
    }
    template <class F> static objc::Ref<Block> create(F fn) { return create(std::function(std::move(fn))); }

    // Calls the block. The types given must be those the block was made with: a block is
    // untyped once it travels as `id`, so a mismatch is caught here rather than miscalled.
    template <class R = void, class... Args> R invoke(Args... args) {
        auto* body = static_cast<detail::BlockBodyBase*>(bodyPointer());
        if (body == nullptr) {
            return objc::zeroValue<R>();
        }
        if (!detail::sameSignature(body->signature(), typeid(R(Args...)).name())) {
            std::fprintf(stderr, "NSBlock: called as %s, made as %s\n", typeid(R(Args...)).name(),
                         body->signature());
            std::abort();
        }
        return static_cast<detail::BlockBody<R(Args...)>*>(body)->fn(args...);
    }

  private:
    void* bodyPointer() { return objc::ivar<void*>(this, "_body"); }
    void setBody(detail::BlockBodyBase* body) { objc::setIvar<void*>(this, "_body", body); }
};

} // namespace NS
