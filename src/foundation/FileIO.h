#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvane {

// The whole content of a file, or none with the reason ("No such file or directory", "the file is
// larger than 1024 MiB"). Any thread.
std::optional<std::vector<uint8_t>> readFileContents(const std::string& path, size_t maxBytes,
                                                     std::string* error);

// Writes bytes to a temporary file beside path, syncs it and renames it over path, so readers see the
// old file or the new one, never a half-written one; the old file is untouched on failure. An existing
// file's permission bits are kept. The temporary file is named "NAME.saving-PID-N.tmp"; those that
// earlier saves of the same file left behind when their process died (and the "NAME.tmp-PID-N" of
// older versions) are removed first. On failure returns false and, when error is non-null, sets a
// reason ("cannot create a temporary file beside it: Permission denied"). Any thread.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

// The name of the temporary file that writeFileAtomically writes for path in process pid, attempt n.
std::string atomicWriteTemporaryName(const std::string& path, long pid, unsigned n);

// Removes the temporary files beside path that saves of it by processes no longer running left
// behind; returns how many were removed. Any thread.
int removeStaleTemporaryFiles(const std::string& path);

}  // namespace korvane
