#include "foundation/archive/ArchiveFormat.h"

#include <charconv>
#include <cmath>

namespace korvane::archive_format {

std::string escapeKey(std::string_view key) {
    if (!key.empty() && key.front() == '$') return "$" + std::string(key);
    return std::string(key);
}

std::string formatNumber(double value) {
    if (!std::isfinite(value)) value = 0;
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

std::string formatPair(double first, double second) {
    return "{" + formatNumber(first) + ", " + formatNumber(second) + "}";
}

namespace {

// Every number in the text, scanned like the platform's string-to-geometry functions.
std::vector<double> scanNumbers(std::string_view text, size_t limit) {
    std::vector<double> numbers;
    size_t i = 0;
    while (i < text.size() && numbers.size() < limit) {
        char c = text[i];
        bool starts = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
        if (!starts) {
            ++i;
            continue;
        }
        const char* begin = text.data() + i;
        if (c == '+') ++begin;  // from_chars does not take a leading plus
        double value = 0;
        auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
        if (ec == std::errc::invalid_argument || end == begin) {
            ++i;
            continue;
        }
        numbers.push_back(ec == std::errc() && std::isfinite(value) ? value : 0.0);
        i = static_cast<size_t>(end - text.data());
    }
    return numbers;
}

}  // namespace

std::pair<double, double> parsePair(std::string_view text) {
    std::vector<double> numbers = scanNumbers(text, 2);
    numbers.resize(2, 0.0);
    return {numbers[0], numbers[1]};
}

std::vector<uint8_t> formatRgbComponents(const Color& color) {
    std::string text =
        formatNumber(color.red) + " " + formatNumber(color.green) + " " + formatNumber(color.blue);
    if (color.alpha != 1.0) text += " " + formatNumber(color.alpha);
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

std::vector<double> parseComponents(std::span<const uint8_t> text) {
    std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
    if (size_t nul = view.find('\0'); nul != std::string_view::npos) view = view.substr(0, nul);
    return scanNumbers(view, 8);
}

}  // namespace korvane::archive_format
