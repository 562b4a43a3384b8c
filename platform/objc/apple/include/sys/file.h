/* Advisory whole-file locks. */
#pragma once

#include <sys/_darwin_abi.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LOCK_SH __DARWIN_LOCK_SH
#define LOCK_EX __DARWIN_LOCK_EX
#define LOCK_NB __DARWIN_LOCK_NB
#define LOCK_UN __DARWIN_LOCK_UN

int flock(int fd, int operation);

#ifdef __cplusplus
}
#endif
