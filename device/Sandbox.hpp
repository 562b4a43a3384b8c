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
// device at `root`, with this process's standard streams and no other descriptor, HOME=/var/mobile
// and of the rest of the environment only PATH, LANG, TERM, GLINTMERE_* and the sanitizers' options,
// and "/" as working directory. When it ends, nothing in the device is left set-user-id or
// set-group-id and the root is the caller's alone. Returns its exit status, 128+n when signal n
// ended it, and kTimedOut when it ran past `timeLimitSeconds` (0: no limit) and was stopped with all
// it started.
int run(const std::filesystem::path& root, const std::vector<std::string>& command,
        Identity identity = Identity::Caller, unsigned timeLimitSeconds = 0);

// What `run` returns for a command stopped at its time limit, as timeout(1) does.
inline constexpr int kTimedOut = 124;

} // namespace device
