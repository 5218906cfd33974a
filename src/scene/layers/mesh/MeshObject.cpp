#include "scene/layers/mesh/MeshObject.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "foundation/Color.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane {

namespace {
constexpr const char* kMeshsKey = "meshs";
constexpr const char* kMaterialsKey = "materials";
constexpr const char* kBoundsKey = "bounds";
// From the smallest scale the editor offers (MeshEditorGeometry::kSmallestScale) up.
constexpr ValueRange kScaleRange{0.1, std::numeric_limits<double>::infinity()};

Box unionOf(const Box& a, const Box& b) {
    return {{std::min(a.start.x, b.start.x), std::min(a.start.y, b.start.y), std::min(a.start.z, b.start.z)},
            {std::max(a.end.x, b.end.x), std::max(a.end.y, b.end.y), std::max(a.end.z, b.end.z)}};
}

// A damaged file may hold NaN or infinite coordinates, which would spoil the bounds and with them
// the whole object's normalisation; they are read as 0.
float finiteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }

std::shared_ptr<DiffuseMaterial> materialFromThreeDS(const ThreeDSMaterial& read, size_t index) {
    auto material = std::make_shared<DiffuseMaterial>();
    material->setName(read.name.empty() ? "Material " + std::to_string(index) : read.name);
    material->setBumpStrength(0.0f);
    // 3DS transparency lets light through; a diffuse surface can only show it as a darker colour.
    const double opacity = 1.0 - read.transparency;
    material->setColor(
        Color::calibratedRGB(read.diffuse[0] * opacity, read.diffuse[1] * opacity, read.diffuse[2] * opacity, 1.0));
    return material;
}
}  // namespace

MeshObject::MeshObject(MeshLayer* meshLayer) : meshLayer_(meshLayer) {}

std::shared_ptr<MeshObject> MeshObject::copy() const {
    auto object = std::make_shared<MeshObject>();
    object->userName_ = userName_;
    object->position_ = position_;
    object->scale_ = scale_;
    object->zRotation_ = zRotation_;
    object->heightOverTerrain_ = heightOverTerrain_;
    object->bounds_ = bounds_;
    object->meshs_ = meshs_;
    object->materials_ = materials_;
    return object;
}

void MeshObject::setPosition(Point position) {
    position_ = position;
    postSceneDidChange();
}

void MeshObject::setScale(float scale) {
    scale_ = scale;
    postSceneDidChange();
}

void MeshObject::setZRotation(float degrees) {
    zRotation_ = degrees;
    postSceneDidChange();
}

void MeshObject::setHeightOverTerrain(float height) {
    heightOverTerrain_ = height;
    postSceneDidChange();
}

void MeshObject::beginChangingGeometry() { ++changeStackCount_; }

void MeshObject::endChangingGeometry() {
    if (changeStackCount_ == 0) return;  // an unmatched end must not reopen the bracket
    if (--changeStackCount_ > 0) return;
    recalculateBounds();
    postSceneDidChange();
}

void MeshObject::recalculateBounds() {
    if (meshs_.empty()) return;
    Box bounds = meshs_.front()->calculateMeshBounds();
    for (size_t i = 1; i < meshs_.size(); ++i) bounds = unionOf(bounds, meshs_[i]->calculateMeshBounds());
    bounds_ = bounds;
}

void MeshObject::addMesh(std::shared_ptr<Mesh> mesh) {
    if (!mesh) return;
    willChange(KeyValueChangeKind::Insertion, {meshs_.size()}, kMeshsKey);
    mesh->setMeshObject(this);
    meshs_.push_back(std::move(mesh));
    didChange(KeyValueChangeKind::Insertion, {meshs_.size() - 1}, kMeshsKey);
}

