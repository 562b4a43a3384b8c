// What each platform symbol a loaded image imports is bound to: one line per symbol, by library.
#pragma once

#include "dyld/Signature.hpp"
#include "objc/TypeEncoding.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dyld {

// A symbol and how to find the host address guest code is bound to for it.
struct Binding {
    std::string_view symbol;
    std::uint64_t (*address)(std::string_view symbol);
};

// The host address for `symbol` (with its underscore), made on first use; nullopt if nothing binds it.
GLINTMERE_EXPORT std::optional<std::uint64_t> bindingFor(std::string_view symbol);

// Each platform library's table, in a file of its own beside this header named after it
// (`UIKitBindings.cpp`, `ObjcBindings.cpp` for libobjc, `CxxBindings.cpp` for libc++).
std::span<const Binding> objcBindings();
std::span<const Binding> cxxBindings();
std::span<const Binding> coreFoundationBindings();
std::span<const Binding> substrateBindings();
std::span<const Binding> uiKitBindings();
std::span<const Binding> socialBindings();
std::span<const Binding> mobileGestaltBindings();

// libSystem's, too many for one file, are a folder, `libSystem/`, of one file per area of it, each with
// its share of the library's table.
namespace libSystem {
// Its C library: descriptors and file status; signals, waiting and posix_spawn; printf's family and
// the standard streams; and the rest (errno, the environment, memory, strings, error texts, the time).
std::span<const Binding> files();
std::span<const Binding> processes();
std::span<const Binding> formattedOutput();
std::span<const Binding> cLibrary();
// Threads (the mutex), dispatch, the blocks runtime, and what compiled code imports by itself.
std::span<const Binding> threads();
std::span<const Binding> dispatch();
std::span<const Binding> blockRuntime();
std::span<const Binding> codeSupport();
} // namespace libSystem

// The type encoding of a C function's prototype.
template <class R, class... Args> std::string encodingOf(R (*)(Args...)) {
    return objc::encode<R>() + (std::string() + ... + objc::encode<Args>());
}

// A host C function that guest code calls with its own prototype: `{"_strlen", call<strlen>}`.
template <auto Function> std::uint64_t call(std::string_view symbol) {
    static const std::uint64_t address =
        Signature::of(encodingOf(Function))
            .callableByGuest(reinterpret_cast<void*>(Function), std::string(symbol));
    return address;
}

// A host function that reads the guest's registers itself, as a variadic one must: `{"_open", raw<open>}`.
template <void (*Handler)(Registers&)> std::uint64_t raw(std::string_view symbol) {
    static const std::uint64_t address = Cpu::trampoline(Handler, std::string(symbol));
    return address;
}

// A host object that guest code refers to by address: `{"__dispatch_main_q", object<&_dispatch_main_q>}`.
template <auto* Object> std::uint64_t object(std::string_view) {
    return reinterpret_cast<std::uint64_t>(Object);
}

// The address of `symbol` (with its underscore) that the stand-in framework at `library` in the device
// exports; the stand-in is loaded for it. Stops the process when it exports none.
void* standInExport(const char* library, std::string_view symbol);

// A variable of the stand-in framework at `Library`: `{"_SLServiceTypeTwitter", standInData<kSocial>}`.
template <const char* Library> std::uint64_t standInData(std::string_view symbol) {
    return reinterpret_cast<std::uint64_t>(standInExport(Library, symbol));
}

// A guest function pointer of the C type `F` as a host function pointer that runs it.
template <class F> F hostFunction(std::uint64_t guest) {
    if (guest == 0) {
        return nullptr;
    }
    return reinterpret_cast<F>(Signature::of(encodingOf(F{})).callableByHost(guest));
}

} // namespace dyld
