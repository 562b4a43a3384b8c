/* errno and the error numbers the project's code tests, as Darwin numbers them. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* Each thread's errno lives where libSystem says. */
int* __error(void);
#define errno (*__error())

#define EPERM 1
#define ENOENT 2
#define EINTR 4
#define EIO 5
#define ENXIO 6
#define EBADF 9
#define EACCES 13
#define EEXIST 17
#define ENOTDIR 20
#define EISDIR 21
#define EINVAL 22
#define ENOSPC 28
#define EAGAIN 35
#define ELOOP 62
#define ENAMETOOLONG 63
#define ENOTEMPTY 66

#ifdef __cplusplus
}
#endif
