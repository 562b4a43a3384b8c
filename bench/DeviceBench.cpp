// Measurements that need a device, run inside one: what the title hook adds to making an action,
// how soon a running browser follows a flip, the wallpaper hand-off, a store, opening the root
// pane, and what a notification observer costs a process at exit. Each is measured against its
// floor or peer in the same run, interleaved.
//
//   glintmere-device-bench micro [BENCHMARK FLAGS]   Google Benchmark: the title hook
//   glintmere-device-bench flip N | handoff small|screen N | store N | pane N | exit N
//       each prints lines "FIGURE OURS FLOOR" (nanoseconds; medians, or 99th percentiles for flip p99);
//       flip needs glintmere-flip-floor beside this program
#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/Foundation.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "PaneFloor.h"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "UIKit/UIImage.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"
#include "WebKit/WKElementAction.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Dyld.hpp"
#include "dyld/MachOImage.hpp"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using objc::operator""_sel;

constexpr const char* kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";
constexpr const char* kBundle = "/Library/PreferenceBundles/Glintmere.bundle";
constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
constexpr const char* kSettingsChanged = "com.brightmoth.glintmere/settingschanged";
constexpr const char* kLock = "/var/mobile/Library/SpringBoard/LockBackground.png";
constexpr const char* kHome = "/var/mobile/Library/SpringBoard/HomeBackground.png";

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }

std::uint64_t quantile(std::vector<std::uint64_t> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<std::size_t>(q * static_cast<double>(values.size())))];
}

void report(const char* figure, std::uint64_t ours, std::uint64_t floor) {
    std::printf("%s %llu %llu\n", figure, static_cast<unsigned long long>(ours),
                static_cast<unsigned long long>(floor));
    std::fflush(stdout);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "glintmere-device-bench: %s\n", what.c_str());
    std::exit(1);
}

// Through the device's loader, which runs the phone's build on the emulated processor on a device
// that holds it, and dlopens the native one elsewhere.
void loadLibrary() {
    if (const char* error = dyld_open(kLibrary)) {
        fail(std::string("cannot load the hook library: ") + error);
    }
}

NS::String* ns(const char* text) { return NS::String::string(text); }

// --- title hook ---------------------------------------------------------------------------------

// The initialiser as the browser has it, and as the hook library replaces it: the browser sends the
// message either way, so each is measured as a send, with its implementation in the class.
Method titleInit = nullptr;
IMP unhookedInit = nullptr;
IMP hookedInit = nullptr;

void prepareTitleHook() {
    [[maybe_unused]] static const bool done = [] {
        // From the class's own method list: the runtime may not have set up its dispatch yet.
        titleInit = class_getInstanceMethod(WK::ElementAction::runtimeClass(),
                                            WK::ElementAction::initWithTitle_.selector());
        unhookedInit = method_getImplementation(titleInit);
        loadLibrary();
        hookedInit = method_getImplementation(titleInit);
        if (hookedInit == unhookedInit) {
            fail("the hook library replaced no initialiser");
        }
        return true;
    }();
}

void MakeCopyAction(benchmark::State& state, bool hooked) {
    prepareTitleHook();
    method_setImplementation(titleInit, hooked ? hookedInit : unhookedInit);
    NS::AutoreleaseScope pool;
    NS::String* title = ns("Copy");
    for (auto _ : state) {
        WK::ElementAction* action =
            WK::ElementAction::alloc()->initWithTitle(title, nullptr, WK::ElementActionTypeCopy);
        benchmark::DoNotOptimize(action);
        action->release();
    }
    method_setImplementation(titleInit, hookedInit);
}

BENCHMARK_CAPTURE(MakeCopyAction, Unhooked, false)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(MakeCopyAction, Hooked, true)->MeasureProcessCPUTime();

// --- crossings between the host and the emulated processor ------------------------------------------

// The loader's test library, built for the phone: a call into it is one call from host to guest, and
// its probeImportCalls(n) makes n calls from guest to host, each to `tolower`.
const dyld::MachOImage& probeLibrary() {
    static const dyld::MachOImage* const image = [] {
        std::string error;
        const dyld::MachOImage* loaded = dyld::load("/Developer/Library/Probe.dylib", error);
        if (loaded == nullptr) {
            fail("cannot load the probe library: " + error);
        }
        return loaded;
    }();
    return *image;
}

