// libSystem's file calls: Darwin's open flags, errno and struct stat translated to the host's and back.
// A call that may wait (a lock, a pipe, a FIFO) lets guest code on other threads run meanwhile.
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdio>

namespace dyld {

namespace {

using darwin::failing;
using darwin::refuse;

// poll's record and event bits, and flock's operations, are the same on both sides: they cross as
// they are.
struct Pollfd __DARWIN_STRUCT_POLLFD;
static_assert(sizeof(Pollfd) == sizeof(pollfd) && offsetof(Pollfd, events) == offsetof(pollfd, events) &&
              offsetof(Pollfd, revents) == offsetof(pollfd, revents));
static_assert(__DARWIN_POLLIN == POLLIN && __DARWIN_POLLPRI == POLLPRI && __DARWIN_POLLOUT == POLLOUT &&
              __DARWIN_POLLERR == POLLERR && __DARWIN_POLLHUP == POLLHUP && __DARWIN_POLLNVAL == POLLNVAL);
static_assert(__DARWIN_LOCK_SH == LOCK_SH && __DARWIN_LOCK_EX == LOCK_EX && __DARWIN_LOCK_NB == LOCK_NB &&
              __DARWIN_LOCK_UN == LOCK_UN);

std::uint64_t intResult(long long value) { return static_cast<std::uint64_t>(value); }

// open(path, flags, ...): the mode, read only with O_CREAT, is the first variadic slot.
void openFile(Registers& r) {
    const auto* path = reinterpret_cast<const char*>(r.x[0]);
    const int flags = static_cast<int>(r.x[1]);
    darwin::VariadicArguments rest(r, "open");
    const unsigned mode = (flags & __DARWIN_O_CREAT) != 0 ? static_cast<unsigned>(rest.next()) & 07777 : 0;
    const auto host = darwin::openFlagsToHost(flags);
    if (!host) {
        r.x[0] = intResult(refuse(darwin::kEINVAL));
        return;
    }
    Cpu::Waiting waiting; // opening a FIFO waits for its other end
    r.x[0] = intResult(failing(::open(path, *host, mode)));
}

// fcntl(fd, command, ...): the commands the C library's users here need; others are refused.
void controlFile(Registers& r) {
    const int fd = static_cast<int>(r.x[0]);
    const int command = static_cast<int>(r.x[1]);
    darwin::VariadicArguments rest(r, "fcntl");
    int result = 0;
    switch (command) {
    case __DARWIN_F_GETFD:
        result = failing(::fcntl(fd, F_GETFD));
        result = result < 0 ? result : ((result & FD_CLOEXEC) != 0 ? __DARWIN_FD_CLOEXEC : 0);
        break;
    case __DARWIN_F_SETFD:
        result = failing(::fcntl(
            fd, F_SETFD, (static_cast<int>(rest.next()) & __DARWIN_FD_CLOEXEC) != 0 ? FD_CLOEXEC : 0));
        break;
    case __DARWIN_F_GETFL:
        result = failing(::fcntl(fd, F_GETFL));
        result = result < 0 ? result : darwin::statusFlagsFromHost(result);
        break;
    case __DARWIN_F_SETFL: {
        const int flags = static_cast<int>(rest.next());
        result = failing(::fcntl(fd, F_SETFL,
                                 ((flags & __DARWIN_O_NONBLOCK) != 0 ? O_NONBLOCK : 0) |
                                     ((flags & __DARWIN_O_APPEND) != 0 ? O_APPEND : 0)));
        break;
    }
    default:
        result = refuse(darwin::kEINVAL);
    }
    r.x[0] = intResult(result);
}

int statWith(int fd, const char* path, int flags, void* into) {
    struct statx host {};
    if (failing(::statx(fd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &host)) != 0) {
        return -1;
    }
    return darwin::copyToGuest(into, darwin::statFromHost(host)) ? 0 : refuse(darwin::kEFAULT);
}
int fileStatus(int fd, void* into) { return statWith(fd, "", AT_EMPTY_PATH, into); }
int linkStatus(const char* path, void* into) { return statWith(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, into); }

int closeFile(int fd) { return failing(::close(fd)); }
long readFile(int fd, void* bytes, unsigned long size) {
    Cpu::Waiting waiting;
    return failing(::read(fd, bytes, size));
}
long writeFile(int fd, const void* bytes, unsigned long size) {
    Cpu::Waiting waiting;
    return failing(::write(fd, bytes, size));
}
int makePipe(int* ends) { return failing(::pipe(ends)); }
int pollFiles(void* files, unsigned count, int timeout) {
    // The kernel would report a bad array; the host's C library reads it before the kernel sees it.
    if (!darwin::overwritableInGuest(files, std::size_t{count} * sizeof(pollfd))) {
        return refuse(darwin::kEFAULT);
    }
    Cpu::Waiting waiting;
    return failing(::poll(static_cast<pollfd*>(files), count, timeout));
}
int unlinkFile(const char* path) { return failing(::unlink(path)); }
int linkFile(const char* existing, const char* made) { return failing(::link(existing, made)); }
int renameFile(const char* from, const char* to) { return failing(::rename(from, to)); }
int changeMode(int fd, unsigned short mode) { return failing(::fchmod(fd, mode & 07777)); }
int truncateFile(int fd, long long length) { return failing(::ftruncate(fd, length)); }
int lockFile(int fd, int operation) {
    Cpu::Waiting waiting;
    return failing(::flock(fd, operation));
}

const std::array bindings{
    Binding{"_open", raw<openFile>},      Binding{"_fcntl", raw<controlFile>},
    Binding{"_fstat", call<fileStatus>},  Binding{"_lstat", call<linkStatus>},
    Binding{"_close", call<closeFile>},   Binding{"_read", call<readFile>},
    Binding{"_write", call<writeFile>},   Binding{"_pipe", call<makePipe>},
    Binding{"_poll", call<pollFiles>},    Binding{"_unlink", call<unlinkFile>},
    Binding{"_link", call<linkFile>},     Binding{"_rename", call<renameFile>},
    Binding{"_fchmod", call<changeMode>}, Binding{"_ftruncate", call<truncateFile>},
    Binding{"_flock", call<lockFile>},
};

} // namespace

std::span<const Binding> libSystem::files() { return bindings; }

} // namespace dyld
