// Runs commands inside a device with bubblewrap: the device root as "/", the host's /usr and /etc.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace device {

// The bubblewrap program: $GLINTMERE_BWRAP when set, else the first `bwrap` on PATH, else
// /usr/bin/bwrap. Throws Error when there is none.
std::filesystem::path findBubblewrap();

// Who a command in the device runs as. Either way it has no capability of its own: it is confined to
// a user namespace of its own sandbox, with every capability dropped.
enum class Identity {
    Caller,     // the caller's own user and group ids, as the apps run
    DeviceRoot, // user and group 0 of the sandbox's user namespace, as dpkg runs to own what it unpacks
};

// Runs `command` (its first word a program found on the device's PATH or a device path) in the
// device at `root`, with this process's standard streams and environment, HOME=/var/mobile and
// "/" as working directory. Returns its exit status, 128+n when signal n ended it.
int run(const std::filesystem::path& root, const std::vector<std::string>& command,
        Identity identity = Identity::Caller);

} // namespace device
