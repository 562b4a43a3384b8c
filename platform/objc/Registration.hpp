// Load-time registration of runtime classes, superclasses before subclasses.
#pragma once

#include "objc/ClassBuilder.hpp"

// Defines classes when the library loads: `GLINTMERE_REGISTER_CLASSES { ClassBuilder(...).build(); }`.
// Blocks run in any order; a class whose superclass is defined later in the same library, or in a
// library loaded before, waits for it (see ClassBuilder::build). Once every block of the library has
// run, a class still waiting stops the program with its name: a missing superclass is a build fault.
#define GLINTMERE_REGISTER_CLASSES GLINTMERE_REGISTER_CLASSES_AT(__LINE__)
#define GLINTMERE_REGISTER_CLASSES_AT(line) GLINTMERE_REGISTER_CLASSES_NAMED(line)
#define GLINTMERE_REGISTER_CLASSES_NAMED(line)                                                               \
    __attribute__((constructor(201))) static void glintmereCheckClasses_##line() {                           \
        ::objc::requireClassesRegistered();                                                                  \
    }                                                                                                        \
    __attribute__((constructor(200))) static void glintmereRegisterClasses_##line()
