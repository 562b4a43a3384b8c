// NSAutoreleasePool: per-thread, nested pools of objects released when their pool drains.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class GLINTMERE_EXPORT AutoreleasePool : public Referencing<AutoreleasePool, "NSAutoreleasePool"> {
  public:
    OBJC_MESSAGE(drain, "drain", void())

    // Puts `object` in the innermost pool of this thread; with no pool it is leaked, as on the device.
    static void addObject(id object);
    // How many objects the innermost pool of this thread holds; 0 when there is none.
    static std::size_t pendingCount();
    // A pool without an object, as @autoreleasepool makes one: push gives the token that pop drains.
    static void* push();
    static void pop(void* token);
};

// A pool for the length of a C++ scope: @autoreleasepool { ... }.
class AutoreleaseScope {
  public:
    AutoreleaseScope() : token_(AutoreleasePool::push()) {}
    AutoreleaseScope(const AutoreleaseScope&) = delete;
    AutoreleaseScope& operator=(const AutoreleaseScope&) = delete;
    ~AutoreleaseScope() { AutoreleasePool::pop(token_); }

  private:
    void* token_;
};

} // namespace NS
