// A value of each thread, in place of thread_local storage, which this library must not have.
#pragma once

#include <pthread.h>

namespace dyld {

// The calling thread's `T` (one per `Tag`), made on first use and destroyed when the thread ends.
// This library is loaded into processes that have started threads already; a library loaded so with
// thread-local storage makes the leak checker fault as it scans those threads' storage at exit.
template <class T, class Tag = T> T& perThread() {
    static const pthread_key_t key = [] {
        pthread_key_t made{};
        pthread_key_create(&made, [](void* value) { delete static_cast<T*>(value); });
        return made;
    }();
    auto* value = static_cast<T*>(pthread_getspecific(key));
    if (value == nullptr) {
        value = new T();
        pthread_setspecific(key, value);
    }
    return *value;
}

} // namespace dyld
