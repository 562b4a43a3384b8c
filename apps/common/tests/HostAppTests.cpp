#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "HostApp.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using host::Args;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

TEST(SplitWords, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(host::splitWords("tap /tmp/x.png \"Set As Wallpaper\""),
              (Args{"tap", "/tmp/x.png", "Set As Wallpaper"}));
    EXPECT_EQ(host::splitWords("  a\t\tb   c  \r"), (Args{"a", "b", "c"}));
    EXPECT_EQ(host::splitWords("say a\"b c\"d \"\""), (Args{"say", "ab cd", ""}));
    EXPECT_EQ(host::splitWords(R"(say "a \"quoted\" \\ word" \n)"),
              (Args{"say", R"(a "quoted" \ word)", R"(\n)"}));
    EXPECT_EQ(host::splitWords(""), Args{});
    EXPECT_THROW(host::splitWords("say \"open"), host::UsageError);
}

// An app with a few commands of known outcome, and its standard input fed from a pipe.
class HostAppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        app_.addCommand({"ok", "ok", [](const Args&) { return 0; }});
        app_.addCommand({"status", "status N", [](const Args& a) { return std::stoi(a.at(0)); }});
        app_.addCommand({"needs-two", "needs-two A B", [](const Args& a) {
                             if (a.size() != 2) {
                                 throw host::UsageError("needs-two takes two words");
                             }
                             std::cout << a[0] << "+" << a[1] << "\n";
                             return 0;
                         }});
        app_.addCommand(
            {"broken", "broken", [](const Args&) -> int { throw std::runtime_error("it broke"); }});
        // Schedules, on the main run loop, the writing of the script's next line.
        app_.addCommand({"later", "later TEXT", [this](const Args& a) {
                             const std::string line = a.at(0) + "\n";
                             NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
                                 ->scheduleWork(NS::RunLoopInternals::monotonicNow() + 20'000'000,
                                                [this, line] { feed(line, true); });
                             return 0;
                         }});
        savedStdin_ = dup(STDIN_FILENO);
    }
    void TearDown() override {
        closeFeed();
        dup2(savedStdin_, STDIN_FILENO);
        close(savedStdin_);
    }

    // Makes standard input a pipe holding `text`; the pipe stays open unless `close` is set.
    void startInput(const std::string& text, bool close) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
        writer_ = fds[1];
        feed(text, close);
    }
    void feed(const std::string& text, bool close) {
        std::lock_guard lock(mutex_);
        if (writer_ >= 0) {
            [[maybe_unused]] ssize_t n = write(writer_, text.data(), text.size());
        }
        if (close) {
            closeLocked();
        }
    }
    void closeFeed() {
        std::lock_guard lock(mutex_);
        closeLocked();
    }
    void closeLocked() {
        if (writer_ >= 0) {
            ::close(writer_);
            writer_ = -1;
        }
    }

    int runMain(std::vector<std::string> words) {
        words.insert(words.begin(), "/Applications/Test.app/Test");
        std::vector<char*> argv;
        for (std::string& w : words) {
            argv.push_back(w.data());
        }
        return app_.main(static_cast<int>(argv.size()), argv.data());
    }

    host::HostApp app_{"com.example.test"};
    int savedStdin_ = -1;
    int writer_ = -1;
    std::mutex mutex_;
};

TEST_F(HostAppFixture, OneShotCommandsReportTheirStatus) {
    EXPECT_EQ(runMain({"ok"}), 0);
    EXPECT_EQ(runMain({"status", "7"}), 7);

    CaptureStdout();
    EXPECT_EQ(runMain({"needs-two", "a", "b"}), 0);
    EXPECT_EQ(GetCapturedStdout(), "a+b\n");

    CaptureStderr();
    EXPECT_EQ(runMain({"needs-two", "a"}), 2);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("needs-two takes two words"), std::string::npos) << err;
    EXPECT_NE(err.find("usage: Test needs-two A B"), std::string::npos) << err;

    CaptureStderr();
    EXPECT_EQ(runMain({"frobnicate"}), 2);
    err = GetCapturedStderr();
    EXPECT_NE(err.find("unknown command \"frobnicate\""), std::string::npos) << err;

    CaptureStderr();
    EXPECT_EQ(runMain({"broken"}), 1);
    EXPECT_NE(GetCapturedStderr().find("broken: it broke"), std::string::npos);

    CaptureStderr();
    EXPECT_EQ(runMain({"wait", "soon"}), 2);
    EXPECT_NE(GetCapturedStderr().find("usage: Test wait SECONDS"), std::string::npos);
}

