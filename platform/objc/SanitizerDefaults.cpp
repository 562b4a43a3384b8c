// Sanitizer settings linked into every program of the project.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

namespace {

// The runtime keeps its class and method tables where LeakSanitizer cannot trace them. Whatever
// it allocates while the libraries load (its own classes, and ours) lives as long as the process,
// so it is not checked: a report of it would only be suppressed, and matching a suppression
// starts the symbolizer at every exit. Initializers of the program's libraries run between these.
void stopCheckingWhileLibrariesLoad() { __lsan_disable(); }
__attribute__((section(".preinit_array"),
               used)) void (*const stopChecking)() = &stopCheckingWhileLibrariesLoad;
__attribute__((constructor(101))) void checkOnceLibrariesAreLoaded() { __lsan_enable(); }

} // namespace
#endif

// Anything of the runtime's that still escapes is not a leak of ours. Pango keeps the font patterns
// it looks up in caches that live as long as its font map (one per process), in a form LeakSanitizer
// does not trace; freeing the font map frees them all.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libobjc.so\nleak:libfontconfig.so\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}
