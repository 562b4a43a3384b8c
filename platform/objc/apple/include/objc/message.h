/* Sending messages on Apple's runtime: every send goes through objc_msgSend cast to the method's
   exact prototype; arm64 has no _stret or _fpret variants. */
#pragma once

#include <objc/runtime.h>

#ifdef __cplusplus
extern "C" {
#endif

/* `super_class` is the class where the search starts: the superclass of the defining class. */
struct objc_super {
    id receiver;
    Class super_class;
};

void objc_msgSend(void);
void objc_msgSendSuper(void);

#ifdef __cplusplus
}
#endif
