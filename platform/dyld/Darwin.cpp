#include "dyld/Darwin.hpp"
#include "dyld/Cpu.hpp"
#include "dyld/PerThread.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace dyld::darwin {

namespace {

// Darwin's numbers beside the host's, where they differ. EPERM to ECHILD (1-10) and ENOMEM to ERANGE
// (12-34) are numbered alike on both, as in the Unix they come from.
constexpr std::array<std::pair<int, int>, 10> kErrors{{
    {__DARWIN_EAGAIN, EAGAIN},
    {__DARWIN_EDEADLK, EDEADLK},
    {__DARWIN_ENOTSUP, ENOTSUP},
    {__DARWIN_ETIMEDOUT, ETIMEDOUT},
    {__DARWIN_ELOOP, ELOOP},
    {__DARWIN_ENAMETOOLONG, ENAMETOOLONG},
    {__DARWIN_ENOTEMPTY, ENOTEMPTY},
    {__DARWIN_ENOSYS, ENOSYS},
    {__DARWIN_EOVERFLOW, EOVERFLOW},
    {__DARWIN_ECANCELED, ECANCELED},
}};
static_assert(__DARWIN_EPERM == EPERM && __DARWIN_ECHILD == ECHILD &&
              __DARWIN_ECHILD + 1 == __DARWIN_EDEADLK && __DARWIN_EFAULT == EFAULT &&
              __DARWIN_EINVAL == EINVAL && __DARWIN_ERANGE == ERANGE);

// 0, no error, is shared too.
bool sharedErrorNumber(int error) {
    return (error >= 0 && error <= __DARWIN_ECHILD) || (error > __DARWIN_EDEADLK && error <= __DARWIN_ERANGE);
}

constexpr std::array<std::pair<int, int>, 9> kOpenFlags{{
    {__DARWIN_O_NONBLOCK, O_NONBLOCK},
    {__DARWIN_O_APPEND, O_APPEND},
    {__DARWIN_O_NOFOLLOW, O_NOFOLLOW},
    {__DARWIN_O_CREAT, O_CREAT},
    {__DARWIN_O_TRUNC, O_TRUNC},
    {__DARWIN_O_EXCL, O_EXCL},
    {__DARWIN_O_NOCTTY, O_NOCTTY},
    {__DARWIN_O_DIRECTORY, O_DIRECTORY},
    {__DARWIN_O_CLOEXEC, O_CLOEXEC},
}};
// The access modes are numbered alike.
static_assert(__DARWIN_O_RDONLY == O_RDONLY && __DARWIN_O_WRONLY == O_WRONLY && __DARWIN_O_RDWR == O_RDWR &&
              __DARWIN_O_ACCMODE == O_ACCMODE);

// Darwin's signals beside the host's. SIGEMT and SIGINFO have no host counterpart.
constexpr std::array<std::pair<int, int>, 29> kSignals{{
    {__DARWIN_SIGHUP, SIGHUP},       {__DARWIN_SIGINT, SIGINT},   {__DARWIN_SIGQUIT, SIGQUIT},
    {__DARWIN_SIGILL, SIGILL},       {__DARWIN_SIGTRAP, SIGTRAP}, {__DARWIN_SIGABRT, SIGABRT},
    {__DARWIN_SIGFPE, SIGFPE},       {__DARWIN_SIGKILL, SIGKILL}, {__DARWIN_SIGBUS, SIGBUS},
    {__DARWIN_SIGSEGV, SIGSEGV},     {__DARWIN_SIGSYS, SIGSYS},   {__DARWIN_SIGPIPE, SIGPIPE},
    {__DARWIN_SIGALRM, SIGALRM},     {__DARWIN_SIGTERM, SIGTERM}, {__DARWIN_SIGURG, SIGURG},
    {__DARWIN_SIGSTOP, SIGSTOP},     {__DARWIN_SIGTSTP, SIGTSTP}, {__DARWIN_SIGCONT, SIGCONT},
    {__DARWIN_SIGCHLD, SIGCHLD},     {__DARWIN_SIGTTIN, SIGTTIN}, {__DARWIN_SIGTTOU, SIGTTOU},
    {__DARWIN_SIGIO, SIGIO},         {__DARWIN_SIGXCPU, SIGXCPU}, {__DARWIN_SIGXFSZ, SIGXFSZ},
    {__DARWIN_SIGVTALRM, SIGVTALRM}, {__DARWIN_SIGPROF, SIGPROF}, {__DARWIN_SIGWINCH, SIGWINCH},
    {__DARWIN_SIGUSR1, SIGUSR1},     {__DARWIN_SIGUSR2, SIGUSR2},
}};

// The file types in st_mode are numbered alike: a mode crosses unchanged.
static_assert(__DARWIN_S_IFMT == S_IFMT && __DARWIN_S_IFREG == S_IFREG && __DARWIN_S_IFDIR == S_IFDIR &&
              __DARWIN_S_IFLNK == S_IFLNK);

// A Darwin dev_t: the major number in the top byte, the minor in the low 24 bits.
std::int32_t deviceFromHost(unsigned major, unsigned minor) {
    return static_cast<std::int32_t>(((major & 0xffu) << 24) | (minor & 0xffffffu));
}

Timespec timeFromHost(const struct statx_timestamp& time) { return {time.tv_sec, time.tv_nsec}; }

} // namespace

