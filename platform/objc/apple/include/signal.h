/* Signals, and what waitid reports about a child, as Darwin lays it out on arm64. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SIGKILL __DARWIN_SIGKILL

typedef struct __siginfo __DARWIN_STRUCT_SIGINFO(si_) siginfo_t;

int kill(pid_t pid, int signal);

#ifdef __cplusplus
}
#endif
