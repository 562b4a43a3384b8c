/* Waiting for descriptors, from libSystem, with Darwin's event bits. */
#pragma once

#include <sys/_darwin_abi.h>

#ifdef __cplusplus
extern "C" {
#endif

#define POLLIN __DARWIN_POLLIN
#define POLLPRI __DARWIN_POLLPRI
#define POLLOUT __DARWIN_POLLOUT
#define POLLERR __DARWIN_POLLERR
#define POLLHUP __DARWIN_POLLHUP
#define POLLNVAL __DARWIN_POLLNVAL

typedef unsigned int nfds_t;

struct pollfd __DARWIN_STRUCT_POLLFD;

int poll(struct pollfd* fds, nfds_t count, int timeout);

#ifdef __cplusplus
}
#endif