using Narrow = int (*)(signed char, unsigned short, short, bool);
using ImportCalls = long (*)(long);

template <class F> F probeFunction(const char* name) {
    const auto address = probeLibrary().symbol(name);
    if (!address) {
        fail(std::string("the probe library has no ") + name);
    }
    return dyld::hostFunction<F>(*address);
}

void GuestCall(benchmark::State& state) {
    const Narrow narrow = probeFunction<Narrow>("_probeNarrow");
    for (auto _ : state) {
        benchmark::DoNotOptimize(narrow(-5, 65000, 3, true));
    }
}

// At 0 and at 100 calls: the difference, a hundredth of it, is one call from guest to host.
void ImportCall(benchmark::State& state) {
    const ImportCalls calls = probeFunction<ImportCalls>("_probeImportCalls");
    for (auto _ : state) {
        benchmark::DoNotOptimize(calls(state.range(0)));
    }
}

// The same host function called natively through a pointer the compiler cannot see through.
void NativeCall(benchmark::State& state) {
    int (*volatile function)(int) = &tolower;
    int c = 'A';
    for (auto _ : state) {
        benchmark::DoNotOptimize(c = function(c));
    }
}

BENCHMARK(GuestCall)->MeasureProcessCPUTime();
BENCHMARK(ImportCall)->Arg(0)->Arg(100)->MeasureProcessCPUTime();
BENCHMARK(NativeCall)->MeasureProcessCPUTime();

// --- flip ---------------------------------------------------------------------------------------

// The browser's side: the hook library loaded, and after its reload on each notification the time
// told on standard output, with the title of the next "Copy" action. The time is taken as this
// callback, the next of the same delivery, begins: the first moment the browser can see the flag
// that the reload wrote, as the floor's time is taken when its byte is written; the action that
// tells the flag is made after. "wake" instead waits for one datagram on descriptor 3, the bare
// wake-up between two processes.
long flipsSeen = 0;
void afterReload(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
    const std::uint64_t at = now();
    NS::AutoreleaseScope pool;
    auto action = objc::adopt(
        WK::ElementAction::alloc()->initWithTitle(ns("Copy"), nullptr, WK::ElementActionTypeCopy));
    NS::String* title = action->title();
    const bool relabelled = title != nullptr && title->str() == "Set As Wallpaper";
    std::printf("%llu %d\n", static_cast<unsigned long long>(at), relabelled ? 1 : 0);
    std::fflush(stdout);
    ++flipsSeen;
}

int browserRole() {
    loadLibrary();
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &afterReload,
                                    ns(kSettingsChanged), nullptr, CFNotificationSuspensionBehaviorCoalesce);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[32];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        if (std::strncmp(line, "wake", 4) == 0) {
            char byte;
            (void)recv(3, &byte, 1, 0);
            std::printf("%llu 0\n", static_cast<unsigned long long>(now()));
            std::fflush(stdout);
        } else {
            // One pass at a time: the loop returns as soon as the flip has been told, before the
            // next line asks for anything.
            const long before = flipsSeen;
            while (flipsSeen == before) {
                NS::AutoreleaseScope pool;
                NS::RunLoop::mainRunLoop()->runModeBeforeDate(NS::DefaultRunLoopMode(),
                                                              NS::Date::distantFuture());
            }
        }
    }
    return 0;
}

struct Child {
    pid_t pid = 0;
    FILE* in = nullptr;  // its standard input
    FILE* out = nullptr; // its standard output
};

// `program` with `arguments`, its standard input and output piped to us, and `extraFd` as its
// descriptor 3 when given.
Child spawn(const char* program, std::vector<std::string> arguments, int extraFd = -1) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        fail("cannot make pipes");
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&files, fromChild[1], 1);
    if (extraFd >= 0) {
        posix_spawn_file_actions_adddup2(&files, extraFd, 3);
    }
    std::string name = program;
    std::vector<char*> argv{name.data()};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, program, &files, nullptr, argv.data(), environ) != 0) {
        fail(std::string("cannot start ") + program);
    }
    posix_spawn_file_actions_destroy(&files);
    close(toChild[0]);
    close(fromChild[1]);
    child.in = fdopen(toChild[1], "w");
    child.out = fdopen(fromChild[0], "r");
    return child;
}

