/* Blocks as libSystem's block runtime knows them: the classes of blocks the compiler lays out in
   data or on the stack, and copying to and releasing from the heap. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

extern void* _NSConcreteGlobalBlock[32];
extern void* _NSConcreteStackBlock[32];

void* _Block_copy(const void* block);
void _Block_release(const void* block);

#ifdef __cplusplus
}
#endif
