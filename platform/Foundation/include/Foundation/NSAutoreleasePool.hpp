// NSAutoreleasePool: per-thread, nested pools of objects released when their pool drains.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class GLINTMERE_EXPORT AutoreleasePool : public Referencing<AutoreleasePool, "NSAutoreleasePool"> {
  public:
    OBJC_MESSAGE(drain, "drain", void())
};

} // namespace NS

// A pool without an object, as @autoreleasepool makes one: the runtime's entry points that the
// compiler calls for it, so that code using them runs on a phone's runtime as it is. Push gives the
// token that pop drains.
extern "C" GLINTMERE_EXPORT void* objc_autoreleasePoolPush(void);
extern "C" GLINTMERE_EXPORT void objc_autoreleasePoolPop(void* token);

namespace NS {

// A pool for the length of a C++ scope: @autoreleasepool { ... }.
class AutoreleaseScope {
  public:
    AutoreleaseScope() : token_(objc_autoreleasePoolPush()) {}
    AutoreleaseScope(const AutoreleaseScope&) = delete;
    AutoreleaseScope& operator=(const AutoreleaseScope&) = delete;
    ~AutoreleaseScope() { objc_autoreleasePoolPop(token_); }

  private:
    void* token_;
};

} // namespace NS
