#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace korvane::cli {

// Each subcommand takes its arguments (after the subcommand's name) and returns the exit status:
// 0, 1 when the work failed ("korvane: FILE: reason" printed), 2 for a usage error ("korvane:
// COMMAND: reason" printed; the dispatcher adds the synopsis). Results go to `console.out`.
int runInfo(const std::vector<std::string>& args, Console& console);
int runConvert(const std::vector<std::string>& args, Console& console);
int runMaterials(const std::vector<std::string>& args, Console& console);
int runNew(const std::vector<std::string>& args, Console& console);
int runSet(const std::vector<std::string>& args, Console& console);
int runLights(const std::vector<std::string>& args, Console& console);
int runClouds(const std::vector<std::string>& args, Console& console);
int runRender(const std::vector<std::string>& args, Console& console);
int runMerge(const std::vector<std::string>& args, Console& console);
int runFarm(const std::vector<std::string>& args, Console& console);
int runHeightmap(const std::vector<std::string>& args, Console& console);
int runTerrain(const std::vector<std::string>& args, Console& console);
int runObjects(const std::vector<std::string>& args, Console& console);
int runImport3ds(const std::vector<std::string>& args, Console& console);
int runPlants(const std::vector<std::string>& args, Console& console);
int runRocks(const std::vector<std::string>& args, Console& console);

// Dispatches `korvane [GLOBAL OPTIONS] COMMAND ARGS…`: --help, --version, `help COMMAND`,
// `COMMAND --help`, --quiet and --verbose (before the command or among its arguments).
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
