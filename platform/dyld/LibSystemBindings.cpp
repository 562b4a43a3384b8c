// libSystem's imports: the C library, blocks and dispatch.
#include "dispatch/dispatch.h"
#include "dyld/Bindings.hpp"

#include <array>
#include <cstdlib>
#include <cstring>

namespace dyld {

namespace {

// The classes of guest blocks. Guest code only takes their addresses, to mark its blocks.
void* globalBlockClass[4];
void* stackBlockClass[4];
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

void dispatchAfter(dispatch_time_t when, dispatch_queue_t queue, std::uint64_t block) {
    if (block == 0) {
        dispatch_after(when, queue, static_cast<dispatch_block_t>(nullptr));
        return;
    }
    dispatch_after(when, queue, [block] { invokeGuestBlock(block); });
}

void dispatchOnce(long* predicate, std::uint64_t block) {
    dispatch_once(predicate, [block] { invokeGuestBlock(block); });
}

void* copyMemory(void* to, const void* from, std::size_t size) { return std::memcpy(to, from, size); }
void* fillMemory(void* to, int value, std::size_t size) { return std::memset(to, value, size); }
std::size_t stringLength(const char* text) { return std::strlen(text); }
int compareStrings(const char* a, const char* b) { return std::strcmp(a, b); }
void* allocate(std::size_t size) { return std::malloc(size); }
void release(void* pointer) { std::free(pointer); }
[[noreturn]] void abortGuest() { guestFault("guest code called abort()"); }

const std::array bindings{
    Binding{"__NSConcreteGlobalBlock", object<&globalBlockClass>},
    Binding{"__NSConcreteStackBlock", object<&stackBlockClass>},
    Binding{"___stack_chk_guard", object<&stackGuard>},
    Binding{"___stack_chk_fail", call<stackCheckFailed>},
    Binding{"___cxa_atexit", call<atExit>},
    Binding{"__dispatch_main_q", object<&_dispatch_main_q>},
    Binding{"_dispatch_after", call<dispatchAfter>},
    Binding{"_dispatch_once", call<dispatchOnce>},
    Binding{"_dispatch_time", call<dispatch_time>},
    Binding{"_abort", call<abortGuest>},
    Binding{"_memcpy", call<copyMemory>},
    Binding{"_memset", call<fillMemory>},
    Binding{"_strlen", call<stringLength>},
    Binding{"_strcmp", call<compareStrings>},
    Binding{"_malloc", call<allocate>},
    Binding{"_free", call<release>},
    Binding{"dyld_stub_binder", stubBinder},
};

} // namespace

void invokeGuestBlock(std::uint64_t block) {
    const auto* header = reinterpret_cast<const GuestBlock*>(block);
    void* argument = reinterpret_cast<void*>(block);
    void* arguments[] = {&argument};
    std::uint64_t result = 0;
    Signature::of("v^v").callGuest(header->invoke, &result, arguments);
}

std::span<const Binding> libSystemBindings() { return bindings; }

} // namespace dyld
