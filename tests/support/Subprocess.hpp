// Real child processes for tests: run one to the end, or talk to one line by line.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace testing_support {

// Environment changes for a child: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

inline int exitStatus(int status) {
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// A child process with pipes to its standard input, output and error.
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv, const EnvChanges& env = {}) {
        // A child that stops reading must not take the test down with SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);

        std::map<std::string, std::string> vars;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            const auto eq = entry.find('=');
            if (eq != std::string::npos) {
                vars[entry.substr(0, eq)] = entry.substr(eq + 1);
            }
        }
        for (const auto& [name, value] : env) {
            if (value) {
                vars[name] = *value;
            } else {
                vars.erase(name);
            }
        }
        std::vector<std::string> envStrings;
        for (const auto& [name, value] : vars) {
            envStrings.push_back(name + "=" + value);
        }
        std::vector<char*> envp;
        for (std::string& s : envStrings) {
            envp.push_back(s.data());
        }
        envp.push_back(nullptr);
        std::vector<std::string> args = argv;
        std::vector<char*> argp;
        for (std::string& s : args) {
            argp.push_back(s.data());
        }
        argp.push_back(nullptr);

        const int rc = posix_spawnp(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
        if (rc != 0) {
            // The destructor does not run for a constructor that throws.
            pid_ = -1;
            close(stdin_);
            close(stdout_);
            close(stderr_);
            throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        closeInput();
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(stdout_);
        close(stderr_);
    }

    void write(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(stdin_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    void closeInput() {
        if (stdin_ >= 0) {
            close(stdin_);
            stdin_ = -1;
        }
    }

    // The next line of standard output without its newline; nullopt at the end of output or when
    // `timeout` passes first. Standard error is collected meanwhile.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto nl = out_.find('\n'); nl != std::string::npos) {
                std::string line = out_.substr(0, nl);
                out_.erase(0, nl + 1);
                return line;
            }
            if (outClosed_) {
                return std::nullopt;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !pump(static_cast<int>(left.count()))) {
                return std::nullopt;
            }
        }
    }

    // Waits for the end, collecting all output; returns the exit status (128+n for signal n).
    int wait() { return *waitFor(std::chrono::milliseconds(-1)); }

    // The same, giving up (nullopt) when output is still open after `timeout`: some process,
    // the child or one it started, still holds it. A negative timeout waits for ever.
    std::optional<int> waitFor(std::chrono::milliseconds timeout) {
        closeInput();
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!outClosed_ || !errClosed_) {
            int left = -1;
            if (timeout.count() >= 0) {
                left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
                if (left <= 0) {
                    return std::nullopt;
                }
            }
            pump(left);
        }
        if (!status_) {
            int raw = 0;
            rusage usage{};
            while (wait4(pid_, &raw, 0, &usage) < 0 && errno == EINTR) {
            }
            status_ = exitStatus(raw);
            peakKilobytes_ = usage.ru_maxrss;
        }
        return status_;
    }

    // Output not yet taken by readLine, and all of standard error so far.
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    pid_t pid() const { return pid_; }
    // The most memory the child held at once, once it has ended.
    long peakKilobytes() const { return peakKilobytes_; }

  private:
    // Reads whatever either pipe holds, waiting up to `timeoutMs`; false when nothing came.
    bool pump(int timeoutMs) {
        pollfd fds[2] = {{outClosed_ ? -1 : stdout_, POLLIN, 0}, {errClosed_ ? -1 : stderr_, POLLIN, 0}};
        const int ready = poll(fds, 2, timeoutMs);
        if (ready <= 0) {
            return false;
        }
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                (i == 0 ? outClosed_ : errClosed_) = true;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
    bool outClosed_ = false, errClosed_ = false;
    std::string out_, err_;
    std::optional<int> status_;
    long peakKilobytes_ = 0;
};

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs `argv` to the end with `input` on its standard input.
inline Outcome runProcess(const std::vector<std::string>& argv, const std::string& input = {},
                          const EnvChanges& env = {}) {
    Child child(argv, env);
    child.write(input);
    const int status = child.wait();
    return {status, child.out(), child.err()};
}

// Sends lines to a host app running `script` and collects what it prints for them, up to a marker
// line that the app echoes back once it has run them all.
inline std::vector<std::string> ask(Child& app, const std::string& commands) {
    app.write(commands + "echo --end--\n");
    std::vector<std::string> out;
    while (auto line = app.readLine(std::chrono::seconds(20))) {
        if (*line == "--end--") {
            return out;
        }
        out.push_back(*line);
    }
    ADD_FAILURE() << "the app stopped answering: " << app.err();
    return out;
}

// Long-presses `image` in a browser running `script` until the sheet's fourth action, the one the
// hook library relabels, is `title`; a notification reaches the browser while it waits for its next
// command. False when the deadline passes first.
inline bool sheetComesToHave(Child& browser, const std::string& image, const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto sheet = ask(browser, "long-press " + image + "\n");
        if (sheet.size() == 5 && sheet[3] == title) {
            return true;
        }
    }
    return false;
}

} // namespace testing_support
