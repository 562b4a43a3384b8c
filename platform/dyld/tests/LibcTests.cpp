// The C library as arm64 guest code sees it: Darwin's flags, errno, struct stat, wait statuses and
// siginfo_t, formatted output and the mutex, from a library built for the phone that calls them as the
// settings bundle does.
#include "GuestLibrary.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/Dyld.hpp"
#include "dyld/libSystem/FormattedOutput.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Darwin's values, as the phone's headers give them.
constexpr int kO_RDONLY = 0, kO_WRONLY = 1, kO_NOFOLLOW = 0x100, kO_CREAT = 0x200, kO_EXCL = 0x800;
constexpr int kEFAULT = 14, kEEXIST = 17, kELOOP = 62, kENOENT = 2, kEINVAL = 22, kEAGAIN = 35;
constexpr int kSIGCHLD = 20, kSIGUSR1 = 30;
constexpr int kCLD_EXITED = 1, kCLD_KILLED = 2;

const dyld::MachOImage& library() { return dyld::testing::loadedLibrary("/Developer/Library/Libc.dylib"); }

template <class F> F guest(const char* name) { return dyld::testing::function<F>(library(), name); }

class LibcFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/libc-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()); }
    std::string at(const char* name) const { return folder + "/" + name; }
    std::string folder;
};

TEST_F(LibcFiles, OpenTranslatesFlagsAndErrnoReadsDarwinsNumbers) {
    auto openError = guest<int (*)(const char*, int)>("_libcOpenError");
    const std::string file = at("file"), link = at("link");
    ASSERT_EQ(openError(file.c_str(), kO_WRONLY | kO_CREAT | kO_EXCL), 0);
    EXPECT_EQ(openError(file.c_str(), kO_WRONLY | kO_CREAT | kO_EXCL), kEEXIST);
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
    EXPECT_EQ(openError(link.c_str(), kO_RDONLY | kO_NOFOLLOW), kELOOP);
    EXPECT_EQ(openError(link.c_str(), kO_RDONLY), 0);
    EXPECT_EQ(openError(at("missing").c_str(), kO_RDONLY), kENOENT);
    // O_SHLOCK has no host counterpart: refused rather than dropped.
    EXPECT_EQ(openError(file.c_str(), kO_RDONLY | 0x10), kEINVAL);
}

TEST_F(LibcFiles, StatFillsDarwinsLayout) {
    const std::string file = at("made"), link = at("link");
    dyld::darwin::Stat about{};
    ASSERT_EQ(guest<int (*)(const char*, const char*, void*)>("_libcCreate")(file.c_str(), "hello", &about),
              0);
    struct stat host {};
    ASSERT_EQ(::stat(file.c_str(), &host), 0);
    EXPECT_EQ(about.st_mode, S_IFREG | 0640); // the mode came through open's variadic argument
    EXPECT_EQ(host.st_mode, S_IFREG | 0640);
    EXPECT_EQ(about.st_size, 5);
    EXPECT_EQ(about.st_nlink, 1);
    EXPECT_EQ(about.st_ino, host.st_ino);
    EXPECT_EQ(about.st_uid, host.st_uid);
    EXPECT_EQ(about.st_mtimespec.tv_sec, host.st_mtim.tv_sec);
    EXPECT_EQ(about.st_mtimespec.tv_nsec, host.st_mtim.tv_nsec);
    EXPECT_EQ(about.st_blksize, host.st_blksize);

    auto lstatOf = guest<int (*)(const char*, void*)>("_libcLstat");
    ASSERT_EQ(::symlink("made", link.c_str()), 0);
    ASSERT_EQ(::link(file.c_str(), at("second").c_str()), 0);
    dyld::darwin::Stat linked{};
    ASSERT_EQ(lstatOf(link.c_str(), &linked), 0);
    EXPECT_EQ(linked.st_mode & S_IFMT, S_IFLNK);
    EXPECT_EQ(linked.st_size, 4);
    ASSERT_EQ(lstatOf(file.c_str(), &linked), 0);
    EXPECT_EQ(linked.st_nlink, 2);
    EXPECT_EQ(lstatOf(at("missing").c_str(), &linked), kENOENT);
    // A record the host cannot write is EFAULT, as the kernel reports it, not a crash.
    EXPECT_EQ(lstatOf(file.c_str(), reinterpret_cast<void*>(16)), kEFAULT);
}

