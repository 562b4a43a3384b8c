#include "objc/InstanceVariable.hpp"

#include <cstdio>
#include <cstdlib>

namespace objc {

std::ptrdiff_t instanceVariableOffset(const char* className, const char* name) {
    Class cls = objc_lookUpClass(className);
    if (cls == Nil) {
        std::fprintf(stderr, "objc: no class %s, whose instance variable %s is declared\n", className, name);
        std::abort();
    }
    Ivar found = class_getInstanceVariable(cls, name);
    if (found == nullptr) {
        std::fprintf(stderr, "objc: class %s has no instance variable %s\n", className, name);
        std::abort();
    }
    return ivar_getOffset(found);
}

} // namespace objc
