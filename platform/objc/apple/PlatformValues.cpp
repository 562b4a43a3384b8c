// The device's C declarations checked, at compile time, against the platform's own values (iOS on
// arm64, as the project's notes on the device platform give them). Built by the phone's build only.
#include <errno.h>
#include <fcntl.h>
#include <objc/message.h>
#include <objc/runtime.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>

#include "dispatch/dispatch.h"
#include "runtime/Block.hpp"

#include <cstddef>
#include <type_traits>

static_assert(O_NONBLOCK == 0x4 && O_APPEND == 0x8 && O_NOFOLLOW == 0x100 && O_CREAT == 0x200 &&
              O_TRUNC == 0x400 && O_EXCL == 0x800 && O_NOCTTY == 0x20000 && O_DIRECTORY == 0x100000 &&
              O_CLOEXEC == 0x1000000);
static_assert(O_RDONLY == 0 && O_WRONLY == 1 && O_RDWR == 2);
static_assert(AT_FDCWD == -2);
static_assert(LOCK_SH == 1 && LOCK_EX == 2 && LOCK_NB == 4 && LOCK_UN == 8);
static_assert(EPERM == 1 && ENOENT == 2 && EINTR == 4 && EIO == 5 && EBADF == 9);
static_assert(EACCES == 13 && EEXIST == 17 && ENOTDIR == 20 && EISDIR == 21 && EINVAL == 22 && ENOSPC == 28);
static_assert(ENXIO == 6);
static_assert(EAGAIN == 35 && ELOOP == 62 && ENAMETOOLONG == 63 && ENOTEMPTY == 66);
static_assert(S_IFMT == 0170000 && S_IFREG == 0100000 && S_IFDIR == 0040000 && S_IFLNK == 0120000);

// struct stat with 64-bit inodes, field by field.
static_assert(sizeof(struct stat) == 144);
static_assert(offsetof(struct stat, st_dev) == 0 && sizeof(stat::st_dev) == 4 && std::is_signed_v<dev_t>);
static_assert(offsetof(struct stat, st_mode) == 4 && sizeof(stat::st_mode) == 2);
static_assert(offsetof(struct stat, st_nlink) == 6 && sizeof(stat::st_nlink) == 2);
static_assert(offsetof(struct stat, st_ino) == 8 && sizeof(stat::st_ino) == 8);
static_assert(offsetof(struct stat, st_uid) == 16 && offsetof(struct stat, st_gid) == 20);
static_assert(offsetof(struct stat, st_rdev) == 24);
static_assert(offsetof(struct stat, st_atimespec) == 32 && sizeof(timespec) == 16 &&
              offsetof(timespec, tv_nsec) == 8);
static_assert(offsetof(struct stat, st_mtimespec) == 48 && offsetof(struct stat, st_ctimespec) == 64 &&
              offsetof(struct stat, st_birthtimespec) == 80);
static_assert(offsetof(struct stat, st_size) == 96 && sizeof(stat::st_size) == 8 && std::is_signed_v<off_t>);
static_assert(offsetof(struct stat, st_blocks) == 104 && offsetof(struct stat, st_blksize) == 112);
static_assert(offsetof(struct stat, st_flags) == 116 && offsetof(struct stat, st_gen) == 120);
static_assert(offsetof(struct stat, st_lspare) == 124 && offsetof(struct stat, st_qspare) == 128);

// Waiting for dpkg's listing: poll's bits, the child's own group, waitid's arguments and report.
static_assert(POLLIN == 0x1 && POLLHUP == 0x10 && sizeof(pollfd) == 8);
static_assert(SIGKILL == 9 && POSIX_SPAWN_SETPGROUP == 0x2);
static_assert(F_SETFD == 2 && FD_CLOEXEC == 1);
static_assert(WNOHANG == 0x1 && WEXITED == 0x4 && WNOWAIT == 0x20 && P_PID == 1 && sizeof(id_t) == 4);
static_assert(sizeof(siginfo_t) == 104 && offsetof(siginfo_t, si_pid) == 12 &&
              offsetof(siginfo_t, si_addr) == 24);
static_assert(sizeof(timeval) == 16 && offsetof(timeval, tv_usec) == 8 && sizeof(timeval::tv_usec) == 4);

// The one pthread type the code uses (the class builder's lock), and what its initialiser sets.
static_assert(sizeof(pthread_mutex_t) == 64 && alignof(pthread_mutex_t) == 8);
static_assert([] {
    constexpr pthread_mutex_t initial = PTHREAD_MUTEX_INITIALIZER;
    return initial.__sig == 0x32AAABA7;
}());
static_assert(sizeof(pthread_once_t) == 16);
static_assert(sizeof(posix_spawn_file_actions_t) == sizeof(void*) &&
              sizeof(posix_spawnattr_t) == sizeof(void*));

// A block literal and its descriptor, and the flags of a global block with a signature.
static_assert(offsetof(objc::runtime::block::Header, isa) == 0 &&
              offsetof(objc::runtime::block::Header, flags) == 8 &&
              offsetof(objc::runtime::block::Header, reserved) == 12 &&
              offsetof(objc::runtime::block::Header, invoke) == 16 &&
              offsetof(objc::runtime::block::Header, descriptor) == 24 &&
              sizeof(objc::runtime::block::Header) == 32);
static_assert(offsetof(__darwin_block_descriptor, reserved) == 0 &&
              offsetof(__darwin_block_descriptor, size) == 8);
static_assert(objc::runtime::block::IsGlobal == 1 << 28 && objc::runtime::block::HasSignature == 1 << 30);

// objc_msgSendSuper's record: the receiver, then the class where the search starts.
static_assert(offsetof(objc_super, receiver) == 0 && offsetof(objc_super, super_class) == 8 &&
              sizeof(objc_super) == 16);

// The data model and the runtime's types.
static_assert(sizeof(long) == 8 && sizeof(void*) == 8 && sizeof(wchar_t) == 4);
static_assert(std::is_same_v<BOOL, bool>);
static_assert(std::is_same_v<dispatch_once_t, long> && DISPATCH_TIME_NOW == 0);
