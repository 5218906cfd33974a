// The texts made from the command table: help, the README's command reference, the man page and the
// bash completion.
#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "cli/CommandTable.h"

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "unknown"
#endif

namespace korvane::cli {

namespace {

constexpr size_t kHelpWidth = 80;
constexpr size_t kReadmeWidth = 100;
constexpr size_t kOptionColumn = 26;  // where option texts start in help

constexpr const char* kDescription = "Renders and edits Korvane landscape documents (NAME.korvane).";
constexpr const char* kStreams =
    "Results and \"wrote FILE\" lines go to standard output; progress, diagnostics and errors go to "
    "standard error.";
constexpr const char* kExitStatus =
    "Errors name the file and the reason (\"korvane: FILE: reason\") and exit with status 1. Usage "
    "errors (an unknown command, option or key, a missing or malformed argument, a value out of its "
    "range or an output name korvane cannot write) are found before any file is read or written; they "
    "read \"korvane: COMMAND: reason\", are followed by the command's synopsis and exit with status 2.";

// The words of `text` in lines of at most `width` characters, each after `indent` spaces.
std::vector<std::string> wrap(const std::string& text, size_t width, size_t indent) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word, line;
    while (words >> word) {
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            lines.push_back(std::string(indent, ' ') + line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back(std::string(indent, ' ') + line);
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The groups of a synopsis that stay on one line: words split at spaces outside brackets.
std::vector<std::string> synopsisGroups(const std::string& synopsis) {
    std::vector<std::string> groups;
    std::string group;
    int depth = 0;
    for (char c : synopsis) {
        if (c == ' ' && depth == 0) {
            if (!group.empty()) groups.push_back(group);
            group.clear();
            continue;
        }
        depth += (c == '[') - (c == ']');
        group += c;
    }
    if (!group.empty()) groups.push_back(group);
    return groups;
}

// The forms of a command, each "korvane NAME " and its synopsis in lines of at most `width`
// characters, continuation lines aligned under the first argument; every line starts with `lead`
// (the first with `firstLead`).
std::string forms(const CommandDoc& command, const std::string& firstLead, const std::string& lead, size_t width) {
    std::string text;
    const std::string prefix = "korvane " + command.name + " ";
    for (size_t i = 0; i < command.synopsis.size(); ++i) {
        std::string line = (i == 0 ? firstLead : lead) + prefix;
        bool fresh = true;  // nothing on the line after its indentation yet
        for (const std::string& group : synopsisGroups(command.synopsis[i])) {
            if (!fresh && line.size() + 1 + group.size() > width) {
                text += line + "\n";
                line = lead + std::string(prefix.size(), ' ');
                fresh = true;
            }
            line += (fresh ? "" : " ") + group;
            fresh = false;
        }
        text += line + "\n";
    }
    return text;
}

// The options a command line may name: every word of the option texts that starts with "-".
std::vector<std::string> optionWords(const std::vector<OptionDoc>& options) {
    std::vector<std::string> words;
    for (const OptionDoc& option : options) {
        std::string text = option.option;
        for (char& c : text)
            if (c == '[' || c == ']' || c == ',' || c == '|') c = ' ';
        std::istringstream split(text);
        std::string word;
        while (split >> word) {
            if (word.size() > 1 && word[0] == '-' && std::find(words.begin(), words.end(), word) == words.end())
                words.push_back(word);
        }
    }
    return words;
}

// Text for man(7): backslashes and hyphens escaped, a leading dot or quote made harmless.
std::string roff(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\') {
            escaped += "\\e";
        } else if (c == '-') {
            escaped += "\\-";
        } else {
            escaped += c;
        }
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) escaped = "\\&" + escaped;
    return escaped;
}

}  // namespace

std::string versionText() { return std::string("korvane ") + KORVANE_VERSION + "\n"; }

std::string synopsisLines(const CommandDoc& command) { return forms(command, "usage: ", "       ", kHelpWidth); }

std::string generalHelp() {
    std::ostringstream text;
    text << "usage: korvane [--quiet | --verbose] COMMAND [ARGS]\n"
         << "       korvane help COMMAND, korvane COMMAND --help\n"
         << "       korvane --version\n\n"
         << kDescription << "\n\ncommands:\n";
    for (const CommandDoc& command : commandTable()) {
        std::string name = "  " + command.name;
        name.resize(std::max<size_t>(name.size() + 2, 14), ' ');
        text << name << command.summary << "\n";
    }
    text << "\noptions:\n";
    for (const OptionDoc& option : globalOptions()) {
        std::vector<std::string> lines = wrap(option.text, kHelpWidth, kOptionColumn);
        std::string first = "  " + option.option;
        first.resize(kOptionColumn, ' ');
        text << first << lines.front().substr(kOptionColumn) << "\n";
        for (size_t i = 1; i < lines.size(); ++i) text << lines[i] << "\n";
    }
    text << "\n" << joined(wrap(kStreams, kHelpWidth, 0)) << "\n" << joined(wrap(kExitStatus, kHelpWidth, 0));
    return text.str();
}

std::string commandHelp(const CommandDoc& command) {
    std::ostringstream text;
    text << synopsisLines(command) << "\n" << joined(wrap(command.description, kHelpWidth, 0));
    text << "\noptions:\n";
    for (const OptionDoc& option : command.options) {
        std::vector<std::string> lines = wrap(option.text, kHelpWidth, kOptionColumn);
        std::string first = "  " + option.option;
        if (first.size() + 1 > kOptionColumn) {
            text << first << "\n";
        } else {
            first.resize(kOptionColumn, ' ');
            text << first;
            lines.front() = lines.front().substr(kOptionColumn);
        }
        text << joined(lines);
    }
    text << "  --help, --quiet, --verbose (korvane --help tells more)\n";
    text << "\nexample" << (command.examples.size() == 1 ? "" : "s") << ":\n";
    for (const std::string& example : command.examples) text << "  " << example << "\n";
    return text.str();
}

std::string readmeCommandReference() {
    std::string text;
    for (const CommandDoc& command : commandTable()) {
        text += forms(command, "    ", "    ", kReadmeWidth);
        text += joined(wrap(command.description, kReadmeWidth, 8));
    }
    return text;
}

std::string manPage() {
    std::ostringstream man;
    man << ".\\\" Made by korvane-docs from korvane's command table; edit the table, not this file.\n"
        << ".TH KORVANE 1 \"\" \"korvane " << KORVANE_VERSION << "\" \"User Commands\"\n"
        << ".SH NAME\nkorvane \\- " << roff("render and edit Korvane landscape documents") << "\n"
        << ".SH SYNOPSIS\n.B korvane\n[\\fB\\-\\-quiet\\fR | \\fB\\-\\-verbose\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR]\n"
        << ".br\n.B korvane help\n\\fICOMMAND\\fR\n"
        << ".br\n.B korvane \\-\\-version\n"
        << ".SH DESCRIPTION\n" << roff(kDescription) << "\n"
        << ".SH OPTIONS\n";
    for (const OptionDoc& option : globalOptions())
        man << ".TP\n.B " << roff(option.option) << "\n" << roff(option.text) << "\n";
    man << ".SH COMMANDS\n";
    for (const CommandDoc& command : commandTable()) {
        man << ".SS " << roff(command.name) << "\n.nf\n";
        std::istringstream lines(forms(command, "", "", kHelpWidth));
        std::string line;
        while (std::getline(lines, line)) man << roff(line) << "\n";
        man << ".fi\n" << roff(command.description) << "\n";
        for (const OptionDoc& option : command.options)
            man << ".TP\n.B " << roff(option.option) << "\n" << roff(option.text) << "\n";
        man << ".PP\nExample:\n.nf\n";
        for (const std::string& example : command.examples) man << "    " << roff(example) << "\n";
        man << ".fi\n";
    }
    man << ".SH \"STANDARD OUTPUT\"\n" << roff(kStreams) << "\n"
        << ".SH \"EXIT STATUS\"\n" << roff(kExitStatus) << "\n";
    return man.str();
}

std::string bashCompletion() {
    std::ostringstream script;
    script << "# bash completion for korvane; made by korvane-docs from korvane's command table.\n"
           << "_korvane() {\n"
           << "    local cur=${COMP_WORDS[COMP_CWORD]} command= i\n"
           << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           << "        if [[ ${COMP_WORDS[i]} != -* ]]; then command=${COMP_WORDS[i]}; break; fi\n"
           << "    done\n"
           << "    local options\n"
           << "    case $command in\n";
    std::string commands = "help";
    for (const CommandDoc& command : commandTable()) {
        commands += " " + command.name;
        std::string words;
        for (const std::string& word : optionWords(command.options)) words += word + " ";
        script << "        " << command.name << ") options=\"" << words << "--help --quiet --verbose\" ;;\n";
    }
    std::string global;
    for (const std::string& word : optionWords(globalOptions())) global += (global.empty() ? "" : " ") + word;
    script << "        help) COMPREPLY=($(compgen -W \"" << commands.substr(5) << "\" -- \"$cur\")); return ;;\n"
           << "        '') if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"" << global << "\" -- \"$cur\"));\n"
           << "            else COMPREPLY=($(compgen -W \"" << commands << "\" -- \"$cur\")); fi; return ;;\n"
           << "        *) return ;;\n"
           << "    esac\n"
           << "    if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$options\" -- \"$cur\")); fi\n"
           << "}\n"
           << "complete -o bashdefault -o default -F _korvane korvane\n";
    return script.str();
}

}  // namespace korvane::cli
