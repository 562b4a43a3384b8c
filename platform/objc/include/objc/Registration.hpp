// Load-time registration of runtime classes, superclasses before subclasses, whatever the link order.
#pragma once

#include "objc/ClassBuilder.hpp"
// Where a library keeps its registration blocks differs between the object formats; the include
// path chooses (see README).
#include "runtime/ImageSection.hpp"

namespace objc::runtime {

// Runs every registration block of the library (or program) this is compiled into, once, then stops
// the program if a class still waits for its superclass: a missing superclass is a build fault. Each
// block's file calls it from a constructor. Constructor order is not to be relied on across the
// files of a library (a device's loader keeps priorities only within one object file), so the first
// call runs them all, and the check sees every class of the library defined.
// Hidden, so that each library has its own, over its own blocks.
__attribute__((visibility("hidden"))) inline void registerImageClasses() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    for (RegistrationBlock* block = imageRegistrationsBegin(); block != imageRegistrationsEnd(); ++block) {
        (*block)();
    }
    requireClassesRegistered();
}

} // namespace objc::runtime

// Defines classes when the library loads: `GLINTMERE_REGISTER_CLASSES { ClassBuilder(...).build(); }`.
// Blocks run in any order; a class whose superclass is defined later, in this library or one loaded
// before, waits for it (see ClassBuilder::build).
#define GLINTMERE_REGISTER_CLASSES GLINTMERE_REGISTER_CLASSES_AT(__LINE__)
#define GLINTMERE_REGISTER_CLASSES_AT(line) GLINTMERE_REGISTER_CLASSES_NAMED(line)
#define GLINTMERE_REGISTER_CLASSES_NAMED(line)                                                               \
    static void glintmereRegisterClasses_##line();                                                           \
    GLINTMERE_REGISTRATION_ENTRY ::objc::runtime::RegistrationBlock glintmereRegistration_##line =           \
        &glintmereRegisterClasses_##line;                                                                    \
    __attribute__((constructor(200))) static void glintmereRegisterImageClasses_##line() {                   \
        ::objc::runtime::registerImageClasses();                                                             \
    }                                                                                                        \
    static void glintmereRegisterClasses_##line()
