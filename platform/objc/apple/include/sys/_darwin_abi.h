/* Darwin's C interface on arm64 as numbers and record layouts, under reserved names: the one table the
   phone's C headers take their values and records from, and the loader of arm64 images (host code)
   translates by. It declares nothing under a public name, so that host code can include it beside the
   host's own headers. */
#pragma once

#include <stdint.h>

/* The basic types, fixed in width so that a record has Darwin's layout under either compiler. */
typedef int32_t __darwin_dev_t;
typedef uint16_t __darwin_mode_t;
typedef uint16_t __darwin_nlink_t;
typedef uint64_t __darwin_ino64_t; /* 64-bit inodes, the only kind on arm64 */
typedef uint32_t __darwin_uid_t;
typedef uint32_t __darwin_gid_t;
typedef int32_t __darwin_pid_t;
typedef uint32_t __darwin_id_t;
typedef int64_t __darwin_off_t;
typedef int64_t __darwin_blkcnt_t;
typedef int32_t __darwin_blksize_t;
typedef long __darwin_time_t;
typedef int32_t __darwin_suseconds_t; /* 32 bits, followed by padding in a timeval */

/* open(2) and fcntl(2). */
#define __DARWIN_O_RDONLY 0x0000
#define __DARWIN_O_WRONLY 0x0001
#define __DARWIN_O_RDWR 0x0002
#define __DARWIN_O_ACCMODE 0x0003
#define __DARWIN_O_NONBLOCK 0x00000004
#define __DARWIN_O_APPEND 0x00000008
#define __DARWIN_O_NOFOLLOW 0x00000100
#define __DARWIN_O_CREAT 0x00000200
#define __DARWIN_O_TRUNC 0x00000400
#define __DARWIN_O_EXCL 0x00000800
#define __DARWIN_O_NOCTTY 0x00020000
#define __DARWIN_O_DIRECTORY 0x00100000
#define __DARWIN_O_CLOEXEC 0x01000000
#define __DARWIN_AT_FDCWD -2
#define __DARWIN_F_GETFD 1
#define __DARWIN_F_SETFD 2
#define __DARWIN_F_GETFL 3
#define __DARWIN_F_SETFL 4
#define __DARWIN_FD_CLOEXEC 1

/* flock(2). */
#define __DARWIN_LOCK_SH 1
#define __DARWIN_LOCK_EX 2
#define __DARWIN_LOCK_NB 4
#define __DARWIN_LOCK_UN 8

/* Error numbers. EPERM to ECHILD (1-10) and ENOMEM to ERANGE (12-34) are those of the Unix they come
   from; the rest are Darwin's own. */
#define __DARWIN_EPERM 1
#define __DARWIN_ENOENT 2
#define __DARWIN_EINTR 4
#define __DARWIN_EIO 5
#define __DARWIN_ENXIO 6
#define __DARWIN_EBADF 9
#define __DARWIN_ECHILD 10
#define __DARWIN_EDEADLK 11
#define __DARWIN_EACCES 13
#define __DARWIN_EFAULT 14
#define __DARWIN_EEXIST 17
#define __DARWIN_ENOTDIR 20
#define __DARWIN_EISDIR 21
#define __DARWIN_EINVAL 22
#define __DARWIN_ENOSPC 28
#define __DARWIN_ERANGE 34
#define __DARWIN_EAGAIN 35
#define __DARWIN_ENOTSUP 45
#define __DARWIN_ETIMEDOUT 60
#define __DARWIN_ELOOP 62
#define __DARWIN_ENAMETOOLONG 63
#define __DARWIN_ENOTEMPTY 66
#define __DARWIN_ENOSYS 78
#define __DARWIN_EOVERFLOW 84
#define __DARWIN_ECANCELED 89

/* File types in st_mode. */
#define __DARWIN_S_IFMT 0170000
#define __DARWIN_S_IFREG 0100000
#define __DARWIN_S_IFDIR 0040000
#define __DARWIN_S_IFLNK 0120000

/* poll(2)'s event bits. */
#define __DARWIN_POLLIN 0x0001
#define __DARWIN_POLLPRI 0x0002
#define __DARWIN_POLLOUT 0x0004
#define __DARWIN_POLLERR 0x0008
#define __DARWIN_POLLHUP 0x0010
#define __DARWIN_POLLNVAL 0x0020

/* Signals 1-31. */
#define __DARWIN_SIGHUP 1
#define __DARWIN_SIGINT 2
#define __DARWIN_SIGQUIT 3
#define __DARWIN_SIGILL 4
#define __DARWIN_SIGTRAP 5
#define __DARWIN_SIGABRT 6
#define __DARWIN_SIGEMT 7
#define __DARWIN_SIGFPE 8
#define __DARWIN_SIGKILL 9
#define __DARWIN_SIGBUS 10
#define __DARWIN_SIGSEGV 11
#define __DARWIN_SIGSYS 12
#define __DARWIN_SIGPIPE 13
#define __DARWIN_SIGALRM 14
#define __DARWIN_SIGTERM 15
#define __DARWIN_SIGURG 16
#define __DARWIN_SIGSTOP 17
#define __DARWIN_SIGTSTP 18
#define __DARWIN_SIGCONT 19
#define __DARWIN_SIGCHLD 20
#define __DARWIN_SIGTTIN 21
#define __DARWIN_SIGTTOU 22
#define __DARWIN_SIGIO 23
#define __DARWIN_SIGXCPU 24
#define __DARWIN_SIGXFSZ 25
#define __DARWIN_SIGVTALRM 26
#define __DARWIN_SIGPROF 27
#define __DARWIN_SIGWINCH 28
#define __DARWIN_SIGINFO 29
#define __DARWIN_SIGUSR1 30
#define __DARWIN_SIGUSR2 31