Child spawnSelf(const char* role, int extraFd = -1) { return spawn("/proc/self/exe", {role}, extraFd); }

// The end of a child that reads commands: its input closed, then waited for.
void finish(Child& child) {
    std::fclose(child.in);
    std::fclose(child.out);
    waitpid(child.pid, nullptr, 0);
}

std::uint64_t readTime(Child& child, int* flag = nullptr) {
    unsigned long long at = 0;
    int f = 0;
    if (std::fscanf(child.out, "%llu %d", &at, &f) != 2) {
        fail("the browser process stopped answering");
    }
    if (flag != nullptr) {
        *flag = f;
    }
    return at;
}

void writePreferences(bool enabled) {
    NS::AutoreleaseScope pool;
    auto values = NS::Dictionary::dictionaryWithObjects({NS::Number::number(enabled)}, {ns("isEnabled")});
    if (!values->writeToFile(ns(kPreferences), true)) {
        fail("cannot write the preferences");
    }
}

void settle() { usleep(3000); }

// The same work as the hook library's reload and nothing more, in plain C, beside this program.
std::string floorProgram() {
    return (fs::read_symlink("/proc/self/exe").parent_path() / "glintmere-flip-floor").string();
}

// Its own name: a post of the settings' name wakes only the browser, and one of this only the floor.
constexpr const char* kFloorName = "com.brightmoth.glintmere.flip-floor";

void post(const char* name) {
    NS::AutoreleaseScope pool;
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), ns(name), nullptr,
                                         nullptr, true);
}

// A flip against two floors, each sample taken in a new random order: the same work done in C, woken
// by a post as the browser is, and a bare datagram wake-up between two processes. Before a flip
// and before the C floor the preferences are written anew, so both read a file just replaced.
int flip(int count) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
        fail("cannot make a socket pair");
    }
    Child browser = spawnSelf("browser", pair[1]);
    Child floor = spawn(floorProgram().c_str(), {kFloorName});
    char ready[16] = {};
    if (std::fgets(ready, sizeof ready, browser.out) == nullptr) {
        fail("the browser process did not start");
    }
    if (std::fgets(ready, sizeof ready, floor.out) == nullptr) {
        fail("the floor process did not start");
    }
    std::vector<std::uint64_t> flips, floors, wakeUps;
    int wrong = 0;
    std::mt19937 order(42);
    enum Step { Flip, Floor, WakeUp };
    for (int i = 0; i < count; ++i) {
        const bool enabled = i % 2 == 1;
        Step steps[] = {Flip, Floor, WakeUp};
        std::shuffle(std::begin(steps), std::end(steps), order);
        for (const Step step : steps) {
            Child& child = step == Floor ? floor : browser;
            std::fputs(step == WakeUp ? "wake\n" : "flip\n", child.in);
            std::fflush(child.in);
            if (step != WakeUp) {
                writePreferences(enabled);
            }
            settle();
            const std::uint64_t start = now();
            if (step == WakeUp) {
                (void)send(pair[0], "x", 1, 0);
            } else {
                post(step == Flip ? kSettingsChanged : kFloorName);
            }
            int flag = 0;
            const std::uint64_t took = readTime(child, &flag) - start;
            (step == Flip ? flips : step == Floor ? floors : wakeUps).push_back(took);
            wrong += step != WakeUp && flag != (enabled ? 1 : 0);
        }
    }
    finish(browser);
    finish(floor);
    if (wrong != 0) {
        std::fprintf(stderr, "glintmere-device-bench: %d flips not followed\n", wrong);
    }
    report("flip_p50", quantile(flips, 0.5), quantile(floors, 0.5));
    report("flip_p99", quantile(flips, 0.99), quantile(floors, 0.99));
    report("flip_floor", quantile(floors, 0.5), quantile(wakeUps, 0.5));
    return wrong == 0 ? 0 : 1;
}

// --- hand-off -----------------------------------------------------------------------------------

