#include "MessageUI/MailOutbox.hpp"

#include "Foundation/AtomicFile.hpp"
#include "Foundation/FolderBelow.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MF {
namespace {

// A new mail takes at most this many names before the outbox is taken to be unusable.
constexpr int kNameAttempts = 32;

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string describe(int error) {
    if (error == ELOOP || error == ENOTDIR) {
        return "a link or a file stands where a folder belongs";
    }
    return std::strerror(error);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Whether `entry` is named as a temporary of a mail: "." NAME ".part".
bool isTemporary(std::string_view entry) {
    return entry.size() > 6 && entry.front() == '.' && entry.ends_with(".part");
}

} // namespace

std::string randomMailName() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    char name[64];
    std::snprintf(name, sizeof name, "%s-%08x", stamp, ::arc4random());
    return name;
}

QueuedMail writeToOutbox(std::string_view bytes, const Outbox& outbox, const MailNames& names) {
    const std::string where = outbox.base + "/" + outbox.folder;
    const Descriptor folder{NS::detail::openFolderBelow(outbox.base.c_str(), outbox.folder, true)};
    if (folder.fd < 0) {
        return {{}, "cannot open the outbox " + where + ": " + describe(errno)};
    }
    // A writer keeps its temporary locked until the name is gone, so killed writers' are found.
    NS::detail::removeStaleTemporaries(folder.fd, isTemporary);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = names();
        if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') {
            return {{}, "not a name for a mail: \"" + name + "\""};
        }
        const std::string temporary = "." + name + ".part";
        const std::string final = name + ".eml";
        // O_EXCL fails on anything already there, a link included, so nothing is written through one.
        const Descriptor file{::openat(folder.fd, temporary.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (file.fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return {{}, "cannot write into the outbox " + where + ": " + describe(errno)};
        }
        // Another writer cleaning up may take the temporary in the instant between its making and
        // its locking, and remove it: then the next name is tried.
        struct stat made {};
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(file.fd, &made) != 0 || made.st_nlink == 0) {
            continue;
        }
        // The mode is the outbox's own, whatever the process's umask.
        if (::fchmod(file.fd, 0644) != 0 || !writeAll(file.fd, bytes) || ::fsync(file.fd) != 0) {
            const int error = errno;
            ::unlinkat(folder.fd, temporary.c_str(), 0);
            return {{}, "cannot write the mail into " + where + ": " + std::strerror(error)};
        }
        // Never over an existing file or link: a mail already sent stays as it is.
        if (::renameat2(folder.fd, temporary.c_str(), folder.fd, final.c_str(), RENAME_NOREPLACE) != 0) {
            const int error = errno;
            ::unlinkat(folder.fd, temporary.c_str(), 0);
            if (error == EEXIST) {
                continue;
            }
            return {{}, "cannot place the mail in " + where + ": " + std::strerror(error)};
        }
        ::fsync(folder.fd);
        return {where + "/" + final, {}};
    }
    return {{}, "no free name for a mail in " + where};
}

QueuedMail sendToOutbox(const MailMessage& mail, const Outbox& outbox) {
    ComposedMail composed = composeMail(mail);
    if (!composed.error.empty()) {
        return {{}, composed.error};
    }
    return writeToOutbox(composed.bytes, outbox);
}

} // namespace MF
