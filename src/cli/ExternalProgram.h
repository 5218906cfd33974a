#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane::cli {

// What a program run by runExternalProgram printed and how it ended.
struct ExternalProgramResult {
    int exitStatus = 0;  // 128 + the signal's number when a signal ended it
    std::string output;  // standard output
    std::string errors;  // standard error
};

// The path of `name` in one of the PATH directories, or none when no executable file of that
// name is there.
std::optional<std::string> findProgramOnPath(const std::string& name);

// Runs `arguments` (the program first, looked up on PATH), its standard input empty, and waits
// for it to end. None, with the reason in `error`, when it could not be started. Blocks the
// calling thread.
std::optional<ExternalProgramResult> runExternalProgram(const std::vector<std::string>& arguments,
                                                        std::string* error);

}  // namespace korvane::cli
