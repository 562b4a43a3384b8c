/* Bytes and C strings, from libSystem. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* memcpy(void* to, const void* from, size_t size);
void* memmove(void* to, const void* from, size_t size);
void* memset(void* to, int byte, size_t size);
int memcmp(const void* a, const void* b, size_t size);
void* memchr(const void* bytes, int byte, size_t size);
size_t strlen(const char* text);
int strcmp(const char* a, const char* b);
int strncmp(const char* a, const char* b, size_t size);
char* strchr(const char* text, int c);
char* strrchr(const char* text, int c);
char* strstr(const char* text, const char* part);
char* strpbrk(const char* text, const char* set);
char* strerror(int error);

#ifdef __cplusplus
}
#endif
