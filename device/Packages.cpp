#include "Packages.hpp"

#include "Device.hpp"
#include "Kinds.hpp"
#include "Sandbox.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

namespace device {
namespace {

// The folder of the device's package database, below its root and as dpkg inside sees it.
const fs::path kAdminFolder = "private/var/lib/dpkg";
constexpr const char* kAdminDir = "/var/lib/dpkg";
// Inside, the device is "/" already. An empty root keeps dpkg from changing root before each
// maintainer script (a device has no capability for that), and overrides a DPKG_ROOT the caller has.
constexpr const char* kRootOption = "--root=";

struct SystemPackage {
    const char* name;
    const char* version; // nullptr: the device's system version
    const char* description;
    // The folders it owns, which tweaks share: dpkg keeps them when a tweak that put files in them
    // goes.
    const char* folders;
};

const SystemPackage kSystemPackages[] = {
    {"firmware", nullptr, "the device's system software", "/.\n/Library\n"},
    {"mobilesubstrate", "0.9.7000", "code insertion platform that loads tweaks into apps",
     "/Library/MobileSubstrate\n/Library/MobileSubstrate/DynamicLibraries\n"},
    {"preferenceloader", "2.2.6", "loads the Settings panes of tweaks",
     "/Library/PreferenceBundles\n/Library/PreferenceLoader\n/Library/PreferenceLoader/Preferences\n"},
};

// Sets an environment variable for as long as it lives.
class EnvironmentSetting {
  public:
    EnvironmentSetting(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            previous_ = old;
        }
        setenv(name, value, 1);
    }
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;
    ~EnvironmentSetting() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

// How long one dpkg run may take, in seconds: 60, or GLINTMERE_DPKG_TIME_LIMIT. Unpacking a tweak
// takes a moment; a maintainer script that sleeps or waits for input must not hold the tool for ever.
unsigned dpkgTimeLimit() {
    const char* chosen = std::getenv("GLINTMERE_DPKG_TIME_LIMIT");
    char* end = nullptr;
    const unsigned long seconds = chosen != nullptr ? std::strtoul(chosen, &end, 10) : 0;
    return chosen != nullptr && *chosen != '\0' && *end == '\0' && seconds > 0 && seconds <= 3600
               ? static_cast<unsigned>(seconds)
               : 60;
}

// Runs `command` inside the device with dpkg's PATH, its standard output captured (dpkg's progress
// is not for the tool's user); its standard error stays the tool's. Returns the exit status.
int runInDevice(const fs::path& root, const std::vector<std::string>& command,
                std::string* output = nullptr) {
    const EnvironmentSetting path("PATH", dpkgPath().c_str());
    const Descriptor captured(memfd_create("dpkg-output", MFD_CLOEXEC));
    std::fflush(stdout);
    const Descriptor savedOutput(fcntl(1, F_DUPFD_CLOEXEC, 0));
    if (captured.get() < 0 || savedOutput.get() < 0 || dup2(captured.get(), 1) < 0) {
        throw Error(std::string("cannot capture dpkg's output: ") + std::strerror(errno));
    }
    // dpkg works as root, and owns what it unpacks to root: it runs as the root of the sandbox's
    // user namespace, which is the caller outside and has no capability.
    int status = 0;
    try {
        status = run(root, command, Identity::DeviceRoot, dpkgTimeLimit());
    } catch (...) {
        dup2(savedOutput.get(), 1);
        throw;
    }
    dup2(savedOutput.get(), 1);
    if (output != nullptr) {
        lseek(captured.get(), 0, SEEK_SET);
        char buffer[4096];
        ssize_t got;
        while ((got = read(captured.get(), buffer, sizeof buffer)) > 0) {
            output->append(buffer, static_cast<std::size_t>(got));
        }
    }
    return status;
}

// The package files copied into a folder of their own at the top of the device, where dpkg inside
// can read them; removed with the folder when done.
class StagedPackages {
  public:
    StagedPackages(const fs::path& root, const std::vector<fs::path>& packages)
        : files_(root), folder_(files_.makeUniqueFolder(".glintmere-packages")) {
        try {
            std::set<std::string> taken;
            for (const fs::path& package : packages) {
                std::string name = package.filename().string();
                while (!taken.insert(name).second) {
                    name = "another-" + name;
                }
                files_.placeFile(package, fs::path(folder_) / name);
                placed_.push_back(fs::path(folder_) / name);
            }
        } catch (...) {
            clear();
            throw;
        }
    }
    StagedPackages(const StagedPackages&) = delete;
    StagedPackages& operator=(const StagedPackages&) = delete;
    ~StagedPackages() { clear(); }

