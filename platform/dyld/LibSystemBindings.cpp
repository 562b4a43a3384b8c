// libSystem's imports beyond its C library: blocks, dispatch, the stack guard and the loader's own.
#include "dispatch/dispatch.h"
#include "dyld/Bindings.hpp"
#include "dyld/Blocks.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/GuestObjects.hpp"

#include <array>

namespace dyld {

namespace {

std::uint64_t stackGuard = 0x5f3759df2c1b8e3aull;

// The image stays loaded until the process ends, and its static objects with it: their destructors
// would run guest code after the host's own statics are gone, so they are not kept.
int atExit(void (*)(void*), void*, void*) { return 0; }

void stackCheckFailed() { guestFault("guest code overran a stack buffer"); }

// Lazy binding is never needed: the loader binds every import at load.
std::uint64_t stubBinder(std::string_view) {
    static const std::uint64_t address = Cpu::trampoline(
        [](Registers&) { guestFault("a lazy binding was asked for; every import is bound at load"); },
        "dyld_stub_binder");
    return address;
}

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

std::uint64_t blockCopy(std::uint64_t block) {
    if (block != 0) {
        requireObject("_Block_copy", block, "a block");
    }
    return copyBlock(block);
}

const std::array bindings{
    Binding{"__NSConcreteGlobalBlock", [](std::string_view) { return globalBlockClass(); }},
    Binding{"__NSConcreteStackBlock", [](std::string_view) { return stackBlockClass(); }},
    Binding{"__Block_copy", call<blockCopy>},
    Binding{"___stack_chk_guard", object<&stackGuard>},
    Binding{"___stack_chk_fail", call<stackCheckFailed>},
    Binding{"___cxa_atexit", call<atExit>},
    Binding{"__dispatch_main_q", object<&_dispatch_main_q>},
    Binding{"_dispatch_after", call<dispatchAfter>},
    Binding{"_dispatch_once", call<dispatchOnce>},
    Binding{"_dispatch_time", call<dispatch_time>},
    Binding{"dyld_stub_binder", stubBinder},
};

} // namespace

std::span<const Binding> libSystemBindings() { return bindings; }

} // namespace dyld
