#include "cli/ExternalProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace korvane::cli {

namespace {

// Closes the descriptors it holds when it goes.
struct Pipe {
    int ends[2] = {-1, -1};
    ~Pipe() {
        for (int end : ends)
            if (end >= 0) ::close(end);
    }
    void closeEnd(int which) {
        ::close(ends[which]);
        ends[which] = -1;
    }
};

// Reads both pipes until the program has closed them, so that neither fills up and stalls it.
void readUntilClosed(int outputEnd, int errorEnd, std::string& output, std::string& errors) {
    pollfd ends[2] = {{outputEnd, POLLIN, 0}, {errorEnd, POLLIN, 0}};
    std::string* targets[2] = {&output, &errors};
    int open = 2;
    while (open > 0) {
        if (::poll(ends, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t count = ::read(ends[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                targets[i]->append(buffer, size_t(count));
            } else if (count == 0 || errno != EINTR) {
                ends[i].fd = -1;  // poll skips negative descriptors
                --open;
            }
        }
    }
}

}  // namespace

std::optional<std::string> findProgramOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return std::nullopt;
    const std::string directories = path;
    size_t start = 0;
    while (start <= directories.size()) {
        size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<ExternalProgramResult> runExternalProgram(const std::vector<std::string>& arguments,
                                                        std::string* error) {
    Pipe output, errors;
    if (::pipe2(output.ends, O_CLOEXEC) != 0 || ::pipe2(errors.ends, O_CLOEXEC) != 0) {
        *error = std::strerror(errno);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output.ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors.ends[1], STDERR_FILENO);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawnError = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        *error = arguments.front() + ": " + std::strerror(spawnError);
        return std::nullopt;
    }
    // Only the child writes: without closing these ends here, the reads below would never end.
    output.closeEnd(1);
    errors.closeEnd(1);

    ExternalProgramResult result;
    readUntilClosed(output.ends[0], errors.ends[0], result.output, result.errors);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = arguments.front() + ": " + std::strerror(errno);
            return std::nullopt;
        }
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace korvane::cli
