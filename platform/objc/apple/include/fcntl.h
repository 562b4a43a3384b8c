/* Opening files, with Darwin's flag values. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define O_RDONLY 0x0000
#define O_WRONLY 0x0001
#define O_RDWR 0x0002
#define O_NONBLOCK 0x00000004
#define O_APPEND 0x00000008
#define O_NOFOLLOW 0x00000100
#define O_CREAT 0x00000200
#define O_TRUNC 0x00000400
#define O_EXCL 0x00000800
#define O_NOCTTY 0x00020000
#define O_DIRECTORY 0x00100000
#define O_CLOEXEC 0x01000000

#define AT_FDCWD -2

#define F_GETFD 1
#define F_SETFD 2
#define F_GETFL 3
#define F_SETFL 4
#define FD_CLOEXEC 1

/* The mode, when O_CREAT asks for one, is a variadic argument: it travels on the stack. */
int open(const char* path, int flags, ...);
/* Its third argument, when the command takes one, is variadic too. */
int fcntl(int fd, int command, ...);

#ifdef __cplusplus
}
#endif
