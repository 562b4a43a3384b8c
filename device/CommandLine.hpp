// The tool's command line, shared by its two programs: the usage, and how a verb's words are sorted.
#pragma once

#include "Device.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace device {

// What the tool prints for help, and after a command line it cannot make sense of.
extern const char* const kUsage;

// Thrown for a command line that the tool cannot make sense of.
struct Usage : Error {
    using Error::Error;
};

// A word that the tool would take for an option: never a device root, program or value. A file
// whose name starts with "-" is named as "./-name".
bool isOption(const std::string& word);

bool among(const std::vector<std::string>& names, const std::string& word);

// What a verb takes after it: the options that stand alone and those that take a value, and, for a
// verb that runs a command, how many words come before the command.
struct Grammar {
    std::vector<std::string> flags;
    std::vector<std::string> valued;
    std::optional<std::size_t> wordsBeforeCommand;
};

// A verb's words sorted out: its options (each followed by its value, where it takes one) from
// wherever they stand, the other words in their order, and the command, which is taken whole.
struct Words {
    std::vector<std::string> options;
    std::vector<std::string> operands;
    std::vector<std::string> command;
};

// Splits the words after a verb by `grammar`, so that options go before or after the device root
// alike. A command begins after "--", or at the first word past those it follows.
Words sortWords(const std::vector<std::string>& words, const Grammar& grammar);

// The run verb, given the words after it: runs a command in a device and returns its exit status.
int runVerb(const std::vector<std::string>& rest);

// Runs `dispatch` on the words after the program's name and returns its exit status; a usage error
// is reported with the usage (status 2), any other error in one line (status 1).
int runCommandLine(int argc, char** argv, int (*dispatch)(const std::vector<std::string>& words));

} // namespace device
