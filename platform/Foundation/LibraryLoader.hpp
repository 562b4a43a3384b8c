// Opening a library or bundle as the device's loader does, for the frameworks that load code.
#pragma once

#include "objc/Runtime.hpp"

#include <optional>
#include <string>

namespace NS::detail {

// Opens the library at `path` through the device's loader, which runs a phone's arm64 build on an
// emulated processor and hands anything else to dlopen. The loader is found at run time, not linked:
// it binds the phone's calls to the frameworks, this one among them. Returns what went wrong, or nothing.
GLINTMERE_EXPORT std::optional<std::string> openLibrary(const std::string& path);

} // namespace NS::detail
