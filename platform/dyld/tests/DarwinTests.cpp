// Darwin's numbers translated to the host's and back. Darwin's values are written here as the platform
// has them, apart from the table the loader reads, so that a wrong or repeated entry there shows.
#include "dyld/Darwin.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace dyld::darwin;

TEST(DarwinNumbers, EachOpenFlagCrossesAloneAndWithTheOthers) {
    const std::pair<int, int> flags[] = {
        {0x4, O_NONBLOCK},   {0x8, O_APPEND},         {0x100, O_NOFOLLOW},
        {0x200, O_CREAT},    {0x400, O_TRUNC},        {0x800, O_EXCL},
        {0x20000, O_NOCTTY}, {0x100000, O_DIRECTORY}, {0x1000000, O_CLOEXEC}};
    int darwinAll = 0, hostAll = 0;
    for (const auto& [darwin, host] : flags) {
        EXPECT_EQ(openFlagsToHost(darwin | 1), host | O_WRONLY) << std::hex << darwin;
        darwinAll |= darwin;
        hostAll |= host;
    }
    EXPECT_EQ(openFlagsToHost(darwinAll | 2), hostAll | O_RDWR);
    EXPECT_EQ(openFlagsToHost(0), O_RDONLY);
    // No fourth access mode, and flags the host cannot honour (O_SHLOCK, O_EXLOCK) are refused.
    EXPECT_FALSE(openFlagsToHost(3));
    EXPECT_FALSE(openFlagsToHost(0x10));
    EXPECT_FALSE(openFlagsToHost(0x20 | 0x200));
    // F_GETFL reports the access mode and the status flags only, in Darwin's values.
    EXPECT_EQ(statusFlagsFromHost(O_RDWR | O_NONBLOCK | O_APPEND | O_NOFOLLOW), 2 | 0x4 | 0x8);
    EXPECT_EQ(statusFlagsFromHost(O_WRONLY), 1);
}

TEST(DarwinNumbers, ErrorNumbersCrossBothWays) {
    // Shared with the host (1-10, 12-34) and Darwin's own.
    const std::pair<int, int> errors[] = {
        {0, 0},       {1, EPERM},         {2, ENOENT},     {10, ECHILD}, {11, EDEADLK},   {12, ENOMEM},
        {14, EFAULT}, {22, EINVAL},       {34, ERANGE},    {35, EAGAIN}, {45, ENOTSUP},   {60, ETIMEDOUT},
        {62, ELOOP},  {63, ENAMETOOLONG}, {66, ENOTEMPTY}, {78, ENOSYS}, {84, EOVERFLOW}, {89, ECANCELED}};
    for (const auto& [darwin, host] : errors) {
        EXPECT_EQ(errorToHost(darwin), host) << darwin;
        EXPECT_EQ(errorFromHost(host), darwin) << darwin;
    }
    // Every Darwin number the host knows comes back as itself.
    for (int darwin = 0; darwin < 256; ++darwin) {
        if (const auto host = errorToHost(darwin)) {
            EXPECT_EQ(errorFromHost(*host), darwin) << darwin;
        }
    }
    // A host number Darwin has no name for reads as EIO; a Darwin one the host lacks has no host number.
    EXPECT_EQ(errorFromHost(EHWPOISON), 5);
    EXPECT_EQ(errorFromHost(ENOKEY), 5);
    EXPECT_FALSE(errorToHost(36)); // EINPROGRESS on Darwin, which the loader never reports
    EXPECT_FALSE(errorToHost(-1));
}

TEST(DarwinNumbers, SignalsCrossBothWaysAndTheHostsOwnDoNot) {
    const std::pair<int, int> signals[] = {{1, SIGHUP},    {6, SIGABRT},  {9, SIGKILL},  {10, SIGBUS},
                                           {11, SIGSEGV},  {12, SIGSYS},  {16, SIGURG},  {17, SIGSTOP},
                                           {18, SIGTSTP},  {19, SIGCONT}, {20, SIGCHLD}, {23, SIGIO},
                                           {28, SIGWINCH}, {30, SIGUSR1}, {31, SIGUSR2}};
    for (const auto& [darwin, host] : signals) {
        EXPECT_EQ(signalToHost(darwin), host) << darwin;
        EXPECT_EQ(signalFromHost(host), darwin) << darwin;
    }
    int crossing = 0;
    for (int darwin = 1; darwin <= 31; ++darwin) {
        if (const auto host = signalToHost(darwin)) {
            ++crossing;
            EXPECT_EQ(signalFromHost(*host), darwin) << darwin;
        }
    }
    EXPECT_EQ(crossing, 29); // all but SIGEMT (7) and SIGINFO (29)
    EXPECT_FALSE(signalToHost(7));
    EXPECT_FALSE(signalToHost(29));
    EXPECT_FALSE(signalToHost(32));
    EXPECT_FALSE(signalToHost(-1));
    EXPECT_EQ(signalToHost(0), 0); // kill's probe
    EXPECT_FALSE(signalFromHost(SIGSTKFLT));
    EXPECT_FALSE(signalFromHost(SIGPWR));
    EXPECT_FALSE(signalFromHost(SIGRTMIN));
}

TEST(DarwinNumbers, WaitStatusesOptionsAndSpawnFlags) {
    // Killed by the host's SIGUSR1 (10): Darwin's 30, the core-dump bit kept; stopped by SIGTSTP.
    EXPECT_EQ(waitStatusFromHost(SIGUSR1), 30);
    EXPECT_EQ(waitStatusFromHost(SIGSEGV | 0x80), 11 | 0x80);
    EXPECT_EQ(waitStatusFromHost((SIGTSTP << 8) | 0x7f), (18 << 8) | 0x7f);
    EXPECT_EQ(waitStatusFromHost(3 << 8), 3 << 8); // an exit status is the same
    // One Darwin has no name for keeps the host's number, still reading as a death by signal.
    EXPECT_EQ(waitStatusFromHost(SIGPWR), SIGPWR);

    EXPECT_EQ(waitOptionsToHost(0x1 | 0x4 | 0x20), WNOHANG | WEXITED | WNOWAIT);
    EXPECT_EQ(waitOptionsToHost(0), 0);
    EXPECT_FALSE(waitOptionsToHost(0x2)); // WUNTRACED
    EXPECT_EQ(spawnFlagsToHost(0x2), POSIX_SPAWN_SETPGROUP);
    EXPECT_EQ(spawnFlagsToHost(0), 0);
    EXPECT_FALSE(spawnFlagsToHost(0x1)); // POSIX_SPAWN_RESETIDS
}

} // namespace
