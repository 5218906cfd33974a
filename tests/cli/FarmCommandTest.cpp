#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "SmallTerrainScene.h"
#include "cli/Commands.h"
#include "cli/ExternalProgram.h"
#include "cli/FarmProgress.h"
#include "cli/FarmTileLayout.h"
#include "cli/SlurmScript.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using cli::farmTileLayout;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// How many tiles of `tiles` cover each pixel of the frame.
std::vector<int> coverCounts(const std::vector<PixelRegion>& tiles, int width, int height) {
    std::vector<int> counts(size_t(width) * height, 0);
    for (const PixelRegion& tile : tiles) {
        EXPECT_TRUE(tile.x0 >= 0 && tile.y0 >= 0 && tile.x1 <= width && tile.y1 <= height);
        EXPECT_TRUE(tile.width() > 0 && tile.height() > 0);
        for (int y = std::max(tile.y0, 0); y < std::min(tile.y1, height); ++y)
            for (int x = std::max(tile.x0, 0); x < std::min(tile.x1, width); ++x)
                ++counts[size_t(y) * width + x];
    }
    return counts;
}

TEST(FarmTileLayoutTest, TilesCoverTheFrameExactlyOnceForAnyCount) {
    struct Frame {
        int width, height, count;
    };
    for (const Frame& f : {Frame{160, 100, 1}, Frame{160, 100, 4}, Frame{160, 100, 7}, Frame{160, 100, 16},
                           Frame{5120, 1600, 16}, Frame{3, 50, 7}, Frame{7, 1, 7}, Frame{2, 2, 4}}) {
        const std::vector<PixelRegion> tiles = farmTileLayout(f.width, f.height, f.count);
        ASSERT_EQ(tiles.size(), size_t(f.count)) << f.width << "x" << f.height << " in " << f.count;
        const std::vector<int> counts = coverCounts(tiles, f.width, f.height);
        EXPECT_EQ(std::count(counts.begin(), counts.end(), 1), long(counts.size()))
            << f.width << "x" << f.height << " in " << f.count;
    }
}

TEST(FarmTileLayoutTest, LayoutsAreRowsOfNearlyEqualTiles) {
    EXPECT_EQ(farmTileLayout(160, 100, 1), (std::vector<PixelRegion>{{0, 0, 160, 100}}));
    EXPECT_EQ(
        farmTileLayout(160, 100, 4),
        (std::vector<PixelRegion>{{0, 0, 80, 50}, {80, 0, 160, 50}, {0, 50, 80, 100}, {80, 50, 160, 100}}));
    // Seven is prime: a row of four and a row of three.
    EXPECT_EQ(farmTileLayout(160, 100, 7), (std::vector<PixelRegion>{{0, 0, 40, 50},
                                                                     {40, 0, 80, 50},
                                                                     {80, 0, 120, 50},
                                                                     {120, 0, 160, 50},
                                                                     {0, 50, 53, 100},
                                                                     {53, 50, 106, 100},
                                                                     {106, 50, 160, 100}}));
    // Sixteen: rows of 6, 5 and 5 tiles; within a row the widths differ by one pixel at most.
    std::map<int, std::vector<int>> widthsByRow;
    for (const PixelRegion& tile : farmTileLayout(160, 100, 16)) {
        widthsByRow[tile.y0].push_back(tile.width());
        EXPECT_TRUE(tile.height() == 33 || tile.height() == 34) << tile.height();
    }
    ASSERT_EQ(widthsByRow.size(), 3u);
    EXPECT_EQ(widthsByRow[0].size(), 6u);
    EXPECT_EQ(widthsByRow[33].size(), 5u);
    EXPECT_EQ(widthsByRow[66].size(), 5u);
    for (const auto& [row, widths] : widthsByRow)
        EXPECT_LE(
            *std::max_element(widths.begin(), widths.end()) - *std::min_element(widths.begin(), widths.end()),
            1)
            << "row at " << row;
}

TEST(FarmTileLayoutTest, MoreTilesThanPixelsGiveNoLayout) {
    EXPECT_TRUE(farmTileLayout(2, 2, 5).empty());
    EXPECT_TRUE(farmTileLayout(160, 100, 0).empty());
}

