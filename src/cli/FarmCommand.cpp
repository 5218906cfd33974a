// `korvane farm FILE -o OUT --tiles N …`: renders a still on a Slurm cluster. The scene is copied
// into a farm directory beside OUT (on storage the nodes share), a job array renders its tiles
// with `korvane render --region` and a job that waits for them merges them into OUT with the
// post-processing of a direct render. `korvane farm --status JOBID` shows how far it has come.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <span>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/ExternalProgram.h"
#include "cli/FarmProgress.h"
#include "cli/FarmTileLayout.h"
#include "cli/SlurmScript.h"
#include "document/Document.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "renderer/YafarayRenderer.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kClusterSetUp = "\"Rendering on a cluster\" in Korvane's README.md";

constexpr int kDefaultQuality = 3;  // as `korvane render`
constexpr int kMaxQuality = 100;
constexpr int kMaxTiles = 10000;

struct FarmOptions {
    std::string input;
    std::string output;
    std::string program;  // korvane on the nodes; this program when empty
    std::optional<int> tiles;
    int quality = kDefaultQuality;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<std::string> partition;
    std::string statusJob;
    bool dryRun = false;
};

bool isJobId(const std::string& text) {
    return !text.empty() && text.size() < 20 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::optional<FarmOptions> parseOptions(const std::vector<std::string>& args, std::ostream& err) {
    ArgumentCursor cursor(args, "farm", err);
    FarmOptions options;
    while (!cursor.done()) {
        const std::string argument = cursor.take();
        auto text = [&](std::string& target) {
            std::optional<std::string> value = cursor.value(argument);
            if (value) target = *value;
            return value.has_value();
        };
        bool ok = true;
        if (argument == "-o") {
            ok = text(options.output);
        } else if (argument == "--tiles") {
            ok = (options.tiles = cursor.integer(argument, 1, kMaxTiles)).has_value();
        } else if (argument == "--quality") {
            std::optional<int> quality = cursor.integer(argument, 1, kMaxQuality);
            ok = quality.has_value();
            options.quality = quality.value_or(kDefaultQuality);
        } else if (argument == "--width") {
            ok = (options.width = cursor.integer(argument, 1, kMaxImageSide)).has_value();
        } else if (argument == "--height") {
            ok = (options.height = cursor.integer(argument, 1, kMaxImageSide)).has_value();
        } else if (argument == "--partition") {
            std::string partition;
            ok = text(partition);
            if (ok) options.partition = partition;
        } else if (argument == "--korvane") {
            ok = text(options.program);
        } else if (argument == "--status") {
            ok = text(options.statusJob);
            if (ok && !isJobId(options.statusJob)) {
                cursor.fail("--status: '" + options.statusJob + "' is not a job id");
                ok = false;
            }
        } else if (argument == "--dry-run") {
            options.dryRun = true;
        } else if (!argument.empty() && argument[0] == '-') {
            cursor.fail("unknown option '" + argument + "'");
            ok = false;
        } else if (options.input.empty()) {
            options.input = argument;
        } else {
            cursor.fail("more than one scene file ('" + options.input + "', '" + argument + "')");
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    auto usage = [&](const std::string& message) -> std::optional<FarmOptions> {
        cursor.fail(message);
        return std::nullopt;
    };
    if (!options.statusJob.empty()) {
        if (args.size() != 2) return usage("--status goes alone");
        return options;
    }
    if (options.input.empty()) return usage("no scene file given");
    if (options.output.empty()) return usage("no output image given (-o OUT)");
    if (!options.tiles) return usage("no tile count given (--tiles N)");
    if (options.partition && options.partition->empty()) return usage("--partition: empty name");
    if (!imageFormatForOutput(options.output)) return usage(unknownImageFormatReason(options.output));
    return options;
}

// Prints the missing-Slurm message and returns false when `program` is not on PATH.
bool slurmCommandAvailable(const std::string& program, std::ostream& err) {
    if (findProgramOnPath(program)) return true;
    err << "korvane: farm: Slurm is not installed here (no " << program << " on PATH); see " << kClusterSetUp
        << "\n";
    return false;
}

// The path made absolute, as the nodes must see it.
std::string absolutePath(const std::string& path) {
    return fs::absolute(path).lexically_normal().string();
}

// A job name shows in every queue listing: the scene's name without characters a shell or a
// listing would stumble over.
std::string jobNameFor(const std::string& scenePath) {
    std::string name = "korvane-" + fs::path(scenePath).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    return name;
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

std::string trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

// Queue records from `arguments` (squeue or sacct). A job the scheduler has forgotten gives no
// records; none only when the program failed otherwise, with its message in `error`.
std::optional<std::vector<SlurmJobRecord>> queryJobs(const std::vector<std::string>& arguments,
                                                     std::string* error) {
    std::optional<ExternalProgramResult> result = runExternalProgram(arguments, error);
    if (!result) return std::nullopt;
    if (result->exitStatus != 0) {
        if (result->errors.find("Invalid job id") != std::string::npos) return std::vector<SlurmJobRecord>{};
        *error = arguments.front() + ": " + trimmed(result->errors);
        return std::nullopt;
    }
    return parseSlurmJobRecords(result->output);
}

// The records of the jobs the selection options pick: from squeue while the controller still
// holds them, from the accounting database (sacct) after that, when the cluster keeps one.
std::optional<std::vector<SlurmJobRecord>> farmJobRecords(const std::vector<std::string>& squeueSelection,
                                                          const std::vector<std::string>& sacctSelection,
                                                          std::string* error) {
    std::vector<std::string> squeue = {"squeue", "--noheader", "--states=all", "--array", "--format=%i|%T"};
    squeue.insert(squeue.end(), squeueSelection.begin(), squeueSelection.end());
    std::optional<std::vector<SlurmJobRecord>> records = queryJobs(squeue, error);
    if (!records || !records->empty() || !findProgramOnPath("sacct")) return records;
    std::vector<std::string> sacct = {"sacct", "--noheader", "--parsable2", "--allocations",
                                      "--format=JobID,State"};
    sacct.insert(sacct.end(), sacctSelection.begin(), sacctSelection.end());
    std::string accountingError;
    return queryJobs(sacct, &accountingError).value_or(std::vector<SlurmJobRecord>{});
}

int showStatus(const std::string& job, std::ostream& out, std::ostream& err) {
    if (!slurmCommandAvailable("squeue", err)) return 1;
    std::string error;
    const std::string mergeName = farmMergeJobName(job);
    std::optional<std::vector<SlurmJobRecord>> tiles =
        farmJobRecords({"--jobs=" + job}, {"--jobs=" + job}, &error);
    std::optional<std::vector<SlurmJobRecord>> merge;
    if (tiles)
        merge = farmJobRecords({"--name=" + mergeName}, {"--name=" + mergeName, "--starttime=now-30days"},
                               &error);
    if (!tiles || !merge) {
        err << "korvane: farm: " << error << "\n";
        return 1;
    }
    if (tiles->empty() && merge->empty()) {
        err << "korvane: farm: Slurm knows no job " << job << "\n";
        return 1;
    }
    out << describeFarmProgress(job, *tiles, *merge);
    return 0;
}

// The job ids in "TILEJOB MERGEJOB", the last line the submit script prints.
std::optional<std::pair<std::string, std::string>> submittedJobIds(const std::string& output) {
    std::string last = trimmed(output);
    last = last.substr(last.find_last_of('\n') + 1);
    const size_t space = last.find(' ');
    if (space == std::string::npos) return std::nullopt;
    std::pair<std::string, std::string> ids{last.substr(0, space), last.substr(space + 1)};
    if (!isJobId(ids.first) || !isJobId(ids.second)) return std::nullopt;
    return ids;
}

// Writes the scene copy and the script into the farm directory and runs the script; prints the
// job ids it got.
int submit(const FarmJob& job, const std::string& script, std::span<const uint8_t> documentBytes,
           std::ostream& out, std::ostream& err) {
    const std::string scriptPath = job.directory + "/submit.sh";
    std::error_code directoryError;
    fs::create_directories(job.directory, directoryError);
    if (directoryError) {
        err << "korvane: " << job.directory << ": " << directoryError.message() << "\n";
        return 1;
    }
    std::string error;
    const auto* scriptBytes = reinterpret_cast<const uint8_t*>(script.data());
    for (const auto& [path, bytes] :
         {std::pair{job.scene, documentBytes},
          std::pair{scriptPath, std::span<const uint8_t>(scriptBytes, script.size())}}) {
        if (!writeFileAtomically(path, bytes, &error)) {
            err << "korvane: " << path << ": " << error << "\n";
            return 1;
        }
    }

    std::optional<ExternalProgramResult> result = runExternalProgram({"/bin/sh", scriptPath}, &error);
    if (!result) {
        err << "korvane: farm: " << error << "\n";
        return 1;
    }
    std::optional<std::pair<std::string, std::string>> ids = submittedJobIds(result->output);
    if (result->exitStatus != 0 || !ids) {
        err << "korvane: farm: the jobs could not be submitted: "
            << trimmed(result->errors.empty() ? result->output : result->errors) << "\n";
        return 1;
    }
    out << "submitted " << job.tiles.size() << " tiles as job " << ids->first << " and their merge as job "
        << ids->second << "; the image goes to " << job.output << "\n"
        << "progress: korvane farm --status " << ids->first << "\n";
    return 0;
}

}  // namespace

int runFarm(const std::vector<std::string>& args, Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    std::optional<FarmOptions> options = parseOptions(args, err);
    if (!options) return kUsageError;
    if (!options->statusJob.empty()) return showStatus(options->statusJob, out, err);
    if (!options->dryRun && !slurmCommandAvailable("sbatch", err)) return 1;

    std::optional<std::string> unwritable = options->dryRun ? std::nullopt : unwritableReason(options->output);
    if (std::optional<std::string> reason = unwritable) {
        err << "korvane: " << options->output << ": " << *reason << "\n";
        return kFailure;
    }
    std::vector<uint8_t> documentBytes;
    Document document;
    if (!openDocument(options->input, document, err, &documentBytes)) return kFailure;

    // The frame `korvane render` renders with the same options.
    DefaultsDictionary settings =
        YafarayRenderer::updateSettingsInDictionary(nullptr, options->quality, true);
    const int width = options->width.value_or(int(settings.at("rendererOutputSizeWidth").toInteger()));
    const int height = options->height.value_or(int(settings.at("rendererOutputSizeHeight").toInteger()));
    if (int64_t(width) * height > kMaxImagePixels) {
        err << "korvane: farm: an image of " << int64_t(width) * height << " pixels is larger than the "
            << kMaxImagePixels << " pixels allowed\n";
        return 2;
    }
    FarmJob job;
    job.tiles = farmTileLayout(width, height, *options->tiles);
    if (job.tiles.empty()) {
        err << "korvane: farm: --tiles: " << *options->tiles << " tiles do not fit a " << width << " x "
            << height << " frame\n";
        return 2;
    }
    job.output = absolutePath(options->output);
    job.directory = job.output + ".farm";
    job.scene = job.directory + "/scene.korvane";
    std::error_code noSelf;
    job.program = options->program.empty() ? fs::read_symlink("/proc/self/exe", noSelf).string()
                                           : absolutePath(options->program);
    if (job.program.empty()) {
        err << "korvane: farm: this program's own path is unknown; name it with --korvane PROGRAM\n";
        return 1;
    }
    job.jobName = jobNameFor(options->input);
    job.partition = options->partition;
    job.quality = options->quality;
    job.width = width;
    job.height = height;
    for (const std::string* path : {&job.program, &job.directory}) {
        if (hasControlCharacter(*path)) {
            err << "korvane: " << *path << ": a path with line breaks or control characters cannot go into "
                << "a batch script\n";
            return 2;
        }
    }
    if (job.partition && hasControlCharacter(*job.partition)) {
        err << "korvane: farm: --partition: the name holds control characters\n";
        return 2;
    }

    const std::string script = slurmSubmitScript(job);
    if (options->dryRun) {
        out << script;
        return 0;
    }

    return submit(job, script, documentBytes, out, err);
}

}  // namespace korvane::cli
