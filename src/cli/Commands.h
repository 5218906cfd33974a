#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace korvane::cli {

// Each subcommand takes its arguments (after the subcommand's name) and returns the exit status.
// Results go to `out`; errors ("korvane: FILE: reason") to `err`.
int runInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runMaterials(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runNew(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runSet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runLights(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runClouds(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runMerge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runFarm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runHeightmap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runTerrain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runObjects(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runImport3ds(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runPlants(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runRocks(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Dispatches `korvane SUBCOMMAND ARGS…`; prints the usage for no or an unknown subcommand.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
