/* The time of day, which every system version has (clock_gettime came with iOS 10). */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Microseconds are 32 bits on Darwin, followed by padding. */
struct timeval {
    time_t tv_sec;
    int32_t tv_usec;
};

int gettimeofday(struct timeval* time, void* zone);

#ifdef __cplusplus
}
#endif
