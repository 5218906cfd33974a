// The command line as a whole: help for every command from the one command table, the README's
// command reference, the man page and completion made from it, and what the installed tool writes
// on its two streams.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SmallTerrainScene.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReferenceStart = "<!-- The command reference:";
constexpr const char* kReferenceEnd = "<!-- End of the command reference. -->";

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-command-line-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    // Runs the built tool with `arguments` (shell words), its two streams kept apart.
    ToolRun tool(const std::string& arguments) {
        ToolRun result;
        const fs::path outFile = dir / "stdout.txt", errFile = dir / "stderr.txt";
        const std::string command = std::string(KORVANE_BINARY_DIR) + "/bin/korvane " + arguments + " >" +
                                    outFile.string() + " 2>" + errFile.string();
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = fileText(outFile);
        result.err = fileText(errFile);
        return result;
    }

    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(CommandLineTest, EveryCommandHasHelpWithSynopsisOptionsAndAnExample) {
    ASSERT_EQ(run({"--help"}), 0);
    const std::string general = out.str();
    ASSERT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out.str().rfind("korvane ", 0), 0u);
    EXPECT_NE(out.str().find_first_of("0123456789"), std::string::npos) << out.str();

    for (const cli::CommandDoc& command : cli::commandTable()) {
        EXPECT_NE(general.find("\n  " + command.name + " "), std::string::npos) << command.name;
        ASSERT_EQ(run({"help", command.name}), 0) << command.name;
        const std::string help = out.str();
        EXPECT_TRUE(err.str().empty());
        EXPECT_EQ(help.rfind("usage: korvane " + command.name + " ", 0), 0u) << help;
        EXPECT_NE(help.find("\noptions:\n"), std::string::npos) << help;
        EXPECT_NE(help.find("\nexample"), std::string::npos) << help;
        for (const cli::OptionDoc& option : command.options)
            EXPECT_NE(help.find("  " + option.option), std::string::npos) << command.name << " " << option.option;
        for (const std::string& example : command.examples)
            EXPECT_EQ(example.rfind("korvane " + command.name + " ", 0), 0u) << example;
        // The same text after the command, wherever --help or -h comes.
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {command.name, "--help"}, {command.name, "some.korvane", "-h"}, {"--quiet", command.name, "--help"}}) {
            ASSERT_EQ(run(args), 0) << command.name;
            EXPECT_EQ(out.str(), help) << command.name;
        }
        for (const std::string& line : [&] {
                 std::vector<std::string> lines;
                 std::istringstream text(help);
                 for (std::string l; std::getline(text, l);) lines.push_back(l);
                 return lines;
             }())
            EXPECT_LE(line.size(), 80u) << command.name << ": " << line;
    }
    EXPECT_EQ(run({"help", "frobnicate"}), 2);
    EXPECT_EQ(err.str().rfind("korvane: unknown command 'frobnicate' (commands: info, convert,", 0), 0u) << err.str();
}

TEST_F(CommandLineTest, UsageErrorsAndFailuresHaveOneFormEach) {
    // A usage error: "korvane: COMMAND: reason", the synopsis, status 2, before any file is read.
    EXPECT_EQ(run({"lights", "scene.korvane", "--list"}), 2);
    const std::string lights = err.str();
    EXPECT_EQ(lights.rfind("korvane: lights: unknown option '--list'\nusage: korvane lights FILE --add", 0), 0u)
        << lights;
    EXPECT_NE(lights.find("korvane help lights lists every option\n"), std::string::npos);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"info"}, {"convert", "a"}, {"new"}, {"materials", "x.korvane"}, {"heightmap", "x.korvane"},
             {"terrain", "x.korvane"}, {"objects", "x.korvane"}, {"import-3ds", "x.3ds"}, {"plants", "x.korvane"},
             {"merge", "x.korvane"}, {"farm", "x.korvane"}, {"clouds", "x.korvane"}, {"set", "x.korvane"}}) {
        EXPECT_EQ(run(args), 2) << args[0];
        EXPECT_EQ(err.str().rfind("korvane: " + args[0] + ": ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find("\nusage: korvane " + args[0] + " "), std::string::npos) << err.str();
    }
    // A failure: "korvane: FILE: reason", status 1, for every command that reads a document.
    const std::string missing = (dir / "missing.korvane").string();
    const std::string png = (dir / "out.png").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"info", missing}, {"convert", missing, (dir / "c.korvane").string()},
             {"set", missing, "fog.height=1"}, {"render", missing, "-o", png},
             {"heightmap", missing, "--export", png}, {"terrain", missing, "--equalize", "0.5"},
             {"plants", missing, "--add", "GreenGrassPlant"}, {"materials", missing, "--preset", "earthrocks"},
             {"objects", missing, "--add-3ds", missing}}) {
        EXPECT_EQ(run(args), 1) << args[0];
        EXPECT_EQ(err.str(), "korvane: " + missing + ": No such file or directory\n") << args[0];
        EXPECT_TRUE(out.str().empty()) << args[0];
    }
}

