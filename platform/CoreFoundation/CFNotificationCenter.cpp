#include "CoreFoundation/CoreFoundation.h"

#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct __CFNotificationCenter {
    int unused;
};

namespace {

using objc::operator""_sel;

__CFNotificationCenter darwinCenter{0};

// One file per name: a post closes it after opening it for writing, and every observing process
// watches the directory for that event. The kernel keeps the queue of events bounded and merges
// repeats, and each drain delivers a name once, so a lagging observer sees bursts coalesced.
constexpr const char* notifyDirectory = "/private/var/run/notifyd";
constexpr std::uint32_t postEvents = IN_CLOSE_WRITE | IN_MOVED_TO;

struct Registration {
    std::uint64_t id;
    const void* observer;
    CFNotificationCallback callback;
    std::string name;
    std::string fileName;
    objc::Ref<NS::String> nameObject; // what the callback receives
};

struct Center {
    std::mutex mutex;
    std::vector<Registration> registrations;
    std::uint64_t nextId = 1;
    int inotifyFd = -1;
    int watch = -1;
};

// Lives as long as the process: callbacks may still be registered while it exits.
Center& center() {
    static auto* c = new Center;
    return *c;
}

// A name as a file name: letters, digits, '-' and '_' stand for themselves, '.' too except in
// front; every other byte is %XX. Names too long for a file name keep a prefix and a hash of all.
std::string fileNameFor(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || (c == '.' && !out.empty());
        if (plain) {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    if (out.size() > 200) {
        std::uint64_t hash = 14695981039346656037ull;
        for (unsigned char c : name) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        char suffix[18];
        std::snprintf(suffix, sizeof suffix, "~%016llx", static_cast<unsigned long long>(hash));
        out = out.substr(0, 180) + suffix;
    }
    return out;
}

bool ensureDirectory() {
    if (mkdir(notifyDirectory, 01777) == 0) {
        // Every process of the device posts here, whatever its user; the mode given to mkdir
        // went through the umask.
        chmod(notifyDirectory, 01777);
        return true;
    }
    if (errno == EEXIST) {
        return true;
    }
    std::fprintf(stderr, "CFNotificationCenter: cannot create %s: %s\n", notifyDirectory,
                 std::strerror(errno));
    return false;
}

bool acceptCenter(CFNotificationCenterRef c, const char* what) {
    if (c == &darwinCenter) {
        return true;
    }
    std::fprintf(stderr, "CFNotificationCenter: %s given %s; only the Darwin centre exists here; ignored\n",
                 what, c == nullptr ? "no centre" : "an unknown centre");
    return false;
}

// The name's text, or empty for a null name or anything that is not a string.
std::string nameText(CFStringRef name) {
    if (name == nullptr || !objc::send<bool>(name, "isKindOfClass:"_sel, NS::String::runtimeClass())) {
        return {};
    }
    const char* text = objc::send<const char*>(name, "UTF8String"_sel);
    return text == nullptr ? std::string() : std::string(text);
}

void deliverPending();

// Called with the centre's mutex held.
void startWatching(Center& c) {
    if (c.inotifyFd < 0) {
        c.inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (c.inotifyFd < 0) {
            std::fprintf(stderr, "CFNotificationCenter: cannot watch for notifications: %s\n",
                         std::strerror(errno));
            return;
        }
        NS::RunLoop::mainRunLoop()->addFileDescriptor(c.inotifyFd, &deliverPending);
    }
    if (c.watch < 0 && ensureDirectory()) {
        c.watch = inotify_add_watch(c.inotifyFd, notifyDirectory, postEvents | IN_ONLYDIR);
        if (c.watch < 0) {
            std::fprintf(stderr, "CFNotificationCenter: cannot watch %s: %s\n", notifyDirectory,
                         std::strerror(errno));
        }
    }
}

// On the main run loop whenever the watch has events: reads what is queued (a bounded amount per
// pass, so that a flood cannot hold the loop) and calls each matching observer once.
void deliverPending() {
    Center& c = center();
    std::set<std::string> posted;
    bool overflow = false;
    alignas(inotify_event) char buffer[8192];
    for (int reads = 0; reads < 32; ++reads) {
        const ssize_t n = read(c.inotifyFd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_Q_OVERFLOW) {
                overflow = true; // names were lost: every observed one may have been posted
            } else if (event->mask & IN_IGNORED) {
                std::lock_guard lock(c.mutex);
                c.watch = -1; // the directory went away; the next registration watches anew
            } else if (event->len > 0) {
                posted.insert(event->name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    std::vector<Registration> due;
    {
        std::lock_guard lock(c.mutex);
        for (const Registration& r : c.registrations) {
            if (overflow || posted.count(r.fileName) != 0) {
                due.push_back(r);
            }
        }
    }
    for (const Registration& r : due) {
        {
            // An observer removed by an earlier callback of this delivery is not called.
            std::lock_guard lock(c.mutex);
            bool registered = false;
            for (const Registration& live : c.registrations) {
                registered = registered || live.id == r.id;
            }
            if (!registered) {
                continue;
            }
        }
        r.callback(&darwinCenter, const_cast<void*>(r.observer), r.nameObject.get(), nullptr, nullptr);
    }
}

} // namespace

extern "C" {

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void) { return &darwinCenter; }

void CFNotificationCenterAddObserver(CFNotificationCenterRef centerRef, const void* observer,
                                     CFNotificationCallback callBack, CFStringRef name, const void*,
                                     CFNotificationSuspensionBehavior) {
    if (!acceptCenter(centerRef, "CFNotificationCenterAddObserver")) {
        return;
    }
    const std::string text = nameText(name);
    if (text.empty() || callBack == nullptr) {
        std::fprintf(stderr, "CFNotificationCenterAddObserver: %s; ignored\n",
                     callBack == nullptr ? "no callback" : "a Darwin notification needs a name");
        return;
    }
    Center& c = center();
    std::lock_guard lock(c.mutex);
    startWatching(c);
    for (const Registration& r : c.registrations) {
        if (r.observer == observer && r.callback == callBack && r.name == text) {
            return;
        }
    }
    auto copy = objc::adopt(objc::send<NS::String*>(name, "copy"_sel));
    c.registrations.push_back(
        Registration{c.nextId++, observer, callBack, text, fileNameFor(text), std::move(copy)});
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef centerRef, const void* observer,
                                        CFStringRef name, const void*) {
    if (!acceptCenter(centerRef, "CFNotificationCenterRemoveObserver")) {
        return;
    }
    const std::string text = nameText(name);
    std::vector<Registration> removed;
    Center& c = center();
    {
        std::lock_guard lock(c.mutex);
        std::erase_if(c.registrations, [&](Registration& r) {
            if (r.observer != observer || (name != nullptr && r.name != text)) {
                return false;
            }
            removed.push_back(std::move(r));
            return true;
        });
    }
    // The names are released here, outside the lock.
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef centerRef, const void* observer) {
    CFNotificationCenterRemoveObserver(centerRef, observer, nullptr, nullptr);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef centerRef, CFStringRef name, const void*,
                                          CFDictionaryRef, Boolean) {
    if (!acceptCenter(centerRef, "CFNotificationCenterPostNotification")) {
        return;
    }
    const std::string text = nameText(name);
    if (text.empty()) {
        std::fprintf(stderr,
                     "CFNotificationCenterPostNotification: a Darwin notification needs a name; ignored\n");
        return;
    }
    if (!ensureDirectory()) {
        return;
    }
    const std::string path = std::string(notifyDirectory) + "/" + fileNameFor(text);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "CFNotificationCenterPostNotification: cannot post %s: %s\n", text.c_str(),
                     std::strerror(errno));
        return;
    }
    // Another user's process may post this name next; fails harmlessly when the file is not ours.
    fchmod(fd, 0666);
    close(fd);
}

} // extern "C"
