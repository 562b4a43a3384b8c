#include "Device.hpp"

#include "DeviceFiles.hpp"
#include "Packages.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace device {
namespace {

bool isHostOnly(const std::string& top) {
    for (const std::string& m : kMountPoints) {
        if (top == m) {
            return true;
        }
    }
    for (const auto& [name, target] : kTopLinks) {
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

fs::path setupProgram() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        throw Error("cannot find the tool's own program: " + ec.message());
    }
    return self.parent_path() / kSetupProgramName;
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
