// A deliverable opened as the device's loaders open it, whichever build the device holds: the native
// one with dlopen, the phone's arm64 one through the device's Mach-O loader.
#pragma once

#include "dyld/Dyld.hpp"

#include <dlfcn.h>

#include <string>

namespace testing_support {

// Whether the device holds the phone's build of the library at `path`.
inline bool isPhoneBuild(const std::string& path) { return dyld::isMachO(path); }

// Opens the library; "" on success, else why not.
inline std::string openLibrary(const std::string& path) {
    const char* error = dyld_open(path.c_str());
    return error == nullptr ? "" : error;
}

// The address of the exported `name` (a C name) of the opened library at `path`, or null.
inline void* exportedSymbol(const std::string& path, const std::string& name) {
    if (isPhoneBuild(path)) {
        std::string error;
        const dyld::MachOImage* image = dyld::load(path, error);
        const auto address = image != nullptr ? image->symbol("_" + name) : std::nullopt;
        return address ? reinterpret_cast<void*>(*address) : nullptr;
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    return library != nullptr ? dlsym(library, name.c_str()) : nullptr;
}

} // namespace testing_support
