/* File status with 64-bit inodes, the only kind on arm64, where the plain names are these calls. */
#pragma once

#include <sys/types.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

struct stat __DARWIN_STRUCT_STAT64(struct timespec);

#define S_IFMT __DARWIN_S_IFMT
#define S_IFREG __DARWIN_S_IFREG
#define S_IFDIR __DARWIN_S_IFDIR
#define S_IFLNK __DARWIN_S_IFLNK
#define S_ISREG(m) (((m)&S_IFMT) == S_IFREG)
#define S_ISDIR(m) (((m)&S_IFMT) == S_IFDIR)
#define S_ISLNK(m) (((m)&S_IFMT) == S_IFLNK)

int stat(const char* path, struct stat* info);
int lstat(const char* path, struct stat* info);
int fstat(int fd, struct stat* info);
int fchmod(int fd, mode_t mode);
int mkdir(const char* path, mode_t mode);

#ifdef __cplusplus
}
#endif