// A picture with a photograph's variety, so that encoding it costs what encoding a photo costs.
void writePicture(const char* path, int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    std::mt19937 noise(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t r = (x * 255 / width + noise() % 24) & 0xff;
            const std::uint32_t g = (y * 255 / height + noise() % 24) & 0xff;
            const std::uint32_t b = ((x + y) % 256 + noise() % 24) & 0xff;
            data[y * stride + x] = 0xff000000u | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(s);
    if (cairo_surface_write_to_png(s, path) != CAIRO_STATUS_SUCCESS) {
        fail(std::string("cannot write ") + path);
    }
    cairo_surface_destroy(s);
}

int handOff(const std::string& size, int count) {
    const bool screen = size == "screen";
    const char* picture = screen ? "/tmp/bench-screen.png" : "/tmp/bench-small.png";
    writePicture(picture, screen ? 1170 : 16, screen ? 2532 : 10);
    writePreferences(true);
    loadLibrary();
    std::vector<std::uint64_t> times;
    for (int i = 0; i < count; ++i) {
        NS::AutoreleaseScope pool;
        fs::remove(kLock);
        fs::remove(kHome);
        UI::Image* image = UI::Image::imageWithContentsOfFile(ns(picture));
        if (image == nullptr) {
            fail("cannot read the picture");
        }
        auto element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                       ->initWithImage(ns(picture), image));
        auto assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
        NS::Array* actions = assistant->defaultActionsForImageSheet(element.get());
        WK::ElementAction* chosen = nullptr;
        for (unsigned long a = 0; a < objc::send<unsigned long>(actions, "count"_sel); ++a) {
            auto* action = objc::send<WK::ElementAction*>(actions, "objectAtIndex:"_sel, a);
            if (action->title() != nullptr && action->title()->str() == "Set As Wallpaper") {
                chosen = action;
            }
        }
        if (chosen == nullptr) {
            fail("the sheet has no \"Set As Wallpaper\"");
        }
        // As the browser taps it: by the run method its release has.
        if (chosen->respondsToSelector(WK::ElementAction::runActionWithElementInfoForAssistant_.selector())) {
            chosen->runActionWithElementInfoForAssistant(element.get(), assistant.get());
        } else {
            chosen->runActionWithElementInfo(element.get(), nullptr);
        }
        const std::uint64_t tapped = now();
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(10.0);
        const std::uint64_t placed = now();
        if (!fs::exists(kLock) || !fs::exists(kHome)) {
            fail("the wallpaper was not saved");
        }
        times.push_back(placed - tapped);
    }
    report(screen ? "handoff_screen" : "handoff_small", quantile(times, 0.5), 200000000);
    return 0;
}

// --- store --------------------------------------------------------------------------------------

// What the store must do at least: write a file of the same size beside the preferences, flush it,
// rename it over the old one and flush the folder.
void plainAtomicWrite(const std::string& bytes) {
    const std::string folder = fs::path(kPreferences).parent_path().string();
    const std::string staging = folder + "/.bench-store";
    const std::string target = folder + "/bench-store.plist";
    const int fd = open(staging.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        fsync(fd) != 0) {
        fail("cannot write the floor's file");
    }
    close(fd);
    rename(staging.c_str(), target.c_str());
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    fsync(dir);
    close(dir);
}

// A new (owned) pane of the settings bundle's class `className`.
PS::ListController* loadPane(const char* className) {
    NS::Bundle* bundle = NS::Bundle::bundleWithPath(ns(kBundle));
    if (bundle == nullptr || !bundle->load()) {
        fail("cannot load the settings bundle");
    }
    Class cls = objc_lookUpClass(className);
    if (cls == Nil) {
        fail(std::string("no class ") + className);
    }
    PS::ListController* pane = PS::ListController::make_.send(cls);
    // As the Settings app hands it over: the pane finds its specifier files in its bundle.
    pane->setBundle(bundle);
    return pane;
}

int store(int count) {
    auto pane = objc::adopt(loadPane("BMGlintmereListController"));
    objc::Ref<PS::Specifier> control = objc::retain(PS::Specifier::preferenceSpecifier(
        ns("isEnabled"), objc::toId(pane.get()), "setPreferenceValue:specifier:"_sel,
        "readPreferenceValue:"_sel, Nil, PS::SwitchCell, 0));
    control->setProperty(ns("isEnabled"), ns("key"));
    control->setProperty(ns(kSettingsChanged), ns("PostNotification"));
    std::vector<std::uint64_t> stores, floors;
    std::mt19937 order(42);
    for (int i = 0; i < count; ++i) {
        NS::AutoreleaseScope pool;
        const bool storeFirst = order() % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            if ((step == 0) == storeFirst) {
                const std::uint64_t start = now();
                pane->setPreferenceValue(NS::Number::number(i % 2 == 0), control.get());
                stores.push_back(now() - start);
            } else {
                std::string bytes;
                {
                    std::FILE* f = std::fopen(kPreferences, "rb");
                    char chunk[4096];
                    std::size_t n;
                    while (f != nullptr && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
                        bytes.append(chunk, n);
                    }
                    if (f != nullptr) {
                        std::fclose(f);
                    }
                }
                const std::uint64_t start = now();
                plainAtomicWrite(bytes.empty() ? std::string(200, 'x') : bytes);
                floors.push_back(now() - start);
            }
        }
    }
    report("store", quantile(stores, 0.5), quantile(floors, 0.5));
    return 0;
}

