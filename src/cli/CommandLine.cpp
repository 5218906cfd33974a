#include "cli/CommandArguments.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"

namespace korvane::cli {

namespace {

bool isHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }
bool isQuiet(const std::string& arg) { return arg == "--quiet" || arg == "-q"; }
bool isVerbose(const std::string& arg) { return arg == "--verbose"; }

std::string commandNames() {
    std::string names;
    for (const CommandDoc& command : commandTable()) names += (names.empty() ? "" : ", ") + command.name;
    return names;
}

int unknownCommand(const std::string& name, std::ostream& err) {
    err << "korvane: unknown command '" << name << "' (commands: " << commandNames() << ")\n"
        << "usage: korvane [--quiet | --verbose] COMMAND [ARGS]; korvane --help tells more\n";
    return kUsageError;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Verbosity verbosity = Verbosity::normal;
    size_t index = 0;
    for (; index < args.size() && args[index].starts_with("-"); ++index) {
        const std::string& arg = args[index];
        if (isHelp(arg)) {
            out << generalHelp();
            return 0;
        }
        if (arg == "--version") {
            out << versionText();
            return 0;
        }
        if (isQuiet(arg)) {
            verbosity = Verbosity::quiet;
        } else if (isVerbose(arg)) {
            verbosity = Verbosity::verbose;
        } else {
            err << "korvane: unknown option '" << arg << "'\n"
                << "usage: korvane [--quiet | --verbose] COMMAND [ARGS]; korvane --help tells more\n";
            return kUsageError;
        }
    }
    if (index == args.size()) {
        err << generalHelp();
        return kUsageError;
    }
    const std::string& name = args[index];
    if (name == "help") {
        if (index + 1 == args.size()) {
            out << generalHelp();
            return 0;
        }
        const CommandDoc* command = findCommand(args[index + 1]);
        if (!command) return unknownCommand(args[index + 1], err);
        if (index + 2 != args.size()) {
            err << "korvane: help: one command at a time\nusage: korvane help COMMAND\n";
            return kUsageError;
        }
        out << commandHelp(*command);
        return 0;
    }
    const CommandDoc* command = findCommand(name);
    if (!command) return unknownCommand(name, err);

    // --help, --quiet and --verbose may also come among the command's arguments.
    std::vector<std::string> rest;
    for (size_t i = index + 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (isHelp(arg)) {
            out << commandHelp(*command);
            return 0;
        }
        if (isQuiet(arg)) {
            verbosity = Verbosity::quiet;
        } else if (isVerbose(arg)) {
            verbosity = Verbosity::verbose;
        } else {
            rest.push_back(arg);
        }
    }
    Console console(out, err, verbosity);
    const int status = command->run(rest, console);
    if (status == kUsageError) {
        err << synopsisLines(*command) << "korvane help " << command->name << " lists every option\n";
    }
    return status;
}

}  // namespace korvane::cli
