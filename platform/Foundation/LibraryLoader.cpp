#include "Foundation/LibraryLoader.hpp"

#include <dlfcn.h>

namespace NS::detail {

std::optional<std::string> openLibrary(const std::string& path) {
    using Open = const char* (*)(const char*);
    static const Open open = [] {
        void* loader = dlopen("/System/Library/PrivateFrameworks/Dyld.framework/Dyld", RTLD_NOW);
        return loader != nullptr ? reinterpret_cast<Open>(dlsym(loader, "dyld_open")) : nullptr;
    }();
    if (open == nullptr) {
        return std::string("the device has no loader of libraries");
    }
    if (const char* error = open(path.c_str())) {
        return std::string(error);
    }
    return std::nullopt;
}

} // namespace NS::detail
