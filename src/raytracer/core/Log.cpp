#include "raytracer/core/Log.h"

#include <cstdio>
#include <mutex>

namespace yafaray {
namespace {

std::mutex& logMutex() {
    static std::mutex m;
    return m;
}

logSink_t& currentSink() {
    static logSink_t sink;
    return sink;
}

const char* prefix(logLevel_t level) {
    switch (level) {
        case logLevel_t::info:
            return "INFO: ";
        case logLevel_t::warning:
            return "WARNING: ";
        case logLevel_t::error:
            return "ERROR: ";
    }
    return "";
}

}  // namespace

void setLogSink(logSink_t sink) {
    std::lock_guard lock(logMutex());
    currentSink() = std::move(sink);
}

void logMessage(logLevel_t level, const std::string& message) {
    std::lock_guard lock(logMutex());
    if (currentSink()) {
        currentSink()(level, message);
    } else {
        std::fprintf(stderr, "%s%s\n", prefix(level), message.c_str());
    }
}

}  // namespace yafaray
