#include "Foundation/AppendLine.hpp"

#include "Foundation/FolderBelow.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NS::detail {
namespace {

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// The file opened for appending without following a link; -1 with errno set when that fails.
int openLog(int folder, const char* fileName) {
    constexpr int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int made = ::openat(folder, fileName, flags | O_CREAT | O_EXCL, 0644);
    if (made >= 0) {
        // The mode is the log's own, whatever the process's umask.
        ::fchmod(made, 0644);
        return made;
    }
    return errno == EEXIST ? ::openat(folder, fileName, flags) : -1;
}

} // namespace

std::string appendLine(const std::string& base, std::string_view folder, const char* fileName,
                       std::string_view text) {
    const std::string where = base + "/" + std::string(folder) + "/" + fileName;
    const Descriptor dir{openFolderBelow(base.c_str(), folder, true)};
    if (dir.fd < 0) {
        const bool blocked = errno == ELOOP || errno == ENOTDIR;
        return "cannot open the folder of " + where + ": " +
               (blocked ? "a link or a file stands where a folder belongs" : std::strerror(errno));
    }
    const Descriptor file{openLog(dir.fd, fileName)};
    if (file.fd < 0) {
        // ELOOP: a link; ENXIO: a pipe or socket without a reader.
        const bool foreign = errno == ELOOP || errno == ENXIO || errno == EISDIR;
        return "cannot append to " + where + ": " +
               (foreign ? "something other than a file stands there" : std::strerror(errno));
    }
    struct stat about {};
    if (::fstat(file.fd, &about) != 0 || !S_ISREG(about.st_mode) || about.st_nlink != 1) {
        return "cannot append to " + where + ": something other than a file of its own stands there";
    }
    std::string record(text);
    record += '\n';
    std::string_view rest = record;
    while (!rest.empty()) {
        const ssize_t n = ::write(file.fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return "cannot append to " + where + ": " + std::strerror(n < 0 ? errno : ENOSPC);
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

} // namespace NS::detail
