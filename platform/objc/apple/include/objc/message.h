/* Sending messages on Apple's runtime: every send goes through objc_msgSend cast to the method's
   exact prototype; arm64 has no _stret or _fpret variants. */
#pragma once

#include <objc/runtime.h>
#include <sys/_darwin_abi.h>

#ifdef __cplusplus
extern "C" {
#endif

struct objc_super __DARWIN_STRUCT_OBJC_SUPER(id, Class);

void objc_msgSend(void);
void objc_msgSendSuper(void);

#ifdef __cplusplus
}
#endif
