#include "scene/layers/smallobjects/ResourcePaths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace korvane {

namespace {

namespace fs = std::filesystem;

// How many folders above the program's own folder are searched for "resources".
constexpr int kParentFoldersSearched = 4;
// Where an installed program's resources lie, relative to the folder above its own (PREFIX/bin).
constexpr const char* kInstalledResources = "share/korvane/resources";

std::vector<fs::path> candidateFolders() {
    std::vector<fs::path> folders;
    if (const char* fromEnvironment = std::getenv("KORVANE_RESOURCES_DIR"); fromEnvironment && *fromEnvironment) {
        folders.emplace_back(fromEnvironment);
    }
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path folder = program.parent_path();
        folders.push_back(folder.parent_path() / kInstalledResources);
        for (int level = 0; level <= kParentFoldersSearched && !folder.empty(); ++level) {
            folders.push_back(folder / "resources");
            if (folder == folder.parent_path()) break;
            folder = folder.parent_path();
        }
    }
#ifdef KORVANE_SOURCE_RESOURCES_DIR
    folders.emplace_back(KORVANE_SOURCE_RESOURCES_DIR);
#endif
    return folders;
}

}  // namespace

std::optional<std::string> resourcesDirectory() {
    std::error_code error;
    for (const fs::path& folder : candidateFolders()) {
        if (fs::is_directory(folder, error)) return folder.string();
    }
    return std::nullopt;
}

std::optional<std::string> resourcePath(const std::string& relativePath) {
    std::error_code error;
    for (const fs::path& folder : candidateFolders()) {
        fs::path candidate = folder / relativePath;
        if (fs::exists(candidate, error)) return candidate.string();
    }
    return std::nullopt;
}

}  // namespace korvane
