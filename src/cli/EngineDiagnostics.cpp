#include "cli/EngineDiagnostics.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "raytracer/core/Log.h"

namespace korvane::cli {

namespace {

// The engine's text: "unused parameter 'NAME' for KIND".
constexpr const char* kUnusedPrefix = "unused parameter '";
constexpr const char* kUnusedKindSeparator = "' for ";

const char* prefix(yafaray::logLevel_t level) {
    switch (level) {
        case yafaray::logLevel_t::info:
            return "INFO: ";
        case yafaray::logLevel_t::warning:
            return "WARNING: ";
        case yafaray::logLevel_t::error:
            return "ERROR: ";
    }
    return "";
}

}  // namespace

EngineLog::EngineLog(bool keep) : keep_(keep) {
    yafaray::setLogSink([this](yafaray::logLevel_t level, const std::string& message) {
        if (!keep_) return;
        std::lock_guard lock(mutex_);
        const size_t separator = message.find(kUnusedKindSeparator);
        if (level == yafaray::logLevel_t::warning && message.rfind(kUnusedPrefix, 0) == 0 &&
            separator != std::string::npos) {
            const std::string name = message.substr(std::string(kUnusedPrefix).size(),
                                                    separator - std::string(kUnusedPrefix).size());
            UnusedParameters& kind = unused_[message.substr(separator + std::string(kUnusedKindSeparator).size())];
            if (std::find(kind.names.begin(), kind.names.end(), name) == kind.names.end()) kind.names.push_back(name);
            ++kind.warnings;
            return;
        }
        lines_.push_back(prefix(level) + message);
    });
}

EngineLog::~EngineLog() { yafaray::setLogSink({}); }

void EngineLog::flush(std::ostream& stream) {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(lines_);
    }
    for (const std::string& line : lines) stream << line << "\n";
}

void EngineLog::finish(std::ostream& stream) {
    flush(stream);
    std::lock_guard lock(mutex_);
    for (const auto& [kind, unused] : unused_) {
        stream << "WARNING: unused parameter" << (unused.names.size() == 1 ? " " : "s ");
        for (size_t i = 0; i < unused.names.size(); ++i) stream << (i ? ", '" : "'") << unused.names[i] << "'";
        stream << " for " << kind << " (" << unused.warnings << (unused.warnings == 1 ? " time)" : " times)") << "\n";
    }
    unused_.clear();
}

StandardOutputDiversion::StandardOutputDiversion(bool toStandardError) {
    std::cout.flush();
    std::fflush(stdout);
    const int target = toStandardError ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    saved_ = target < 0 ? -1 : ::dup(STDOUT_FILENO);
    if (saved_ < 0 || ::dup2(target, STDOUT_FILENO) < 0) {
        if (saved_ >= 0) ::close(saved_);
        saved_ = -1;
    }
    if (target >= 0) ::close(target);
}

StandardOutputDiversion::~StandardOutputDiversion() {
    if (saved_ < 0) return;
    std::cout.flush();
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
}

}  // namespace korvane::cli
