// Where a Mach-O image keeps its class registration blocks: a section of its own in __DATA, whose
// bounds the linker gives each image.
#pragma once

namespace objc::runtime {

using RegistrationBlock = void (*)();

} // namespace objc::runtime

#define GLINTMERE_REGISTRATION_ENTRY [[gnu::section("__DATA,__glintmere_cls"), gnu::used]] static

extern "C" {
extern objc::runtime::RegistrationBlock
    glintmereRegistrationsStart[] __asm("section$start$__DATA$__glintmere_cls")
        __attribute__((visibility("hidden")));
extern objc::runtime::RegistrationBlock
    glintmereRegistrationsEnd[] __asm("section$end$__DATA$__glintmere_cls")
        __attribute__((visibility("hidden")));
}

namespace objc::runtime {

inline RegistrationBlock* imageRegistrationsBegin() { return glintmereRegistrationsStart; }
inline RegistrationBlock* imageRegistrationsEnd() { return glintmereRegistrationsEnd; }

} // namespace objc::runtime