// --- pane open ----------------------------------------------------------------------------------

int paneOpen(int count) {
    {
        auto first = objc::adopt(loadPane("GlintmereListController"));
        if (first->specifiers() == nullptr || first->specifiers()->count() == 0) {
            fail("the root pane has no rows");
        }
    }
    const std::string specifierFile = std::string(kBundle) + "/Glintmere.plist";
    // The floor's table, parsed once as the bundle keeps its own.
    plist_t table = paneFloorTable((std::string(kBundle) + "/en.lproj/Localizable.strings").c_str());
    if (table == nullptr || paneFloorOpen(specifierFile.c_str(), table) <= 0) {
        fail("the floor cannot read the pane's specifier file or string table");
    }
    std::vector<std::uint64_t> opens, floors;
    for (int i = 0; i < count; ++i) {
        {
            NS::AutoreleaseScope pool;
            const std::uint64_t start = now();
            auto pane = objc::adopt(loadPane("GlintmereListController"));
            NS::Array* rows = pane->specifiers();
            benchmark::DoNotOptimize(rows);
            opens.push_back(now() - start);
        }
        {
            // The floor: the same file read, parsed and localized in plain C.
            const std::uint64_t start = now();
            benchmark::DoNotOptimize(paneFloorOpen(specifierFile.c_str(), table));
            floors.push_back(now() - start);
        }
    }
    plist_free(table);
    report("pane_open", quantile(opens, 0.5), quantile(floors, 0.5));
    return 0;
}

// --- observer exit ------------------------------------------------------------------------------

int exitChild(bool observing) {
    if (observing) {
        CFNotificationCenterAddObserver(
            CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
            [](CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {},
            ns(kSettingsChanged), nullptr, CFNotificationSuspensionBehaviorCoalesce);
    }
    std::fputs("r", stdout);
    std::fflush(stdout);
    return 0;
}

int observerExit(int count) {
    std::vector<std::uint64_t> observing, plain;
    for (int i = 0; i < count; ++i) {
        for (const bool observer : {i % 2 == 0, i % 2 != 0}) {
            Child child = spawnSelf(observer ? "exit-observing" : "exit-plain");
            if (std::fgetc(child.out) != 'r') {
                fail("the exiting process did not start");
            }
            const std::uint64_t start = now();
            waitpid(child.pid, nullptr, 0);
            (observer ? observing : plain).push_back(now() - start);
            std::fclose(child.in);
            std::fclose(child.out);
        }
    }
    report("observer_exit", quantile(observing, 0.5), quantile(plain, 0.5));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    NS::AutoreleaseScope pool;
    const std::string role = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[argc - 1]) : 0;
    if (role == "micro") {
        argv[1] = argv[0];
        --argc;
        ++argv;
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    if (role == "browser") {
        return browserRole();
    }
    if (role == "exit-observing" || role == "exit-plain") {
        return exitChild(role == "exit-observing");
    }
    if (count <= 0) {
        std::fprintf(stderr,
                     "usage: glintmere-device-bench micro [FLAGS] | flip N | handoff small|screen N | "
                     "store N | pane N | exit N\n");
        return 2;
    }
    if (role == "flip") {
        return flip(count);
    }
    if (role == "handoff" && argc == 4) {
        return handOff(argv[2], count);
    }
    if (role == "store") {
        return store(count);
    }
    if (role == "pane") {
        return paneOpen(count);
    }
    if (role == "exit") {
        return observerExit(count);
    }
    std::fprintf(stderr, "glintmere-device-bench: unknown measurement %s\n", role.c_str());
    return 2;
}
