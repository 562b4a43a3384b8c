/* Memory, ending the process and random numbers, from libSystem. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    int quot;
    int rem;
} div_t;
typedef struct {
    long quot;
    long rem;
} ldiv_t;
typedef struct {
    long long quot;
    long long rem;
} lldiv_t;

void* malloc(size_t size);
void* calloc(size_t count, size_t size);
void* realloc(void* memory, size_t size);
void free(void* memory);
int posix_memalign(void** memory, size_t alignment, size_t size);
__attribute__((noreturn)) void abort(void);
int abs(int n);
long labs(long n);
long long llabs(long long n);
div_t div(int n, int d);
ldiv_t ldiv(long n, long d);
lldiv_t lldiv(long long n, long long d);
uint32_t arc4random_uniform(uint32_t bound);

#ifdef __cplusplus
}
#endif
