#include "PackageCheck.hpp"

#include "Device.hpp"
#include "DeviceFiles.hpp"
#include "Packages.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>

extern char** environ;

namespace device {
namespace {

// A host program with its standard output on a pipe. One that is let go before it was waited for
// (its reader stopped early) is killed and reaped.
class HostProgram {
  public:
    explicit HostProgram(const std::vector<std::string>& command) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            throw Error(std::string("cannot make a pipe: ") + std::strerror(errno));
        }
        output_ = Descriptor(pipeFds[0]);
        const Descriptor writeEnd(pipeFds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
        std::vector<std::string> words = command;
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            throw Error("cannot start " + command[0] + ": " + std::strerror(spawned));
        }
    }
    HostProgram(const HostProgram&) = delete;
    HostProgram& operator=(const HostProgram&) = delete;
    ~HostProgram() {
        if (pid_ > 0) {
            output_ = Descriptor();
            kill(pid_, SIGKILL);
            wait();
        }
    }

    int output() const { return output_.get(); }

    // Waits for it to end; true when it exited with status 0 (its errors went to standard error).
    bool wait() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

  private:
    Descriptor output_;
    pid_t pid_ = 0;
};

// The standard output of a host program; nullopt when it fails.
std::optional<std::string> hostOutput(const std::vector<std::string>& command) {
    HostProgram program(command);
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(program.output(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    if (!program.wait()) {
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

// An archive's entry name as the device path it unpacks to: "./a//b/../c/" is "/a/c". dpkg unpacks
// relative to the device root, so ".." stops at the root.
std::string devicePathOf(const char* name) {
    std::string path = fs::path("/" + std::string(name)).lexically_normal().generic_string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// What kind of file an entry of type `type` is, when a device may not hold one; nullptr otherwise.
const char* forbiddenKind(mode_t type) {
    switch (type) {
    case AE_IFCHR:
        return "a character device";
    case AE_IFBLK:
        return "a block device";
    case AE_IFIFO:
        return "a named pipe";
    case AE_IFSOCK:
        return "a socket";
    default:
        return nullptr;
    }
}

// The link among `links` that `path` passes through, if any.
std::optional<std::string> linkOnTheWay(const std::string& path, const std::set<std::string>& links) {
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (links.contains(path.substr(0, slash))) {
            return path.substr(0, slash);
        }
    }
    return std::nullopt;
}

// What all the files of one package may add up to: far beyond any tweak (a tweak's package is a
// few megabytes), far below what a device's disk can lose to a package that claims little and
// unpacks much.
constexpr std::int64_t kPackageContentLimit = std::int64_t{256} << 20;

// Looks through the files `package` unpacks, as dpkg itself would read them; throws Error at the
// first that a device may not get.
// `links` holds the links of the packages checked before this one, which go in with it.
void checkContents(const DeviceFiles& device, const fs::path& package, std::set<std::string>& links) {
    HostProgram contents({"dpkg-deb", "--fsys-tarfile", package.string()});
    const std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(),
                                                                        archive_read_free);
    archive_read_support_format_tar(reader.get());
    const std::string marker = std::string("/") + kMarker;
    const auto refuse = [&](const std::string& why) {
        return Error("refused " + package.string() + ": " + why);
    };
    if (archive_read_open_fd(reader.get(), contents.output(), 65536) != ARCHIVE_OK) {
        throw refuse(std::string("cannot read its files: ") + archive_error_string(reader.get()));
    }
    std::int64_t content = 0;
    archive_entry* entry = nullptr;
    int read = ARCHIVE_OK;
    while ((read = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr) {
            throw refuse("it holds a file whose name cannot be read");
        }
        const std::string path = devicePathOf(name);
        if (const char* kind = forbiddenKind(archive_entry_filetype(entry))) {
            throw refuse(std::string("it holds ") + kind + " at " + path +
                         "; a device's packages may hold only files, folders and links");
        }
        if ((archive_entry_mode(entry) & 06000) != 0) {
            throw refuse("it holds " + path + " with its set-user-id or set-group-id bit set; a device's " +
                         "programs run with the power of whoever runs the device");
        }
        if (archive_entry_size_is_set(entry) != 0 && archive_entry_filetype(entry) == AE_IFREG) {
            content += std::max<std::int64_t>(archive_entry_size(entry), 0);
            if (content > kPackageContentLimit) {
                throw refuse("its files add up to more than " + std::to_string(kPackageContentLimit >> 20) +
                             " MB, more than any tweak holds");
            }
        }
        const fs::path devicePath(path);
        if (devicePath.filename() == kMarker &&
            device.resolve(devicePath.parent_path().relative_path()) == fs::path()) {
            const std::string through =
                path == marker ? "" : " (as " + path + ", through the device's links)";
            throw refuse("it holds " + marker + through + ", the file that marks the device's root; a " +
                         "package that owned it would unmake the device when removed");
        }
        if (const auto link = linkOnTheWay(path, links)) {
            throw refuse("it puts " + path + " beyond " + *link +
                         ", a link of its own or of a package it goes in with");
        }
        if (archive_entry_filetype(entry) == AE_IFLNK) {
            links.insert(path);
        }
        archive_read_data_skip(reader.get());
    }
    if (read != ARCHIVE_EOF) {
        throw refuse(std::string("cannot read its files: ") + archive_error_string(reader.get()));
    }
    if (!contents.wait()) {
        throw refuse("dpkg-deb cannot read its files");
    }
}

} // namespace

std::vector<CheckedPackage> checkPackages(const fs::path& root, const std::vector<fs::path>& packages) {
    const DeviceFiles device(root);
    std::set<std::string> links;
    std::vector<CheckedPackage> checked;
    for (const fs::path& package : packages) {
        std::error_code ec;
        if (!fs::is_regular_file(package, ec)) {
            throw Error("no package at " + package.string());
        }
        const auto name = hostOutput({"dpkg-deb", "--field", package.string(), "Package"});
        if (!name || !isPackageName(trimmed(*name))) {
            throw Error(package.string() + " is not a package dpkg can install");
        }
        checkContents(device, package, links);
        checked.push_back({package, trimmed(*name)});
    }
    return checked;
}

} // namespace device
