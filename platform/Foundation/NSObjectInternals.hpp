// The inner workings of NSObject: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSObject.hpp"
#include "objc/Internals.hpp"

namespace NS {

class RootObjectInternals : public objc::Internals<RootObjectInternals, RootObject> {
  public:
    OBJC_IVAR(isa, Class)
    OBJC_IVAR(_extraOwners, std::uintptr_t)

    OBJC_MESSAGE(conformsToProtocolNamed, "conformsToProtocolNamed:", bool(const char*))
};

} // namespace NS
