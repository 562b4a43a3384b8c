/* Time values and sleeping, from libSystem. */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

struct timespec __DARWIN_STRUCT_TIMESPEC;

typedef unsigned long clock_t;

int nanosleep(const struct timespec* duration, struct timespec* remaining);
time_t time(time_t* now);

#ifdef __cplusplus
}
#endif
