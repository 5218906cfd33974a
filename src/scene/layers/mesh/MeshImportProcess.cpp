#include "scene/layers/mesh/MeshImportProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "foundation/FileIO.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {

namespace {
constexpr const char* kImportCommand = "import-3ds";
constexpr const char* kArchiveName = "object.archive";
// An object archive is raw vertex and face blocks; a 3DS file cannot describe more than this.
constexpr size_t kLargestArchive = size_t{1} << 30;
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// lib3ds allocates whatever a damaged chunk asks for; the child gets this much address space, far
// more than any real object needs. Sanitizer builds reserve terabytes of shadow memory and go
// without the limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitChildMemory = false;
#else
constexpr bool kLimitChildMemory = true;
#endif
constexpr rlim_t kChildAddressSpace = rlim_t{4} << 30;

// A private folder for the child's output, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-import-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// How far the child has got: the furthest position its reads of the input file have reached, plus
// what it has written into its output folder. lib3ds caught in a loop of chunks (or a child stuck in
// any other way) moves neither; a reader working through a large file moves the first, and the
// archive being written the second.
class ChildProgress {
public:
    ChildProgress(pid_t child, const std::string& input, std::string folder)
        : child_(child), folder_(std::move(folder)) {
        std::error_code ignored;
        input_ = std::filesystem::weakly_canonical(input, ignored).string();
    }

    // True when the child has got further since the last call.
    bool advanced() {
        const uint64_t now = furthestInputPosition() + writtenBytes();
        if (now <= best_) return false;
        best_ = now;
        return true;
    }

private:
    uint64_t furthestInputPosition() {
        const std::string fds = "/proc/" + std::to_string(child_) + "/fd";
        DIR* dir = opendir(fds.c_str());
        if (!dir) return furthest_;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            char target[4096];
            const ssize_t n = readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target - 1);
            if (n <= 0 || std::string(target, size_t(n)) != input_) continue;
            std::ifstream info("/proc/" + std::to_string(child_) + "/fdinfo/" + entry->d_name);
            std::string key;
            uint64_t position = 0;
            if (info >> key >> position && key == "pos:") furthest_ = std::max(furthest_, position);
        }
        closedir(dir);
        return furthest_;
    }

    uint64_t writtenBytes() const {
        uint64_t total = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
            std::error_code ignored;
            const auto size = entry.file_size(ignored);
            if (!ignored) total += size;
        }
        return total;
    }

    pid_t child_;
    std::string input_;
    std::string folder_;
    uint64_t furthest_ = 0;
    uint64_t best_ = 0;
};

enum class ChildEnd { exited, stalled, timedOut };

struct ChildOutcome {
    int status = 0;
    ChildEnd end = ChildEnd::exited;
};

// Runs the child and answers its wait status, or none when it could not be started. A child that
// makes no progress (ChildProgress) for `stallSeconds`, or runs past `timeoutSeconds` in all, is
// killed; one that crashes is reported as soon as it has.
std::optional<ChildOutcome> runChild(const std::vector<std::string>& arguments, const std::string& input,
                                     const std::string& folder, int timeoutSeconds, int stallSeconds) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec: the parent may have other threads.
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        if (kLimitChildMemory) {
            const rlimit limit{kChildAddressSpace, kChildAddressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::seconds(timeoutSeconds);
    auto lastProgress = started;
    ChildProgress progress(child, input, folder);
    ChildOutcome outcome;
    while (true) {
        const pid_t done = waitpid(child, &outcome.status, WNOHANG);
        if (done == child) return outcome;
        if (done < 0 && errno != EINTR) return std::nullopt;
        const auto now = std::chrono::steady_clock::now();
        if (progress.advanced()) lastProgress = now;
        const bool stalled = now - lastProgress > std::chrono::seconds(stallSeconds);
        if (stalled || now > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &outcome.status, 0);
            outcome.end = stalled ? ChildEnd::stalled : ChildEnd::timedOut;
            return outcome;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string reasonForOutcome(const ChildOutcome& outcome, int stallSeconds) {
    const int status = outcome.status;
    if (outcome.end == ChildEnd::stalled)
        return "the 3DS reader hung (no progress for " + std::to_string(stallSeconds) + " s)";
    if (outcome.end == ChildEnd::timedOut) return "the 3DS reader did not finish";
    if (WIFSIGNALED(status)) return "the 3DS reader crashed";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "the importer could not be started";
    return "lib3ds cannot read it";
}
}  // namespace

std::string importerExecutablePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "korvane";
    return (self.parent_path() / "korvane").string();
}

MeshImportResult importThreeDSFileInChildProcess(const std::string& path, const std::string& executable,
                                                 int timeoutSeconds, int stallSeconds) {
    const std::string failure = "could not read " + path + ": ";
    TemporaryFolder folder;
    if (folder.path().empty()) return {nullptr, failure + "no temporary folder for the importer"};
    const std::string output = folder.path() + "/" + kArchiveName;

    std::optional<ChildOutcome> outcome =
        runChild({executable, kImportCommand, path, output}, path, folder.path(), timeoutSeconds, stallSeconds);
    if (!outcome) return {nullptr, failure + "the importer could not be started"};
    if (outcome->end != ChildEnd::exited || !WIFEXITED(outcome->status) || WEXITSTATUS(outcome->status) != 0) {
        return {nullptr, failure + reasonForOutcome(*outcome, stallSeconds)};
    }

    std::string error;
    std::optional<std::vector<uint8_t>> bytes = readFileContents(output, kLargestArchive, &error);
    if (!bytes) return {nullptr, failure + "the importer wrote nothing readable (" + error + ")"};
    registerSceneClasses();
    auto object = KeyedUnarchiver::unarchiveRoot<MeshObject>(*bytes, "MeshObject", &error);
    if (!object) return {nullptr, failure + "the importer's output is damaged (" + error + ")"};
    return {object, {}};
}

}  // namespace korvane
