// Sanitizer settings linked into every program of the project.

// The GNU runtime keeps class and selector names in tables that LeakSanitizer cannot trace;
// they live as long as the process and are not leaks of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libobjc.so\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}