TEST_F(CommandLineTest, TheReadmeManPageAndCompletionComeFromTheCommandTable) {
    const std::string readme = fileText(fs::path(KORVANE_SOURCE_DIR) / "README.md");
    const size_t start = readme.find(kReferenceStart);
    const size_t end = readme.find(kReferenceEnd);
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const size_t body = readme.find("-->\n\n", start) + 5;
    ASSERT_LT(body, end);
    EXPECT_EQ(readme.substr(body, end - body - 1), cli::readmeCommandReference())
        << "README.md's command reference differs from the command table; build/bin/korvane-docs readme "
           "prints the text to put between the markers";

    const std::string man = cli::manPage();
    const std::string completion = cli::bashCompletion();
    EXPECT_EQ(man.rfind(".\\\" ", 0), 0u);
    EXPECT_NE(man.find(".SH \"EXIT STATUS\""), std::string::npos);
    for (const cli::CommandDoc& command : cli::commandTable()) {
        std::string roffName;
        for (char c : command.name) roffName += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(man.find("\n.SS " + roffName + "\n"), std::string::npos) << command.name;
        EXPECT_NE(completion.find("\n        " + command.name + ") options=\""), std::string::npos) << command.name;
    }
    EXPECT_NE(completion.find("options=\"--json --help --quiet --verbose\""), std::string::npos) << completion;
    EXPECT_NE(completion.find("--fractal --large --small --seed --noise"), std::string::npos) << completion;
    // The build writes both where `make install` takes them from.
    EXPECT_EQ(fileText(fs::path(KORVANE_BINARY_DIR) / "share/man/man1/korvane.1"), man);
    EXPECT_EQ(fileText(fs::path(KORVANE_BINARY_DIR) / "share/bash-completion/completions/korvane"), completion);
}

TEST_F(CommandLineTest, StandardOutputCarriesOnlyResultsAndQuietOnlyErrors) {
    const fs::path scene = dir / "small.korvane";
    writeSmallTerrainScene(scene.string());
    const std::string render = "render " + scene.string() + " --width 24 --height 16 --quality 2 --threads 2 -o ";

    // Not a terminal: standard output holds the "wrote" line, standard error one line per pass.
    ToolRun plain = tool(render + (dir / "plain.png").string());
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "wrote " + (dir / "plain.png").string() + "\n");
    EXPECT_EQ(plain.err, "Rendering Pass 1 of 2…\nRendering Pass 2 of 2…\n");

    ToolRun quiet = tool("--quiet " + render + (dir / "quiet.png").string());
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(fs::exists(dir / "quiet.png"));
    ToolRun quietSet = tool("set " + scene.string() + " sky.turbidity=3 -q");
    EXPECT_EQ(quietSet.status, 0) << quietSet.err;
    EXPECT_EQ(quietSet.out + quietSet.err, "");

    // --verbose: the renderer's and the engine's notes on standard error, each kind of unused
    // parameter once; standard output unchanged.
    ToolRun verbose = tool(render + (dir / "verbose.png").string() + " --verbose");
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(verbose.out, "wrote " + (dir / "verbose.png").string() + "\n");
    EXPECT_NE(verbose.err.find("Begin Construct Geometry\n"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("INFO: "), std::string::npos) << verbose.err;
    std::istringstream lines(verbose.err);
    std::vector<std::string> unusedKinds;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("unused parameter") == std::string::npos) continue;
        const std::string kind = line.substr(line.rfind(" for ") + 5);
        EXPECT_EQ(std::count(unusedKinds.begin(), unusedKinds.end(), kind), 0) << line;
        unusedKinds.push_back(kind);
    }

    // Errors still reach standard error under --quiet.
    ToolRun failed = tool("-q info " + (dir / "missing.korvane").string());
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "korvane: " + (dir / "missing.korvane").string() + ": No such file or directory\n");
}

}  // namespace
}  // namespace korvane
