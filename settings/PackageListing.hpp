// The device's package listing, written to the scratch file that the support mail attaches.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace glintmere {

// The scratch file of the support mail's package listing.
inline constexpr const char* kPackageListingPath = "/tmp/dpkgl.log";

// How long the listing may take and how large it may grow. A database that holds thousands of
// packages lists in well under a second and a megabyte; one that never ends (its status file a
// pipe, say) must not keep the person waiting.
struct ListingLimits {
    std::chrono::milliseconds time{3000};
    std::size_t bytes = 4 * 1024 * 1024;
};

// Runs "/usr/bin/dpkg -l" (no shell), in a process group of its own, with its output on `path`, and
// returns when it has finished. The file is opened without following a link, created with mode
// 0644 and truncated; a link, a pipe or a file with other names (a hard link) there is removed
// first, never written through. Past either limit, dpkg and whatever it started are killed and
// reaped, and the file is left empty: no listing rather than part of one. Returns what went wrong
// (the file could not be opened, dpkg could not start, failed or passed a limit), or nothing; what
// dpkg wrote stays in the file when it fails on its own.
std::string writePackageListing(const char* path = kPackageListingPath, const ListingLimits& limits = {});

} // namespace glintmere
