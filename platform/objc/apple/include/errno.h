/* errno and the error numbers the project's code tests, as Darwin numbers them. */
#pragma once

#include <sys/_darwin_abi.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Each thread's errno lives where libSystem says. */
int* __error(void);
#define errno (*__error())

#define EPERM __DARWIN_EPERM
#define ENOENT __DARWIN_ENOENT
#define EINTR __DARWIN_EINTR
#define EIO __DARWIN_EIO
#define ENXIO __DARWIN_ENXIO
#define EBADF __DARWIN_EBADF
#define EACCES __DARWIN_EACCES
#define EEXIST __DARWIN_EEXIST
#define ENOTDIR __DARWIN_ENOTDIR
#define EISDIR __DARWIN_EISDIR
#define EINVAL __DARWIN_EINVAL
#define ENOSPC __DARWIN_ENOSPC
#define EAGAIN __DARWIN_EAGAIN
#define ELOOP __DARWIN_ELOOP
#define ENAMETOOLONG __DARWIN_ENAMETOOLONG
#define ENOTEMPTY __DARWIN_ENOTEMPTY

#ifdef __cplusplus
}
#endif
