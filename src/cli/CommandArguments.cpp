#include "cli/CommandArguments.h"

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "document/Document.h"

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

int editSceneFile(const std::string& path, const std::string& output,
                  const std::function<bool(Scene&)>& edit, std::ostream& err) {
    Document document;
    std::string error;
    if (!document.readFromFile(path, &error)) {
        err << "korvane: " << path << ": " << error << "\n";
        return 1;
    }
    if (!edit(document.scene())) return 1;
    const std::string& target = output.empty() ? path : output;
    if (!document.writeToFile(target, &error)) {
        err << "korvane: " << target << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace korvane::cli
