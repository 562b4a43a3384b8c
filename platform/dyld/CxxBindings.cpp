// The C++ library's imports: allocation and the static guards, which the host's library provides with
// the same layout (a 64-bit guard whose first byte says "done").
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"

#include <cxxabi.h>

#include <array>
#include <new>

namespace dyld {

namespace {

void* allocate(std::size_t size) { return darwin::guestAllocate("operator new", size); }
void deallocate(void* pointer) { darwin::guestRelease("operator delete", pointer); }
int guardAcquire(long long* guard) {
    return __cxxabiv1::__cxa_guard_acquire(reinterpret_cast<__cxxabiv1::__guard*>(guard));
}
void guardRelease(long long* guard) {
    __cxxabiv1::__cxa_guard_release(reinterpret_cast<__cxxabiv1::__guard*>(guard));
}
void guardAbort(long long* guard) {
    __cxxabiv1::__cxa_guard_abort(reinterpret_cast<__cxxabiv1::__guard*>(guard));
}

const std::array bindings{
    Binding{"__Znwm", call<allocate>},
    Binding{"__ZdlPv", call<deallocate>},
    Binding{"___cxa_guard_acquire", call<guardAcquire>},
    Binding{"___cxa_guard_release", call<guardRelease>},
    Binding{"___cxa_guard_abort", call<guardAbort>},
};

} // namespace

std::span<const Binding> cxxBindings() { return bindings; }

} // namespace dyld
