#include "scene/layers/mesh/MeshLayer.h"

#include <algorithm>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"

namespace korvane {

namespace {
constexpr const char* kMeshObjectsKey = "meshObjects";

bool holds(const MeshLayer::MeshObjectList& objects, const MeshObject* object) {
    return std::any_of(objects.begin(), objects.end(), [object](const auto& held) { return held.get() == object; });
}
}  // namespace

MeshLayer::MeshLayer(Scene* scene) : BaseSceneLayer(scene) {}

MeshLayer::~MeshLayer() {
    for (const auto& object : meshObjects_) {
        if (object->meshLayer() == this) object->setMeshLayer(nullptr);
    }
}

std::shared_ptr<BaseSceneLayer> MeshLayer::copy() const {
    auto layer = std::make_shared<MeshLayer>();
    MeshObjectList copies;
    copies.reserve(meshObjects_.size());
    for (const auto& object : meshObjects_) copies.push_back(object->copy());
    layer->replaceMeshObjects(std::move(copies));
    return layer;
}

void MeshLayer::setMeshObjects(const MeshObjectList& objects) {
    willChange(KeyValueChangeKind::Setting, {}, kMeshObjectsKey);
    MeshObjectList stored;
    for (const auto& object : objects) {
        if (object) stored.push_back(object);
    }
    replaceMeshObjects(std::move(stored));
    didChange(KeyValueChangeKind::Setting, {}, kMeshObjectsKey);
    postSceneDidChange();
}

void MeshLayer::addMeshObject(std::shared_ptr<MeshObject> object) {
    if (!object) return;
    willChange(KeyValueChangeKind::Insertion, {meshObjects_.size()}, kMeshObjectsKey);
    object->setMeshLayer(this);
    meshObjects_.push_back(std::move(object));
    didChange(KeyValueChangeKind::Insertion, {meshObjects_.size() - 1}, kMeshObjectsKey);
    postSceneDidChange();
}

void MeshLayer::removeMeshObject(const std::shared_ptr<MeshObject>& object) {
    std::shared_ptr<MeshObject> kept = object;  // the argument may be an element of meshObjects_
    std::vector<size_t> indexes;
    for (size_t i = 0; i < meshObjects_.size(); ++i) {
        if (meshObjects_[i] == kept) indexes.push_back(i);
    }
    if (indexes.empty()) return;
    willChange(KeyValueChangeKind::Removal, indexes, kMeshObjectsKey);
    std::erase(meshObjects_, kept);
    if (kept->meshLayer() == this) kept->setMeshLayer(nullptr);
    didChange(KeyValueChangeKind::Removal, indexes, kMeshObjectsKey);
    postSceneDidChange();
}

void MeshLayer::sceneSizeDidChange(Size fromSize, Size toSize) {
    const auto shiftX = static_cast<float>((toSize.width - fromSize.width) / 2);
    const auto shiftY = static_cast<float>((toSize.height - fromSize.height) / 2);
    for (const auto& object : meshObjects_) {
        const Point moved{object->position().x + shiftX, object->position().y + shiftY};
        object->setPosition({std::clamp(moved.x, 0.0, toSize.width), std::clamp(moved.y, 0.0, toSize.height)});
    }
}

void MeshLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return;
    for (size_t i = 0; i < meshObjects_.size(); ++i) meshObjects_[i]->appendToRenderer(renderer);
}

void MeshLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeObjects(kMeshObjectsKey, meshObjects_);
}

void MeshLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    replaceMeshObjects(coder.decodeObjects<MeshObject>(kMeshObjectsKey));
}

void MeshLayer::replaceMeshObjects(MeshObjectList objects) {
    for (const auto& object : meshObjects_) {
        if (object->meshLayer() == this && !holds(objects, object.get())) object->setMeshLayer(nullptr);
    }
    meshObjects_ = std::move(objects);
    for (const auto& object : meshObjects_) object->setMeshLayer(this);
}

}  // namespace korvane
