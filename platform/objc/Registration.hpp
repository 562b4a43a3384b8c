// Load-time registration of runtime classes, superclasses before subclasses.
#pragma once

// Registers classes when the library loads. Depth is the class's distance from the root class:
// within one library, constructors of lower depth run first, so a superclass always exists by
// the time a subclass is built; libraries that depend on another load after it.
#define GLINTMERE_REGISTER_CLASSES(depth) GLINTMERE_REGISTER_CLASSES_AT(depth, __LINE__)
#define GLINTMERE_REGISTER_CLASSES_AT(depth, line) GLINTMERE_REGISTER_CLASSES_NAMED(depth, line)
#define GLINTMERE_REGISTER_CLASSES_NAMED(depth, line)                                                        \
    __attribute__((constructor(200 + (depth)))) static void glintmereRegisterClasses_##depth##_##line()