int errorFromHost(int hostError) {
    if (sharedErrorNumber(hostError)) {
        return hostError;
    }
    for (const auto& [darwin, host] : kErrors) {
        if (host == hostError) {
            return darwin;
        }
    }
    return kEIO;
}

std::optional<int> errorToHost(int darwinError) {
    if (sharedErrorNumber(darwinError)) {
        return darwinError;
    }
    for (const auto& [darwin, host] : kErrors) {
        if (darwin == darwinError) {
            return host;
        }
    }
    return std::nullopt;
}

int* guestErrno() {
    struct Errno {
        int value = 0;
    };
    return &perThread<Errno>().value;
}

int refuse(int darwinError) {
    *guestErrno() = darwinError;
    return -1;
}

std::optional<int> openFlagsToHost(int darwinFlags) {
    int host = darwinFlags & __DARWIN_O_ACCMODE;
    int left = darwinFlags & ~__DARWIN_O_ACCMODE;
    for (const auto& [darwin, flag] : kOpenFlags) {
        if ((left & darwin) != 0) {
            host |= flag;
            left &= ~darwin;
        }
    }
    if (left != 0 || (darwinFlags & __DARWIN_O_ACCMODE) == __DARWIN_O_ACCMODE) {
        return std::nullopt;
    }
    return host;
}

int statusFlagsFromHost(int hostFlags) {
    int darwin = hostFlags & O_ACCMODE;
    for (const auto& [flag, host] : kOpenFlags) {
        if ((host == O_NONBLOCK || host == O_APPEND) && (hostFlags & host) != 0) {
            darwin |= flag;
        }
    }
    return darwin;
}

std::optional<int> signalToHost(int darwinSignal) {
    if (darwinSignal == 0) {
        return 0;
    }
    for (const auto& [darwin, host] : kSignals) {
        if (darwin == darwinSignal) {
            return host;
        }
    }
    return std::nullopt;
}

std::optional<int> signalFromHost(int hostSignal) {
    if (hostSignal == 0) {
        return 0;
    }
    for (const auto& [darwin, host] : kSignals) {
        if (host == hostSignal) {
            return darwin;
        }
    }
    return std::nullopt;
}

int waitStatusFromHost(int hostStatus) {
    // The layout is the same; only the signal numbers in it differ. One without a Darwin name keeps
    // the host's, so that the child still reads as ended by a signal.
    auto translate = [](int signal) { return signalFromHost(signal).value_or(signal); };
    if (WIFSIGNALED(hostStatus)) {
        return (hostStatus & ~0x7f) | translate(WTERMSIG(hostStatus));
    }
    if (WIFSTOPPED(hostStatus)) {
        return (hostStatus & 0xff) | (translate(WSTOPSIG(hostStatus)) << 8);
    }
    return hostStatus;
}

