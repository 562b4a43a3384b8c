/* Darwin's basic system types on arm64 (LP64). */
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/_darwin_abi.h>

typedef long ssize_t;
typedef __darwin_pid_t pid_t;
typedef __darwin_uid_t uid_t;
typedef __darwin_gid_t gid_t;
typedef __darwin_mode_t mode_t;
typedef __darwin_off_t off_t;
typedef __darwin_dev_t dev_t;
typedef __darwin_ino64_t ino_t;
typedef __darwin_nlink_t nlink_t;
typedef __darwin_blkcnt_t blkcnt_t;
typedef __darwin_blksize_t blksize_t;
typedef __darwin_time_t time_t;
typedef int clockid_t;
typedef __darwin_id_t id_t;
