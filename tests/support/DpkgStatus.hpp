// A device's dpkg database as tests change it: the version that the database says is installed.
#pragma once

#include "Files.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace testing_support {

// The dpkg status file of the device at `root`.
inline std::filesystem::path dpkgStatusOf(const std::filesystem::path& root) {
    return root / "private/var/lib/dpkg/status";
}

// Makes the device's dpkg database say that `version` of `package` is installed, and returns the
// database as it was (to put back); nothing when the database does not list the package.
inline std::optional<std::string> setInstalledVersion(const std::filesystem::path& root,
                                                      const std::string& package,
                                                      const std::string& version) {
    const std::filesystem::path status = dpkgStatusOf(root);
    const std::string before = readAll(status);
    const auto entry = before.find("Package: " + package + "\n");
    if (entry == std::string::npos || (entry != 0 && before[entry - 1] != '\n')) {
        return std::nullopt;
    }
    const auto field = before.find("\nVersion: ", entry);
    const auto next = before.find("\n\n", entry);
    if (field == std::string::npos || (next != std::string::npos && field > next)) {
        return std::nullopt;
    }
    std::string after = before;
    const auto value = field + 10;
    after.replace(value, after.find('\n', value) - value, version);
    std::ofstream(status, std::ios::binary | std::ios::trunc) << after;
    return before;
}

} // namespace testing_support
