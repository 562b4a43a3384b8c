#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSRunLoopInternals.hpp"

#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct __CFNotificationCenter {
    int unused;
};

namespace {

__CFNotificationCenter darwinCenter{0};

// Each observed name has a folder under the device's notification folder, and each process that
// observes the name binds one datagram socket in it. A post sends an empty datagram to every socket
// in the name's folder and to nothing else, so only observers of the name wake. An observer drains
// its socket before it calls back, once per drain: the kernel bounds a socket's queue, and what
// piled up while the process was busy arrives as one delivery. A socket whose process is gone
// refuses the datagram, and the poster removes it. Every step is taken relative to a directory
// opened without following links, and sockets are reached through descriptors opened on them
// without following links: a link planted anywhere on the way is refused, never followed.
//
// A poster keeps, for each name it posts, a socket connected to each observer's socket it found
// there, known by the entry's name and inode number. A post sends on those first, then lists the
// name's folder: an entry listed and not reached yet (new, or refused: its process died, or its
// inode number now belongs to another socket) is connected by name and sent to, and removed if it
// refuses; one gone from the listing loses its connection. So a post reaches every observer that
// was there before it, once, and a socket that left the folder hears at most the one post that finds
// it gone.
constexpr const char* notifyDirectory = "/private/var/run/notifyd";

// Enough datagrams per pass to empty a socket's queue many times over, few enough that a flood
// of posts cannot hold the loop.
constexpr int drainLimit = 256;

struct Registration {
    std::uint64_t id;
    const void* observer;
    CFNotificationCallback callback;
    std::string name;
    std::string fileName;
    objc::Ref<NS::String> nameObject; // what the callback receives
};

// This process's socket for one name; closed when the last run of its callback is over.
struct Endpoint {
    int fd = -1;
    int source = -1;
    std::string socketName; // inside the name's folder
    Endpoint() = default;
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;
    ~Endpoint() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// A descriptor that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// A poster's view of one observer's socket in a name's folder.
struct Peer {
    ino_t inode = 0;
    Fd connection;             // none when it could not be connected, or too many are
    std::uint64_t listed = 0;  // the post that last listed it
    std::uint64_t reached = 0; // the post that last reached it
};

// Connections kept at most, over all names: each holds a descriptor of this process.
constexpr std::size_t connectionLimit = 128;

struct Center {
    std::mutex mutex;
    std::vector<Registration> registrations;
    std::map<std::string, std::shared_ptr<Endpoint>> endpoints; // by file name
    std::uint64_t nextId = 1;
    // What posting needs, under its own lock: posts may come from any thread.
    std::mutex postMutex;
    int postFd = -1; // sends to sockets without a connection
    std::uint64_t posts = 0;
    std::size_t connections = 0;
    std::map<std::string, std::map<std::string, Peer>> peers; // by name, then by entry
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

// The folder `name` inside `parent`, made when `create` asks for it and it is missing. A link in
// its place is refused.
Fd openFolder(int parent, const char* name, bool create) {
    constexpr mode_t mode = 01777;
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Fd folder(openat(parent, name, flags));
    if (!folder && errno == ENOENT && create) {
        if (mkdirat(parent, name, mode) == 0) {
            folder = Fd(openat(parent, name, flags));
            // Every process of the device uses the folder, whatever its user.
            if (folder) {
                fchmod(folder.get(), mode);
            }
        } else if (errno == EEXIST) {
            folder = Fd(openat(parent, name, flags)); // made by another process meanwhile
        }
    }
    return folder;
}

// The notification folder, reached one component at a time from the root without following a
// link; made when `create` asks for it and the device's /private/var/run is there. Fails with
// errno set.
Fd openNotifyDirectory(bool create) {
    Fd at(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const char* parts[] = {"private", "var", "run"};
    for (const char* part : parts) {
        if (!at) {
            return at;
        }
        at = openFolder(at.get(), part, false);
    }
    if (!at) {
        return at;
    }
    return openFolder(at.get(), "notifyd", create);
}

// A name's folder, made when `create` asks for it. Where the kernel resolves a whole path without
// following links (openat2), an existing folder takes one call: every post opens one.
Fd openNameFolder(const std::string& fileName, bool create) {
#ifdef SYS_openat2
    static std::atomic<bool> resolves{true};
    if (resolves.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const std::string path = std::string(notifyDirectory) + "/" + fileName;
        Fd folder(static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how)));
        if (folder || (errno != ENOSYS && errno != EPERM && !(errno == ENOENT && create))) {
            return folder;
        }
        resolves.store(errno == ENOENT, std::memory_order_relaxed);
    }
#endif
    Fd base = openNotifyDirectory(create);
    return base ? openFolder(base.get(), fileName.c_str(), create) : Fd();
}

std::string procPath(int fd, const std::string& rest = {}) {
    return "/proc/self/fd/" + std::to_string(fd) + (rest.empty() ? "" : "/" + rest);
}

bool fillAddress(sockaddr_un& address, const std::string& path) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
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
std::string nameText(CFStringRef name) { return NS::cast<NS::String>(name)->str(); }

// Removes this process's socket from the name's folder; its name is random and ours alone.
void unlinkEndpoint(const std::string& fileName, const Endpoint& endpoint) {
    Fd folder = openNameFolder(fileName, false);
    if (folder) {
        unlinkat(folder.get(), endpoint.socketName.c_str(), 0);
    }
}

void deliver(const std::string& fileName, const std::shared_ptr<Endpoint>& endpoint);

// This process's socket for the name, bound inside the name's folder. Called with the centre's
// mutex held; returns null (having said why) when the name cannot be observed.
std::shared_ptr<Endpoint> bindEndpoint(const std::string& fileName) {
    Fd folder = openNameFolder(fileName, true);
    if (!folder) {
        std::fprintf(stderr, "CFNotificationCenter: cannot observe in %s/%s: %s\n", notifyDirectory,
                     fileName.c_str(), errno == ELOOP ? "a link stands in the way" : std::strerror(errno));
        return nullptr;
    }
    auto endpoint = std::make_shared<Endpoint>();
    endpoint->fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (endpoint->fd < 0) {
        std::fprintf(stderr, "CFNotificationCenter: cannot make a socket: %s\n", std::strerror(errno));
        return nullptr;
    }
    // Process ids repeat between sandboxes of one device; the random part keeps names apart.
    for (int attempt = 0;; ++attempt) {
        char socketName[40];
        std::snprintf(socketName, sizeof socketName, "%d.%08x%08x", static_cast<int>(getpid()), arc4random(),
                      arc4random());
        sockaddr_un address{};
        fillAddress(address, procPath(folder.get(), socketName));
        if (bind(endpoint->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            endpoint->socketName = socketName;
            break;
        }
        if (errno != EADDRINUSE || attempt == 8) {
            std::fprintf(stderr, "CFNotificationCenter: cannot observe in %s/%s: %s\n", notifyDirectory,
                         fileName.c_str(), std::strerror(errno));
            return nullptr;
        }
    }
    // Posters of every user may send; glibc refuses rather than follows a link here.
    fchmodat(folder.get(), endpoint->socketName.c_str(), 0666, AT_SYMLINK_NOFOLLOW);
    std::weak_ptr<Endpoint> weak = endpoint;
    endpoint->source = NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
                           ->addFileDescriptor(endpoint->fd, [fileName, weak] {
                               if (auto live = weak.lock()) {
                                   deliver(fileName, live);
                               }
                           });
    if (endpoint->source < 0) {
        unlinkEndpoint(fileName, *endpoint);
        return nullptr;
    }
    return endpoint;
}

// On the main run loop whenever the name's socket has datagrams: empties its queue (a bounded
// amount per pass) and calls each observer of the name once.
void deliver(const std::string& fileName, const std::shared_ptr<Endpoint>& endpoint) {
    Center& c = center();
    // Datagrams are empty; a batch shorter than asked for has emptied the queue.
    constexpr int batch = 32;
    mmsghdr messages[batch]{};
    for (int drained = 0; drained < drainLimit;) {
        const int n = recvmmsg(endpoint->fd, messages, batch, MSG_DONTWAIT, nullptr);
        if (n < batch) {
            break;
        }
        drained += n;
    }
    // What a call needs, taken under the lock; the name is held for as long as the call runs. A
    // process observes a name a few times at most: those calls are kept in place.
    struct Due {
        std::uint64_t id = 0;
        const void* observer = nullptr;
        CFNotificationCallback callback = nullptr;
        objc::Ref<NS::String> nameObject;
    };
    std::array<Due, 4> few;
    std::vector<Due> more;
    std::size_t count = 0;
    {
        std::lock_guard lock(c.mutex);
        for (const Registration& r : c.registrations) {
            if (r.fileName == fileName) {
                Due call{r.id, r.observer, r.callback, r.nameObject};
                if (count < few.size()) {
                    few[count] = std::move(call);
                } else {
                    more.push_back(std::move(call));
                }
                ++count;
            }
        }
    }
    for (std::size_t k = 0; k < count; ++k) {
        const Due& r = k < few.size() ? few[k] : more[k - few.size()];
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

// Closes the sockets of names that lost their last observer. Called with the centre's mutex held;
// returns them for the caller to let go outside it.
std::vector<std::shared_ptr<Endpoint>> dropUnobservedLocked(Center& c) {
    std::vector<std::shared_ptr<Endpoint>> dropped;
    for (auto it = c.endpoints.begin(); it != c.endpoints.end();) {
        const bool observed = std::any_of(c.registrations.begin(), c.registrations.end(),
                                          [&](const Registration& r) { return r.fileName == it->first; });
        if (observed) {
            ++it;
            continue;
        }
        unlinkEndpoint(it->first, *it->second);
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->removeSource(it->second->source);
        dropped.push_back(std::move(it->second));
        it = c.endpoints.erase(it);
    }
    return dropped;
}

// The observer's socket `entry` in `folder`, opened without following a link; fails with errno set
// (ENOTSOCK for anything that is not a socket).
Fd openSocketEntry(int folder, const char* entry) {
    Fd target(openat(folder, entry, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (target && fstat(target.get(), &st) != 0) {
        return Fd();
    }
    if (target && !S_ISSOCK(st.st_mode)) {
        errno = ENOTSOCK;
        return Fd();
    }
    return target;
}

// A socket of ours connected to the observer's socket `entry`; fails with errno set.
Fd connectTo(int folder, const char* entry) {
    Fd target = openSocketEntry(folder, entry);
    if (!target) {
        return target;
    }
    Fd connection(socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    fillAddress(address, procPath(target.get()));
    if (connection &&
        connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Fd();
    }
    return connection;
}

// Whether a send's failure says that the socket at the other end is gone.
bool peerGone(int error) {
    return error == ECONNREFUSED || error == ECONNRESET || error == ENOTCONN || error == EPIPE;
}

// One empty datagram to the observer's socket `entry` without keeping a connection. False only when
// the socket refuses it: what cannot be opened (not a socket, gone, or no descriptor to spare) is
// not known to be dead.
bool sendUnconnected(Center& c, int folder, const char* entry) {
    Fd target = openSocketEntry(folder, entry);
    if (!target) {
        return true;
    }
    if (c.postFd < 0) {
        c.postFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c.postFd < 0) {
            return true;
        }
    }
    sockaddr_un address{};
    fillAddress(address, procPath(target.get()));
    return sendto(c.postFd, "", 0, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == 0 ||
           !peerGone(errno);
}

// Connects `peer` afresh to the socket `entry`, within the limit of connections kept. False when
// the socket refuses: nobody holds it any more.
bool connectPeer(Center& c, Peer& peer, int folder, const char* entry) {
    if (peer.connection) {
        peer.connection = Fd();
        --c.connections;
    }
    if (c.connections >= connectionLimit) {
        return true;
    }
    peer.connection = connectTo(folder, entry);
    if (peer.connection) {
        ++c.connections;
        return true;
    }
    return errno != ECONNREFUSED;
}

// One empty datagram to the observer's socket `entry`, which this post has not reached: new, or
// what `peer` was connected to is gone and whatever holds the name now gets the post. False when
// nobody holds the socket any more.
bool sendTo(Center& c, Peer& peer, int folder, const char* entry) {
    if (!connectPeer(c, peer, folder, entry)) {
        return false;
    }
    if (!peer.connection) {
        return sendUnconnected(c, folder, entry);
    }
    // A full queue already has a wake-up waiting, which is all a post is.
    return send(peer.connection.get(), "", 0, MSG_DONTWAIT | MSG_NOSIGNAL) == 0 || !peerGone(errno);
}

// Sends one datagram to each socket in `peers` that is connected; returns the inode numbers of
// those reached. One that refuses loses its connection: the listing decides what becomes of it.
std::vector<ino_t> sendToConnected(Center& c, std::map<std::string, Peer>& peers, std::uint64_t post) {
    std::vector<ino_t> reached;
    for (auto& [entry, peer] : peers) {
        if (!peer.connection) {
            continue;
        }
        // A full queue already has a wake-up waiting, which is all a post is.
        if (send(peer.connection.get(), "", 0, MSG_DONTWAIT | MSG_NOSIGNAL) == 0 || !peerGone(errno)) {
            peer.reached = post;
            reached.push_back(peer.inode);
        } else {
            peer.connection = Fd();
            --c.connections;
        }
    }
    return reached;
}

// Sends one datagram to every socket listed in the name's folder that this post has not reached
// yet. A socket nobody holds any more is removed; the entries no longer listed are let go.
void postTo(Center& c, std::map<std::string, Peer>& peers, int folder, std::uint64_t post,
            const std::vector<ino_t>& reached) {
    bool listed = true;
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (n <= 0) {
            listed = n == 0;
            break;
        }
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (entry->d_type != DT_SOCK && entry->d_type != DT_UNKNOWN) {
                continue; // "." and "..", and anything planted that is not a socket
            }
            Peer& peer = peers.try_emplace(entry->d_name).first->second;
            if (peer.listed == post) {
                continue; // listed twice while the folder changed
            }
            peer.listed = post;
            if (peer.inode != entry->d_ino) {
                if (peer.connection) {
                    peer.connection = Fd(); // another socket now holds the name
                    --c.connections;
                }
                peer.reached = 0;
                peer.inode = entry->d_ino;
            }
            // Reached already, under this name or, renamed since, under another.
            if (peer.reached == post ||
                std::find(reached.begin(), reached.end(), peer.inode) != reached.end()) {
                continue;
            }
            if (sendTo(c, peer, folder, entry->d_name)) {
                peer.reached = post;
            } else {
                unlinkat(folder, entry->d_name, 0);
            }
        }
    }
    if (!listed) {
        return; // what is not known to be gone stays
    }
    std::erase_if(peers, [&](const auto& named) {
        const Peer& peer = named.second;
        if (peer.listed == post) {
            return false;
        }
        c.connections -= peer.connection ? 1 : 0;
        return true;
    });
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
    const std::string fileName = fileNameFor(text);
    Center& c = center();
    std::lock_guard lock(c.mutex);
    for (const Registration& r : c.registrations) {
        if (r.observer == observer && r.callback == callBack && r.name == text) {
            return;
        }
    }
    // The socket is bound before this returns: every later post reaches it.
    if (c.endpoints.count(fileName) == 0) {
        auto endpoint = bindEndpoint(fileName);
        if (!endpoint) {
            return;
        }
        c.endpoints.emplace(fileName, std::move(endpoint));
    }
    auto copy = objc::adopt(objc::Ptr(name)->copy().as<NS::String>());
    c.registrations.push_back(Registration{c.nextId++, observer, callBack, text, fileName, std::move(copy)});
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef centerRef, const void* observer,
                                        CFStringRef name, const void*) {
    if (!acceptCenter(centerRef, "CFNotificationCenterRemoveObserver")) {
        return;
    }
    const std::string text = nameText(name);
    std::vector<Registration> removed;
    std::vector<std::shared_ptr<Endpoint>> closed;
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
        closed = dropUnobservedLocked(c);
    }
    // The names are released, and the sockets closed, here, outside the lock.
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
    Center& c = center();
    std::lock_guard lock(c.postMutex);
    const std::uint64_t post = ++c.posts;
    auto& peers = c.peers[text];
    const std::vector<ino_t> reached = sendToConnected(c, peers, post);
    // No folder means no observer: there is no one to tell. A link in the way is refused.
    Fd folder = openNameFolder(fileNameFor(text), false);
    if (folder) {
        postTo(c, peers, folder.get(), post, reached);
    } else {
        if (errno != ENOENT) {
            std::fprintf(stderr, "CFNotificationCenterPostNotification: cannot post %s: %s\n", text.c_str(),
                         errno == ELOOP || errno == ENOTDIR ? "a link stands in the way"
                                                            : std::strerror(errno));
        }
        for (auto& named : peers) {
            c.connections -= named.second.connection ? 1 : 0;
        }
        peers.clear();
    }
    if (peers.empty()) {
        c.peers.erase(text);
    }
}

} // extern "C"
