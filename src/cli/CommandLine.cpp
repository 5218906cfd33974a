#include "cli/Commands.h"

namespace korvane::cli {

namespace {
constexpr const char* kUsage =
    "usage: korvane COMMAND [ARGS]\n"
    "commands:\n"
    "  info FILE [--json]   size, terrain height, post-processing and layers of a scene document\n"
    "  convert IN OUT       decode a document and write it again in the current format\n";
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return runInfo(rest, out, err);
    if (args[0] == "convert") return runConvert(rest, out, err);
    err << "korvane: unknown command '" << args[0] << "'\n" << kUsage;
    return 2;
}

}  // namespace korvane::cli
