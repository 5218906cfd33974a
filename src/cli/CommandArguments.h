#pragma once

// Parsing of the values subcommands take ("12.5", "3", "x,y", "r,g,b,a", "x0,y0,x1,y1") and the
// load-modify-save cycle shared by every subcommand that edits a document.
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "renderer/RenderedImageFile.h"
#include "scene/Scene.h"

namespace korvane {
class Document;
}

namespace korvane::cli {

// The scene extents the tool accepts. The smallest side still gives a heightmap of more than 8
// pixels (102.4 per unit); the largest keeps the heightmap and its masks to a few hundred MiB.
inline constexpr double kMinimumSceneSide = 0.1;
inline constexpr double kMaximumSceneSide = 100.0;
inline constexpr double kMinimumTerrainHeight = 0.01;
inline constexpr double kMaximumTerrainHeight = 10000.0;

// Whole-string parses: trailing characters, empty text, NaN or infinity give nullopt.
std::optional<double> parseNumber(const std::string& text);
std::optional<long long> parseInteger(const std::string& text);
std::optional<bool> parseBoolean(const std::string& text);  // true/false, yes/no, on/off, 1/0
// Exactly `count` comma-separated numbers.
std::optional<std::vector<double>> parseNumberList(const std::string& text, size_t count);
std::optional<Point> parsePoint(const std::string& text);  // "x,y"
std::optional<Rect> parseRect(const std::string& text);    // "x0,y0,x1,y1" (corners in any order)
std::optional<Color> parseColor(const std::string& text);  // "r,g,b" or "r,g,b,a", components 0-1

// Walks an argument list: `next()` hands out the following argument or reports that it is missing.
class ArgumentCursor {
public:
    ArgumentCursor(const std::vector<std::string>& args, std::string command, std::ostream& err)
        : args_(args), command_(std::move(command)), err_(err) {}
    bool done() const { return index_ >= args_.size(); }
    const std::string& peek() const { return args_[index_]; }
    std::string take() { return args_[index_++]; }
    // The value after option `option`; prints "korvane: COMMAND: OPTION needs a value" if absent.
    std::optional<std::string> value(const std::string& option);
    // The value after `option` parsed as a number; prints what was wrong on failure.
    std::optional<double> number(const std::string& option);
    // The value after `option` as a whole number in [minimum, maximum]; prints what was wrong on
    // failure ("--width: 'x' is not a whole number from 1 to 16384").
    std::optional<int> integer(const std::string& option, int minimum, int maximum);
    // Prints "korvane: COMMAND: MESSAGE" and returns 2, the status of a usage error.
    int fail(const std::string& message);

private:
    const std::vector<std::string>& args_;
    size_t index_ = 0;
    std::string command_;
    std::ostream& err_;
};

// The exit statuses: 2 when the command line itself is wrong (found before any file is read),
// 1 when the work fails (a file cannot be read or written, the document cannot take the change).
inline constexpr int kUsageError = 2;
inline constexpr int kFailure = 1;

// Opens the document at `path` as the application opens it (a file without a fog layer gets one);
// every command reads documents through here. On failure prints "korvane: PATH: reason" and
// answers false. `bytes`, when given, receives the file's content.
bool openDocument(const std::string& path, Document& document, std::ostream& err,
                  std::vector<uint8_t>* bytes = nullptr);

// Why the file at `path` cannot be read ("No such file or directory", "not a file"), checked
// before it is handed to a reader that would only say it failed. None when it can be tried.
std::optional<std::string> unreadableReason(const std::string& path);

// Why a file cannot be written at `path`, checked before any work starts: its folder is missing
// or not writable, or the path is a folder. None when it can be tried.
std::optional<std::string> unwritableReason(const std::string& path);

// The image format an output's extension names: .png, .jpg and .jpeg, .tif and .tiff (in any
// case); none for any other name.
std::optional<RenderedImageFormat> imageFormatForOutput(const std::string& path);
// The text of a refused image name, naming the extensions the tool writes.
std::string unknownImageFormatReason(const std::string& path);
// Whether `path` ends in `extension` (".kvtile"), in any case.
bool hasExtension(const std::string& path, const std::string& extension);

// Opens the document at `path` with openDocument(), lets `edit` change its scene and saves it
// atomically to `output` (the same path when empty). `edit` returns false after printing why; the
// file is then untouched. Returns the exit status: 0, or 1 for unreadable/unwritable files or a
// refused edit.
int editSceneFile(const std::string& path, const std::string& output,
                  const std::function<bool(Scene&)>& edit, std::ostream& err);

}  // namespace korvane::cli
