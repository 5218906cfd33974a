#include "foundation/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace korvane {
namespace {

std::string systemMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

constexpr const char* kSavingInfix = ".saving-";
constexpr const char* kSavingSuffix = ".tmp";
constexpr const char* kOlderInfix = ".tmp-";  // how earlier versions named the temporary file

// The directory part of path ("." for a bare name) and the file name.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {path.substr(0, std::max<size_t>(slash, 1)), path.substr(slash + 1)};
}

// Reads "PID-N" at the start of text: the process id, with `rest` after the digits of N.
bool parsePidAndCounter(std::string_view text, long& pid, std::string_view& rest) {
    size_t i = 0;
    auto digits = [&]() {
        const size_t begin = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - begin < 18) ++i;
        return i > begin;
    };
    if (!digits()) return false;
    pid = std::stol(std::string(text.substr(0, i)));
    if (i >= text.size() || text[i] != '-') return false;
    ++i;
    if (!digits()) return false;
    rest = text.substr(i);
    return true;
}

// The process id in the name of a temporary file that a save of `base` wrote, or 0 for any other name.
long temporaryFileOwner(std::string_view name, const std::string& base) {
    if (name.size() <= base.size() || name.substr(0, base.size()) != base) return 0;
    std::string_view tail = name.substr(base.size()), rest;
    long pid = 0;
    if (tail.starts_with(kSavingInfix)) {
        tail.remove_prefix(std::strlen(kSavingInfix));
        return parsePidAndCounter(tail, pid, rest) && rest == kSavingSuffix ? pid : 0;
    }
    if (tail.starts_with(kOlderInfix)) {
        tail.remove_prefix(std::strlen(kOlderInfix));
        return parsePidAndCounter(tail, pid, rest) && rest.empty() ? pid : 0;
    }
    return 0;
}

bool processIsRunning(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
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
    removeStaleTemporaryFiles(path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = atomicWriteTemporaryName(path, ::getpid(), counter++);
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
    const std::string directory = splitPath(path).first;
    if (const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string atomicWriteTemporaryName(const std::string& path, long pid, unsigned n) {
    return path + kSavingInfix + std::to_string(pid) + "-" + std::to_string(n) + kSavingSuffix;
}

int removeStaleTemporaryFiles(const std::string& path) {
    const auto [directory, base] = splitPath(path);
    if (base.empty()) return 0;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return 0;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const long owner = temporaryFileOwner(entry->d_name, base);
        // A save still running (in this process or another) keeps its file.
        if (owner != 0 && owner != ::getpid() && !processIsRunning(owner)) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& name : stale) removed += ::unlink((directory + "/" + name).c_str()) == 0;
    return removed;
}

}  // namespace korvane
