#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvane {

// The whole content of a file, or none with the reason ("No such file or directory", "the file is
// larger than 1024 MiB"). Any thread.
std::optional<std::vector<uint8_t>> readFileContents(const std::string& path, size_t maxBytes, std::string* error);

}  // namespace korvane
