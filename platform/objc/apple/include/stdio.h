/* Formatted output and renaming, from libSystem. */
#pragma once

#include <stdarg.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct __sFILE FILE;

#define EOF (-1)

/* The standard streams are variables of libSystem's. */
extern FILE* __stdinp;
extern FILE* __stdoutp;
extern FILE* __stderrp;
#define stdin __stdinp
#define stdout __stdoutp
#define stderr __stderrp

int fprintf(FILE* stream, const char* format, ...);
int snprintf(char* buffer, size_t size, const char* format, ...);
int vsnprintf(char* buffer, size_t size, const char* format, va_list arguments);
int fputs(const char* text, FILE* stream);
int rename(const char* from, const char* to);
int remove(const char* path);

#ifdef __cplusplus
}
#endif
