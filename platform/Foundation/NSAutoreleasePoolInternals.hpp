// The inner workings of NSAutoreleasePool: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSAutoreleasePool.hpp"
#include "objc/Internals.hpp"

namespace NS {

class GLINTMERE_EXPORT AutoreleasePoolInternals
    : public objc::Internals<AutoreleasePoolInternals, AutoreleasePool> {
  public:
    // Puts `object` in the innermost pool of this thread; with no pool it is leaked, as on the device.
    static void addObject(id object);
    // How many objects the innermost pool of this thread holds; 0 when there is none.
    static std::size_t pendingCount();
};

} // namespace NS
