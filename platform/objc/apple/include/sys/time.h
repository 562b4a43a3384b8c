/* The time of day, which every system version has (clock_gettime came with iOS 10). */
#pragma once

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Microseconds are 32 bits on Darwin, followed by padding. */
struct timeval __DARWIN_STRUCT_TIMEVAL;

int gettimeofday(struct timeval* time, void* zone);

#ifdef __cplusplus
}
#endif