/* Waiting for children: waitpid's and waitid's options, waitid's id types, and how a child changed. */
#define __DARWIN_WNOHANG 0x00000001
#define __DARWIN_WEXITED 0x00000004
#define __DARWIN_WNOWAIT 0x00000020
#define __DARWIN_P_ALL 0
#define __DARWIN_P_PID 1
#define __DARWIN_P_PGID 2
#define __DARWIN_CLD_EXITED 1
#define __DARWIN_CLD_KILLED 2
#define __DARWIN_CLD_DUMPED 3
#define __DARWIN_CLD_TRAPPED 4
#define __DARWIN_CLD_STOPPED 5
#define __DARWIN_CLD_CONTINUED 6

/* posix_spawnattr_setflags: put the child in the group posix_spawnattr_setpgroup names. */
#define __DARWIN_POSIX_SPAWN_SETPGROUP 0x0002

/* The pthread types are a signature word and opaque bytes; a static initialiser sets the signature. */
#define __DARWIN_PTHREAD_ATTR_SIZE 56
#define __DARWIN_PTHREAD_MUTEX_SIZE 56
#define __DARWIN_PTHREAD_MUTEXATTR_SIZE 8
#define __DARWIN_PTHREAD_COND_SIZE 40
#define __DARWIN_PTHREAD_CONDATTR_SIZE 8
#define __DARWIN_PTHREAD_ONCE_SIZE 8
#define __DARWIN_PTHREAD_MUTEX_SIG_INIT 0x32AAABA7
#define __DARWIN_PTHREAD_COND_SIG_INIT 0x3CB0B1BB
#define __DARWIN_PTHREAD_ONCE_SIG_INIT 0x30B1BCBA
#define __DARWIN_PTHREAD_MUTEX_RECURSIVE 2

typedef struct _opaque_pthread_mutex_t {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_MUTEX_SIZE];
} __darwin_pthread_mutex_t;

/* A block literal as the compiler lays it out, and the flags the block runtime reads in it. Its
   descriptor goes on, after the size, with the copy and dispose helpers where the flags say there are
   some, then the signature where they say there is one. */
#define __DARWIN_BLOCK_HAS_COPY_DISPOSE (1 << 25)
#define __DARWIN_BLOCK_IS_GLOBAL (1 << 28)
#define __DARWIN_BLOCK_HAS_SIGNATURE (1 << 30)

struct __darwin_block_literal {
    void* isa;
    int flags;
    int reserved;
    void (*invoke)(void);
    const void* descriptor;
};

struct __darwin_block_descriptor {
    unsigned long reserved;
    unsigned long size;
};

/* objc_msgSendSuper's record, of the runtime's object and class types: the receiver, then the class
   where the search for the method starts (the superclass of the defining class). */
#define __DARWIN_STRUCT_OBJC_SUPER(__object, __class)                                                        \
    {                                                                                                        \
        __object receiver;                                                                                   \
        __class super_class;                                                                                 \
    }

/* The records, as bodies each side declares under its own name: `struct stat __DARWIN_STRUCT_STAT64(
   struct timespec);` on the phone. */
#define __DARWIN_STRUCT_TIMESPEC                                                                             \
    {                                                                                                        \
        __darwin_time_t tv_sec;                                                                              \
        long tv_nsec;                                                                                        \
    }

#define __DARWIN_STRUCT_TIMEVAL                                                                              \
    {                                                                                                        \
        __darwin_time_t tv_sec;                                                                              \
        __darwin_suseconds_t tv_usec;                                                                        \
    }

/* struct stat with 64-bit inodes, its times of the record type `__timespec`. */
#define __DARWIN_STRUCT_STAT64(__timespec)                                                                   \
    {                                                                                                        \
        __darwin_dev_t st_dev;                                                                               \
        __darwin_mode_t st_mode;                                                                             \
        __darwin_nlink_t st_nlink;                                                                           \
        __darwin_ino64_t st_ino;                                                                             \
        __darwin_uid_t st_uid;                                                                               \
        __darwin_gid_t st_gid;                                                                               \
        __darwin_dev_t st_rdev;                                                                              \
        __timespec st_atimespec;                                                                             \
        __timespec st_mtimespec;                                                                             \
        __timespec st_ctimespec;                                                                             \
        __timespec st_birthtimespec;                                                                         \
        __darwin_off_t st_size;                                                                              \
        __darwin_blkcnt_t st_blocks;                                                                         \
        __darwin_blksize_t st_blksize;                                                                       \
        uint32_t st_flags;                                                                                   \
        uint32_t st_gen;                                                                                     \
        int32_t st_lspare;                                                                                   \
        int64_t st_qspare[2];                                                                                \
    }

#define __DARWIN_STRUCT_POLLFD                                                                               \
    {                                                                                                        \
        int fd;                                                                                              \
        short events;                                                                                        \
        short revents;                                                                                       \
    }

union __darwin_sigval {
    int sival_int;
    void* sival_ptr;
};

/* siginfo_t as waitid fills it, each field's name `prefix` and its stem (`si_` on the phone), as the
   host's C library makes its own si_ names macros. */
#define __DARWIN_STRUCT_SIGINFO(prefix)                                                                      \
    {                                                                                                        \
        int prefix##signo;                                                                                   \
        int prefix##errno;                                                                                   \
        int prefix##code;                                                                                    \
        __darwin_pid_t prefix##pid;                                                                          \
        __darwin_uid_t prefix##uid;                                                                          \
        int prefix##status;                                                                                  \
        void* prefix##addr;                                                                                  \
        union __darwin_sigval prefix##value;                                                                 \
        long prefix##band;                                                                                   \
        unsigned long __pad[7];                                                                              \
    }
