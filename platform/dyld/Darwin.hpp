// Darwin's C library values and records as arm64 guest code sees them, and their translation to the host's.
#pragma once

#include "dyld/Cpu.hpp"
#include "objc/apple/include/sys/_darwin_abi.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct stat;
struct statx;

namespace dyld::darwin {

// Error numbers. A host number Darwin has no name for reads as EIO.
constexpr int kEIO = __DARWIN_EIO;
constexpr int kEFAULT = __DARWIN_EFAULT;
constexpr int kEINVAL = __DARWIN_EINVAL;
constexpr int kEOVERFLOW = __DARWIN_EOVERFLOW;
GLINTMERE_EXPORT int errorFromHost(int hostError);
// The host's number for a Darwin one, nullopt for one that Darwin does not define.
GLINTMERE_EXPORT std::optional<int> errorToHost(int darwinError);

// The calling thread's errno, where `__error()` points guest code.
int* guestErrno();
// Sets the guest's errno from the host's and passes `result` on: `return failing(::close(fd));`.
template <class T> T failing(T result) {
    if (result < 0) {
        *guestErrno() = errorFromHost(errno);
    }
    return result;
}
// Sets the guest's errno to a Darwin number and yields -1.
int refuse(int darwinError);

// open(2) flags; nullopt for a flag the host cannot honour as Darwin means it.
GLINTMERE_EXPORT std::optional<int> openFlagsToHost(int darwinFlags);
// The status flags F_GETFL reports (access mode, O_NONBLOCK, O_APPEND), in Darwin's values.
GLINTMERE_EXPORT int statusFlagsFromHost(int hostFlags);
// Signal numbers 1-31; nullopt for one the other side has no name for.
GLINTMERE_EXPORT std::optional<int> signalToHost(int darwinSignal);
GLINTMERE_EXPORT std::optional<int> signalFromHost(int hostSignal);
// A wait status with the host's signal numbers in it, given Darwin's.
GLINTMERE_EXPORT int waitStatusFromHost(int hostStatus);
// waitpid and waitid options (WNOHANG, WEXITED, WNOWAIT); nullopt for others.
GLINTMERE_EXPORT std::optional<int> waitOptionsToHost(int darwinOptions);
// posix_spawnattr flags (POSIX_SPAWN_SETPGROUP); nullopt for others.
GLINTMERE_EXPORT std::optional<short> spawnFlagsToHost(short darwinFlags);

// The records as the phone's headers declare them, laid out alike by the host's compiler.
// struct stat on arm64 (64-bit inodes).
struct Timespec __DARWIN_STRUCT_TIMESPEC;
struct Stat __DARWIN_STRUCT_STAT64(Timespec);
static_assert(sizeof(Stat) == 144 && offsetof(Stat, st_ino) == 8 && offsetof(Stat, st_atimespec) == 32 &&
              offsetof(Stat, st_size) == 96 && offsetof(Stat, st_blksize) == 112 &&
              offsetof(Stat, st_qspare) == 128);
Stat statFromHost(const struct statx& host);

// struct timeval: microseconds are 32 bits, then padding.
struct Timeval __DARWIN_STRUCT_TIMEVAL;
static_assert(sizeof(Timeval) == 16);

// siginfo_t as waitid fills it, its fields `guest_pid` and the like for si_pid: the host's si_ names are
// macros.
struct Siginfo __DARWIN_STRUCT_SIGINFO(guest_);
static_assert(sizeof(Siginfo) == 104 && offsetof(Siginfo, guest_addr) == 24 &&
              offsetof(Siginfo, guest_band) == 40);

// pthread_mutex_t: a signature word, then opaque bytes.
using Mutex = __darwin_pthread_mutex_t;
static_assert(sizeof(Mutex) == 64 && offsetof(Mutex, __opaque) == 8);

// Guest memory that host code reads or writes on a call's behalf, checked as the kernel checks a system
// call's buffers: a bad address is reported, never a crash of the host.
// Copies `size` bytes to the guest's `to`; false if any of them cannot be written.
bool copyToGuest(void* to, const void* from, std::size_t size);
template <class T> bool copyToGuest(void* to, const T& value) {
    return copyToGuest(to, &value, sizeof value);
}
// Copies `size` bytes from the guest's `from`; false if any of them cannot be read.
bool copyFromGuest(void* to, const void* from, std::size_t size);
template <class T> bool copyFromGuest(T& to, const void* from) { return copyFromGuest(&to, from, sizeof to); }
// The guest's C string at `text`, of at most `limit` bytes (the rest cut off); nullopt if it cannot be
// read up to its end or the limit.
std::optional<std::string> stringFromGuest(const char* text, std::size_t limit);

// Whether the guest's `size` bytes at `from` can all be read: each page is probed, nothing copied.
bool readableInGuest(const void* from, std::size_t size);
// Whether the guest's `size` bytes at `to` can all be written, found by writing each page's first byte
// back as it was: only for memory the call overwrites next, as no other thread's write may come between.
bool overwritableInGuest(void* to, std::size_t size);
// Whether they can all be written, as the process's map says: for memory another thread may be writing
// too (a once-predicate), which is not touched. Reads the map, so for writes the host makes rarely.
bool writableInGuest(void* to, std::size_t size);
// The length of the guest's C string at `text`; nullopt if it cannot be read to its end, or has none
// within `limit` bytes.
std::optional<std::size_t> stringLengthInGuest(const char* text, std::size_t limit = SIZE_MAX);

// The checks of an import's pointer arguments: each stops the process with a message naming the
// import (`function`) and the argument (`what`, "a string") unless guest code could use it so.
void requireReadable(const char* function, const void* from, std::size_t size, const char* what);
void requireOverwritable(const char* function, void* to, std::size_t size, const char* what);
void requireWritable(const char* function, void* to, std::size_t size, const char* what);
// The string's length.
std::size_t requireString(const char* function, const char* text, const char* what = "a string");

// A once-predicate (dispatch_once's, dispatch_once_f's): readable, and writable unless it says done.
void requireOnce(const char* function, const long* predicate);

// Guest code's heap (malloc and operator new): host memory, all that is live at once within a budget,
// as a device ends an app that takes too much. Past it, the process stops naming `function`.
constexpr std::size_t kGuestHeapBudget = std::size_t{1} << 30;
void* guestAllocate(const char* function, std::size_t size);
// Lets go of what guestAllocate gave (null does nothing); anything else stops the process.
void guestRelease(const char* function, void* pointer);
// The bytes live on the guest's heap.
GLINTMERE_EXPORT std::size_t guestHeapInUse();

// The arguments of a variadic call, read as Apple's arm64 convention passes them: the fixed ones in
// registers, each variadic one in an 8-byte stack slot from the caller's stack pointer.
class VariadicArguments {
  public:
    VariadicArguments(const Registers& registers, const char* function)
        : registers_(registers), function_(function) {}
    // The next slot's 64 bits; a read past the caller's stack is a guest fault.
    std::uint64_t next();
    const char* function() const { return function_; }

  private:
    const Registers& registers_;
    const char* function_;
    std::size_t used_ = 0;
};

} // namespace dyld::darwin
