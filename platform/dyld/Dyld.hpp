// Loading arm64 images into this process: what a host's loaders call instead of dlopen for a Mach-O.
#pragma once

#include "dyld/MachOImage.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace dyld {

// Whether the file at `path` is a Mach-O file (of any CPU): such a file is for this loader, not dlopen.
GLINTMERE_EXPORT bool isMachO(const std::string& path);

// Loads the arm64 image at `path`: maps it, binds every import to the host's implementation of the
// platform, and runs its initializers in order. On failure returns null and says why in `error`,
// having run nothing of it. Images stay loaded for the life of the process; loading one twice gives
// the first.
GLINTMERE_EXPORT const MachOImage* load(const std::string& path, std::string& error);

// The host address an import binds to, as load() binds it: the host's implementation of the platform,
// which stands for the libraries a process loads before any image; for a weak lookup, failing that,
// the export of the first image loaded that has one. Nullopt when nothing provides it.
GLINTMERE_EXPORT std::optional<std::uint64_t> resolveImport(const Import& import);

// The image loaded from `path`, or null when none was.
GLINTMERE_EXPORT const MachOImage* loadedImage(const std::string& path);

} // namespace dyld

// Opens the library or bundle at `path` as a device's dlopen does: a Mach-O through load() above,
// anything else through the host's dlopen (RTLD_NOW, RTLD_GLOBAL). Null on success, else the reason
// (kept until the next call on this thread). For loaders that find it with dlsym.
extern "C" __attribute__((visibility("default"))) const char* dyld_open(const char* path);
