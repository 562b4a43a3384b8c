// libSystem's threads: locking and unlocking Darwin's pthread_mutex_t, which guest code lays out.
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"

#include <pthread.h>
#include <sched.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <new>

namespace dyld {

namespace {

// Darwin's pthread_mutex_t, whose opaque bytes hold a host mutex from first use; its signature word
// says how far that is.
using GuestMutex = darwin::Mutex;
static_assert(sizeof(pthread_mutex_t) <= sizeof(GuestMutex::__opaque) &&
              offsetof(GuestMutex, __opaque) % alignof(pthread_mutex_t) == 0);
constexpr long kStaticInitializer = __DARWIN_PTHREAD_MUTEX_SIG_INIT;
constexpr long kMaking = 0x4d4b4e47;
constexpr long kMade = 0x4d555458;

// The host mutex inside a guest one, made by whichever thread comes first; null for a word that is
// no mutex.
pthread_mutex_t* hostMutex(GuestMutex* mutex) {
    if (GuestMutex copy; !darwin::copyFromGuest(&copy, mutex, sizeof copy)) {
        guestFault("pthread_mutex: guest code passed a mutex it cannot read");
    }
    std::atomic_ref<long> signature(mutex->__sig);
    for (;;) {
        long seen = signature.load(std::memory_order_acquire);
        if (seen == kMade) {
            return reinterpret_cast<pthread_mutex_t*>(mutex->__opaque);
        }
        if (seen == kStaticInitializer) {
            darwin::requireWritable("pthread_mutex", mutex, sizeof *mutex, "a mutex");
        }
        if (seen == kStaticInitializer &&
            signature.compare_exchange_strong(seen, kMaking, std::memory_order_acq_rel)) {
            auto* made = new (mutex->__opaque) pthread_mutex_t;
            pthread_mutex_init(made, nullptr);
            signature.store(kMade, std::memory_order_release);
            return made;
        }
        if (seen != kMaking && seen != kStaticInitializer) {
            return nullptr;
        }
        sched_yield(); // another thread is making it
    }
}

int lockMutex(void* mutex) {
    pthread_mutex_t* host = hostMutex(static_cast<GuestMutex*>(mutex));
    if (host == nullptr) {
        return darwin::kEINVAL;
    }
    int error = pthread_mutex_trylock(host);
    if (error == EBUSY) {
        // Its holder may be guest code on another thread, which must be let run to let it go.
        Cpu::Waiting waiting;
        error = pthread_mutex_lock(host);
    }
    return darwin::errorFromHost(error);
}

int unlockMutex(void* mutex) {
    pthread_mutex_t* host = hostMutex(static_cast<GuestMutex*>(mutex));
    if (host == nullptr) {
        return darwin::kEINVAL;
    }
    return darwin::errorFromHost(pthread_mutex_unlock(host));
}

const std::array bindings{
    Binding{"_pthread_mutex_lock", call<lockMutex>},
    Binding{"_pthread_mutex_unlock", call<unlockMutex>},
};

} // namespace

std::span<const Binding> libSystem::threads() { return bindings; }

} // namespace dyld