std::optional<int> waitOptionsToHost(int darwinOptions) {
    if ((darwinOptions & ~(__DARWIN_WNOHANG | __DARWIN_WEXITED | __DARWIN_WNOWAIT)) != 0) {
        return std::nullopt;
    }
    return ((darwinOptions & __DARWIN_WNOHANG) != 0 ? WNOHANG : 0) |
           ((darwinOptions & __DARWIN_WEXITED) != 0 ? WEXITED : 0) |
           ((darwinOptions & __DARWIN_WNOWAIT) != 0 ? WNOWAIT : 0);
}

std::optional<short> spawnFlagsToHost(short darwinFlags) {
    if ((darwinFlags & ~__DARWIN_POSIX_SPAWN_SETPGROUP) != 0) {
        return std::nullopt;
    }
    return static_cast<short>((darwinFlags & __DARWIN_POSIX_SPAWN_SETPGROUP) != 0 ? POSIX_SPAWN_SETPGROUP
                                                                                  : 0);
}

Stat statFromHost(const struct statx& host) {
    Stat out{};
    out.st_dev = deviceFromHost(host.stx_dev_major, host.stx_dev_minor);
    out.st_mode = static_cast<std::uint16_t>(host.stx_mode);
    out.st_nlink = static_cast<std::uint16_t>(std::min<std::uint32_t>(host.stx_nlink, 0xffff));
    out.st_ino = host.stx_ino;
    out.st_uid = host.stx_uid;
    out.st_gid = host.stx_gid;
    out.st_rdev = deviceFromHost(host.stx_rdev_major, host.stx_rdev_minor);
    out.st_atimespec = timeFromHost(host.stx_atime);
    out.st_mtimespec = timeFromHost(host.stx_mtime);
    out.st_ctimespec = timeFromHost(host.stx_ctime);
    // Where the file system keeps no birth time, the change time stands in for it.
    out.st_birthtimespec = timeFromHost((host.stx_mask & STATX_BTIME) != 0 ? host.stx_btime : host.stx_ctime);
    out.st_size = static_cast<std::int64_t>(host.stx_size);
    out.st_blocks = static_cast<std::int64_t>(host.stx_blocks);
    out.st_blksize = static_cast<std::int32_t>(host.stx_blksize);
    return out;
}

namespace {

// This process, as the kernel's copies name it: asked once, and again in a child after a fork.
pid_t self() {
    static pid_t pid = [] {
        pthread_atfork(nullptr, nullptr, [] { pid = getpid(); });
        return getpid();
    }();
    return pid;
}

std::uint64_t addressOf(const void* pointer) { return reinterpret_cast<std::uint64_t>(pointer); }

} // namespace

