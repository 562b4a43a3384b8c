// Runs commands inside a device with bubblewrap: the device root as "/", the host's /usr and /etc.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace device {

// The bubblewrap program: $GLINTMERE_BWRAP when set, else the first `bwrap` on PATH, else
// /usr/bin/bwrap. Throws Error when there is none.
std::filesystem::path findBubblewrap();

// Runs `command` (its first word a program found on the device's PATH or a device path) in the
// device at `root`, with this process's standard streams and environment, HOME=/var/mobile and
// "/" as working directory. Returns its exit status, 128+n when signal n ended it.
int run(const std::filesystem::path& root, const std::vector<std::string>& command);

} // namespace device
