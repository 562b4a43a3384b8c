// A simulated device: a directory laid out like an iOS filesystem, filled from the build.
#pragma once

#include "Kinds.hpp"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace device {

namespace fs = std::filesystem;

// A failure the tool reports in one line and exits non-zero on.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The file whose presence tells a device root from any other directory.
inline constexpr const char* kMarker = ".glintmere-device";

// Folders the sandbox mounts from the host or makes anew on every run; nothing is installed there.
inline const std::vector<std::string> kMountPoints = {"usr", "etc", "proc", "dev"};

// Links at the top of every device that make its own path spellings meet ("/User" and "/var" reach
// "/private/var"), and those of the host's merged /usr that programs from /usr expect at the top.
inline constexpr std::pair<std::string_view, std::string_view> kTopLinks[] = {
    {"var", "private/var"}, {"User", "var/mobile"}, {"lib", "usr/lib"},   {"lib32", "usr/lib32"},
    {"lib64", "usr/lib64"}, {"bin", "usr/bin"},     {"sbin", "usr/sbin"},
};

// The program beside the tool that makes, fills and changes devices: every verb but run. It is a
// program of its own so that a run loads none of the archive and property list libraries it needs.
inline constexpr const char* kSetupProgramName = "glintmere-device-setup";

// Where that program is: beside the running one. Throws Error when the running one cannot be found.
fs::path setupProgram();

// Lays a new device of the given kind out at `root`, which must be missing or an empty directory,
// with its system registered in its dpkg database. Everything of the device that depends on its
// version (SystemVersion.plist, the `firmware` package) follows `kind.system`.
void create(const fs::path& root, const Kind& kind = {});

// `root` made absolute and checked to be a device root; throws Error otherwise.
fs::path open(const fs::path& root);

// Where the device path `devicePath` (absolute, as seen inside the device) lives below the device
// root: the device's own links on the way are followed as the device follows them, all but the last
// part. Throws Error for paths that are relative, climb out with "..", or land on a host mount point.
// What is there is reached through DeviceFiles, which follows no link: one that a process of the
// device puts in the way meanwhile stops the write instead of leading it elsewhere.
fs::path devicePlace(const fs::path& root, const std::string& devicePath);

// One line of the build's placement list: a built file or folder and its device path.
struct Placement {
    fs::path source;
    std::string devicePath;
};

// Reads the placement list (lines "SOURCE<TAB>DEVICE_PATH"); throws Error on malformed lines.
std::vector<Placement> readManifest(const fs::path& manifest);

// Copies each placement whose source exists into the device; sources not built are skipped.
// Returns how many were installed.
std::size_t install(const fs::path& root, const std::vector<Placement>& placements);

// Copies one file or folder to the device path `devicePath` of the device at `root`, keeping
// modes. Each file appears whole: it is written to a fresh temporary beside its destination and
// renamed into place.
void copyInto(const fs::path& root, const fs::path& source, const std::string& devicePath);

} // namespace device
