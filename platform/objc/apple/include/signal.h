/* Signals, and what waitid reports about a child, as Darwin lays it out on arm64. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SIGKILL 9

union sigval {
    int sival_int;
    void* sival_ptr;
};

typedef struct __siginfo {
    int si_signo;
    int si_errno;
    int si_code;
    pid_t si_pid;
    uid_t si_uid;
    int si_status;
    void* si_addr;
    union sigval si_value;
    long si_band;
    unsigned long __pad[7];
} siginfo_t;

int kill(pid_t pid, int signal);

#ifdef __cplusplus
}
#endif