void MeshObject::removeMesh(const std::shared_ptr<Mesh>& mesh) {
    std::shared_ptr<Mesh> kept = mesh;  // the argument may be an element of meshs_
    std::vector<size_t> indexes;
    for (size_t i = 0; i < meshs_.size(); ++i) {
        if (meshs_[i] == kept) indexes.push_back(i);
    }
    if (indexes.empty()) return;
    willChange(KeyValueChangeKind::Removal, indexes, kMeshsKey);
    std::erase(meshs_, kept);
    if (kept->meshObject() == this) kept->setMeshObject(nullptr);
    didChange(KeyValueChangeKind::Removal, indexes, kMeshsKey);
}

void MeshObject::mergeMaterial(const std::shared_ptr<DiffuseMaterial>& kept,
                               const std::shared_ptr<DiffuseMaterial>& merged) {
    auto keptAt = std::find(materials_.begin(), materials_.end(), kept);
    auto mergedAt = std::find(materials_.begin(), materials_.end(), merged);
    if (!kept || keptAt == materials_.end() || mergedAt == materials_.end() || kept == merged) return;
    const auto keptIndex = static_cast<int>(keptAt - materials_.begin());
    const auto mergedIndex = static_cast<int>(mergedAt - materials_.begin());
    // Where the kept material sits once the merged one has left the list.
    const int keptIndexAfter = keptIndex > mergedIndex ? keptIndex - 1 : keptIndex;

    beginChangingGeometry();
    willChange(KeyValueChangeKind::Setting, {}, kMaterialsKey);
    materials_.erase(mergedAt);
    for (const auto& mesh : meshs_) {
        for (MeshFace& face : mesh->mutableFaces()) {
            if (face.material == mergedIndex) {
                face.material = static_cast<int16_t>(keptIndexAfter);
            } else if (face.material > mergedIndex) {
                --face.material;
            }
        }
    }
    didChange(KeyValueChangeKind::Setting, {}, kMaterialsKey);
    endChangingGeometry();
}

bool MeshObject::load3DSFile(const std::string& path) {
    std::optional<ThreeDSFile> contents = readThreeDSFile(path);
    if (!contents) return false;
    appendThreeDSContents(*contents);
    return true;
}

void MeshObject::appendThreeDSContents(const ThreeDSFile& contents) {
    beginChangingGeometry();
    MaterialList materials = materials_;
    for (size_t i = 0; i < contents.materials.size(); ++i) {
        materials.push_back(materialFromThreeDS(contents.materials[i], i));
    }
    willChange(KeyValueChangeKind::Setting, {}, kMaterialsKey);
    materials_ = std::move(materials);
    didChange(KeyValueChangeKind::Setting, {}, kMaterialsKey);

    const auto materialCount = static_cast<int>(materials_.size());
    for (const ThreeDSMesh& read : contents.meshes) {
        if (read.hidden) continue;
        auto mesh = std::make_shared<Mesh>(this);
        for (size_t i = 0; i < read.points.size(); ++i) {
            const auto& p = read.points[i];
            const MeshUV uv = i < read.texels.size() ? MeshUV{read.texels[i][0], read.texels[i][1]} : MeshUV{};
            mesh->addVertex({finiteOrZero(p[0]), finiteOrZero(p[2]), finiteOrZero(p[1])}, uv);  // z up → y up
        }
        for (const ThreeDSFace& face : read.faces) {
            const bool valid = face.materialIndex >= 0 && face.materialIndex < materialCount;
            mesh->addFace({face.points[0], face.points[1], face.points[2],
                           static_cast<int16_t>(valid ? face.materialIndex : 0)});
        }
        addMesh(std::move(mesh));
    }

    // Centre on the origin and make the largest extent 1. An object whose vertices all coincide has
    // no extent to divide by; it is only centred.
    recalculateBounds();
    const float width = bounds_.end.x - bounds_.start.x;
    const float height = bounds_.end.y - bounds_.start.y;
    const float depth = bounds_.end.z - bounds_.start.z;
    const float size = std::max({width, height, depth});
    const MeshVertex centre{-(bounds_.start.x + bounds_.end.x) / 2, -(bounds_.start.y + bounds_.end.y) / 2,
                            -(bounds_.start.z + bounds_.end.z) / 2};
    for (const auto& mesh : meshs_) {
        mesh->moveAllVerticesBy(centre);
        if (size > 0) mesh->multiplyAllVerticesBy(1.0f / size);
    }
    endChangingGeometry();
}

