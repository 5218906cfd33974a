#pragma once

#include <ostream>
#include <string>

namespace korvane::cli {

// Shows how a render advances. On a terminal: one line redrawn in place with the message, a bar and
// the percentage (the message alone while the progress cannot be told). Elsewhere (a log, a pipe):
// one line for each rendering pass as it begins, nothing else.
class RenderProgress {
public:
    RenderProgress(std::ostream& stream, bool terminal) : stream_(stream), terminal_(terminal) {}
    // progress in 0…1, or negative when it cannot be told.
    void update(float progress, const std::string& message);
    // Ends the line being redrawn, so that what follows starts on a fresh one.
    void finish();

private:
    std::ostream& stream_;
    bool terminal_;
    bool lineOpen_ = false;
    std::string lastLine_;
    std::string lastPass_;
};

}  // namespace korvane::cli
