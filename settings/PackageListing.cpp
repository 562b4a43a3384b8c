#include "PackageListing.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <crt_externs.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The time left of a limit that starts when it is made. It reads the time of day, which every
// system version has (a monotonic clock came to the phone's C library only with iOS 10), and counts
// only the time that moves forward, so that a clock set back meanwhile cannot stretch the limit.
class Deadline {
  public:
    explicit Deadline(long long milliseconds) : left_(milliseconds), last_(now()) {}

    // Milliseconds left, none when it has passed.
    int millisecondsLeft() {
        const long long reading = now();
        if (reading > last_) {
            left_ -= reading - last_;
        }
        last_ = reading;
        return static_cast<int>(std::clamp<long long>(left_, 0, INT_MAX));
    }

  private:
    static long long now() {
        timeval time{};
        ::gettimeofday(&time, nullptr);
        return static_cast<long long>(time.tv_sec) * 1000 + time.tv_usec / 1000;
    }

    long long left_;
    long long last_;
};

bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string tookTooLong(const ListingLimits& limits) {
    char message[128];
    std::snprintf(message, sizeof message, "%s -l took longer than %lld ms; the listing was given up", kDpkg,
                  static_cast<long long>(limits.time.count()));
    return message;
}

// Copies what arrives on `from` to `to` until it ends, within the limits. Returns what went wrong,
// nothing when all was copied.
std::string copyListing(int from, int to, Deadline& deadline, const ListingLimits& limits) {
    std::size_t copied = 0;
    char buffer[65536];
    for (;;) {
        pollfd ready{from, POLLIN, 0};
        const int polled = ::poll(&ready, 1, deadline.millisecondsLeft());
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return tookTooLong(limits);
        }
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n == 0) {
            return {};
        }
        if (n < 0) {
            return std::string("cannot read what ") + kDpkg + " lists: " + std::strerror(errno);
        }
        copied += static_cast<std::size_t>(n);
        if (copied > limits.bytes) {
            char message[128];
            std::snprintf(message, sizeof message,
                          "%s -l listed more than %zu bytes; the listing was given up", kDpkg, limits.bytes);
            return message;
        }
        if (!writeAll(to, buffer, static_cast<std::size_t>(n))) {
            return std::string("cannot write the listing: ") + std::strerror(errno);
        }
    }
}

// Waits until `child` has ended, without reaping it, or `deadline` has passed (false).
bool waitForExit(pid_t child, Deadline& deadline) {
    // It has closed its output, so it is about to end: a short poll does.
    for (;;) {
        siginfo_t ended{};
        if (::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT | WNOHANG) == 0 &&
            ended.si_pid == child) {
            return true;
        }
        const int left = deadline.millisecondsLeft();
        if (left == 0) {
            return false;
        }
        ::poll(nullptr, 0, std::min(left, 5));
    }
}

} // namespace

std::string writePackageListing(const char* path, const ListingLimits& limits) {
    std::string error;
    const int listing = openListing(path, error);
    if (listing < 0) {
        return error;
    }
    int output[2];
    // Both ends are closed on exec (pipe2 is not on every system), so that dpkg gets only the end
    // it is given and nothing else this process starts keeps the pipe open.
    if (::pipe(output) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::close(listing);
        return error;
    }
    ::fcntl(output[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(output[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    // A group of its own, so that what it starts can be ended with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    char name[] = "dpkg";
    char list[] = "-l";
    char* argv[] = {name, list, nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, kDpkg, &actions, &attributes, argv, *_NSGetEnviron());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        ::close(listing);
        return std::string("cannot start ") + kDpkg + ": " + std::strerror(spawned);
    }
    Deadline deadline(limits.time.count());
    error = copyListing(output[0], listing, deadline, limits);
    ::close(output[0]);
    if (error.empty() && !waitForExit(child, deadline)) {
        error = tookTooLong(limits);
    }
    const bool finished = error.empty();
    // The group's leader is not reaped yet, so its id still names this group alone.
    ::kill(-child, SIGKILL);
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!finished) {
        if (::ftruncate(listing, 0) != 0) {
            error += std::string("; cannot empty ") + path + ": " + std::strerror(errno);
        }
        ::close(listing);
        return error;
    }
    ::close(listing);
    char outcome[96] = "";
    if (WIFSIGNALED(status)) {
        std::snprintf(outcome, sizeof outcome, "%s -l was killed by signal %d", kDpkg, WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        std::snprintf(outcome, sizeof outcome, "%s -l failed with status %d", kDpkg, WEXITSTATUS(status));
    }
    return outcome;
}

} // namespace glintmere
