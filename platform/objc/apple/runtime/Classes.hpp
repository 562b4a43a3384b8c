// What registering a class from C++ involves on a device beyond the runtime's own calls: its
// protocols are the runtime's, and a class with owning ivars releases them in a dealloc of its own,
// since Apple's root class knows nothing of them.
#pragma once

#include "objc/Runtime.hpp"

#include <pthread.h>

#include <string>
#include <vector>

namespace objc::runtime {

// Guards the builder's list of classes that wait for their superclass: a libSystem mutex, as the
// C++ library of iOS 7 offers only what the product may not import.
class Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() { pthread_mutex_lock(&mutex_); }
    void unlock() { pthread_mutex_unlock(&mutex_); }

  private:
    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
};

class MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() { mutex_.unlock(); }

  private:
    Mutex& mutex_;
};

// Called once `cls` is registered, with the names of its owning ivars and of its protocols. A class
// with owning ivars must not define dealloc itself: registering one stops the program.
void classRegistered(Class cls, std::vector<std::string> ownedIvars,
                     const std::vector<std::string>& protocols);

} // namespace objc::runtime
