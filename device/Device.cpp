#include "Device.hpp"

#include "DeviceFiles.hpp"
#include "Packages.hpp"

#include <algorithm>
#include <fstream>
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

// Links that make the device's own path spellings meet ("/User" and "/var" reach "/private/var"),
// and those of the host's merged /usr that programs from /usr expect at the top.
const std::vector<std::pair<std::string, std::string>> kLinks = {
    {"var", "private/var"}, {"User", "var/mobile"}, {"lib", "usr/lib"},   {"lib32", "usr/lib32"},
    {"lib64", "usr/lib64"}, {"bin", "usr/bin"},     {"sbin", "usr/sbin"},
};

bool isHostOnly(const std::string& top) {
    for (const std::string& m : kMountPoints) {
        if (top == m) {
            return true;
        }
    }
    for (const auto& [name, target] : kLinks) {
        if (top == name && target.starts_with("usr/")) {
            return true;
        }
    }
    return false;
}

// `relative` (below the device root) on the host, with every link on the way but the last part
// followed as the device follows it: an absolute target starts again at the device root, and ".."
// stops there. So no link made inside the device leads outside it.
fs::path resolveInDevice(const fs::path& root, const fs::path& relative) {
    std::vector<fs::path> pending(relative.begin(), relative.end());
    std::reverse(pending.begin(), pending.end());
    const fs::path last = pending.empty() ? fs::path() : pending.front();
    if (!pending.empty()) {
        pending.erase(pending.begin());
    }
    fs::path current;
    int links = 0;
    while (!pending.empty()) {
        const fs::path part = pending.back();
        pending.pop_back();
        if (part.empty() || part == "." || part == "/") {
            continue;
        }
        if (part == "..") {
            current = current.parent_path();
            continue;
        }
        const fs::path next = current / part;
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(root / next, ec))) {
            current = next;
            continue;
        }
        const fs::path target = fs::read_symlink(root / next, ec);
        if (ec || ++links > 40) {
            throw Error("cannot follow the device's link /" + next.string());
        }
        if (target.is_absolute()) {
            current.clear();
        }
        const std::vector<fs::path> parts(target.begin(), target.end());
        pending.insert(pending.end(), parts.rbegin(), parts.rend());
    }
    return current / last;
}

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
        for (const auto& [name, target] : kLinks) {
            fs::create_symlink(target, root / name, ec);
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

fs::path open(const fs::path& root) {
    if (root.empty()) {
        throw Error("missing device root");
    }
    std::error_code ec;
    const fs::path absolute = fs::absolute(root, ec);
    if (ec || !fs::is_directory(absolute, ec)) {
        throw Error(root.string() + " is not a directory");
    }
    // The marker itself, not what a link in its place points at.
    if (!fs::is_regular_file(fs::symlink_status(absolute / kMarker, ec))) {
        throw Error(root.string() + " is not a device (make one with: glintmere-device create ROOT)");
    }
    return fs::canonical(absolute, ec);
}

fs::path devicePlace(const fs::path& root, const std::string& devicePath) {
    const fs::path path(devicePath);
    if (!path.is_absolute()) {
        throw Error("device path " + devicePath + " is not absolute");
    }
    for (const fs::path& part : path) {
        if (part == "..") {
            throw Error("device path " + devicePath + " climbs with ..");
        }
    }
    const fs::path named = path.lexically_normal().relative_path();
    if (named.empty()) {
        throw Error("device path " + devicePath + " names the device root");
    }
    const fs::path relative = resolveInDevice(root, named);
    const std::string top = relative.empty() ? std::string() : relative.begin()->string();
    if (relative.empty() || isHostOnly(top)) {
        throw Error("device path " + devicePath + " is under /" + top +
                    ", which the device takes from the host");
    }
    return relative;
}

std::vector<Placement> readManifest(const fs::path& manifest) {
    std::ifstream in(manifest);
    if (!in) {
        throw Error("no placement list at " + manifest.string() + " (build the project first)");
    }
    std::vector<Placement> placements;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty()) {
            continue;
        }
        const auto tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == line.size() || line[tab + 1] != '/') {
            throw Error(manifest.string() + ":" + std::to_string(number) +
                        ": expected SOURCE<TAB>/DEVICE/PATH, got \"" + line + "\"");
        }
        placements.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return placements;
}

std::size_t install(const fs::path& root, const std::vector<Placement>& placements) {
    std::size_t installed = 0;
    for (const Placement& p : placements) {
        devicePlace(root, p.devicePath); // a bad device path is refused even when its source is not built
        std::error_code ec;
        if (!fs::exists(p.source, ec)) {
            continue;
        }
        copyInto(root, p.source, p.devicePath);
        ++installed;
    }
    return installed;
}

void copyInto(const fs::path& root, const fs::path& source, const std::string& devicePath) {
    const DeviceFiles files(root);
    std::error_code ec;
    if (!fs::is_directory(source, ec)) {
        files.placeFile(source, devicePlace(root, devicePath));
        return;
    }
    files.folder(devicePlace(root, devicePath + "/."));
    for (auto it = fs::recursive_directory_iterator(source, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // Each entry is placed by its device path: the device may hold links inside the folder too,
        // a folder's own name included.
        const std::string entryPath = devicePath + "/" + it->path().lexically_relative(source).string();
        if (it->is_symlink()) {
            files.placeLink(fs::read_symlink(it->path()), devicePlace(root, entryPath));
        } else if (it->is_directory()) {
            files.folder(devicePlace(root, entryPath + "/."));
        } else {
            files.placeFile(it->path(), devicePlace(root, entryPath));
        }
    }
    if (ec) {
        throw Error("cannot copy " + source.string() + ": " + ec.message());
    }
}

} // namespace device
