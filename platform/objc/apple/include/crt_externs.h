/* The process's environment, for loadable code, which has no `environ` of its own. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

char*** _NSGetEnviron(void);

#ifdef __cplusplus
}
#endif
