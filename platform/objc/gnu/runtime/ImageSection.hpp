// Where an ELF library keeps its class registration blocks: a section of its own, whose bounds the
// linker gives each library.
#pragma once

namespace objc::runtime {

using RegistrationBlock = void (*)();

} // namespace objc::runtime

#define GLINTMERE_REGISTRATION_ENTRY [[gnu::section("glintmere_classes"), gnu::used]] static

extern "C" {
extern objc::runtime::RegistrationBlock __start_glintmere_classes[] __attribute__((visibility("hidden")));
extern objc::runtime::RegistrationBlock __stop_glintmere_classes[] __attribute__((visibility("hidden")));
}

namespace objc::runtime {

inline RegistrationBlock* imageRegistrationsBegin() { return __start_glintmere_classes; }
inline RegistrationBlock* imageRegistrationsEnd() { return __stop_glintmere_classes; }

} // namespace objc::runtime