    // Their paths inside the device.
    std::vector<std::string> devicePaths() const {
        std::vector<std::string> paths;
        for (const fs::path& p : placed_) {
            paths.push_back("/" + p.string());
        }
        return paths;
    }

  private:
    void clear() noexcept {
        try {
            for (const fs::path& p : placed_) {
                files_.remove(p);
            }
            files_.remove(folder_);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "glintmere-device: %s\n", e.what());
        }
    }

    DeviceFiles files_;
    std::string folder_;
    std::vector<fs::path> placed_;
};

// The state of a package in dpkg's database, as the second letter of its status abbreviation.
constexpr char kNotInstalled = 'n';
constexpr char kConfigFiles = 'c';

// Installed and configured; triggers it still awaits or has pending change nothing of that.
bool isConfigured(char state) { return state == 'i' || state == 'W' || state == 't'; }

// The state of every package the device's database knows.
std::map<std::string, char> statesOf(const fs::path& root) {
    std::string listed;
    runInDevice(root,
                {"dpkg-query", std::string("--admindir=") + kAdminDir, "--show",
                 "--showformat=${Package}\\t${db:Status-Abbrev}\\n"},
                &listed);
    std::map<std::string, char> states;
    std::istringstream lines(listed);
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos && tab + 2 < line.size()) {
            states[line.substr(0, tab)] = line[tab + 2];
        }
    }
    return states;
}

std::string joined(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

} // namespace

bool isPackageName(const std::string& name) {
    if (name.size() < 2 || !(std::islower(static_cast<unsigned char>(name[0])) ||
                             std::isdigit(static_cast<unsigned char>(name[0])))) {
        return false;
    }
    for (char c : name) {
        if (!std::islower(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c)) &&
            c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string dpkgPath() {
    const char* path = std::getenv("PATH");
    return std::string(path != nullptr && *path != '\0' ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin";
}

void registerSystem(const DeviceFiles& files, const std::string& systemVersion,
                    const std::string& architecture) {
    std::string status;
    for (const SystemPackage& package : kSystemPackages) {
        status += std::string("Package: ") + package.name + "\n" + "Status: install ok installed\n" +
                  "Priority: required\n" + "Section: System\n" + "Installed-Size: 0\n" +
                  "Maintainer: Glintmere simulated device <device@brightmoth.example>\n" +
                  "Architecture: " + architecture + "\n" +
                  "Version: " + (package.version != nullptr ? package.version : systemVersion) + "\n" +
                  "Description: " + package.description + "\n\n";
        files.placeContent(package.folders, kAdminFolder / "info" / (std::string(package.name) + ".list"));
    }
    files.placeContent(status, kAdminFolder / "status");
    // dpkg's list of the architectures the database takes; the host's is always its own.
    if (architecture != GLINTMERE_ARCHITECTURE) {
        files.placeContent(architecture + "\n", kAdminFolder / "arch");
    }
}

void preparePackageManager(const DeviceFiles& files, const std::string& architecture) {
    for (const char* folder :
         {"private/etc/apt/apt.conf.d", "private/etc/apt/sources.list.d", "private/etc/apt/preferences.d",
          "private/etc/apt/trusted.gpg.d", "private/var/lib/apt/lists/partial",
          "private/var/cache/apt/archives/partial", "private/var/log/apt", "private/var/lib/apt/sources"}) {
        files.folder(folder);
    }
    // apt runs as dpkg does, as the device's root, which cannot become another user; it takes the
    // packages of the device's architecture, and hands them to the device's dpkg as the tool does.
    files.placeContent("APT::Architecture \"" + architecture +
                           "\";\n"
                           "APT::Architectures { \"" +
                           architecture +
                           "\"; };\n"
                           "APT::Sandbox::User \"root\";\n"
                           "Dir::Log::Terminal \"/dev/null\";\n"
                           "DPkg::Options { \"" +
                           std::string(kRootOption) + "\"; };\n",
                       "private/etc/apt/apt.conf.d/00device");
    files.placeContent("", "private/etc/apt/sources.list");
}

std::string addSource(const fs::path& root, const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        throw Error("no package source at " + folder.string());
    }
    if (!fs::is_regular_file(fs::symlink_status(folder / "Packages", ec))) {
        throw Error(folder.string() +
                    " holds no Packages index; it is no package source (make one with make repo)");
    }
    std::string name;
    for (const char c : fs::absolute(folder).lexically_normal().filename().string()) {
        name +=
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.' ? c : '-';
    }
    if (name.empty() || name.front() == '.') {
        name = "source" + name;
    }
    const DeviceFiles files(root);
    const fs::path place = fs::path("private/var/lib/apt/sources") / name;
    files.folder(place);
    // The source's own files only: a link or anything else it holds is not copied.
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file(ec) && !entry.is_symlink(ec)) {
            files.placeFile(entry.path(), place / entry.path().filename());
        }
    }
    files.placeContent("deb [trusted=yes] file:/var/lib/apt/sources/" + name + " ./\n",
                       fs::path("private/etc/apt/sources.list.d") / (name + ".list"));
    return name;
}

