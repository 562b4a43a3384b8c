// Blocks: a C++ callable as a block object, so that it can travel as `id` and be called by anyone.
#pragma once

#include "Foundation/NSObject.hpp"
// How a block is laid out differs between the runtimes; the include path chooses (see README).
#include "runtime/Block.hpp"

#include <utility>

namespace NS {

namespace detail {
// The signature `R(Args...)` of a callable's one call operator.
template <class F> struct CallOperator : CallOperator<decltype(&F::operator())> {};
template <class L, class R, class... A> struct CallOperator<R (L::*)(A...) const> { using type = R(A...); };
template <class L, class R, class... A> struct CallOperator<R (L::*)(A...)> { using type = R(A...); };
} // namespace detail

class GLINTMERE_EXPORT Block : public Referencing<Block, "NSBlock"> {
  public:
    // A new block that calls `fn` (a lambda or other callable with one call operator); the caller
    // owns the block.
    template <class F> static objc::Ref<Block> create(F fn) {
        using Signature = typename detail::CallOperator<F>::type;
        return objc::adopt(reinterpret_cast<Block*>(objc::runtime::makeBlock<Signature>(std::move(fn))));
    }

    // Calls the block with the types it was made with.
    template <class R = void, class... Args> R invoke(Args... args) {
        id block = self();
        if (block == nil) {
            return objc::zeroValue<R>();
        }
        return objc::runtime::callBlock<R, Args...>(block, args...);
    }
};

} // namespace NS
