#include "cli/CommandArguments.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "document/Document.h"
#include "foundation/FileIO.h"

namespace korvane::cli {

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE) return std::nullopt;
    return value;
}

std::optional<bool> parseBoolean(const std::string& text) {
    if (text == "true" || text == "yes" || text == "on" || text == "1") return true;
    if (text == "false" || text == "no" || text == "off" || text == "0") return false;
    return std::nullopt;
}

std::optional<std::vector<double>> parseNumberList(const std::string& text, size_t count) {
    std::vector<double> values;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        std::optional<double> value = parseNumber(text.substr(start, comma - start));
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != count) return std::nullopt;
    return values;
}

std::optional<Point> parsePoint(const std::string& text) {
    auto values = parseNumberList(text, 2);
    if (!values) return std::nullopt;
    return Point{(*values)[0], (*values)[1]};
}

std::optional<Rect> parseRect(const std::string& text) {
    auto values = parseNumberList(text, 4);
    if (!values) return std::nullopt;
    const auto& v = *values;
    double x0 = std::min(v[0], v[2]), y0 = std::min(v[1], v[3]);
    return Rect{{x0, y0}, {std::max(v[0], v[2]) - x0, std::max(v[1], v[3]) - y0}};
}

std::optional<Color> parseColor(const std::string& text) {
    auto values = parseNumberList(text, 4);
    if (!values) {
        values = parseNumberList(text, 3);
        if (!values) return std::nullopt;
        values->push_back(1.0);
    }
    for (double component : *values) {
        if (component < 0.0 || component > 1.0) return std::nullopt;
    }
    const auto& v = *values;
    return Color{v[0], v[1], v[2], v[3]};
}

std::optional<std::string> ArgumentCursor::value(const std::string& option) {
    if (done()) {
        fail(option + " needs a value");
        return std::nullopt;
    }
    return take();
}

std::optional<double> ArgumentCursor::number(const std::string& option) {
    std::optional<std::string> text = value(option);
    if (!text) return std::nullopt;
    std::optional<double> parsed = parseNumber(*text);
    if (!parsed) fail(option + ": '" + *text + "' is not a number");
    return parsed;
}

std::optional<int> ArgumentCursor::integer(const std::string& option, int minimum, int maximum) {
    std::optional<std::string> text = value(option);
    if (!text) return std::nullopt;
    std::optional<long long> parsed = parseInteger(*text);
    if (!parsed || *parsed < minimum || *parsed > maximum) {
        fail(option + ": '" + *text + "' is not a whole number from " + std::to_string(minimum) + " to " +
             std::to_string(maximum));
        return std::nullopt;
    }
    return int(*parsed);
}

int ArgumentCursor::fail(const std::string& message) {
    err_ << "korvane: " << command_ << ": " << message << "\n";
    return 2;
}

namespace {

// Larger documents are refused before they are read into memory.
constexpr size_t kMaxDocumentBytes = size_t(1) << 30;

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct ImageExtension {
    const char* extension;
    RenderedImageFormat format;
};
constexpr ImageExtension kImageExtensions[] = {
    {".png", RenderedImageFormat::PNG},   {".jpg", RenderedImageFormat::JPEG},
    {".jpeg", RenderedImageFormat::JPEG}, {".tif", RenderedImageFormat::TIFF},
    {".tiff", RenderedImageFormat::TIFF},
};

}  // namespace

bool openDocument(const std::string& path, Document& document, std::ostream& err, std::vector<uint8_t>* bytes) {
    std::string error;
    std::optional<std::vector<uint8_t>> content = readFileContents(path, kMaxDocumentBytes, &error);
    if (!content || !document.read(*content, &error)) {
        err << "korvane: " << path << ": " << error << "\n";
        return false;
    }
    // Values the document could not use as stored (out of range, damaged maps) were repaired: say so
    // once each, naming the file.
    for (const std::string& repair : document.repairs()) err << "korvane: " << path << ": " << repair << "\n";
    if (bytes) *bytes = std::move(*content);
    return true;
}

std::optional<std::string> unreadableReason(const std::string& path) {
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) return "not a file";
    return std::nullopt;
}

std::optional<std::string> unwritableReason(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) return "is a folder, not a file";
    const fs::path parent = fs::path(path).parent_path();
    const std::string folder = parent.empty() ? "." : parent.string();
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write into " + folder + ": " + std::strerror(errno);
    if (!fs::is_directory(folder, ignored)) return "cannot write into " + folder + ": not a folder";
    return std::nullopt;
}

bool hasExtension(const std::string& path, const std::string& extension) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.size() > extension.size() &&
           lowerCase(name.substr(name.size() - extension.size())) == lowerCase(extension);
}

std::optional<RenderedImageFormat> imageFormatForOutput(const std::string& path) {
    for (const ImageExtension& known : kImageExtensions) {
        if (hasExtension(path, known.extension)) return known.format;
    }
    return std::nullopt;
}

std::string unknownImageFormatReason(const std::string& path) {
    std::string list;
    for (const ImageExtension& known : kImageExtensions) list += std::string(list.empty() ? "" : ", ") + known.extension;
    return "'" + path + "' does not end in the extension of an image format korvane writes (" + list + ")";
}

int editSceneFile(const std::string& path, const std::string& output,
                  const std::function<bool(Scene&)>& edit, std::ostream& err) {
    const std::string& target = output.empty() ? path : output;
    if (!output.empty()) {
        if (std::optional<std::string> reason = unwritableReason(output)) {
            err << "korvane: " << output << ": " << *reason << "\n";
            return 1;
        }
    }
    Document document;
    if (!openDocument(path, document, err)) return 1;
    if (!edit(document.scene())) return 1;
    std::string error;
    if (!document.writeToFile(target, &error)) {
        err << "korvane: " << target << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace korvane::cli
