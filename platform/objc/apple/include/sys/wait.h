/* Waiting for a child, and reading how it ended. */
#pragma once

#include <signal.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The low seven bits hold the signal that ended the child (0177: stopped); the next eight its
   exit status. */
#define _W_STATUS(status) ((status)&0177)
#define WIFEXITED(status) (_W_STATUS(status) == 0)
#define WEXITSTATUS(status) (((status) >> 8) & 0xff)
#define WIFSIGNALED(status) (_W_STATUS(status) != 0177 && _W_STATUS(status) != 0)
#define WTERMSIG(status) (_W_STATUS(status))

#define WNOHANG __DARWIN_WNOHANG
#define WEXITED __DARWIN_WEXITED
#define WNOWAIT __DARWIN_WNOWAIT

typedef enum { P_ALL = __DARWIN_P_ALL, P_PID = __DARWIN_P_PID, P_PGID = __DARWIN_P_PGID } idtype_t;

pid_t waitpid(pid_t pid, int* status, int options);
int waitid(idtype_t type, id_t id, siginfo_t* info, int options);

#ifdef __cplusplus
}
#endif