// Memory the calling thread's engine maps is what guest code reads and writes as it runs, and is
// copied directly: a host function reads what its guest caller could have read itself. Elsewhere the kernel
// copies between this process and itself, and tells of a bad address instead of faulting.
bool copyToGuest(void* to, const void* from, std::size_t size) {
    if (size == 0) {
        return true;
    }
    if (Cpu::reaches(addressOf(to), size, true)) {
        std::memcpy(to, from, size);
        return true;
    }
    iovec local{const_cast<void*>(from), size};
    iovec remote{to, size};
    return process_vm_writev(self(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

bool copyFromGuest(void* to, const void* from, std::size_t size) {
    if (size == 0) {
        return true;
    }
    if (Cpu::reaches(addressOf(from), size, false)) {
        std::memcpy(to, from, size);
        return true;
    }
    iovec local{to, size};
    iovec remote{const_cast<void*>(from), size};
    return process_vm_readv(self(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

namespace {

// The bytes of [at, at+size): where they lie in memory the engine maps, else copied into `chunk`;
// null where they cannot be read. `size` is at most the chunk's.
const char* bytesAt(std::uintptr_t at, std::size_t size, char* chunk) {
    if (Cpu::reaches(at, size, false)) {
        return reinterpret_cast<const char*>(at);
    }
    return copyFromGuest(chunk, reinterpret_cast<const void*>(at), size) ? chunk : nullptr;
}

} // namespace

std::optional<std::string> stringFromGuest(const char* text, std::size_t limit) {
    std::string read;
    char chunk[256];
    while (read.size() < limit) {
        // A chunk never crosses a 256-byte boundary, so that a string ending just before an unmapped
        // page reads whole.
        const auto at = reinterpret_cast<std::uintptr_t>(text) + read.size();
        const std::size_t size = std::min<std::size_t>(sizeof chunk - at % sizeof chunk, limit - read.size());
        const char* bytes = bytesAt(at, size, chunk);
        if (bytes == nullptr) {
            return std::nullopt;
        }
        // Not past the string's end: in place, what follows it may be no one's to read.
        const std::size_t length = strnlen(bytes, size);
        read.append(bytes, length);
        if (length < size) {
            return read;
        }
    }
    return read;
}

namespace {

constexpr std::uintptr_t kPage = 4096;

// Calls `probe` with the address of one byte in each page of [from, from + size), in order, up to
// kBatch at once; false as soon as it does, or for a range that wraps around.
template <class Probe> bool eachPage(const void* from, std::size_t size, Probe probe) {
    constexpr std::size_t kBatch = 512;
    const auto start = reinterpret_cast<std::uintptr_t>(from);
    if (size == 0) {
        return true;
    }
    if (start + size < start) {
        return false;
    }
    std::uintptr_t at = start;
    const std::uintptr_t end = start + size;
    while (at < end) {
        std::array<iovec, kBatch> bytes;
        std::size_t count = 0;
        for (; count < kBatch && at < end; ++count) {
            bytes[count] = {reinterpret_cast<void*>(at), 1};
            at = (at / kPage + 1) * kPage;
        }
        if (!probe(bytes.data(), count)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool readableInGuest(const void* from, std::size_t size) {
    if (Cpu::reaches(addressOf(from), size, false)) {
        return true;
    }
    return eachPage(from, size, [](iovec* bytes, std::size_t count) {
        std::array<char, 512> into;
        iovec local{into.data(), count};
        return process_vm_readv(self(), &local, 1, bytes, count, 0) == static_cast<ssize_t>(count);
    });
}

bool overwritableInGuest(void* to, std::size_t size) {
    if (Cpu::reaches(addressOf(to), size, true)) {
        return true;
    }
    return eachPage(to, size, [](iovec* bytes, std::size_t count) {
        std::array<char, 512> seen;
        iovec local{seen.data(), count};
        return process_vm_readv(self(), &local, 1, bytes, count, 0) == static_cast<ssize_t>(count) &&
               process_vm_writev(self(), &local, 1, bytes, count, 0) == static_cast<ssize_t>(count);
    });
}

bool writableInGuest(void* to, std::size_t size) {
    const auto start = reinterpret_cast<std::uintptr_t>(to);
    if (size == 0) {
        return true;
    }
    if (start + size < start) {
        return false;
    }
    if (Cpu::reaches(start, size, true)) {
        return true;
    }
    // The map lists regions in ascending order: the range is covered if writable ones reach its end.
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (maps == nullptr) {
        return false;
    }
    std::uintptr_t covered = start;
    char line[512];
    while (covered < start + size && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long low = 0, high = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &low, &high, perms) == 3 && low <= covered && covered < high) {
            if (perms[1] != 'w') {
                break;
            }
            covered = high;
        }
        // A line longer than the buffer goes on in the next read: its rest is no region.
        while (std::strchr(line, '\n') == nullptr && std::fgets(line, sizeof line, maps) != nullptr) {
        }
    }
    std::fclose(maps);
    return covered >= start + size;
}

std::optional<std::size_t> stringLengthInGuest(const char* text, std::size_t limit) {
    std::size_t length = 0;
    char chunk[kPage];
    while (length < limit) {
        // A chunk never crosses a page, so that a string ending just before an unreadable one reads.
        const auto at = reinterpret_cast<std::uintptr_t>(text) + length;
        if (at < reinterpret_cast<std::uintptr_t>(text)) {
            return std::nullopt;
        }
        const std::size_t size = std::min<std::size_t>(kPage - at % kPage, limit - length);
        const char* bytes = bytesAt(at, size, chunk);
        if (bytes == nullptr) {
            return std::nullopt;
        }
        const std::size_t found = strnlen(bytes, size);
        length += found;
        if (found < size) {
            return length;
        }
    }
    return std::nullopt;
}

void requireReadable(const char* function, const void* from, std::size_t size, const char* what) {
    if (!readableInGuest(from, size)) {
        guestFault(std::string(function) + ": guest code passed " + what + " it cannot read");
    }
}

void requireOverwritable(const char* function, void* to, std::size_t size, const char* what) {
    if (!overwritableInGuest(to, size)) {
        guestFault(std::string(function) + ": guest code passed " + what + " it cannot write");
    }
}

void requireWritable(const char* function, void* to, std::size_t size, const char* what) {
    if (!writableInGuest(to, size)) {
        guestFault(std::string(function) + ": guest code passed " + what + " it cannot write");
    }
}

void requireOnce(const char* function, const long* predicate) {
    long done = 0;
    if (!copyFromGuest(done, predicate)) {
        guestFault(std::string(function) + ": guest code passed a predicate it cannot read");
    }
    // A done predicate is only read again.
    if (done != ~0l) {
        requireWritable(function, const_cast<long*>(predicate), sizeof *predicate, "a predicate");
    }
}

std::size_t requireString(const char* function, const char* text, const char* what) {
    const auto length = stringLengthInGuest(text);
    if (!length) {
        guestFault(std::string(function) + ": guest code passed " + what + " it cannot read");
    }
    return *length;
}

namespace {

struct GuestHeap {
    std::mutex lock;
    std::unordered_map<void*, std::size_t> live;
    std::size_t inUse = 0;
};

GuestHeap& guestHeap() {
    static auto* const heap = new GuestHeap();
    return *heap;
}

std::string hex(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

} // namespace

void* guestAllocate(const char* function, std::size_t size) {
    auto& heap = guestHeap();
    std::lock_guard<std::mutex> hold(heap.lock);
    if (size > kGuestHeapBudget - heap.inUse) {
        guestFault(std::string(function) + ": guest code asked for " + std::to_string(size) + " bytes with " +
                   std::to_string(heap.inUse) + " in use, past its budget of " +
                   std::to_string(kGuestHeapBudget));
    }
    void* made = std::malloc(size == 0 ? 1 : size);
    if (made == nullptr) {
        guestFault(std::string(function) + ": the host has no memory for " + std::to_string(size) + " bytes");
    }
    heap.live.emplace(made, size);
    heap.inUse += size;
    return made;
}

void guestRelease(const char* function, void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    auto& heap = guestHeap();
    std::lock_guard<std::mutex> hold(heap.lock);
    const auto it = heap.live.find(pointer);
    if (it == heap.live.end()) {
        guestFault(std::string(function) + ": guest code let go of " + hex(pointer) +
                   ", which is not memory it was given or was let go of already");
    }
    heap.inUse -= it->second;
    heap.live.erase(it);
    std::free(pointer);
}

std::size_t guestHeapInUse() {
    auto& heap = guestHeap();
    std::lock_guard<std::mutex> hold(heap.lock);
    return heap.inUse;
}

std::uint64_t VariadicArguments::next() {
    const std::uint64_t slot = registers_.sp + 8 * used_;
    if (!Cpu::current().onStack(slot, 8)) {
        guestFault(std::string(function_) + ": guest code asks for more variadic arguments than it passed");
    }
    ++used_;
    return *reinterpret_cast<const std::uint64_t*>(slot);
}

} // namespace dyld::darwin
