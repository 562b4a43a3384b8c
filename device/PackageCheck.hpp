// Checks a package file on the host, before any of it reaches a device: its name, and what it holds.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace device {

// A package file that may be installed into a device, with its package name.
struct CheckedPackage {
    std::filesystem::path file;
    std::string name;
};

// Checks each of `packages`: a .deb that dpkg can read, with a valid package name, whose files are
// regular files, folders and links only (a device has no device nodes, pipes or sockets of its own)
// and none of which is set-user-id or set-group-id, nor the device's marker (directly or through a
// link already in the device at `root`), nor reached through a link the package itself ships, and
// which add up to no more than 256 MB.
// Throws Error naming the package and what is wrong with it; nothing is unpacked anywhere.
std::vector<CheckedPackage> checkPackages(const std::filesystem::path& root,
                                          const std::vector<std::filesystem::path>& packages);

} // namespace device
