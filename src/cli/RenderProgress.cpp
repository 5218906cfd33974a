#include "cli/RenderProgress.h"

#include <algorithm>
#include <cmath>

namespace korvane::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr const char* kPassPrefix = "Rendering Pass ";

std::string barLine(float progress, const std::string& message) {
    if (!(progress >= 0.0f)) return message;
    const float clamped = std::min(progress, 1.0f);
    const int filled = int(std::floor(clamped * kBarWidth));
    return message + " [" + std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '-') +
           "] " + std::to_string(int(std::floor(clamped * 100.0f))) + "%";
}

}  // namespace

void RenderProgress::update(float progress, const std::string& message) {
    if (!terminal_) {
        if (message.rfind(kPassPrefix, 0) == 0 && message != lastPass_) {
            stream_ << message << "\n" << std::flush;
            lastPass_ = message;
        }
        return;
    }
    const std::string line = barLine(progress, message);
    if (line == lastLine_) return;  // updates come far more often than the percentage changes
    stream_ << "\r\033[K" << line << std::flush;
    lastLine_ = line;
    lineOpen_ = true;
}

void RenderProgress::finish() {
    if (lineOpen_) stream_ << "\n" << std::flush;
    lineOpen_ = false;
    lastLine_.clear();
}

}  // namespace korvane::cli
