#pragma once

// Keeps the ray tracer's and the renderer's diagnostics off standard output while a render runs.
// The engine logs through its log sink (any render thread); the renderer and the terrain build
// print their progress notes ("Appending Layer Terrain") on standard output.
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace korvane::cli {

// While alive, the engine's log lines are collected here instead of going to standard error.
// Unused-parameter warnings (one per create call, so a scene repeats them many times) are counted
// by the plug-in kind they name and reported once per kind. Made and ended on the main thread.
class EngineLog {
public:
    explicit EngineLog(bool keep);
    ~EngineLog();
    EngineLog(const EngineLog&) = delete;
    EngineLog& operator=(const EngineLog&) = delete;

    // Writes the lines collected since the last call ("INFO: …"); nothing unless kept.
    void flush(std::ostream& stream);
    // flush(), then one line per plug-in kind that had unused parameters, with the parameters
    // and the number of warnings.
    void finish(std::ostream& stream);

private:
    struct UnusedParameters {
        std::vector<std::string> names;
        int warnings = 0;
    };
    bool keep_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::map<std::string, UnusedParameters> unused_;  // by plug-in kind
};

// While alive, standard output (the file descriptor, so that printf and std::cout are both
// caught) goes to standard error, or nowhere. Made and ended on the main thread, with no other
// thread writing results to standard output meanwhile.
class StandardOutputDiversion {
public:
    explicit StandardOutputDiversion(bool toStandardError);
    ~StandardOutputDiversion();
    StandardOutputDiversion(const StandardOutputDiversion&) = delete;
    StandardOutputDiversion& operator=(const StandardOutputDiversion&) = delete;

private:
    int saved_ = -1;
};

}  // namespace korvane::cli