TEST_F(LibcFiles, LinkRenameModeTruncateAndLocks) {
    const std::string file = at("file");
    { std::ofstream(file) << "contents"; }
    EXPECT_EQ(guest<int (*)(const char*, const char*)>("_libcFiles")(file.c_str(), at("other").c_str()),
              2 * 10000 + 0604);
    // A second lock on the file: EWOULDBLOCK, which is Darwin's EAGAIN.
    EXPECT_EQ(guest<int (*)(const char*)>("_libcLockFile")(at("lock").c_str()), kEAGAIN);
}

TEST(LibcDescriptors, APipeIsPolledAndReadAsTheBundleReadsIt) {
    int results[7] = {-9, -9, -9, -9, -9, -9, -9};
    char read[8] = {};
    guest<void (*)(int*, char*)>("_libcPipe")(results, read);
    EXPECT_EQ(results[0], 0); // nothing to read yet
    EXPECT_EQ(results[1], 1);
    EXPECT_EQ(results[2], 0x1); // POLLIN
    EXPECT_EQ(results[3], 4);
    EXPECT_STREQ(read, "ping");
    EXPECT_EQ(results[4], 1); // FD_CLOEXEC
    EXPECT_EQ(results[5], 1); // O_NONBLOCK, read back in Darwin's value
    EXPECT_EQ(results[6], kEAGAIN);
}

TEST(LibcProcesses, ASpawnedChildsExitIsReadThroughWaitidAndWaitpid) {
    int results[6] = {-9, -9, -9, -9, -9, 0};
    guest<void (*)(const char*, const char*, const char*, int, int*)>("_libcSpawn")("/usr/bin/sh", "-c",
                                                                                    "exit 3", 0, results);
    EXPECT_EQ(results[5], 0);
    EXPECT_EQ(results[0], 3 << 8);
    EXPECT_EQ(results[1], kSIGCHLD);
    EXPECT_EQ(results[2], kCLD_EXITED);
    EXPECT_EQ(results[3], 3);
    EXPECT_EQ(results[4], 1);
}

TEST(LibcProcesses, ASignalCrossesInDarwinsNumbers) {
    // Killed through its group (which POSIX_SPAWN_SETPGROUP made) with Darwin's SIGUSR1, the host's 10.
    int results[6] = {-9, -9, -9, -9, -9, 0};
    guest<void (*)(const char*, const char*, const char*, int, int*)>("_libcSpawn")(
        "/usr/bin/sleep", "30", nullptr, kSIGUSR1, results);
    EXPECT_EQ(results[5], 0);
    EXPECT_EQ(results[0], kSIGUSR1); // WTERMSIG, no exit status
    EXPECT_EQ(results[1], kSIGCHLD);
    EXPECT_EQ(results[2], kCLD_KILLED);
    EXPECT_EQ(results[3], kSIGUSR1);
    EXPECT_EQ(results[4], 1);
}

TEST(LibcProcesses, OnlyObjectsTheCallsMadeAreTaken) {
    EXPECT_EQ(guest<int (*)()>("_libcDestroyForeignActions")(), kEINVAL);
}