MeshMatrix MeshObject::placementMatrix(float groundElevation, double sceneHeight) const {
    const MeshMatrix translation = MeshMatrix::translation(
        position_.x, static_cast<double>(groundElevation) - static_cast<double>(scale_) * bounds_.start.y +
                         static_cast<double>(heightOverTerrain_),
        sceneHeight - position_.y);
    const double radians = static_cast<double>(zRotation_) * std::numbers::pi / 180.0;
    return translation * MeshMatrix::uniformScale(scale_) * MeshMatrix::rotationAboutY(radians);
}

void MeshObject::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer() || !renderer.yafrayinterface()) return;
    const Scene* scene = meshLayer_ && meshLayer_->scene() ? meshLayer_->scene() : renderer.scene();
    const double sceneHeight = scene ? scene->size().height : 0.0;
    // Objects stand on the terrain, also under water.
    const float elevation =
        scene ? scene->highestTerrainElevationAtScenePoint({position_.x, sceneHeight - position_.y}, false) : 0.0f;
    const MeshMatrix matrix = placementMatrix(elevation, sceneHeight);

    std::vector<const yafaray::material_t*> table;
    if (materials_.empty()) {
        DiffuseMaterial fallback;
        table.push_back(fallback.appendToRenderer(renderer));
    } else {
        for (const auto& material : materials_) table.push_back(material->appendToRenderer(renderer));
    }
    const MeshList meshs = meshs_;
    for (const auto& mesh : meshs) mesh->appendToRenderer(renderer, matrix, table);
}

void MeshObject::encode(KeyedArchiver& coder) const {
    coder.encodeObject("meshLayer", meshLayer_);
    coder.encodePoint("position", position_);
    coder.encodeFloat("scale", scale_);
    coder.encodeFloat("zRotation", zRotation_);
    coder.encodeFloat("heightOverTerrain", heightOverTerrain_);
    coder.encodeObjects(kMeshsKey, meshs_);
    coder.encodeObjects(kMaterialsKey, materials_);
    if (!userName_.empty()) coder.encodeString("userName", userName_);
    if (topDownThumbnail_) coder.encodeBitmap("topDownThumbnail", topDownThumbnail_);
    if (isometricThumbnail_) coder.encodeBitmap("isometricThumbnail", isometricThumbnail_);
    encodeBox(coder, kBoundsKey, bounds_);
}

void MeshObject::decode(KeyedUnarchiver& coder) {
    // "meshLayer" is not read back: the layer being decoded adopts its objects, and a reference to
    // any other layer could not be trusted to outlive the archive.
    meshLayer_ = nullptr;
    position_ = coder.decodePoint("position");
    // The rotation and the lift take any finite number (the unarchiver reports the rest); a stored
    // scale is at least the smallest the editor offers (an absent one still reads as 0).
    scale_ = coder.containsValue("scale") ? decodeCheckedFloat(coder, "scale", "mesh object scale", kScaleRange)
                                          : 0.0f;
    zRotation_ = coder.decodeFloat("zRotation");
    heightOverTerrain_ = coder.decodeFloat("heightOverTerrain");
    meshs_ = coder.decodeObjects<Mesh>(kMeshsKey);
    for (const auto& mesh : meshs_) mesh->setMeshObject(this);
    materials_ = coder.decodeObjects<DiffuseMaterial>(kMaterialsKey);
    userName_ = coder.decodeString("userName").value_or(std::string{});
    topDownThumbnail_ = coder.decodeBitmap("topDownThumbnail");
    isometricThumbnail_ = coder.decodeBitmap("isometricThumbnail");
    bounds_ = decodeBox(coder, kBoundsKey);
}

void MeshObject::postSceneDidChange() const {
    if (meshLayer_ && meshLayer_->scene()) meshLayer_->scene()->postSceneDidChangeNotification();
}

}  // namespace korvane
