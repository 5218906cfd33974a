#include "scene/layers/mesh/MeshObjectLibrary.h"

#include <algorithm>
#include <filesystem>

#include "scene/layers/mesh/MeshObjectFile.h"
#include "scene/layers/smallobjects/ResourcePaths.h"

namespace korvane {

namespace {
constexpr Point kLibraryObjectPosition{5.0, 5.0};
}  // namespace

std::vector<MeshLibraryEntry> meshLibraryEntries(const std::string& folder) {
    std::vector<MeshLibraryEntry> entries;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        entries.push_back({it->path().string(), it->path().stem().string()});
    }
    std::sort(entries.begin(), entries.end(), [](const MeshLibraryEntry& a, const MeshLibraryEntry& b) {
        return a.name != b.name ? a.name < b.name : a.path < b.path;
    });
    return entries;
}

std::optional<std::string> meshLibraryFolder() { return resourcePath(kMeshObjectLibraryFolder); }

std::shared_ptr<MeshObject> objectFromLibraryEntry(const MeshLibraryEntry& entry, std::string* error) {
    std::shared_ptr<MeshObject> object = readMeshObjectFile(entry.path, error);
    if (!object) return nullptr;
    object->setUserName(entry.name);
    object->setPosition(kLibraryObjectPosition);
    object->setZRotation(0.0f);
    object->setScale(1.0f);
    return object;
}

}  // namespace korvane
