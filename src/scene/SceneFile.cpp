#include "scene/SceneFile.h"

#include <iostream>

#include "foundation/FileIO.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {

namespace {
constexpr size_t kMaxSceneFileBytes = size_t{1} << 30;
}

SceneReadResult readSceneFile(const std::string& path) {
    registerSceneClasses();
    std::string error;
    auto bytes = readFileContents(path, kMaxSceneFileBytes, &error);
    if (!bytes) return {nullptr, error, {}};
    std::vector<std::string> repairs;
    auto scene = KeyedUnarchiver::unarchiveRoot<Scene>(*bytes, "scene", &error, &repairs);
    if (!scene) return {nullptr, error, {}};
    for (const std::string& repair : repairs) std::cerr << path << ": " << repair << "\n";
    return {scene, {}, std::move(repairs)};
}

bool writeSceneFile(const Scene& scene, const std::string& path, std::string* error) {
    registerSceneClasses();
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    return writeFileAtomically(path, bytes, error);
}

}  // namespace korvane
