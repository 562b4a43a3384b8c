/* POSIX threads as libSystem lays them out on arm64: each type is a signature word and opaque
   bytes, and a static initialiser sets the signature alone. */
#pragma once

#include <sched.h>
#include <sys/types.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _opaque_pthread_t* pthread_t;
typedef unsigned long pthread_key_t;
typedef struct {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_ATTR_SIZE];
} pthread_attr_t;
typedef __darwin_pthread_mutex_t pthread_mutex_t;
typedef struct {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_MUTEXATTR_SIZE];
} pthread_mutexattr_t;
typedef struct {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_COND_SIZE];
} pthread_cond_t;
typedef struct {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_CONDATTR_SIZE];
} pthread_condattr_t;
typedef struct {
    long __sig;
    char __opaque[__DARWIN_PTHREAD_ONCE_SIZE];
} pthread_once_t;

/* clang-format off */
#define PTHREAD_MUTEX_INITIALIZER {__DARWIN_PTHREAD_MUTEX_SIG_INIT, {0}}
#define PTHREAD_COND_INITIALIZER {__DARWIN_PTHREAD_COND_SIG_INIT, {0}}
#define PTHREAD_ONCE_INIT {__DARWIN_PTHREAD_ONCE_SIG_INIT, {0}}
/* clang-format on */
#define PTHREAD_MUTEX_RECURSIVE __DARWIN_PTHREAD_MUTEX_RECURSIVE

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes);
int pthread_mutex_lock(pthread_mutex_t* mutex);
int pthread_mutex_trylock(pthread_mutex_t* mutex);
int pthread_mutex_unlock(pthread_mutex_t* mutex);
int pthread_mutex_destroy(pthread_mutex_t* mutex);
int pthread_mutexattr_init(pthread_mutexattr_t* attributes);
int pthread_mutexattr_settype(pthread_mutexattr_t* attributes, int type);
int pthread_mutexattr_destroy(pthread_mutexattr_t* attributes);
int pthread_cond_init(pthread_cond_t* condition, const pthread_condattr_t* attributes);
int pthread_cond_signal(pthread_cond_t* condition);
int pthread_cond_broadcast(pthread_cond_t* condition);
int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex);
int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex, const struct timespec* until);
int pthread_cond_destroy(pthread_cond_t* condition);
int pthread_once(pthread_once_t* once, void (*run)(void));
int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument);
int pthread_join(pthread_t thread, void** result);
int pthread_detach(pthread_t thread);
pthread_t pthread_self(void);
int pthread_equal(pthread_t a, pthread_t b);
int pthread_key_create(pthread_key_t* key, void (*destroy)(void*));
int pthread_key_delete(pthread_key_t key);
void* pthread_getspecific(pthread_key_t key);
int pthread_setspecific(pthread_key_t key, const void* value);

#ifdef __cplusplus
}
#endif
