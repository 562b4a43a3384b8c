/* The process's environment, reached as Darwin's libSystem offers it to loadable code. On this
   system every library sees `environ` itself. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

extern char** environ;

static inline char*** _NSGetEnviron(void) { return &environ; }

#ifdef __cplusplus
}
#endif
