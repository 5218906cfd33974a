#include "cli/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace korvane::cli {

void JsonWriter::separate() {
    if (needsComma_) text_ += ',';
    needsComma_ = true;
}

void JsonWriter::beginObject() {
    separate();
    text_ += '{';
    needsComma_ = false;
}

void JsonWriter::endObject() {
    text_ += '}';
    needsComma_ = true;
}

void JsonWriter::beginArray() {
    separate();
    text_ += '[';
    needsComma_ = false;
}

void JsonWriter::endArray() {
    text_ += ']';
    needsComma_ = true;
}

void JsonWriter::key(std::string_view name) {
    value(name);
    text_ += ':';
    needsComma_ = false;
}

void JsonWriter::value(std::string_view text) {
    separate();
    text_ += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"': text_ += "\\\""; break;
            case '\\': text_ += "\\\\"; break;
            case '\n': text_ += "\\n"; break;
            case '\r': text_ += "\\r"; break;
            case '\t': text_ += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    text_ += escaped;
                } else {
                    text_ += static_cast<char>(c);
                }
        }
    }
    text_ += '"';
}

namespace {
template <class Number>
std::string numberText(Number number) {
    if (!std::isfinite(number)) return "null";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
    return ec == std::errc() ? std::string(buffer, end) : "null";
}
}  // namespace

void JsonWriter::value(double number) {
    separate();
    text_ += numberText(number);
}

void JsonWriter::value(float number) {
    separate();
    text_ += numberText(number);
}

void JsonWriter::value(bool flag) {
    separate();
    text_ += flag ? "true" : "false";
}

}  // namespace korvane::cli
