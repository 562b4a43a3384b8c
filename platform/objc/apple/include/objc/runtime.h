/* The Objective-C runtime's C interface (libobjc.A.dylib), as far as the project calls it. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct objc_class* Class;
typedef struct objc_object {
    Class isa;
}* id;
typedef struct objc_selector* SEL;
/* An implementation is called through a cast to its exact prototype. */
typedef void (*IMP)(void);
typedef struct objc_ivar* Ivar;
typedef struct objc_method* Method;
typedef struct objc_object Protocol;
/* On arm64 BOOL is C's bool. */
typedef bool BOOL;

#define nil nullptr
#define Nil nullptr
#define YES true
#define NO false

Class objc_getClass(const char* name);
Class objc_lookUpClass(const char* name);
SEL sel_registerName(const char* name);
const char* sel_getName(SEL sel);
const char* class_getName(Class cls);
Class object_getClass(id object);
Class class_getSuperclass(Class cls);
BOOL class_isMetaClass(Class cls);
Ivar class_getInstanceVariable(Class cls, const char* name);
ptrdiff_t ivar_getOffset(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);
/* The method the class or a superclass has for `name`; NULL when none answers to it. */
Method class_getInstanceMethod(Class cls, SEL name);
/* Stores a pointer-sized value into the named ivar, without retaining it. */
Ivar object_setInstanceVariable(id object, const char* name, void* value);
IMP class_getMethodImplementation(Class cls, SEL sel);
BOOL class_addMethod(Class cls, SEL sel, IMP imp, const char* types);
BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types);
BOOL class_addProtocol(Class cls, Protocol* protocol);
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
void objc_registerClassPair(Class cls);
Protocol* objc_getProtocol(const char* name);
Protocol* objc_allocateProtocol(const char* name);
void objc_registerProtocol(Protocol* protocol);
/* A method implementation that calls `block` with the receiver and the message's arguments. */
IMP imp_implementationWithBlock(id block);

#ifdef __cplusplus
}
#endif
