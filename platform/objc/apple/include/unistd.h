/* Descriptors and links, from libSystem. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

int close(int fd);
int pipe(int fds[2]);
ssize_t read(int fd, void* buffer, size_t size);
ssize_t write(int fd, const void* buffer, size_t size);
int ftruncate(int fd, off_t length);
int fsync(int fd);
int link(const char* existing, const char* made);
int unlink(const char* path);
pid_t getpid(void);

#ifdef __cplusplus
}
#endif
