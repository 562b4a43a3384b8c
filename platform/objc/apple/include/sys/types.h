/* Darwin's basic system types on arm64 (LP64). */
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef long ssize_t;
typedef int32_t pid_t;
typedef uint32_t uid_t;
typedef uint32_t gid_t;
typedef uint16_t mode_t;
typedef int64_t off_t;
typedef int32_t dev_t;
typedef uint64_t ino_t; /* 64-bit inodes, the only kind on arm64 */
typedef uint16_t nlink_t;
typedef int64_t blkcnt_t;
typedef int32_t blksize_t;
typedef long time_t;
typedef int clockid_t;
typedef uint32_t id_t;
