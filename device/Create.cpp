// Lays out new devices: their folders, links and the files that say what kind of device each is.
#include "Device.hpp"

#include "DeviceFiles.hpp"
#include "Packages.hpp"

#include <system_error>

namespace device {
namespace {

// Folders of a new device, as on the phone. `tmp` folders are world-writable and sticky.
const std::vector<std::string> kFolders = {
    "Applications",
    "Library/MobileSubstrate/DynamicLibraries",
    "Library/PreferenceBundles",
    "Library/PreferenceLoader/Preferences",
    "Library/Frameworks",
    "System/Library/Frameworks",
    "System/Library/PrivateFrameworks",
    "System/Library/CoreServices",
    "private/var/mobile/Library/Preferences",
    "private/var/mobile/Library/Accounts",
    "private/var/mobile/Media",
    "private/var/run",
    "private/var/log",
    "private/var/tmp",
    "private/var/lib/dpkg/info",
    "private/var/lib/dpkg/updates",
    "private/var/lib/dpkg/triggers",
    "private/var/lib/dpkg/alternatives",
    "tmp",
};

} // namespace

void create(const fs::path& root, const Kind& kind) {
    if (root.empty()) {
        throw Error("missing device root");
    }
    std::error_code ec;
    bool made = false;
    if (fs::exists(fs::symlink_status(root, ec))) {
        if (!fs::is_directory(root, ec)) {
            throw Error(root.string() + " exists and is not a directory");
        }
        if (fs::exists(root / kMarker, ec)) {
            throw Error(root.string() + " is already a device");
        }
        if (!fs::is_empty(root, ec)) {
            throw Error(root.string() + " exists and is not empty; a device needs a directory of its own");
        }
    } else {
        fs::create_directories(root, ec);
        if (ec) {
            throw Error("cannot make " + root.string() + ": " + ec.message());
        }
        made = true;
    }
    try {
        // The caller's alone: what runs inside runs with the caller's power, and nothing of it is
        // for the host's other users.
        fs::permissions(root, fs::perms::owner_all, ec);
        if (ec) {
            throw Error("cannot make " + root.string() + " private: " + ec.message());
        }
        for (const std::string& folder : kFolders) {
            fs::create_directories(root / folder, ec);
            if (ec) {
                throw Error("cannot make " + (root / folder).string() + ": " + ec.message());
            }
        }
        for (const char* sticky : {"tmp", "private/var/tmp"}) {
            fs::permissions(root / sticky, fs::perms::all | fs::perms::sticky_bit, ec);
        }
        for (const std::string& point : kMountPoints) {
            fs::create_directory(root / point, ec);
            if (ec) {
                throw Error("cannot make " + (root / point).string() + ": " + ec.message());
            }
        }
        for (const auto& [name, target] : kTopLinks) {
            fs::create_symlink(fs::path(target), root / name, ec);
            if (ec) {
                throw Error("cannot link " + (root / name).string() + ": " + ec.message());
            }
        }
        const DeviceFiles files(root);
        // What the device is: read by the stand-ins at load, as the real system answers it.
        files.placeContent(systemVersionPlist(*kind.system), fs::path(kSystemVersionFile).relative_path());
        files.placeContent(deviceFactsPlist(kind), fs::path(kDeviceFactsFile).relative_path());
        files.placeContent(accountsPlist(kind), fs::path(kAccountsFile).relative_path());
        // The package database, holding the device's system and no tweak yet.
        files.placeContent("", "private/var/lib/dpkg/available");
        const std::string architecture = kind.arm64 ? kPhoneArchitecture : GLINTMERE_ARCHITECTURE;
        registerSystem(files, std::string(kind.system->version), architecture);
        preparePackageManager(files, architecture);
        // Written last: a root whose making failed half-way is not taken for a device.
        files.placeContent("glintmere-device 1\n", kMarker);
    } catch (...) {
        if (made) {
            fs::remove_all(root, ec);
        }
        throw;
    }
}

} // namespace device
