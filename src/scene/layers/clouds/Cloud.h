#pragma once

#include <memory>
#include <string>

#include "foundation/archive/Archivable.h"
#include "scene/layers/clouds/Box.h"
#include "scene/textures/CloudsTexture.h"

namespace korvane {

class BaseRenderer;
class CloudsLayer;
class Scene;

// One cloud of the clouds layer: a footprint on the plan at a band of heights, filled at render
// time with a "FixedNoiseVolume" region whose density comes from the cloud's own clouds texture.
// Edited on the main thread; the render worker appends it.
class Cloud final : public Archivable {
public:
    // init: the default values, a new clouds texture (depth 3, hard, size 5, noise type 4), no layer.
    Cloud();
    // A cloud with no layer holding the same values and a deep copy of the texture under a new
    // unique name, so that both clouds can render in one scene without a texture name clash.
    std::shared_ptr<Cloud> copy() const;

    // The owning layer (not owned); none for a cloud that no layer holds. Storing it posts nothing.
    CloudsLayer* cloudsLayer() const { return cloudsLayer_; }
    void setCloudsLayer(CloudsLayer* layer) { cloudsLayer_ = layer; }

    // Properties; every setter stores and posts scene-did-change through the layer's scene.
    // The noise that shapes the cloud; its name is the texture's name in the ray tracer. A cloud
    // without a texture renders nothing.
    const std::shared_ptr<CloudsTexture>& cloudsTexture() const { return cloudsTexture_; }
    void setCloudsTexture(std::shared_ptr<CloudsTexture> texture);
    // Footprint in plan coordinates (x from start.x to end.x, y from start.y to end.y); the z values
    // are stored and archived but do not render.
    const Box& boundingBox() const { return boundingBox_; }
    void setBoundingBox(const Box& box);
    float density() const { return density_; }
    void setDensity(float density);
    float cover() const { return cover_; }
    void setCover(float cover);
    float sharpness() const { return sharpness_; }  // of the cloud's edges
    void setSharpness(float sharpness);
    // Bottom of the cloud band, an absolute height in scene units (not relative to the terrain).
    float heightAboveGround() const { return heightAboveGround_; }
    void setHeightAboveGround(float height);
    float height() const { return height_; }  // thickness of the band
    void setHeight(float height);
    // 0: density falls off towards the ellipsoid inscribed in the box; 1: hard box edges.
    int edgeMode() const { return edgeMode_; }
    void setEdgeMode(int edgeMode);

    // "Cloud N", N being the cloud's position in its layer's list counted from 1 (0 when no layer
    // holds it).
    std::string name() const;
    // The image resource that stands for a cloud in lists.
    std::string icon() const { return "CloudsLayerIcon"; }

    // The texture, then one "FixedNoiseVolume" region over the footprint (plan converted to ground
    // coordinates) named afresh on every render. Only ray-tracing renderers receive anything.
    void appendToRenderer(BaseRenderer& renderer);

    // Archive: "density", "cover", "sharpness", "heightAboveGround", "height", "cloudsTexture",
    // "cloudsLayer", "edgeMode" and the six "boundingBox…" floats. Absent values read as 0; a
    // cloud stored without a texture keeps its new default texture.
    std::string archiveClassName() const override { return "Cloud"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void postSceneDidChange() const;
    const Scene* sceneForRenderer(const BaseRenderer& renderer) const;

    CloudsLayer* cloudsLayer_ = nullptr;
    std::shared_ptr<CloudsTexture> cloudsTexture_;
    Box boundingBox_{{4.0f, 4.0f, 0.5f}, {9.0f, 9.0f, 2.5f}};
    float density_ = 0.25f;
    float cover_ = 0.5f;
    float sharpness_ = 0.3f;
    float heightAboveGround_ = 1.0f;
    float height_ = 2.0f;
    int edgeMode_ = 0;
};

}  // namespace korvane
