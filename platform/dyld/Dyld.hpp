// Loading arm64 images into this process: what a host's loaders call instead of dlopen for a Mach-O.
#pragma once

#include "dyld/MachOImage.hpp"

#include <string>

namespace dyld {

// Whether the file at `path` is a Mach-O file (of any CPU): such a file is for this loader, not dlopen.
GLINTMERE_EXPORT bool isMachO(const std::string& path);

// Loads the arm64 image at `path`: maps it, binds every import to the host's implementation of the
// platform, and runs its initializers in order. On failure returns null and says why in `error`,
// having run nothing of it. Images stay loaded for the life of the process; loading one twice gives
// the first.
GLINTMERE_EXPORT const MachOImage* load(const std::string& path, std::string& error);

} // namespace dyld

// The same for a loader that reaches this library through dlsym: null on success, else the reason
// (kept until the next call on this thread).
extern "C" __attribute__((visibility("default"))) const char* dyld_load_image(const char* path);
