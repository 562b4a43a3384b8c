/* Waiting for descriptors, from libSystem, with Darwin's event bits. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define POLLIN 0x0001
#define POLLPRI 0x0002
#define POLLOUT 0x0004
#define POLLERR 0x0008
#define POLLHUP 0x0010
#define POLLNVAL 0x0020

typedef unsigned int nfds_t;

struct pollfd {
    int fd;
    short events;
    short revents;
};

int poll(struct pollfd* fds, nfds_t count, int timeout);

#ifdef __cplusplus
}
#endif
