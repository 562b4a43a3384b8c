#include "Packages.hpp"

#include "Device.hpp"
#include "Sandbox.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <sstream>

extern char** environ;

namespace device {
namespace {

// The folder of the device's package database, below its root and as dpkg inside sees it.
const fs::path kAdminFolder = "private/var/lib/dpkg";
constexpr const char* kAdminDir = "/var/lib/dpkg";

// dpkg looks for the programs it runs on its way (ldconfig, start-stop-daemon) in the sbin folders,
// which a user's PATH may lack.
std::string dpkgPath() {
    const char* path = std::getenv("PATH");
    return std::string(path != nullptr && *path != '\0' ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin";
}

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
    // dpkg works as root, and owns what it unpacks to root. A user who is not root runs it as the
    // root of a user namespace of its own, whose root is that user outside.
    std::vector<std::string> asRoot;
    if (geteuid() != 0) {
        asRoot = {"unshare", "--map-root-user"};
    }
    asRoot.insert(asRoot.end(), command.begin(), command.end());
    int status = 0;
    try {
        status = run(root, asRoot);
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

// The standard output of a host program; nullopt when it fails (its errors go to standard error).
std::optional<std::string> hostOutput(const std::vector<std::string>& command) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw Error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    Descriptor readEnd(pipeFds[0]);
    Descriptor writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    std::vector<char*> argv;
    std::vector<std::string> words = command;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw Error("cannot start " + command[0] + ": " + std::strerror(spawned));
    }
    writeEnd = Descriptor();
    std::string out;
    char buffer[4096];
    ssize_t got;
    while ((got = read(readEnd.get(), buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return out;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// A valid dpkg package name: what the tool passes on to dpkg as one.
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

} // namespace

void registerSystem(const DeviceFiles& files, const std::string& systemVersion) {
    std::string status;
    for (const SystemPackage& package : kSystemPackages) {
        status += std::string("Package: ") + package.name + "\n" + "Status: install ok installed\n" +
                  "Priority: required\n" + "Section: System\n" + "Installed-Size: 0\n" +
                  "Maintainer: Glintmere simulated device <device@brightmoth.example>\n" +
                  "Architecture: " GLINTMERE_ARCHITECTURE "\n" +
                  "Version: " + (package.version != nullptr ? package.version : systemVersion) + "\n" +
                  "Description: " + package.description + "\n\n";
        files.placeContent(package.folders, kAdminFolder / "info" / (std::string(package.name) + ".list"));
    }
    files.placeContent(status, kAdminFolder / "status");
}

void installPackages(const fs::path& root, const std::vector<fs::path>& packages) {
    if (packages.empty()) {
        return;
    }
    std::vector<std::string> names;
    for (const fs::path& package : packages) {
        std::error_code ec;
        if (!fs::is_regular_file(package, ec)) {
            throw Error("no package at " + package.string());
        }
        const auto name = hostOutput({"dpkg-deb", "--field", package.string(), "Package"});
        if (!name || !isPackageName(trimmed(*name))) {
            throw Error(package.string() + " is not a package dpkg can install");
        }
        names.push_back(trimmed(*name));
    }
    const StagedPackages staged(root, packages);
    std::vector<std::string> command = {"dpkg", "--root=/", "--install"};
    for (const std::string& path : staged.devicePaths()) {
        command.push_back(path);
    }
    if (runInDevice(root, command) == 0) {
        return;
    }
    // What dpkg unpacked but would not configure, and that was never configured before, goes again.
    std::string states;
    std::vector<std::string> query = {"dpkg-query", std::string("--admindir=") + kAdminDir, "--show",
                                      "--showformat=${Package}\\t${db:Status-Abbrev}\\t${Config-Version}\\n"};
    query.insert(query.end(), names.begin(), names.end());
    runInDevice(root, query, &states);
    std::vector<std::string> refused;
    std::istringstream lines(states);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name, abbrev, configured;
        std::getline(fields, name, '\t');
        std::getline(fields, abbrev, '\t');
        std::getline(fields, configured, '\t');
        if (trimmed(abbrev) != "ii" && configured.empty() && trimmed(abbrev) != "un") {
            refused.push_back(name);
        }
    }
    if (!refused.empty()) {
        std::vector<std::string> removal = {"dpkg", "--root=/", "--remove"};
        removal.insert(removal.end(), refused.begin(), refused.end());
        runInDevice(root, removal);
    }
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    throw Error("dpkg did not install " + list);
}

void removePackage(const fs::path& root, const std::string& name) {
    if (!isPackageName(name)) {
        throw Error("\"" + name + "\" is not a package name");
    }
    if (runInDevice(root, {"dpkg", "--root=/", "--remove", name}) != 0) {
        throw Error("dpkg did not remove " + name);
    }
}

} // namespace device
