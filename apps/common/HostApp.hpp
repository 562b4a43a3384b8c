// The frame of a scriptable host application: start-up, commands from argv or standard input.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace host {

using Args = std::vector<std::string>;

// One command of the application. `run` gets the words after the name and returns the exit
// status (0 for success). It throws UsageError when the words do not fit `usage`, and any other
// exception for a failure, whose message is shown.
struct Command {
    std::string name;
    std::string usage;
    std::function<int(const Args&)> run;
};

// Thrown by a command whose arguments do not fit its usage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A number as a person writes it ("1.5", "300"); nullopt for anything else, negative or not finite.
std::optional<double> parseAmount(const std::string& text);

// A number of seconds as a person writes it ("1.5"); throws UsageError for anything else, negative
// or not finite.
double parseSeconds(const std::string& text);

// Splits a script line into words: blanks separate, "double quotes" group (with \" and \\ for a
// quote and a backslash inside). Throws UsageError for an unterminated quote.
Args splitWords(const std::string& line);

class HostApp {
  public:
    explicit HostApp(std::string bundleIdentifier);
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;

    // Adds a command; one of the same name replaces it.
    void addCommand(Command command);

    // Sets up the autorelease pool and the main run loop, loads the hook libraries, then runs the
    // command named by argv[1] with the rest as its words, or `script`. Returns the exit status:
    // 2 for an unknown command or wrong usage, or when neither argv nor standard input holds one.
    int main(int argc, char** argv);

    // Runs one command line; what `script` does for each line. Messages go to standard error.
    int runCommand(const Args& words);

    // Whether the command running came from a script's line rather than the program's arguments.
    bool inScript() const { return inScript_; }

    // Runs `done` when main has run its command or script, before the process ends (for what the
    // commands keep between lines, such as a screen a script has open).
    void atEnd(std::function<void()> done);

  private:
    int mainWithoutEnd(int argc, char** argv);
    int runScript();
    const Command* find(const std::string& name) const;
    void printUsage(const Command& command) const;
    void printCommands() const;

    std::string bundleIdentifier_;
    std::string program_;
    std::vector<Command> commands_;
    std::vector<std::function<void()>> atEnd_;
    bool inScript_ = false;
    std::size_t scriptCommands_ = 0; // command lines a script has run
};

} // namespace host
