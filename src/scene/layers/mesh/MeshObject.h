#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"
#include "foundation/KeyValueObserving.h"
#include "foundation/archive/Archivable.h"
#include "scene/layers/clouds/Box.h"
#include "scene/layers/mesh/Mesh.h"
#include "scene/materials/DiffuseMaterial.h"

namespace korvane {

class BaseRenderer;
class MeshLayer;
struct ThreeDSFile;

// An imported 3D object standing on the terrain: its meshes and materials in object coordinates
// (x and z across the ground, y up, normalised to a unit cube on import) and its placement on the
// plan. Edited on the main thread; the render worker appends it. Observers hear "meshs" and
// "materials" change.
class MeshObject final : public Archivable, public KeyValueObservable {
public:
    using MeshList = std::vector<std::shared_ptr<Mesh>>;
    using MaterialList = std::vector<std::shared_ptr<DiffuseMaterial>>;

    explicit MeshObject(MeshLayer* meshLayer = nullptr);  // initWithMeshLayer:
    // A new object without layer with the same name, placement and bounds, sharing this object's
    // meshes and materials. An independent duplicate is made by archiving and reading back.
    std::shared_ptr<MeshObject> copy() const;

    // The owning layer (not owned). Storing it posts nothing.
    MeshLayer* meshLayer() const { return meshLayer_; }
    void setMeshLayer(MeshLayer* layer) { meshLayer_ = layer; }

    // Placement; every setter stores and posts scene-did-change through the layer's scene.
    Point position() const { return position_; }  // plan coordinates
    void setPosition(Point position);
    float scale() const { return scale_; }  // the largest extent in scene units
    void setScale(float scale);
    float zRotation() const { return zRotation_; }  // degrees, clockwise in the top-down view
    void setZRotation(float degrees);
    float heightOverTerrain() const { return heightOverTerrain_; }  // lift of the lowest point
    void setHeightOverTerrain(float height);

    const MeshList& meshs() const { return meshs_; }
    void setMeshs(MeshList meshs) { meshs_ = std::move(meshs); }
    const MaterialList& materials() const { return materials_; }
    void setMaterials(MaterialList materials) { materials_ = std::move(materials); }
    const std::string& userName() const { return userName_; }  // empty: none
    void setUserName(const std::string& name) { userName_ = name; }
    const std::shared_ptr<const Bitmap>& topDownThumbnail() const { return topDownThumbnail_; }
    void setTopDownThumbnail(std::shared_ptr<const Bitmap> image) { topDownThumbnail_ = std::move(image); }
    const std::shared_ptr<const Bitmap>& isometricThumbnail() const { return isometricThumbnail_; }
    void setIsometricThumbnail(std::shared_ptr<const Bitmap> image) { isometricThumbnail_ = std::move(image); }
    // Of all meshes, in object coordinates; valid once the outermost geometry bracket has ended.
    const Box& bounds() const { return bounds_; }
    void setBounds(const Box& bounds) { bounds_ = bounds; }

    // A nestable bracket around geometry edits: when the outermost one ends the bounds are
    // recalculated and scene-did-change is posted.
    void beginChangingGeometry();
    void endChangingGeometry();
    int changeStackCount() const { return changeStackCount_; }
    // The union of the meshes' bounds; with no meshes the bounds stay as they are.
    void recalculateBounds();

    // Adds the mesh (which then belongs to this object) / removes every occurrence of it.
    void addMesh(std::shared_ptr<Mesh> mesh);
    void removeMesh(const std::shared_ptr<Mesh>& mesh);
    // Moves every face of `merged` onto `kept` and removes `merged`; the faces of materials listed
    // after it are renumbered so that every face keeps its material. Nothing happens unless both
    // are in the list and they differ.
    void mergeMaterial(const std::shared_ptr<DiffuseMaterial>& kept, const std::shared_ptr<DiffuseMaterial>& merged);

    // Reads a 3DS file in this process and appends its materials and visible meshes, centred and
    // fitted to the unit cube. False, with the object unchanged, when lib3ds cannot read the file.
    // lib3ds is not safe against damaged files: the application imports through MeshImportProcess.
    bool load3DSFile(const std::string& path);
    // The same from contents already read (the part of the import that involves no parser).
    void appendThreeDSContents(const ThreeDSFile& contents);

    // Every mesh, rotated, scaled and set on the ground under the object's position (terrain, not
    // water), with the object's materials. Only ray-tracing renderers receive anything.
    void appendToRenderer(BaseRenderer& renderer);
    // The placement matrix T · S · R for a ground elevation and a scene height (Hs), in object
    // coordinates: the object's lowest point rests heightOverTerrain above the ground.
    MeshMatrix placementMatrix(float groundElevation, double sceneHeight) const;

    // Archive: "meshLayer", "position", "scale", "zRotation", "heightOverTerrain", "meshs",
    // "materials", "userName", "topDownThumbnail", "isometricThumbnail" and the six "bounds…"
    // floats. Stored values are taken unchanged; absent floats read 0.
    std::string archiveClassName() const override { return "MeshObject"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void postSceneDidChange() const;

    MeshLayer* meshLayer_ = nullptr;
    Point position_{5.0, 5.0};
    float scale_ = 1.0f;
    float zRotation_ = 0.0f;
    float heightOverTerrain_ = 0.0f;
    MeshList meshs_;
    MaterialList materials_;
    std::string userName_;
    std::shared_ptr<const Bitmap> topDownThumbnail_;
    std::shared_ptr<const Bitmap> isometricThumbnail_;
    Box bounds_;
    int changeStackCount_ = 0;
};

}  // namespace korvane