std::string packageArchitecture(const DeviceFiles& device) {
    // A few architecture names at most; the device may have put anything there.
    const std::string architectures = device.readFile(kAdminFolder / "arch", 4096).value_or("");
    for (std::string_view rest = architectures; !rest.empty();) {
        const auto end = rest.find('\n');
        if (rest.substr(0, end) == kPhoneArchitecture) {
            return kPhoneArchitecture;
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return GLINTMERE_ARCHITECTURE;
}

std::string packageArchitecture(const fs::path& root) { return packageArchitecture(DeviceFiles(root)); }

void installPackages(const fs::path& root, const std::vector<CheckedPackage>& packages) {
    if (packages.empty()) {
        return;
    }
    std::vector<fs::path> files;
    std::vector<std::string> names;
    for (const CheckedPackage& package : packages) {
        files.push_back(package.file);
        names.push_back(package.name);
    }
    const std::map<std::string, char> before = statesOf(root);
    bool timedOut = false;
    {
        const StagedPackages staged(root, files);
        std::vector<std::string> command = {"dpkg", kRootOption, "--install"};
        for (const std::string& path : staged.devicePaths()) {
            command.push_back(path);
        }
        const int status = runInDevice(root, command);
        if (status == 0) {
            return;
        }
        timedOut = status == kTimedOut;
    }
    // What dpkg left half done goes back to how it was before, where that can be had: a package
    // that was not there is purged (its files, kept settings and record), one that had only its
    // settings left is removed down to them again. One that was installed before cannot be put
    // back: dpkg keeps no copy of the version it replaced, so it stays as dpkg left it and is named.
    const std::map<std::string, char> after = statesOf(root);
    const auto stateIn = [](const std::map<std::string, char>& states, const std::string& name) {
        const auto found = states.find(name);
        return found == states.end() ? kNotInstalled : found->second;
    };
    std::vector<std::string> failed, purged, removed, stuck;
    for (const std::string& name : names) {
        const char now = stateIn(after, name);
        if (isConfigured(now)) {
            continue;
        }
        failed.push_back(name);
        const char was = stateIn(before, name);
        if (now == kNotInstalled) {
            continue;
        }
        if (was == kNotInstalled) {
            purged.push_back(name);
        } else if (was == kConfigFiles) {
            removed.push_back(name);
        } else {
            stuck.push_back(name);
        }
    }
    for (const auto& [action, which] : {std::pair{"--purge", &purged}, std::pair{"--remove", &removed}}) {
        if (!which->empty()) {
            std::vector<std::string> undo = {"dpkg", kRootOption, action};
            undo.insert(undo.end(), which->begin(), which->end());
            runInDevice(root, undo);
        }
    }
    std::string message = "dpkg did not install " + joined(failed.empty() ? names : failed);
    if (timedOut) {
        message += " within " + std::to_string(dpkgTimeLimit()) +
                   " s and was stopped (a maintainer script that does not end?)";
    }
    if (!stuck.empty()) {
        message += "; " + joined(stuck) +
                   " stays unpacked but not configured, as the version installed before is gone "
                   "(remove it, or install a version that configures)";
    }
    throw Error(message);
}

void removePackage(const fs::path& root, const std::string& name) {
    if (!isPackageName(name)) {
        throw Error("\"" + name + "\" is not a package name");
    }
    const int status = runInDevice(root, {"dpkg", kRootOption, "--remove", name});
    if (status == kTimedOut) {
        throw Error("dpkg did not remove " + name + " within " + std::to_string(dpkgTimeLimit()) +
                    " s and was stopped (a maintainer script that does not end?)");
    }
    if (status != 0) {
        throw Error("dpkg did not remove " + name);
    }
}

} // namespace device
