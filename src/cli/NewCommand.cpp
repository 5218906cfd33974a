// `korvane new FILE [--size W H] [--max-height H] [--force]`: writes a new document with the
// default layer stack. An existing file is only replaced with --force.
#include <filesystem>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/LayerFields.h"
#include "document/Document.h"

namespace korvane::cli {

namespace {

constexpr const char* kNewUsage = "usage: korvane new FILE [--size W H] [--max-height H] [--force]\n";

// A number option's value within [minimum, maximum], or none after printing what was wrong.
std::optional<double> numberWithin(ArgumentCursor& cursor, const std::string& option, double minimum,
                                   double maximum) {
    std::optional<double> value = cursor.number(option);
    if (!value) return std::nullopt;
    if (SetError outside = checkRange(*value, {minimum, maximum})) {
        cursor.fail(option + ": " + *outside);
        return std::nullopt;
    }
    return value;
}

}  // namespace

int runNew(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ArgumentCursor cursor(args, "new", err);
    std::string path;
    std::optional<Size> size;
    std::optional<double> maxHeight;
    bool force = false;
    while (!cursor.done()) {
        std::string arg = cursor.take();
        if (arg == "--size") {
            std::optional<double> width = numberWithin(cursor, "--size", kMinimumSceneSide, kMaximumSceneSide);
            if (!width) return 2;
            std::optional<double> height = numberWithin(cursor, "--size", kMinimumSceneSide, kMaximumSceneSide);
            if (!height) return 2;
            size = Size{*width, *height};
        } else if (arg == "--max-height") {
            maxHeight = numberWithin(cursor, "--max-height", kMinimumTerrainHeight, kMaximumTerrainHeight);
            if (!maxHeight) return 2;
        } else if (arg == "--force") {
            force = true;
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            cursor.fail("unexpected argument '" + arg + "'");
            err << kNewUsage;
            return 2;
        }
    }
    if (path.empty()) {
        err << kNewUsage;
        return 2;
    }
    std::error_code ignored;
    if (!force && std::filesystem::exists(path, ignored)) {
        err << "korvane: " << path << ": the file exists (use --force to replace it)\n";
        return 1;
    }
    Document document;
    if (size) document.scene().setSize(*size);
    if (maxHeight) document.scene().setMaxTerrainHeight(static_cast<float>(*maxHeight));
    std::string error;
    if (!document.writeToFile(path, &error)) {
        err << "korvane: " << path << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace korvane::cli
