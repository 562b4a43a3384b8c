// libSystem's dispatch: the main queue, dispatch_after, dispatch_time, and dispatch_once with a block
// or a function.
#include "dispatch/dispatch.h"
#include "dyld/Bindings.hpp"
#include "dyld/Blocks.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/GuestObjects.hpp"

#include <array>

namespace dyld {

namespace {

// The block may be a literal of guest code: the host takes it as the NSBlock that runs it.
void dispatchAfter(dispatch_time_t when, dispatch_queue_t queue, std::uint64_t block) {
    if (block != 0) {
        requireObject("dispatch_after", block, "a block");
    }
    dispatch_after(when, queue, reinterpret_cast<dispatch_block_t>(objectForHost(block)));
}

void dispatchOnce(long* predicate, std::uint64_t block) {
    darwin::requireOnce("dispatch_once", predicate);
    if (block != 0) {
        requireObject("dispatch_once", block, "a block");
    }
    dispatch_once(predicate, [block] { runBlock(block); });
}

void onceWithFunction(long* predicate, void* context, std::uint64_t function) {
    darwin::requireOnce("dispatch_once_f", predicate);
    dispatch_once_f(predicate, context, hostFunction<void (*)(void*)>(function));
}

const std::array bindings{
    Binding{"__dispatch_main_q", object<&_dispatch_main_q>},
    Binding{"_dispatch_after", call<dispatchAfter>},
    Binding{"_dispatch_once", call<dispatchOnce>},
    Binding{"_dispatch_once_f", call<onceWithFunction>},
    Binding{"_dispatch_time", call<dispatch_time>},
};

} // namespace

std::span<const Binding> libSystem::dispatch() { return bindings; }

} // namespace dyld
