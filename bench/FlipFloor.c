/* The floor for a flip: the least a process can do to follow the switch, in plain C. It waits on a
 * datagram socket bound where the Darwin centre keeps each observer's, under a name of its own, so
 * that a post reaches it the way it reaches the browser. Woken, it opens, reads and closes the
 * preferences file, parses it with libplist and keeps `isEnabled` in a byte, then tells the time
 * and the byte on standard output: "NANOSECONDS BYTE".
 *
 * glintmere-flip-floor NAME   prints "ready" once bound; then for each line read from standard
 *                             input, waits for one datagram and tells; ends at the end of input.
 */
#define _GNU_SOURCE
#include <plist/plist.h>

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

static const char preferences[] = "/private/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
static const char notifyDirectory[] = "/private/var/run/notifyd";

/* The byte the reload writes; volatile, so that the write is made. */
static volatile uint8_t enabled = 1;

/* A preferences file is a few hundred bytes; a short read of a regular file is its end. */
static char bytes[1 << 16];

static uint64_t now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

/* The reload; returns the time at which it wrote the byte, or found nothing to write. */
static uint64_t reload(void) {
    int fd = open(preferences, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return now();
    }
    ssize_t n = read(fd, bytes, sizeof bytes);
    close(fd);
    if (n <= 0) {
        return now();
    }
    plist_t root = NULL;
    plist_from_memory(bytes, (uint32_t)n, &root);
    plist_t value = plist_get_node_type(root) == PLIST_DICT ? plist_dict_get_item(root, "isEnabled") : NULL;
    if (plist_get_node_type(value) == PLIST_BOOLEAN) {
        uint8_t b = 0;
        plist_get_bool_val(value, &b);
        enabled = b;
    }
    const uint64_t at = now();
    plist_free(root);
    return at;
}

int main(int argc, char** argv) {
    /* Names made of letters, digits, '.' and '-' are their own folder names. */
    const char* name = argc == 2 ? argv[1] : "";
    struct sockaddr_un address = {.sun_family = AF_UNIX};
    char folder[sizeof address.sun_path];
    if (name[0] == '\0' || name[0] == '.' ||
        strspn(name, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") != strlen(name) ||
        snprintf(folder, sizeof folder, "%s/%s", notifyDirectory, name) >= (int)sizeof folder - 20) {
        fprintf(stderr, "usage: glintmere-flip-floor NAME (a few dozen letters, digits, '.' and '-')\n");
        return 2;
    }
    mkdir(notifyDirectory, 01777);
    mkdir(folder, 01777);
    snprintf(address.sun_path, sizeof address.sun_path, "%.80s/floor.%d", folder, (int)getpid());
    int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0 || bind(sock, (const struct sockaddr*)&address, sizeof address) != 0) {
        perror("glintmere-flip-floor: cannot bind its socket");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    char line[32];
    while (fgets(line, sizeof line, stdin) != NULL) {
        char datagram;
        if (recv(sock, &datagram, sizeof datagram, 0) < 0) {
            break;
        }
        const uint64_t at = reload();
        printf("%llu %d\n", (unsigned long long)at, enabled);
        fflush(stdout);
    }
    unlink(address.sun_path);
    return 0;
}
