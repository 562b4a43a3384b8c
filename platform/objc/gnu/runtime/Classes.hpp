// What the stand-in runtime keeps of the classes the class builder registers, beyond what libobjc
// holds: which ivars own their object, released by the stand-in root class's dealloc, and which
// protocols a class declared.
#pragma once

#include "objc/Runtime.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace objc::runtime {

// Guards the builder's list of classes that wait for their superclass.
using Mutex = std::mutex;
using MutexLock = std::lock_guard<std::mutex>;

// Called once `cls` is registered, with the names of its owning ivars and of its protocols.
GLINTMERE_EXPORT void classRegistered(Class cls, std::vector<std::string> ownedIvars,
                                      const std::vector<std::string>& protocols);

} // namespace objc::runtime

namespace objc {

// Releases every owning ivar of `object`, for the root class's dealloc.
GLINTMERE_EXPORT void releaseOwnedIvars(id object);

// Protocols that a builder class declared, by name, including those of its superclasses.
GLINTMERE_EXPORT bool conformsToProtocol(Class cls, const char* protocol);

} // namespace objc
