#pragma once

#include <memory>
#include <vector>

#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

// Imported 3D objects standing on the terrain, in insertion order. Every object the layer holds
// points back to it; observers of "meshObjects" hear every change of the list. Main thread only;
// the render worker appends the objects of a copy.
class MeshLayer final : public BaseSceneLayer, public KeyValueObservable {
public:
    using MeshObjectList = std::vector<std::shared_ptr<MeshObject>>;

    explicit MeshLayer(Scene* scene = nullptr);  // initWithScene: no objects
    // Objects that outlive the layer are left with no layer.
    ~MeshLayer() override;
    // A new layer with no scene holding copies of the objects (MeshObject::copy, geometry shared).
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Objects"; }
    std::string icon() const override { return "MeshLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditMeshLayerViewController"; }
    bool canBeDeleted() const override { return true; }
    int orderForFunctionsList() const override { return 200; }

    const MeshObjectList& meshObjects() const { return meshObjects_; }
    // Stores a copy of the list (nulls left out), adopts every object and posts scene-did-change.
    void setMeshObjects(const MeshObjectList& objects);
    // Adopts and appends the object and posts scene-did-change. Null is ignored. No undo.
    void addMeshObject(std::shared_ptr<MeshObject> object);
    // Removes every occurrence of the object, clears its back-reference and posts scene-did-change.
    void removeMeshObject(const std::shared_ptr<MeshObject>& object);

    // Every object keeps its place relative to the scene's centre, clamped to the new extent.
    void sceneSizeDidChange(Size fromSize, Size toSize) override;
    // Each object in list order. Only ray-tracing renderers receive anything.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys and "meshObjects".
    std::string archiveClassName() const override { return "MeshLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void replaceMeshObjects(MeshObjectList objects);

    MeshObjectList meshObjects_;
};

}  // namespace korvane
