#pragma once

#include <string>
#include <string_view>

namespace korvane::cli {

// Builds compact JSON text. Values are appended in order; the writer puts the commas.
class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(double number);  // shortest text that reads back as the same number; non-finite → null
    void value(float number);
    void value(int number) { value(static_cast<double>(number)); }
    void value(bool flag);
    const std::string& text() const { return text_; }

private:
    void separate();
    std::string text_;
    bool needsComma_ = false;
};

}  // namespace korvane::cli
