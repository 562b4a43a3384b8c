#include "Foundation/AtomicFile.hpp"

#include "Foundation/RegularFile.hpp"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace NS::detail {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A path as its folder and its last component.
struct SplitPath {
    std::string folder;
    std::string name;
};

SplitPath splitPath(const char* path) {
    const std::string target = path;
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return {".", target};
    }
    return {slash == 0 ? "/" : target.substr(0, slash), target.substr(slash + 1)};
}

// Closes `fd` when the scope ends, unless it was handed back.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int release() {
        int f = fd;
        fd = -1;
        return f;
    }
};

bool writeInPlace(const char* path, std::string_view bytes) {
    FileDescriptor file{::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (file.fd < 0) {
        return false;
    }
    bool written = writeAll(file.fd, bytes);
    return ::close(file.release()) == 0 && written;
}

// Whether `entry` is a temporary of this writer for the file `name`: "." name "." and the six
// letters or digits that mkstemp puts in.
bool isTemporaryOf(std::string_view entry, std::string_view name) {
    constexpr std::size_t kUnique = 6;
    if (entry.size() != name.size() + 2 + kUnique || entry[0] != '.' ||
        entry.substr(1, name.size()) != name || entry[name.size() + 1] != '.') {
        return false;
    }
    for (char c : entry.substr(name.size() + 2)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

} // namespace

void removeStaleTemporaries(int directory, const std::function<bool(std::string_view)>& isTemporary) {
    int listing = ::dup(directory);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (entries == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (!isTemporary(entry->d_name)) {
            continue;
        }
        FileDescriptor file{
            ::openat(directory, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
        struct stat opened {};
        struct stat named {};
        if (file.fd >= 0 && ::fstat(file.fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(file.fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(directory, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            ::unlinkat(directory, entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

namespace {

// A new temporary for `name` in `directory`, locked for as long as `file` stays open.
bool makeTemporary(const std::string& directory, const std::string& name, std::string& temporary,
                   FileDescriptor& file) {
    // Another writer cleaning up may take a temporary in the instant between its making and its
    // locking, and remove it: then a fresh one is made. Each loss needs a cleaner to run in that
    // instant, so many writers at once on a loaded machine can lose a few times in a row; the bound
    // only keeps a directory that refuses every temporary from looping.
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = directory + "/." + name + ".XXXXXX";
        FileDescriptor made{::mkostemp(temporary.data(), O_CLOEXEC)};
        if (made.fd < 0) {
            return false;
        }
        struct stat info {};
        // Waiting for a cleaner that holds the lock lets it finish; the link count then says whether
        // it took the file.
        if (::flock(made.fd, LOCK_EX) == 0 && ::fstat(made.fd, &info) == 0 && info.st_nlink > 0) {
            file.fd = made.release();
            return true;
        }
    }
    return false;
}

bool writeReplacing(const char* path, std::string_view bytes, bool flushFolder) {
    const SplitPath split = splitPath(path);
    const std::string& directory = split.folder;
    const std::string& name = split.name;
    if (name.empty()) {
        return false;
    }
    FileDescriptor dir{::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0) {
        removeStaleTemporaries(dir.fd,
                               [&name](std::string_view entry) { return isTemporaryOf(entry, name); });
    }
    std::string temporary;
    FileDescriptor file{-1};
    if (!makeTemporary(directory, name, temporary, file)) {
        return false;
    }
    // The new file takes the old one's permissions; a new one is readable by all, as Cocoa makes it.
    // A link in the file's place is replaced, not followed.
    struct stat old {};
    mode_t mode = ::lstat(path, &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(file.fd, mode) == 0 && writeAll(file.fd, bytes) && ::fsync(file.fd) == 0;
    // The temporary stays open, and so locked, until its name is gone.
    if (!ok || ::rename(temporary.c_str(), path) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    ::close(file.release());
    // Make the rename itself durable; the file is in place already, so a failure here changes nothing.
    if (flushFolder && dir.fd >= 0) {
        ::fsync(dir.fd);
    }
    return true;
}

} // namespace

std::optional<std::string> readFile(const char* path, std::size_t limit) {
    std::optional<RegularFile> file = RegularFile::open(path);
    if (!file || file->size() > limit) {
        return std::nullopt;
    }
    // One byte more than the file holds: a read that stops at the size the file has is at its end,
    // and a file read in one call takes one read.
    const auto size = static_cast<std::size_t>(file->size());
    std::string bytes;
    bytes.resize(size + 1);
    std::size_t done = 0;
    // The file may change size while it is read: take what is there, up to the limit.
    for (;;) {
        if (done == bytes.size()) {
            if (done > limit) {
                return std::nullopt;
            }
            bytes.resize(done + 1 + std::min<std::size_t>(4095, limit - done));
        }
        const long n = file->read(bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
        if (done == size && size > 0 && done < bytes.size()) {
            break;
        }
    }
    bytes.resize(done);
    return bytes;
}

bool writeFile(const char* path, std::string_view bytes, bool atomically) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    return atomically ? writeReplacing(path, bytes, true) : writeInPlace(path, bytes);
}

bool replaceFileUnflushed(const char* path, std::string_view bytes) {
    return path != nullptr && path[0] != '\0' && writeReplacing(path, bytes, false);
}

void flushFolderOf(const char* path) {
    if (path == nullptr) {
        return;
    }
    FileDescriptor dir{::open(splitPath(path).folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0) {
        ::fsync(dir.fd);
    }
}

void removeStaleTemporariesOf(const char* path) {
    if (path == nullptr) {
        return;
    }
    const SplitPath split = splitPath(path);
    const std::string& name = split.name;
    FileDescriptor dir{::open(split.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0 && !name.empty()) {
        removeStaleTemporaries(dir.fd,
                               [&name](std::string_view entry) { return isTemporaryOf(entry, name); });
    }
}

namespace {

// The mode of a new file, as Cocoa makes it: readable by all.
constexpr mode_t kNewFileMode = 0644;

} // namespace

std::unique_ptr<StagedFile> StagedFile::stage(const char* folder, std::string_view bytes) {
    if (folder == nullptr || folder[0] == '\0') {
        return nullptr;
    }
    FileDescriptor file{::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, kNewFileMode)};
    // The lock marks the file as in use while it goes through a temporary name in a folder, as a
    // writer's temporary is marked: a cleaner of stale temporaries leaves it alone.
    if (file.fd < 0 || ::flock(file.fd, LOCK_EX) != 0 || ::fchmod(file.fd, kNewFileMode) != 0 ||
        !writeAll(file.fd, bytes) || ::fsync(file.fd) != 0) {
        return nullptr;
    }
    return std::unique_ptr<StagedFile>(new StagedFile(file.release()));
}

StagedFile::~StagedFile() { ::close(fd_); }

bool StagedFile::replace(const char* path) const {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    const SplitPath split = splitPath(path);
    const std::string& name = split.name;
    if (name.empty()) {
        return false;
    }
    FileDescriptor dir{::open(split.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) {
        return false;
    }
    // A writer that replaces the file keeps its permissions; one file cannot take two sets of them.
    struct stat old {};
    if (::fstatat(dir.fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) &&
        (old.st_mode & 07777) != kNewFileMode) {
        return false;
    }
    // The descriptor itself is linked where the kernel allows it; elsewhere its name under /proc is,
    // the only link ever followed here. A link in the file's place is replaced by the rename, not
    // followed. A temporary left by a placing that stopped halfway is removed by the next writer of
    // the file.
    static std::atomic<bool> linksDescriptors{true};
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    const auto link = [&](const std::string& temporary) {
        if (linksDescriptors.load(std::memory_order_relaxed)) {
            if (::linkat(fd_, "", dir.fd, temporary.c_str(), AT_EMPTY_PATH) == 0) {
                return 0;
            }
            if (errno != ENOENT && errno != EPERM) {
                return errno;
            }
            linksDescriptors.store(false, std::memory_order_relaxed);
        }
        return ::linkat(AT_FDCWD, self.c_str(), dir.fd, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                                   : errno;
    };
    constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Names come from a sequence seeded once per thread, not a system call each: a name taken
    // meanwhile only costs another try.
    thread_local std::uint64_t sequence = (std::uint64_t{arc4random()} << 32) | arc4random();
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::uint64_t bits = (sequence += 0x9E3779B97F4A7C15ull);
        bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9ull;
        bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBull;
        std::string temporary = "." + name + ".";
        for (int i = 0; i < 6; ++i, bits /= letters.size()) {
            temporary += letters[bits % letters.size()];
        }
        if (const int error = link(temporary); error != 0) {
            if (error == EEXIST) {
                continue;
            }
            return false;
        }
        if (::renameat(dir.fd, temporary.c_str(), dir.fd, name.c_str()) != 0) {
            ::unlinkat(dir.fd, temporary.c_str(), 0);
            return false;
        }
        return true;
    }
    return false;
}

} // namespace NS::detail
