// glintmere-device: placeholder until the device launcher lands; `test BIN` runs BIN directly.
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "test") == 0) {
        execv(argv[2], argv + 2);
        std::perror("glintmere-device: exec");
        return 127;
    }
    std::fprintf(stderr, "usage: glintmere-device test BINARY [ARG...]\n");
    return 2;
}