TEST_F(HostAppFixture, ScriptRunsEveryLineAndFailsIfAnyLineFailed) {
    startInput("# a comment\n"
               "\n"
               "needs-two x \"y z\"\n"
               "   # an indented comment\n"
               "broken\n"
               "nonsense here\n"
               "needs-two \"unterminated\n"
               "script\n"
               "echo still going\n"
               "needs-two last line",
               true);
    CaptureStdout();
    CaptureStderr();
    const int status = runMain({"script"});
    const std::string out = GetCapturedStdout();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "x+y z\nstill going\nlast+line\n");
    EXPECT_NE(err.find("it broke"), std::string::npos) << err;
    EXPECT_NE(err.find("unknown command \"nonsense\""), std::string::npos) << err;
    EXPECT_NE(err.find("unterminated quote"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot start another script"), std::string::npos) << err;
}

TEST_F(HostAppFixture, ScriptSucceedsWhenEveryLineDoes) {
    startInput("ok\necho done\n", true);
    CaptureStdout();
    EXPECT_EQ(runMain({"script"}), 0);
    EXPECT_EQ(GetCapturedStdout(), "done\n");

    // No command at all is a script too.
    startInput("echo from stdin\n", true);
    CaptureStdout();
    EXPECT_EQ(runMain({}), 0);
    EXPECT_EQ(GetCapturedStdout(), "from stdin\n");
}

TEST_F(HostAppFixture, TheRunLoopServesWorkWhileTheScriptWaitsForInput) {
    // The next line only arrives through work scheduled on the main run loop, so the script ends
    // only if the loop runs while it waits. Should it not, a guard ends the input after a while.
    startInput("later \"echo arrived\"\n", false);
    std::mutex guardMutex;
    std::condition_variable guardWake;
    bool finished = false;
    std::thread guard([&] {
        std::unique_lock lock(guardMutex);
        if (!guardWake.wait_for(lock, std::chrono::seconds(10), [&] { return finished; })) {
            closeFeed();
        }
    });
    CaptureStdout();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runMain({"script"}), 0);
    EXPECT_EQ(GetCapturedStdout(), "arrived\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    {
        std::lock_guard lock(guardMutex);
        finished = true;
    }
    guardWake.notify_one();
    guard.join();
}

TEST_F(HostAppFixture, WaitRunsTheMainRunLoopForThatLong) {
    // Shared with the work, which may outlive the test: the last item never fires within it.
    auto fired = std::make_shared<std::vector<std::string>>();
    app_.addCommand({"schedule", "schedule MS NAME", [fired](const Args& a) {
                         const std::string name = a.at(1);
                         NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
                             ->scheduleWork(NS::RunLoopInternals::monotonicNow() +
                                                std::stoull(a.at(0)) * 1'000'000,
                                            [fired, name] { fired->push_back(name); });
                         return 0;
                     }});
    app_.addCommand({"fired", "fired", [fired](const Args&) {
                         for (const std::string& f : *fired) {
                             std::cout << f << " ";
                         }
                         std::cout << "\n";
                         return 0;
                     }});
    startInput("schedule 150 second\nschedule 50 first\nschedule 5000 never\nwait 0.3\nfired\n", true);
    CaptureStdout();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runMain({"script"}), 0);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(GetCapturedStdout(), "first second \n");
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(HostAppFixture, AfterAFarTimeNeverRunsWithinTheScript) {
    // Delays past the range of nanoseconds mean never, not at once.
    startInput("after 1e10 too-soon\nafter 1e300 too-soon\nafter 0.05 on-time\nwait 0.2\n", true);
    CaptureStdout();
    EXPECT_EQ(runMain({"script"}), 0);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out.find("too-soon"), std::string::npos) << out;
    // Never early; how late depends on how busy the machine is.
    const auto said = out.find("on-time (after ");
    ASSERT_NE(said, std::string::npos) << out;
    EXPECT_GE(std::stod(out.substr(said + 15)), 0.05) << out;
}

TEST_F(HostAppFixture, AWaitBeyondTheClocksReachIsRefused) {
    CaptureStderr();
    EXPECT_EQ(runMain({"wait", "1e308"}), 2);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("at most"), std::string::npos) << err;
    EXPECT_NE(err.find("usage: Test wait SECONDS"), std::string::npos) << err;
    CaptureStderr();
    EXPECT_EQ(runMain({"wait", "1e10"}), 2);
    GetCapturedStderr();
    EXPECT_EQ(runMain({"wait", "0.01"}), 0);
}

TEST_F(HostAppFixture, NoCommandAndNoInputIsAUsageError) {
    const int null = open("/dev/null", O_RDONLY);
    ASSERT_GE(null, 0);
    dup2(null, STDIN_FILENO);
    close(null);
    CaptureStdout();
    CaptureStderr();
    const int status = runMain({});
    std::string err = GetCapturedStderr();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(status, 2);
    EXPECT_NE(err.find("no command"), std::string::npos) << err;
    EXPECT_NE(err.find("usage: Test COMMAND"), std::string::npos) << err;
    EXPECT_EQ(err.find("NSRunLoop"), std::string::npos) << err;

    // Asked for by name, a script from an empty input does nothing, and does it quietly.
    CaptureStderr();
    const int scripted = runMain({"script"});
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(scripted, 0);
}

} // namespace
