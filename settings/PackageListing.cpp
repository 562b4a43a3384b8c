#include "PackageListing.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace glintmere {
namespace {

constexpr const char* kDpkg = "/usr/bin/dpkg";

// Something standing at the listing's path is replaced at most this often before giving up: another
// process may keep planting things there.
constexpr int kAttempts = 8;

// The listing's file, empty and of its own, opened for writing; -1 with `error` set when none can be had.
int openListing(const char* path, std::string& error) {
    constexpr int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int made = ::open(path, flags | O_CREAT | O_EXCL, 0644);
        if (made >= 0) {
            // Readable by all, whatever the process's umask: the mail composer reads it.
            ::fchmod(made, 0644);
            return made;
        }
        if (errno != EEXIST) {
            error = std::string("cannot make ") + path + ": " + std::strerror(errno);
            return -1;
        }
        const int found = ::open(path, flags);
        struct stat about {};
        if (found >= 0 && ::fstat(found, &about) == 0 && S_ISREG(about.st_mode) && about.st_nlink == 1) {
            if (::ftruncate(found, 0) != 0) {
                error = std::string("cannot empty ") + path + ": " + std::strerror(errno);
                ::close(found);
                return -1;
            }
            return found;
        }
        // ELOOP: a link; ENXIO: a pipe or socket; ENOENT: gone meanwhile. A folder is not removed.
        const int why = found >= 0 ? 0 : errno;
        if (found >= 0) {
            ::close(found);
        } else if (why == EISDIR || (why != ELOOP && why != ENXIO && why != ENOENT)) {
            error = std::string("cannot open ") + path + ": " + std::strerror(why);
            return -1;
        }
        if (::unlink(path) != 0 && errno != ENOENT) {
            error = std::string("cannot remove what stands at ") + path + ": " + std::strerror(errno);
            return -1;
        }
    }
    error = std::string("something keeps taking the place of ") + path;
    return -1;
}

} // namespace

std::string writePackageListing(const char* path) {
    std::string error;
    const int listing = openListing(path, error);
    if (listing < 0) {
        return error;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, listing, 1);
    char name[] = "dpkg";
    char list[] = "-l";
    char* argv[] = {name, list, nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, kDpkg, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(listing);
    if (spawned != 0) {
        return std::string("cannot start ") + kDpkg + ": " + std::strerror(spawned);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return std::string("cannot wait for ") + kDpkg + ": " + std::strerror(errno);
        }
    }
    if (WIFSIGNALED(status)) {
        return std::string(kDpkg) + " -l was killed by signal " + std::to_string(WTERMSIG(status));
    }
    if (WEXITSTATUS(status) != 0) {
        return std::string(kDpkg) + " -l failed with status " + std::to_string(WEXITSTATUS(status));
    }
    return {};
}

} // namespace glintmere
