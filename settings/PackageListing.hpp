// The device's package listing, written to the scratch file that the support mail attaches.
#pragma once

#include <string>

namespace glintmere {

// The scratch file of the support mail's package listing.
inline constexpr const char* kPackageListingPath = "/tmp/dpkgl.log";

// Runs "/usr/bin/dpkg -l" (no shell) with its output on `path` and returns when it has finished.
// The file is opened without following a link, created with mode 0644 and truncated; a link, a
// pipe or a file with other names (a hard link) there is removed first, never written through.
// Returns what went wrong (the file could not be opened, dpkg could not start or failed), or
// nothing; what dpkg wrote stays in the file either way.
std::string writePackageListing(const char* path = kPackageListingPath);

} // namespace glintmere