TEST(LibcMutex, AStaticMutexIsMadeOnFirstUseAndLetsOtherThreadsWait) {
    EXPECT_EQ(guest<long (*)()>("_libcMutexSignature")(), 0x32AAABA7);
    auto lock = guest<int (*)()>("_libcLockMutex");
    auto unlock = guest<int (*)()>("_libcUnlockMutex");
    auto countLocked = guest<int (*)()>("_libcCountLocked");
    ASSERT_EQ(lock(), 0);
    EXPECT_NE(guest<long (*)()>("_libcMutexSignature")(), 0x32AAABA7);
    // Another thread's guest code waits for the lock; while it does, this thread's guest code must run
    // to let it go. The host mutex inside the guest's reads as contended (2) once a waiter sleeps on it.
    int counted = -1;
    std::thread other([&] { counted = countLocked(); });
    const auto* inside =
        reinterpret_cast<const pthread_mutex_t*>(library().symbol("_libcLock").value_or(0) + 8);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (__atomic_load_n(&inside->__data.__lock, __ATOMIC_ACQUIRE) != 2 &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    EXPECT_EQ(inside->__data.__lock, 2);
    EXPECT_EQ(unlock(), 0);
    other.join();
    EXPECT_EQ(counted, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                countLocked();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(*reinterpret_cast<long*>(library().symbol("_libcCount").value_or(0)), 151);
    EXPECT_EQ(guest<int (*)()>("_libcLockGarbage")(), kEINVAL);
}

TEST(LibcFormat, SnprintfReadsEachArgumentFromItsSlot) {
    auto format = guest<int (*)(char*, unsigned long)>("_libcFormat");
    const std::string expected = "text -42 1099511627776 ff  3.14 z %";
    char buffer[64];
    EXPECT_EQ(format(buffer, sizeof buffer), static_cast<int>(expected.size()));
    EXPECT_EQ(buffer, expected);
    char small[8];
    EXPECT_EQ(format(small, sizeof small), static_cast<int>(expected.size()));
    EXPECT_STREQ(small, "text -4");
    EXPECT_EQ(format(nullptr, 0), static_cast<int>(expected.size()));

    char more[160];
    const std::string all =
        "[   42|ab  |xy|44|4464|8589934592|010|+1.235e+04|0.0001|0x0|0xbeef|(null)|-003.142|ABCDEF|"
        "0x1p+0]";
    EXPECT_EQ(
        guest<int (*)(char*, unsigned long, int, int)>("_libcFormatMore")(more, sizeof more, 300, 70000),
        static_cast<int>(all.size()));
    EXPECT_EQ(more, all);
}

TEST(LibcFormat, FprintfWritesToTheHostsStandardError) {
    ::testing::internal::CaptureStderr();
    const int written = guest<int (*)(const char*, int)>("_libcPrintError")("seen", 7);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "libc: seen 7\n");
    EXPECT_EQ(written, 13);
}

TEST(LibcFormat, AFormatItCannotFollowIsAGuestFault) {
    EXPECT_DEATH(guest<int (*)(const char*)>("_libcFormatWith")("%d then %n"),
                 "snprintf: the format \"%d then %n\" has %n, which would write through a pointer; it is "
                 "refused at offset 8");
    EXPECT_DEATH(guest<int (*)(const char*)>("_libcFormatWith")("%s"),
                 "snprintf: the format \"%s\" has a %s whose string cannot be read at offset 0");
    EXPECT_DEATH(guest<int (*)(char*, unsigned long)>("_libcFormat")(reinterpret_cast<char*>(16), 64),
                 "snprintf: guest code passed a buffer it cannot write");
    auto refusal = [](const char* format) {
        std::string error;
        std::string text;
        const bool done = dyld::formatGuest(
            format, [] { return std::uint64_t{7}; }, [&](std::string_view piece) { text.append(piece); },
            error);
        return done ? "formatted " + text : error;
    };
    EXPECT_EQ(refusal("%1$d"),
              "the format \"%1$d\" names an argument by position, which this C library does not "
              "take at offset 0");
    EXPECT_EQ(refusal("ab%k"),
              "the format \"ab%k\" has a conversion %k that this C library does not know at offset 2");
    EXPECT_EQ(refusal("%99999999d"),
              "the format \"%99999999d\" asks for a width or precision over 65536 at offset 0");
    EXPECT_EQ(refusal("%5"), "the format \"%5\" ends inside a conversion at offset 0");
    EXPECT_EQ(refusal("%ls"), "the format \"%ls\" has a wide or sized %s at offset 0");
    EXPECT_EQ(refusal("%hf"), "the format \"%hf\" has a length that does not apply to %f at offset 0");
    EXPECT_EQ(refusal("%-*d|"), "formatted 7      |");
}

TEST(LibcFormat, OneCallWritesAtMostSixteenMegabytes) {
    // Under the bound, snprintf still gives the whole length it would have written.
    const std::string five(5u << 20, 'x');
    EXPECT_EQ(guest<int (*)(const char*)>("_libcFormatTwice")(five.c_str()), 10 << 20);
    const std::string nine(9u << 20, 'x');
    EXPECT_DEATH(guest<int (*)(const char*)>("_libcPrintTwice")(nine.c_str()),
                 "dyld: fprintf: the format \"%s%s\" writes more than 16777216 bytes at offset 2");
    EXPECT_DEATH(guest<int (*)(const char*)>("_libcFormatTwice")(nine.c_str()),
                 "dyld: snprintf: the format \"%s%s\" writes more than 16777216 bytes at offset 2");
}

TEST(LibcMemory, PointersItCannotUseStopWithTheImportsMessage) {
    auto length = guest<unsigned long (*)(const char*)>("_libcLength");
    auto copy = guest<void* (*)(void*, const void*, unsigned long)>("_libcCopy");
    // A string that ends just before memory that cannot be read is read to its end; one that runs
    // into it is not.
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    std::memset(pages, 'a', page);
    pages[page - 1] = '\0';
    EXPECT_EQ(length(pages), static_cast<unsigned long>(page - 1));
    pages[page - 1] = 'a';
    EXPECT_DEATH(length(pages), "dyld: strlen: guest code passed a string it cannot read");
    EXPECT_DEATH(length(reinterpret_cast<const char*>(16)),
                 "dyld: strlen: guest code passed a string it cannot read");

    char buffer[16] = {};
    EXPECT_EQ(copy(buffer, "copied", 7), buffer);
    EXPECT_STREQ(buffer, "copied");
    // Ranges that overlap copy as on a device, where memcpy is memmove.
    EXPECT_EQ(copy(buffer + 1, buffer, 6), buffer + 1);
    EXPECT_STREQ(buffer, "ccopied");
    EXPECT_DEATH(copy(buffer, pages + page - 4, 8),
                 "dyld: memcpy: guest code passed a source it cannot read");
    static const char constant[8] = "fixed";
    EXPECT_DEATH(copy(const_cast<char*>(constant), buffer, 4),
                 "dyld: memcpy: guest code passed a destination it cannot write");
    munmap(pages, 2 * page);

    EXPECT_DEATH(guest<void (*)(long*)>("_libcOnceAt")(reinterpret_cast<long*>(16)),
                 "dyld: dispatch_once_f: guest code passed a predicate it cannot read");
}

TEST(LibcMemory, FreeTakesOnlyWhatMallocGaveAndMallocKeepsABudget) {
    auto allocate = guest<void* (*)(unsigned long)>("_libcAllocate");
    auto release = guest<void (*)(void*)>("_libcFree");
    char onStack[16];
    EXPECT_DEATH(release(onStack),
                 "dyld: free: guest code let go of 0x[0-9a-f]+, which is not memory it was given");
    void* given = allocate(32);
    ASSERT_NE(given, nullptr);
    const std::size_t inUse = dyld::darwin::guestHeapInUse();
    release(given);
    EXPECT_EQ(dyld::darwin::guestHeapInUse(), inUse - 32);
    EXPECT_DEATH(
        release(given),
        "dyld: free: guest code let go of 0x[0-9a-f]+, which is not memory it was given or was let go "
        "of already");
    release(nullptr);

    // 1 GB live at most: two of 600 MB are refused, one after another are not. (Never written, they
    // take no memory.)
    constexpr unsigned long k600MB = 600ul << 20;
    void* first = allocate(k600MB);
    ASSERT_NE(first, nullptr);
    EXPECT_DEATH(allocate(k600MB),
                 "dyld: malloc: guest code asked for 629145600 bytes with [0-9]+ in use, past its "
                 "budget of 1073741824");
    release(first);
    void* second = allocate(k600MB);
    EXPECT_NE(second, nullptr);
    release(second);
}

TEST(LibcRest, ErrorTextsEnvironmentTimeOnceAndBytes) {
    auto text = guest<const char* (*)(int)>("_libcErrorText");
    EXPECT_STREQ(text(kELOOP), "Too many levels of symbolic links");
    EXPECT_STREQ(text(kEAGAIN), "Resource temporarily unavailable");
    EXPECT_STREQ(text(9999), "Unknown error: 9999");
    EXPECT_EQ(guest<char** (*)()>("_libcEnvironment")(), environ);
    const long now = guest<long (*)()>("_libcNow")();
    EXPECT_LE(std::labs(now - static_cast<long>(std::time(nullptr))), 2);
    EXPECT_EQ(guest<int (*)()>("_libcOnce")(), 1);
    EXPECT_EQ(guest<int (*)()>("_libcBytes")(), 15);
}

TEST(LibcImports, EverySettingsBundleImportIsBound) {
    std::ifstream list("/Developer/Library/bundle-imports.txt");
    ASSERT_TRUE(list);
    std::string line, library;
    int checked = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] != ' ') {
            library = line;
            continue;
        }
        const std::string symbol = line.substr(line.find_first_not_of(' '));
        EXPECT_TRUE(dyld::bindingFor(symbol)) << symbol << " from " << library;
        ++checked;
    }
    EXPECT_GT(checked, 60);
    // Framework data binds to the variable the process uses: this program refers to it, so it holds
    // the copy that the stand-in itself reads and writes.
    EXPECT_EQ(dyld::bindingFor("_NSForegroundColorAttributeName"),
              reinterpret_cast<std::uint64_t>(&NSForegroundColorAttributeName));
    EXPECT_NE(NSForegroundColorAttributeName, nullptr);
}

} // namespace
