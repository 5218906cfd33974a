#pragma once

#include <functional>
#include <string>

namespace yafaray {

enum class logLevel_t { info, warning, error };

// Receives every engine log line; may be called from render threads (calls are serialised).
using logSink_t = std::function<void(logLevel_t, const std::string&)>;

// Replaces the sink; an empty function restores the default (standard error). Any thread.
void setLogSink(logSink_t sink);
// Writes one line through the current sink. Any thread.
void logMessage(logLevel_t level, const std::string& message);

}  // namespace yafaray
