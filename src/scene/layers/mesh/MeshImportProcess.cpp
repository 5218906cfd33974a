#include "scene/layers/mesh/MeshImportProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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

// Runs the child and answers its wait status, or none when it could not be started.
std::optional<int> runChild(const std::vector<std::string>& arguments, int timeoutSeconds) {
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    while (true) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0 && errno != EINTR) return std::nullopt;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return status;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string reasonForStatus(int status, bool timedOut) {
    if (timedOut) return "the 3DS reader did not finish";
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
                                                 int timeoutSeconds) {
    const std::string failure = "could not read " + path + ": ";
    TemporaryFolder folder;
    if (folder.path().empty()) return {nullptr, failure + "no temporary folder for the importer"};
    const std::string output = folder.path() + "/" + kArchiveName;

    const auto started = std::chrono::steady_clock::now();
    std::optional<int> status = runChild({executable, kImportCommand, path, output}, timeoutSeconds);
    if (!status) return {nullptr, failure + "the importer could not be started"};
    const bool timedOut = std::chrono::steady_clock::now() - started >= std::chrono::seconds(timeoutSeconds);
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        return {nullptr, failure + reasonForStatus(*status, timedOut)};
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
