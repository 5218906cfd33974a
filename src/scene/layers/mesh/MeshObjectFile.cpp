#include "scene/layers/mesh/MeshObjectFile.h"

#include "foundation/FileIO.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {

namespace {
// Far above any object a 3DS file can describe (65535 vertices per mesh).
constexpr size_t kLargestFile = size_t{1} << 30;
}  // namespace

bool writeMeshObjectFile(const MeshObject& object, const std::string& path, std::string* error) {
    registerSceneClasses();
    const std::vector<uint8_t> bytes = KeyedArchiver::archivedData(object);
    return writeFileAtomically(path, bytes, error);
}

std::shared_ptr<MeshObject> readMeshObjectFile(const std::string& path, std::string* error) {
    std::optional<std::vector<uint8_t>> bytes = readFileContents(path, kLargestFile, error);
    if (!bytes) return nullptr;
    registerSceneClasses();
    return KeyedUnarchiver::unarchiveRoot<MeshObject>(*bytes, "MeshObject", error);
}

}  // namespace korvane
