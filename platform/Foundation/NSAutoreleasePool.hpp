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
};

// A pool for the length of a C++ scope.
class AutoreleaseScope {
  public:
    AutoreleaseScope() : pool_(AutoreleasePool::alloc()->init()) {}
    AutoreleaseScope(const AutoreleaseScope&) = delete;
    AutoreleaseScope& operator=(const AutoreleaseScope&) = delete;
    ~AutoreleaseScope() { pool_->drain(); }

  private:
    AutoreleasePool* pool_;
};

} // namespace NS
