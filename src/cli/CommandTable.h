#pragma once

// The one table of korvane's commands: what each takes, does and shows as an example. The help
// texts, the README's command reference, the man page and the bash completion are all made from
// it, so they cannot disagree.
#include <string>
#include <vector>

#include "cli/Console.h"

namespace korvane::cli {

struct OptionDoc {
    std::string option;  // as typed, with its value: "--quality L"
    std::string text;
};

struct CommandDoc {
    std::string name;
    std::vector<std::string> synopsis;  // one line per form, without "korvane NAME "
    std::string summary;                // one line for the list of commands
    std::string description;            // a paragraph
    std::vector<OptionDoc> options;
    std::vector<std::string> examples;  // whole command lines
    int (*run)(const std::vector<std::string>& args, Console& console);
};

const std::vector<CommandDoc>& commandTable();
const CommandDoc* findCommand(const std::string& name);
// The options every command takes (--help, --quiet, --verbose) and those of korvane alone.
const std::vector<OptionDoc>& globalOptions();

std::string versionText();                        // "korvane 0.1.0\n"
std::string generalHelp();                        // korvane --help
std::string commandHelp(const CommandDoc& command);  // korvane help COMMAND
std::string synopsisLines(const CommandDoc& command);  // "usage: korvane NAME …" lines
// The indented block of README.md's "The command-line tool" between its two markers.
std::string readmeCommandReference();
std::string manPage();         // korvane.1 in man(7) markup
std::string bashCompletion();  // a script for bash-completion

}  // namespace korvane::cli
