// The hooking framework: method replacement, and loading of hook libraries into processes.
#pragma once

#include <objc/runtime.h>

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the implementation of `selector` for `cls` (a metaclass for class methods) by
// `replacement`. The replaced implementation is stored in `*result` (when `result` is not null)
// before the new one takes effect, so a hook may call through it at once. A method that `cls`
// only inherits gets an override on `cls`; the superclass keeps its own, which becomes the one
// handed back. With a null class, selector or replacement, or a selector the class does not
// answer, nothing changes and `*result` becomes null.
__attribute__((visibility("default"))) void MSHookMessageEx(Class cls, SEL selector, IMP replacement,
                                                            IMP* result);

// Opens each hook library of /Library/MobileSubstrate/DynamicLibraries whose filter (the .plist of
// the same name) matches this process: a listed bundle identifier is the main bundle's, a listed
// executable is this program's name, or a listed class exists. Libraries without a filter, with
// an empty or unreadable one, or that fail to open are skipped (the last two with a note on
// standard error). Libraries load in name order. Host applications call this once their own
// frameworks are up.
__attribute__((visibility("default"))) void MSLoadDynamicLibraries(void);

#ifdef __cplusplus
}
#endif
