// The runtime's pointers as guest code passes them to imports (objects, classes, selectors, blocks),
// checked before the host's runtime follows them.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>

namespace dyld {

// Each stops the process with a message naming the import (`function`) unless the pointer is one guest
// code could have been given: `what` says which argument it is ("a receiver").

// An instance or class of a class the runtime knows, or a block literal of guest code; not nil.
GLINTMERE_EXPORT void requireObject(const char* function, std::uint64_t object, const char* what);
// A class the runtime knows or objc_allocateClassPair made (its metaclass included); not Nil.
GLINTMERE_EXPORT void requireClass(const char* function, Class cls, const char* what = "a class");
// A selector the runtime registered; not null.
GLINTMERE_EXPORT void requireSelector(const char* function, SEL selector);

// Whether `cls` is a class as requireClass takes it, without stopping.
GLINTMERE_EXPORT bool isKnownClass(Class cls);
// A class pair guest code made, known before it is registered.
void classPairMade(Class cls);

} // namespace dyld
