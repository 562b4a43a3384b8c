/* The multibyte conversion state: opaque, 128 bytes, 8-byte aligned. */
#pragma once

typedef union {
    char __mbstate8[128];
    long long _mbstateL;
} mbstate_t;
