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
// A guard is read first; one not yet done is written too.
__cxxabiv1::__guard* checkedGuard(const char* function, long long* guard) {
    darwin::requireReadable(function, guard, sizeof *guard, "a guard");
    if (*reinterpret_cast<const unsigned char*>(guard) == 0) {
        darwin::requireWritable(function, guard, sizeof *guard, "a guard");
    }
    return reinterpret_cast<__cxxabiv1::__guard*>(guard);
}
int guardAcquire(long long* guard) {
    return __cxxabiv1::__cxa_guard_acquire(checkedGuard("__cxa_guard_acquire", guard));
}
void guardRelease(long long* guard) {
    __cxxabiv1::__cxa_guard_release(checkedGuard("__cxa_guard_release", guard));
}
void guardAbort(long long* guard) { __cxxabiv1::__cxa_guard_abort(checkedGuard("__cxa_guard_abort", guard)); }

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
