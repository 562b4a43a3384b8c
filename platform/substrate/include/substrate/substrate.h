// The hooking framework: method replacement.
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

#ifdef __cplusplus
}
#endif
