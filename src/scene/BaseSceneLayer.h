#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/Geometry.h"
#include "foundation/archive/Archivable.h"

namespace korvane {

class BaseRenderer;
class Scene;

// The abstract base of every layer of a scene's stack: how the renderer, the editor and the
// archive see a layer. The scene owns its layers; a layer only refers back to its scene.
class BaseSceneLayer : public Archivable {
public:
    explicit BaseSceneLayer(Scene* scene = nullptr);  // initWithScene:
    ~BaseSceneLayer() override = default;

    // Adds the layer's geometry, lights or volumes to a render; the base layer adds nothing.
    virtual void appendToRenderer(BaseRenderer& renderer);
    // Told by the scene, in stack order, after the scene's size changed.
    virtual void sceneSizeDidChange(Size fromSize, Size toSize);

    // The layer table.
    virtual std::string name() const { return "UNNAMED LAYER"; }
    virtual std::string icon() const { return {}; }                // image resource name; empty: none
    virtual std::string editLayerClassName() const { return {}; }  // editor controller; empty: none
    virtual bool canBeDeleted() const { return false; }
    virtual int orderForFunctionsList() const { return 100; }      // sort key of the editor's list
    std::string nameForListView() const { return name(); }

    // What the scene's elevation queries ask of a layer: the terrain answers its height at a ground
    // point, an active water layer the height of its surface. Other layers answer none.
    virtual std::optional<float> terrainElevationAtScenePoint(Point groundPoint) const;
    virtual std::optional<float> activeWaterSurfaceHeight() const;

    // A new layer of the same class with no scene; subclasses copy their fields. The caller sets
    // the copy's scene before using it.
    virtual std::shared_ptr<BaseSceneLayer> copy() const = 0;

    Scene* scene() const { return scene_; }
    virtual void setScene(Scene* scene) { scene_ = scene; }

    // Archive: the scene reference under "scene" (the archive stores the scene once).
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

protected:
    // Posts the scene-did-change notification through the scene, if there is one.
    void postSceneDidChange() const;

private:
    Scene* scene_ = nullptr;
};

}  // namespace korvane