// Stand-ins for sbatch, scancel, squeue, sacct and korvane on the nodes, as shell scripts in a
// directory put first on PATH. They record their arguments, one per line, and what they read.
class FarmCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-farm-" + std::to_string(::getpid()));
        // A space and a quote in every path: the batch script must keep them single words.
        work = dir / "farm's renders";
        bin = dir / "bin";
        fs::create_directories(work);
        fs::create_directories(bin);
        scene = (work / "lake.korvane").string();
        writeSmallTerrainScene(scene);
        output = (work / "lake 100%.png").string();
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
        writeProgram("korvane-on-node",
                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >\"$KORVANE_RECORD\"\n");
        writeProgram("sacct", "");
    }
    void TearDown() override {
        ::setenv("PATH", savedPath.c_str(), 1);
        fs::remove_all(dir);
    }

    void writeProgram(const std::string& name, const std::string& body) {
        const fs::path path = bin / name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }
    // An sbatch that hands out jobs 41, 42, …: call N's arguments go to sbatch-args-N, its job
    // script to sbatch-script-N. Call `failingCall` fails as Slurm does for a bad partition.
    void writeSbatch(int failingCall = 0) {
        writeProgram(
            "sbatch",
            "d='" + dir.string() +
                "'\n"
                "n=$(/bin/cat \"$d/count\" 2>/dev/null || echo 0); n=$((n + 1)); echo $n >\"$d/count\"\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >\"$d/sbatch-args-$n\"\n"
                "/bin/cat >\"$d/sbatch-script-$n\"\n"
                "if [ $n = " +
                std::to_string(failingCall) +
                " ]; then echo 'sbatch: error: invalid partition specified: gpu' >&2; exit 1; fi\n"
                "echo \"$((40 + n));korvane-cluster\"\n");
        writeProgram("scancel", "echo \"$@\" >'" + (dir / "scancelled").string() + "'\n");
    }
    // Runs job script `script` as Slurm would run array task `task`, korvane being the stand-in;
    // returns the arguments korvane got.
    std::vector<std::string> runJobScript(const fs::path& script, int task) {
        const fs::path record = dir / "korvane-arguments";
        ::setenv("KORVANE_RECORD", record.c_str(), 1);
        ::setenv("SLURM_ARRAY_TASK_ID", std::to_string(task).c_str(), 1);
        std::string error;
        std::optional<cli::ExternalProgramResult> result =
            cli::runExternalProgram({"/bin/sh", script.string()}, &error);
        ::unsetenv("SLURM_ARRAY_TASK_ID");
        EXPECT_TRUE(result && result->exitStatus == 0) << error << (result ? result->errors : "");
        return lines(contents(record));
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    std::vector<std::string> farmArguments(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"farm",      scene,
                                         "-o",        output,
                                         "--tiles",   "4",
                                         "--width",   "160",
                                         "--height",  "100",
                                         "--quality", "2",
                                         "--korvane", (bin / "korvane-on-node").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    fs::path dir, work, bin;
    std::string scene, output, savedPath;
    std::ostringstream out, err;
};

TEST_F(FarmCommandTest, SubmitsATileArrayAndAMergeThatWaitsForIt) {
    writeSbatch();
    ASSERT_EQ(run(farmArguments({"--partition", "render nodes"})), 0) << err.str();
    const std::string farm = output + ".farm";
    EXPECT_EQ(out.str(), "submitted 4 tiles as job 41 and their merge as job 42; the image goes to " +
                             output + "\nprogress: korvane farm --status 41\n");
    // The nodes read a copy of the scene in the farm directory; the script that submitted stays.
    EXPECT_EQ(contents(farm + "/scene.korvane"), contents(scene));
    EXPECT_TRUE(fs::exists(farm + "/submit.sh"));

    const std::vector<std::string> tileOptions = lines(contents(dir / "sbatch-args-1"));
    EXPECT_EQ(tileOptions,
              (std::vector<std::string>{"--parsable", "--job-name=korvane-lake", "--array=0-3",
                                        "--partition=render nodes", "--chdir=" + farm,
                                        // Slurm reads % in log names as a placeholder.
                                        "--output=" + work.string() + "/lake 100%%.png.farm/tile-%a.log"}));
    const std::vector<std::string> mergeOptions = lines(contents(dir / "sbatch-args-2"));
    EXPECT_EQ(mergeOptions, (std::vector<std::string>{
                                "--parsable", "--job-name=korvane-merge-of-41", "--dependency=afterok:41",
                                "--kill-on-invalid-dep=yes", "--partition=render nodes", "--chdir=" + farm,
                                "--output=" + work.string() + "/lake 100%%.png.farm/merge.log"}));

    const std::string program = (bin / "korvane-on-node").string();
    EXPECT_EQ(runJobScript(dir / "sbatch-script-1", 3),
              (std::vector<std::string>{"render", farm + "/scene.korvane", "--quality", "2", "--width", "160",
                                        "--height", "100", "--region", "80,50,160,100", "-o",
                                        farm + "/tile-3.kvtile"}));
    EXPECT_EQ(runJobScript(dir / "sbatch-script-1", 0)[9], "0,0,80,50");
    EXPECT_EQ(runJobScript(dir / "sbatch-script-2", 0),
              (std::vector<std::string>{"merge", farm + "/scene.korvane", farm + "/tile-0.kvtile",
                                        farm + "/tile-1.kvtile", farm + "/tile-2.kvtile",
                                        farm + "/tile-3.kvtile", "-o", output}));
}

TEST_F(FarmCommandTest, RefusedSubmissionsAreFailuresAndLeaveNoTileJobBehind) {
    writeSbatch(1);
    EXPECT_EQ(run(farmArguments({"--partition", "gpu"})), 1);
    EXPECT_EQ(err.str(),
              "korvane: farm: the jobs could not be submitted: "
              "sbatch: error: invalid partition specified: gpu\n");
    EXPECT_TRUE(out.str().empty());

    fs::remove(dir / "count");
    writeSbatch(2);  // the tiles go in, the merge job does not: the tiles are cancelled again
    EXPECT_EQ(run(farmArguments()), 1);
    EXPECT_TRUE(contains(err.str(), "invalid partition")) << err.str();
    EXPECT_EQ(contents(dir / "scancelled"), "41\n");
}

TEST_F(FarmCommandTest, DryRunPrintsTheScriptAndWritesNothing) {
    ::setenv("PATH", bin.c_str(), 1);  // no Slurm needed to look at the script
    fs::remove(bin / "sacct");
    const fs::path previous = fs::current_path();
    fs::current_path(work);  // relative names become absolute paths the nodes can open
    const int status = run({"farm", "lake.korvane", "-o", "out/lake.png", "--tiles", "7", "--dry-run"});
    fs::current_path(previous);
    ASSERT_EQ(status, 0) << err.str();
    const std::string script = out.str();
    EXPECT_EQ(script.rfind("#!/bin/sh\n", 0), 0u);
    const std::string farm = cli::shellQuoted(work.string() + "/out/lake.png.farm");
    EXPECT_TRUE(contains(script, "--array=0-6 --chdir=" + farm + " ")) << script;
    EXPECT_FALSE(contains(script, "--partition"));
    EXPECT_TRUE(contains(script, "--quality 3 --width 320 --height 240")) << script;  // render's defaults
    EXPECT_TRUE(contains(script, "  6) region=213,120,320,240 tile=")) << script;
    EXPECT_TRUE(contains(script, "-o " + cli::shellQuoted(work.string() + "/out/lake.png") + "\n")) << script;
    EXPECT_FALSE(fs::exists(work / "out"));
}

TEST_F(FarmCommandTest, WithoutSlurmTheCommandSaysSoAndPointsToTheReadme) {
    ::setenv("PATH", (dir / "nowhere").c_str(), 1);
    EXPECT_EQ(run(farmArguments()), 1);
    EXPECT_EQ(err.str(),
              "korvane: farm: Slurm is not installed here (no sbatch on PATH); see "
              "\"Rendering on a cluster\" in Korvane's README.md\n");
    EXPECT_FALSE(fs::exists(output + ".farm"));
    EXPECT_EQ(run({"farm", "--status", "41"}), 1);
    EXPECT_TRUE(contains(err.str(), "no squeue on PATH")) << err.str();
}

TEST_F(FarmCommandTest, StatusCountsTheTilesAndShowsTheMerge) {
    writeProgram("squeue",
                 "case \"$*\" in\n"
                 "  *--jobs=41*) printf '41_0|COMPLETED\\n41_1|RUNNING\\n41_[2-3]|PENDING\\n' ;;\n"
                 "  *--name=korvane-merge-of-41*) echo '42|PENDING' ;;\n"
                 "  *) echo 'slurm_load_jobs error: Invalid job id specified' >&2; exit 1 ;;\n"
                 "esac\n");
    ASSERT_EQ(run({"farm", "--status", "41"}), 0) << err.str();
    EXPECT_EQ(out.str(), "tiles (job 41): 1 completed, 1 running, 2 pending of 4\nmerge (job 42): pending\n");

    // Jobs the controller has forgotten come from the accounting database.
    writeProgram("squeue", "echo 'slurm_load_jobs error: Invalid job id specified' >&2; exit 1\n");
    writeProgram("sacct",
                 "case \"$*\" in\n"
                 "  *--jobs=41*) printf '41_0|COMPLETED\\n41_1|FAILED\\n' ;;\n"
                 "  *--name=korvane-merge-of-41*) echo '42|CANCELLED by 0' ;;\n"
                 "esac\n");
    ASSERT_EQ(run({"farm", "--status", "41"}), 0) << err.str();
    EXPECT_EQ(out.str(), "tiles (job 41): 1 completed, 1 failed of 2\nmerge (job 42): cancelled\n");

    EXPECT_EQ(run({"farm", "--status", "99"}), 1);
    EXPECT_EQ(err.str(), "korvane: farm: Slurm knows no job 99\n");

    writeProgram("squeue", "echo 'squeue: error: Unable to contact slurm controller' >&2; exit 1\n");
    EXPECT_EQ(run({"farm", "--status", "41"}), 1);
    EXPECT_EQ(err.str(), "korvane: farm: squeue: squeue: error: Unable to contact slurm controller\n");
}

TEST_F(FarmCommandTest, BadArgumentsAreUsageErrorsAndBadScenesNameTheFile) {
    writeSbatch();
    EXPECT_EQ(run({"farm", scene, "-o", output}), 2);
    EXPECT_TRUE(contains(err.str(), "no tile count given (--tiles N)")) << err.str();
    EXPECT_EQ(run({"farm", scene, "-o", output, "--tiles", "0"}), 2);
    EXPECT_EQ(run({"farm", scene, "-o", output, "--tiles", "5", "--width", "2", "--height", "2"}), 2);
    EXPECT_EQ(err.str().substr(0, err.str().find('\n') + 1), "korvane: farm: --tiles: 5 tiles do not fit a 2 x 2 frame\n");
    EXPECT_EQ(run({"farm", "--status", "41; rm -rf /"}), 2);
    EXPECT_EQ(run({"farm", "--status", "41", "--tiles", "4"}), 2);
    EXPECT_EQ(run({"farm", scene, "-o", (work / "line\nbreak.png").string(), "--tiles", "2"}), 2);
    EXPECT_FALSE(fs::exists(dir / "count"));  // nothing was submitted

    const std::string damaged = (work / "damaged.korvane").string();
    std::ofstream(damaged) << "not a scene";
    EXPECT_EQ(run({"farm", damaged, "-o", output, "--tiles", "2"}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + damaged + ": ", 0), 0u) << err.str();
    EXPECT_FALSE(fs::exists(output + ".farm"));
}

TEST(FarmProgressTest, ArrayRecordsCountEveryTask) {
    const std::vector<cli::SlurmJobRecord> records =
        cli::parseSlurmJobRecords("7_[0-3,6,8-9%2]|PENDING\n\nno bar here\n7_4|RUNNING|\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].state, "RUNNING");
    EXPECT_EQ(cli::describeFarmProgress("7", records, {}),
              "tiles (job 7): 1 running, 7 pending of 8\nmerge: not known to Slurm any more\n");
}

}  // namespace
}  // namespace korvane
