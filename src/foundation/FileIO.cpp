#include "foundation/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace korvane {
namespace {

std::string systemMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

}  // namespace

std::optional<std::vector<uint8_t>> readFileContents(const std::string& path, size_t maxBytes,
                                                     std::string* error) {
    auto fail = [&](std::string reason) -> std::optional<std::vector<uint8_t>> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) return fail(std::strerror(errno));
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return fail("not a regular file");
    }
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        std::fclose(file);
        return fail(maxBytes >= (size_t{1} << 20) ? "the file is larger than " + std::to_string(maxBytes >> 20) + " MiB"
                                                   : "the file is larger than " + std::to_string(maxBytes) + " bytes");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || read != bytes.size()) return fail("the file could not be read completely");
    return bytes;
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    const char* failedStep = fd < 0 ? "cannot create a temporary file beside it" : nullptr;
    int code = errno;
    struct stat existing {};
    if (fd >= 0 && ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(fd, existing.st_mode & 07777);  // keep the old file's permissions
    for (size_t done = 0; !failedStep && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += size_t(n);
        else if (errno != EINTR)
            failedStep = "cannot write", code = n == 0 ? EIO : errno;
    }
    if (!failedStep && ::fsync(fd) != 0) failedStep = "cannot flush to disk", code = errno;
    if (fd >= 0 && ::close(fd) != 0 && !failedStep) failedStep = "cannot write", code = errno;
    if (!failedStep && ::rename(temporary.c_str(), path.c_str()) != 0)
        failedStep = "cannot replace", code = errno;
    if (failedStep) {
        if (fd >= 0) ::unlink(temporary.c_str());
        if (error) *error = std::string(failedStep) + ": " + systemMessage(code);
        return false;
    }
    // Make the rename itself durable; failing here still leaves a complete file.
    const size_t slash = path.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace korvane
