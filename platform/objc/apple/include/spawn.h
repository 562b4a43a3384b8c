/* Starting programs, on every system version. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Each is one pointer to what libSystem allocates. */
typedef void* posix_spawn_file_actions_t;
typedef void* posix_spawnattr_t;

/* posix_spawnattr_setflags: put the child in the group posix_spawnattr_setpgroup names. */
#define POSIX_SPAWN_SETPGROUP __DARWIN_POSIX_SPAWN_SETPGROUP

int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);
int posix_spawn_file_actions_init(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_destroy(posix_spawn_file_actions_t* actions);
int posix_spawn_file_actions_addopen(posix_spawn_file_actions_t* actions, int fd, const char* path, int flags,
                                     mode_t mode);
int posix_spawn_file_actions_adddup2(posix_spawn_file_actions_t* actions, int fd, int to);
int posix_spawnattr_init(posix_spawnattr_t* attributes);
int posix_spawnattr_destroy(posix_spawnattr_t* attributes);
int posix_spawnattr_setflags(posix_spawnattr_t* attributes, short flags);
int posix_spawnattr_setpgroup(posix_spawnattr_t* attributes, pid_t group);

#ifdef __cplusplus
}
#endif
