// `korvane convert IN OUT`: opens a document as the application does (the fog repair included) and
// writes it again in the current format.
#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "document/Document.h"

namespace korvane::cli {

int runConvert(const std::vector<std::string>& args, Console& console) {
    ArgumentCursor cursor(args, "convert", console.err);
    if (args.size() != 2) return cursor.fail(args.size() < 2 ? "IN and OUT are needed" : "too many arguments");
    for (const std::string& arg : args) {
        if (arg.starts_with("-")) return cursor.fail("unknown option '" + arg + "'");
    }
    const std::string& input = args[0];
    const std::string& output = args[1];
    const int status = editSceneFile(input, output, [](Scene&) { return true; }, console.err);
    if (status == 0) console.wrote(output);
    return status;
}

}  // namespace korvane::cli
