// What the compiler and the static linker make code import from libSystem by themselves: the stack
// guard, the registration of static objects' destructors, and the lazy binder.
#include "dyld/Bindings.hpp"

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

const std::array bindings{
    Binding{"___stack_chk_guard", object<&stackGuard>},
    Binding{"___stack_chk_fail", call<stackCheckFailed>},
    Binding{"___cxa_atexit", call<atExit>},
    Binding{"dyld_stub_binder", stubBinder},
};

} // namespace

std::span<const Binding> libSystem::codeSupport() { return bindings; }

} // namespace dyld
