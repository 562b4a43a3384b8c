#include "DeviceFiles.hpp"

#include "Device.hpp"

#include <fcntl.h>
#include <linux/openat2.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace device {
namespace {

std::string describe(const fs::path& relative) { return "/" + relative.string(); }

Error failure(const std::string& what, const fs::path& relative, int error) {
    if (error == ELOOP || error == EXDEV) {
        return Error(what + " " + describe(relative) + ": a link inside the device is in the way");
    }
    return Error(what + " " + describe(relative) + ": " + std::strerror(error));
}

// Kernels before 5.6 (and some container filters) do not have openat2; then each part is opened
// on its own with O_NOFOLLOW, from the descriptor of the part before. GLINTMERE_DEVICE_WITHOUT_OPENAT2
// takes that way on any kernel, so that the tests cover it.
std::atomic<bool> haveOpenat2{std::getenv("GLINTMERE_DEVICE_WITHOUT_OPENAT2") == nullptr};

std::vector<std::string> partsOf(const fs::path& relative) {
    std::vector<std::string> parts;
    for (const fs::path& part : relative) {
        const std::string text = part.string();
        if (text.empty() || text == "." || text == "/") {
            continue;
        }
        if (text == "..") {
            throw Error("device path " + describe(relative) + " climbs with ..");
        }
        parts.push_back(text);
    }
    return parts;
}

// Opens `relative` below the folder `dirfd` with `flags`, following no link and never leaving the
// folder. Returns -1 with errno set on failure.
int openBeneath(int dirfd, const fs::path& relative, int flags, mode_t mode = 0) {
    const std::vector<std::string> parts = partsOf(relative);
    if (parts.empty()) {
        return fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
    }
    if (haveOpenat2.load()) {
        open_how how{};
        how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC | O_NOFOLLOW);
        how.mode = (flags & O_CREAT) != 0 ? mode : 0;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = syscall(SYS_openat2, dirfd, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS) {
            return static_cast<int>(fd);
        }
        haveOpenat2 = false;
    }
    Descriptor current(fcntl(dirfd, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; current.get() >= 0 && i + 1 < parts.size(); ++i) {
        current = Descriptor(
            openat(current.get(), parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (current.get() < 0) {
        return -1;
    }
    return openat(current.get(), parts.back().c_str(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
}

// Random letters that end a temporary's name, so that nothing planted in advance stands at it.
std::string randomEnding() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string ending;
    for (int i = 0; i < 10; ++i) {
        ending += kLetters[arc4random_uniform(sizeof kLetters - 1)];
    }
    return ending;
}

std::string temporaryName(const std::string& name) {
    return "." + name.substr(0, 200) + ".partial-" + randomEnding();
}

void copyContent(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw std::system_error(errno, std::generic_category());
        }
        if (got == 0) {
            return;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0) {
                throw std::system_error(errno, std::generic_category());
            }
            done += put;
        }
    }
}

constexpr mode_t kPrivilegeBits = S_ISUID | S_ISGID;
// Deeper than any tree a package or an app makes; a folder below it is made unreachable instead.
constexpr int kSweepDepth = 256;
// Room for a few hundred entries of a folder's listing per read.
constexpr std::size_t kListingBytes = 16384;

void clearSetIdBelow(int folder, int depth);

// Clears the set-id bits of the folder `name` in `parent` and of everything below it. Its mode is
// read from the opened folder itself, so what is changed is what was looked at. False when no
// folder could be opened there (gone, a link, or something else now).
bool clearFolder(int parent, const char* name, int depth) {
    const Descriptor inner(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat about {};
    if (inner.get() < 0 || fstat(inner.get(), &about) != 0) {
        return false;
    }
    if ((about.st_mode & kPrivilegeBits) != 0) {
        fchmod(inner.get(), about.st_mode & 07777 & ~kPrivilegeBits);
    }
    if (depth + 1 >= kSweepDepth) {
        fchmod(inner.get(), 0);
        return true;
    }
    clearSetIdBelow(inner.get(), depth + 1);
    return true;
}

// Clears the set-id bits of the file `name` in `parent` when it is a regular file that has any.
void clearFile(int parent, const char* name, const struct stat& about) {
    if (!S_ISREG(about.st_mode) || (about.st_mode & kPrivilegeBits) == 0) {
        return;
    }
    // Opened as a path, which needs no permission to read, and checked to be the very file seen:
    // the mode is changed through the descriptor, so nothing swapped in meanwhile is.
    const Descriptor file(openat(parent, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (file.get() < 0 || fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_ino != about.st_ino || opened.st_dev != about.st_dev) {
        return;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(file.get());
    chmod(self.c_str(), opened.st_mode & 07777 & ~kPrivilegeBits);
}

// Clears the set-id bits of everything below the open folder `folder`, never following a link.
// The listing's types say what each entry is: links, pipes and the like are passed over unopened,
// and only regular files are looked at for their mode, which is all the listing lacks.
void clearSetIdBelow(int folder, int depth) {
    const std::unique_ptr<char[]> listing(new char[kListingBytes]);
    for (;;) {
        const ssize_t got = getdents64(folder, listing.get(), kListingBytes);
        if (got <= 0) {
            return;
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(listing.get() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            switch (entry->d_type) {
            case DT_DIR:
                if (clearFolder(folder, name, depth)) {
                    continue;
                }
                break; // something else may stand there by now
            case DT_REG:
            case DT_UNKNOWN: // a file system that does not say
                break;
            default: // links, pipes, sockets and device nodes
                continue;
            }
            struct stat about {};
            if (fstatat(folder, name, &about, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            if (S_ISDIR(about.st_mode)) {
                if (entry->d_type != DT_DIR) {
                    clearFolder(folder, name, depth);
                }
                continue;
            }
            clearFile(folder, name, about);
        }
    }
}

} // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Descriptor::~Descriptor() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

DeviceFiles::DeviceFiles(const fs::path& root)
    : root_(root), rootFd_(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    if (rootFd_.get() < 0) {
        throw Error("cannot open the device root " + root.string() + ": " + std::strerror(errno));
    }
}

Descriptor DeviceFiles::folder(const fs::path& relative, bool make) const {
    Descriptor found(openBeneath(rootFd_.get(), relative, O_PATH | O_DIRECTORY));
    if (found.get() >= 0 || errno != ENOENT || !make) {
        if (found.get() < 0) {
            throw failure("cannot open the folder", relative, errno);
        }
        return found;
    }
    // Made part by part: each part is opened, following no link, from the one before.
    Descriptor current(fcntl(rootFd_.get(), F_DUPFD_CLOEXEC, 0));
    fs::path walked;
    for (const std::string& part : partsOf(relative)) {
        walked /= part;
        Descriptor next(openBeneath(current.get(), part, O_PATH | O_DIRECTORY));
        if (next.get() < 0 && errno == ENOENT) {
            if (mkdirat(current.get(), part.c_str(), 0755) != 0 && errno != EEXIST) {
                throw failure("cannot make", walked, errno);
            }
            next = Descriptor(openBeneath(current.get(), part, O_PATH | O_DIRECTORY));
        }
        if (next.get() < 0) {
            throw failure("cannot open the folder", walked, errno);
        }
        current = std::move(next);
    }
    return current;
}

template <typename Fill> void DeviceFiles::placeWith(const fs::path& relative, Fill&& fill) const {
    const std::string name = relative.filename().string();
    if (name.empty() || name == "." || name == "..") {
        throw Error("device path " + describe(relative) + " names no file");
    }
    const Descriptor parent = folder(relative.parent_path());
    std::string temporary;
    int made = -1;
    for (int attempt = 0; made < 0 && attempt < 100; ++attempt) {
        temporary = temporaryName(name);
        made = fill(parent.get(), temporary);
        if (made < 0 && errno != EEXIST) {
            throw failure("cannot write", relative.parent_path() / temporary, errno);
        }
    }
    if (made < 0) {
        throw failure("cannot write", relative, EEXIST);
    }
    if (renameat(parent.get(), temporary.c_str(), parent.get(), name.c_str()) != 0) {
        const int error = errno;
        unlinkat(parent.get(), temporary.c_str(), 0);
        throw failure("cannot place", relative, error);
    }
}

void DeviceFiles::placeFile(const fs::path& source, const fs::path& relative) const {
    const Descriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat about {};
    if (from.get() < 0 || fstat(from.get(), &about) != 0) {
        throw Error("cannot read " + source.string() + ": " + std::strerror(errno));
    }
    placeWith(relative, [&](int parent, const std::string& temporary) {
        const Descriptor to(
            openat(parent, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (to.get() < 0) {
            return -1;
        }
        try {
            copyContent(from.get(), to.get());
            if (fchmod(to.get(), about.st_mode & 07777) != 0) {
                throw std::system_error(errno, std::generic_category());
            }
        } catch (const std::system_error& e) {
            unlinkat(parent, temporary.c_str(), 0);
            throw Error("cannot copy " + source.string() + " to " + describe(relative) + ": " + e.what());
        }
        return 0;
    });
}

void DeviceFiles::placeContent(const std::string& content, const fs::path& relative, mode_t mode) const {
    placeWith(relative, [&](int parent, const std::string& temporary) {
        const Descriptor to(
            openat(parent, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (to.get() < 0) {
            return -1;
        }
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t put = write(to.get(), content.data() + done, content.size() - done);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0) {
                const int error = errno;
                unlinkat(parent, temporary.c_str(), 0);
                throw failure("cannot write", relative, error);
            }
            done += static_cast<std::size_t>(put);
        }
        if (fchmod(to.get(), mode) != 0) {
            const int error = errno;
            unlinkat(parent, temporary.c_str(), 0);
            throw failure("cannot write", relative, error);
        }
        return 0;
    });
}

void DeviceFiles::placeLink(const fs::path& target, const fs::path& relative) const {
    placeWith(relative, [&](int parent, const std::string& temporary) {
        return symlinkat(target.c_str(), parent, temporary.c_str());
    });
}

void DeviceFiles::remove(const fs::path& relative) const {
    const std::string name = relative.filename().string();
    Descriptor parent(openBeneath(rootFd_.get(), relative.parent_path(), O_PATH | O_DIRECTORY));
    if (parent.get() < 0) {
        if (errno == ENOENT) {
            return;
        }
        throw failure("cannot remove", relative, errno);
    }
    if (unlinkat(parent.get(), name.c_str(), 0) == 0 || errno == ENOENT) {
        return;
    }
    if ((errno == EISDIR || errno == EPERM) && unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR) == 0) {
        return;
    }
    throw failure("cannot remove", relative, errno);
}

std::string DeviceFiles::makeUniqueFolder(const std::string& prefix) const {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + "-" + randomEnding();
        if (mkdirat(rootFd_.get(), name.c_str(), 0755) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            throw failure("cannot make", name, errno);
        }
    }
    throw failure("cannot make", prefix, EEXIST);
}

std::optional<std::string> DeviceFiles::readFile(const fs::path& relative, std::size_t limit) const {
    // Non-blocking, so that a pipe planted there cannot hold the reader; it is no file anyway.
    const Descriptor file(openBeneath(rootFd_.get(), relative, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    struct stat about {};
    if (file.get() < 0 || fstat(file.get(), &about) != 0 || !S_ISREG(about.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw failure("cannot read", relative, errno);
        }
        if (got == 0) {
            return content;
        }
        if (content.size() + static_cast<std::size_t>(got) > limit) {
            throw Error("the device's " + describe(relative) + " holds more than " + std::to_string(limit) +
                        " bytes; it is not what the device's system would write there");
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

Descriptor DeviceFiles::regularFile(const fs::path& relative) const {
    Descriptor file(openBeneath(rootFd_.get(), relative, O_PATH));
    struct stat about {};
    if (file.get() < 0) {
        throw failure("cannot open", relative, errno);
    }
    if (fstat(file.get(), &about) != 0 || !S_ISREG(about.st_mode)) {
        throw Error("the device's " + describe(relative) + " is not a regular file");
    }
    return file;
}

std::optional<fs::path> DeviceFiles::resolve(const fs::path& relative) const {
    // As the kernel allows a path inside: past this many links it gives up with ELOOP.
    constexpr int kMostLinks = 40;
    std::vector<std::string> pending;
    const auto push = [&pending](const fs::path& path) {
        std::vector<std::string> parts;
        for (const fs::path& part : path) {
            parts.push_back(part.string());
        }
        pending.insert(pending.end(), parts.rbegin(), parts.rend());
    };
    push(relative);
    fs::path resolved;
    int links = 0;
    while (!pending.empty()) {
        const std::string part = pending.back();
        pending.pop_back();
        if (part.empty() || part == "." || part == "/") {
            continue;
        }
        if (part == "..") {
            resolved = resolved.parent_path();
            continue;
        }
        // Every part of `resolved` is a folder, not a link, so the kernel follows none on the way.
        const fs::path candidate = resolved / part;
        struct stat about {};
        if (fstatat(rootFd_.get(), candidate.c_str(), &about, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;
        }
        if (!S_ISLNK(about.st_mode)) {
            resolved = candidate;
            continue;
        }
        if (++links > kMostLinks) {
            return std::nullopt;
        }
        char target[4096];
        const ssize_t length = readlinkat(rootFd_.get(), candidate.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) == sizeof target) {
            return std::nullopt;
        }
        const fs::path text(std::string(target, static_cast<std::size_t>(length)));
        if (text.is_absolute()) {
            resolved.clear();
        }
        push(text);
    }
    return resolved;
}

void DeviceFiles::withdrawPrivileges() const {
    const Descriptor root(openat(rootFd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat about {};
    if (root.get() < 0 || fstat(root.get(), &about) != 0) {
        throw Error("cannot open the device root " + root_.string() + ": " + std::strerror(errno));
    }
    if ((about.st_mode & 07077) != 0) {
        fchmod(root.get(), about.st_mode & 0700);
    }
    clearSetIdBelow(root.get(), 0);
}

} // namespace device
