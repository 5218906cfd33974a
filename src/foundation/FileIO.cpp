#include "foundation/FileIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace korvane {

std::optional<std::vector<uint8_t>> readFileContents(const std::string& path, size_t maxBytes, std::string* error) {
    auto fail = [&](std::string reason) -> std::optional<std::vector<uint8_t>> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return fail(std::strerror(errno));
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return fail("not a regular file");
    }
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        std::fclose(file);
        return fail("the file is larger than " + std::to_string(maxBytes >> 20) + " MiB");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || read != bytes.size()) return fail("the file could not be read completely");
    return bytes;
}

}  // namespace korvane
