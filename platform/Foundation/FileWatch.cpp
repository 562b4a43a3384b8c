#include "Foundation/FileWatch.hpp"

#include <limits.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <unordered_set>

namespace NS::detail {
namespace {

// What changes a folder's answers: its entries made, removed, renamed, rewritten or given other
// permissions, and the folder itself moved or removed.
constexpr std::uint32_t kEvents = IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                                  IN_MODIFY | IN_MOVE_SELF | IN_MOVED_FROM | IN_MOVED_TO | IN_DONT_FOLLOW |
                                  IN_ONLYDIR;
// The kernel's watches are a per-user budget; past this many the process starts again with none.
constexpr std::size_t kWatchLimit = 1024;
// Paths remembered as walked at one count; past this many they are walked again.
constexpr std::size_t kWalkedLimit = 4096;
// Reads of the descriptor in one drain.
constexpr int kReadLimit = 16;
// As many links as the kernel's own path walk follows.
constexpr int kLinkLimit = 40;

struct State {
    std::mutex lock;
    int fd = -1;
    bool tried = false;
    std::uint64_t count = 1;
    std::unordered_set<int> watches;
    std::unordered_set<std::string> walked; // paths whose folders are watched at this count
    bool stale = false;                     // a forked child's sets still hold the parent's
};

State& state() {
    // Never destroyed: bundles are asked for until the process's last moment.
    static auto* s = new State();
    return *s;
}

// A child of a fork shares the parent's descriptor: each would read events meant for the other.
void lockForFork() { state().lock.lock(); }
void unlockInParent() { state().lock.unlock(); }
void startAfreshInChild() {
    State& s = state();
    if (s.fd >= 0) {
        ::close(s.fd);
    }
    s.fd = -1;
    s.tried = false;
    ++s.count;
    s.stale = true;
    s.lock.unlock();
}

void moveOn(State& s) {
    ++s.count;
    s.walked.clear();
}

void forget(State& s) {
    if (s.fd >= 0) {
        ::close(s.fd);
    }
    s.fd = -1;
    s.watches.clear();
    moveOn(s);
}

bool ready(State& s) {
    if (s.stale) {
        s.watches.clear();
        s.walked.clear();
        s.stale = false;
    }
    if (s.fd >= 0) {
        return true;
    }
    if (s.tried) {
        return false;
    }
    s.tried = true;
    static std::once_flag registered;
    std::call_once(registered, [] { pthread_atfork(lockForFork, unlockInParent, startAfreshInChild); });
    s.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return s.fd >= 0;
}

// Takes in the events the kernel has queued: any of them moves the count on. A folder changing
// faster than it is read cannot hold the caller: what is left moves the count on next time.
void drain(State& s) {
    alignas(inotify_event) char buffer[4096];
    for (int reads = 0; reads < kReadLimit; ++reads) {
        const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0 || errno != EAGAIN) {
                forget(s); // a descriptor that fails cannot be trusted to report
            }
            return;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_IGNORED) != 0) {
                s.watches.erase(event->wd);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        moveOn(s);
    }
}

enum class Added { Watched, NoFolder, Failed };

Added add(State& s, const std::string& folder) {
    if (s.watches.size() >= kWatchLimit) {
        return Added::Failed;
    }
    const int wd = inotify_add_watch(s.fd, folder.c_str(), kEvents);
    if (wd >= 0) {
        s.watches.insert(wd);
        return Added::Watched;
    }
    // A part that is missing, or is a file or a link, is reported by the folder that holds it.
    return errno == ENOENT || errno == ENOTDIR ? Added::NoFolder : Added::Failed;
}

std::string joined(const std::string& folder, std::string_view name) {
    return folder == "/" ? "/" + std::string(name) : folder + "/" + std::string(name);
}

// Watches each folder that the kernel's walk of `path` passes through, following links as it does;
// false when one of them cannot be watched.
bool walk(State& s, std::string_view path, int links) {
    std::string folder = "/";
    if (add(s, folder) != Added::Watched) {
        return false;
    }
    std::size_t at = 0;
    while (at < path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, end - at);
        const std::string_view rest = end < path.size() ? path.substr(end + 1) : std::string_view();
        at = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            folder = folder.substr(0, std::max<std::size_t>(folder.rfind('/'), 1));
            continue;
        }
        const std::string next = joined(folder, part);
        char target[PATH_MAX + 1];
        const ssize_t length = ::readlink(next.c_str(), target, sizeof target - 1);
        if (length > 0) {
            if (links >= kLinkLimit || length >= static_cast<ssize_t>(sizeof target - 1)) {
                return false; // a loop, or a target cut short: where the walk goes cannot be told
            }
            std::string resolved(target, static_cast<std::size_t>(length));
            if (resolved.front() != '/') {
                resolved = joined(folder, resolved);
            }
            if (!rest.empty()) {
                resolved += "/" + std::string(rest);
            }
            return walk(s, resolved, links + 1);
        }
        if (errno != EINVAL) {
            return errno == ENOENT || errno == ENOTDIR; // nothing there yet: its making is reported
        }
        if (rest.empty()) {
            return true; // the last part is no link: its folder is watched
        }
        switch (add(s, next)) {
        case Added::Watched:
            folder = next;
            break;
        case Added::NoFolder:
            return true;
        case Added::Failed:
            return false;
        }
    }
    return true;
}

} // namespace

std::uint64_t FileWatch::count() {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (!ready(s)) {
        return 0;
    }
    drain(s);
    return s.fd >= 0 ? s.count : 0;
}

std::uint64_t FileWatch::watch(const std::string& path) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (path.empty() || path.front() != '/' || !ready(s)) {
        return 0;
    }
    drain(s);
    if (s.fd < 0) {
        return 0;
    }
    if (s.walked.contains(path)) {
        return s.count;
    }
    if (!walk(s, path, 0)) {
        if (s.watches.size() >= kWatchLimit) {
            forget(s);
            s.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        return 0;
    }
    if (s.walked.size() >= kWalkedLimit) {
        s.walked.clear();
    }
    s.walked.insert(path);
    return s.count;
}

} // namespace NS::detail
