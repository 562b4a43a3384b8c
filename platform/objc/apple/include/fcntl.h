/* Opening files, with Darwin's flag values. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define O_RDONLY __DARWIN_O_RDONLY
#define O_WRONLY __DARWIN_O_WRONLY
#define O_RDWR __DARWIN_O_RDWR
#define O_NONBLOCK __DARWIN_O_NONBLOCK
#define O_APPEND __DARWIN_O_APPEND
#define O_NOFOLLOW __DARWIN_O_NOFOLLOW
#define O_CREAT __DARWIN_O_CREAT
#define O_TRUNC __DARWIN_O_TRUNC
#define O_EXCL __DARWIN_O_EXCL
#define O_NOCTTY __DARWIN_O_NOCTTY
#define O_DIRECTORY __DARWIN_O_DIRECTORY
#define O_CLOEXEC __DARWIN_O_CLOEXEC

#define AT_FDCWD __DARWIN_AT_FDCWD

#define F_GETFD __DARWIN_F_GETFD
#define F_SETFD __DARWIN_F_SETFD
#define F_GETFL __DARWIN_F_GETFL
#define F_SETFL __DARWIN_F_SETFL
#define FD_CLOEXEC __DARWIN_FD_CLOEXEC

/* The mode, when O_CREAT asks for one, is a variadic argument: it travels on the stack. */
int open(const char* path, int flags, ...);
/* Its third argument, when the command takes one, is variadic too. */
int fcntl(int fd, int command, ...);

#ifdef __cplusplus
}
#endif
