#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"
#include "scene/BaseSceneLayer.h"

namespace yafaray {
class material_t;
}

namespace korvane {

// The terrain: a 16-bit grey heightmap of 102.4 pixels per scene unit, row 0 at ground y = 0, a
// sample s standing for s / 65535 × the scene's maxTerrainHeight. Brushes and filters write into
// its samples between startHeightmapChange and endHeightmapChange; the renderer turns it into an
// adaptive triangle mesh with aprons and a ground skirt. Edits on the main thread; the render worker
// samples the heightmap while it builds.
class TerrainLayer final : public BaseSceneLayer {
public:
    // How the terrain meets the ground outside the scene.
    enum BorderMode : int32_t {
        kBorderLoweredToZero = 0,  // edge vertices at 0, flat apron at 0
        kBorderSlopedApron = 1,    // edge keeps its heights, apron slopes down to 0 (also any other value)
        kBorderExtendedEdge = 2,   // edge keeps its heights, apron keeps the edge heights
    };
    static constexpr float kDefaultSmoothingFactor = 45.0f;

    // initWithScene: a blank heightmap sized for the scene (none without a scene).
    explicit TerrainLayer(Scene* scene = nullptr);
    ~TerrainLayer() override;
    // A layer with no scene holding a copy of the heightmap, the border mode and the smoothing.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Terrain Elevation"; }
    std::string icon() const override { return "TerrainLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditTerrainLayerViewController"; }
    int orderForFunctionsList() const override { return 1; }

    // The heightmap (Gray16), or null when the scene has a zero side. Owned by the layer; replaced on
    // size changes, decoding, undo, redo and setHeightmapImageRep.
    Bitmap* heightmapImageRep() { return heightmap_.get(); }
    const Bitmap* heightmapImageRep() const { return heightmap_.get(); }
    // Registers the current bitmap as the undo (so undo and redo both come back through here),
    // replaces it by a copy of `bitmap` and posts scene-did-change.
    void setHeightmapImageRep(const Bitmap& bitmap);
    // Snapshots the bitmap; a brush stroke, filter or import then writes into it directly.
    void startHeightmapChange();
    // Commits the edit since startHeightmapChange as one undo step restoring the snapshot.
    void endHeightmapChange();
    bool hasHeightmapSnapshot() const { return heightmapForUndo_ != nullptr; }

    int32_t borderMode() const { return borderMode_; }
    void setBorderMode(int32_t mode);  // posts scene-did-change; no undo
    float smoothingFactor() const { return smoothingFactor_; }
    void setSmoothingFactor(float degrees);  // posts scene-did-change; no undo

    // The terrain's height in scene units at a ground point, interpolated and clamped into the map.
    float heightAtScenePoint(Point groundPoint) const;
    // The interpolated sampler (class operation); see interpolatedValueFromBitmapData.
    static float interpolatedValueFromBitmapData(const uint16_t* samples, Size bitmapSize, float x, float y);
    std::optional<float> terrainElevationAtScenePoint(Point groundPoint) const override {
        return heightAtScenePoint(groundPoint);
    }

    // The material of the first layer in the stack that dresses this terrain, appended to the
    // renderer; null when there is none (the triangles then carry no material).
    const yafaray::material_t* materialFromLayerForRenderer(BaseRenderer& renderer) const;

    // Re-cuts the heightmap to the new scene size: blank, with the old map copied in unscaled,
    // centred on an axis that grew, kept from the drawing origin (column 0, the last row) on one
    // that shrank.
    void sceneSizeDidChange(Size fromSize, Size toSize) override;
    // Assigns the scene and re-cuts the heightmap from the old scene's size (0 × 0 without one).
    void setScene(Scene* scene) override;

    // The terrain mesh and the ground skirt (see TerrainLayerQuadTreeNode).
    void appendToRenderer(BaseRenderer& renderer) override;

    // Heightmap import and export, the model side of the terrain editor's commands.
    // Draws a PNG, JPEG or TIFF picture of any bit depth into the heightmap, scaled to its size and
    // with the picture's top row at the top of the plan view (the heightmap's last row), as one undo
    // step; 16-bit grey keeps its precision, colour counts by its luminance. False with the reason in
    // `error` (the heightmap unchanged) for unreadable data.
    bool importHeightmap(std::span<const uint8_t> imageBytes, std::string* error);
    // The heightmap as a 16-bit grey PNG in the plan view's orientation (the heightmap's last row
    // first), so that importing the file reproduces the map bit for bit. Empty without a heightmap.
    std::vector<uint8_t> exportHeightmapPng() const;

    // Lowest, highest and mean terrain height in scene units over all samples (0 without a map).
    struct HeightStatistics {
        float minimum = 0;
        float maximum = 0;
        float mean = 0;
    };
    HeightStatistics heightStatistics() const;

    // Archive: "scene", "pngHeightmapData" (16-bit grey PNG of the bitmap as stored), "borderMode",
    // "smoothingFactor". A missing or unreadable heightmap fails the whole archive with a message.
    std::string archiveClassName() const override { return "TerrainLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void replaceHeightmap(std::unique_ptr<Bitmap> bitmap);

    std::shared_ptr<Bitmap> heightmap_;
    int32_t borderMode_ = kBorderLoweredToZero;
    float smoothingFactor_ = kDefaultSmoothingFactor;
    std::unique_ptr<Bitmap> heightmapForUndo_;
};

}  // namespace korvane
