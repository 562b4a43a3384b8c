#include "Foundation/AtomicFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool writeReplacing(const char* path, std::string_view bytes) {
    std::string target = path;
    std::size_t slash = target.rfind('/');
    std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) {
        return false;
    }
    std::string temporary = directory + "/." + name + ".XXXXXX";
    FileDescriptor file{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.fd < 0) {
        return false;
    }
    // The new file takes the old one's permissions; a new one is readable by all, as Cocoa makes it.
    struct stat old {};
    mode_t mode = ::stat(path, &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(file.fd, mode) == 0 && writeAll(file.fd, bytes) && ::fsync(file.fd) == 0;
    ok = ::close(file.release()) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; the file is in place already, so a failure here changes nothing.
    FileDescriptor dir{::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0) {
        ::fsync(dir.fd);
    }
    return true;
}

} // namespace

std::optional<std::string> readFile(const char* path, std::size_t limit) {
    if (path == nullptr) {
        return std::nullopt;
    }
    // Without O_NONBLOCK, opening a pipe would wait for a writer; the type check below then refuses it.
    FileDescriptor file{::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    // The file may change size while it is read: take what is there, up to the limit.
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() >= limit) {
                char extra;
                ssize_t more = ::read(file.fd, &extra, 1);
                if (more != 0) {
                    return std::nullopt;
                }
                break;
            }
            bytes.resize(std::min(limit, bytes.size() + 4096));
        }
        ssize_t n = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

bool writeFile(const char* path, std::string_view bytes, bool atomically) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    return atomically ? writeReplacing(path, bytes) : writeInPlace(path, bytes);
}

} // namespace NS::detail
