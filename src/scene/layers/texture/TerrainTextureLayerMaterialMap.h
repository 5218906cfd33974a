#pragma once

#include <memory>
#include <string>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"
#include "foundation/archive/Archivable.h"
#include "scene/materials/DiffuseMaterial.h"

namespace korvane {

class TerrainTextureLayer;

// One level of the terrain texture layer's stack: a material and the greyscale mask (Gray8, the
// heightmap's pixel size; 0 absent, 255 fully present) saying where it lies over everything below.
// The base map has no mask. Painting writes into the mask between startMaskChange and endMaskChange,
// so that one undo step restores the mask as it was before the stroke. Main thread only.
class TerrainTextureLayerMaterialMap final
    : public Archivable,
      public std::enable_shared_from_this<TerrainTextureLayerMaterialMap> {
public:
    // A map with no owner, no mask and a new default material: what decoding starts from.
    TerrainTextureLayerMaterialMap();
    // initWithTerrainTextureLayer: a blank mask of the heightmap's size (none without a heightmap) and
    // a material configured with a randomly chosen DiffuseMaterial preset (the process-wide sequence).
    static std::shared_ptr<TerrainTextureLayerMaterialMap> create(TerrainTextureLayer* layer);

    // Not owned: the layer owns its maps.
    TerrainTextureLayer* terrainTextureLayer() const { return terrainTextureLayer_; }
    void setTerrainTextureLayer(TerrainTextureLayer* layer) { terrainTextureLayer_ = layer; }

    // "Base Layer" for the map at index 0, otherwise "Layer N" with its index in the stack.
    std::string name() const;

    // The mask (Gray8), shared with whoever renders it; null for the base map.
    const std::shared_ptr<Bitmap>& maskImageRep() const { return maskImageRep_; }
    // Registers the previous mask as the undo (so undo and redo both come back through here), stores
    // the new one and posts scene-did-change.
    void setMaskImageRep(std::shared_ptr<Bitmap> mask);
    // Stores a mask without an undo step and without a notification (presets, new layers).
    void replaceMaskWithoutUndo(std::shared_ptr<Bitmap> mask) { maskImageRep_ = std::move(mask); }
    // Snapshots the mask; a brush then writes into it directly.
    void startMaskChange();
    // Commits the edit since startMaskChange as one undo step that restores the snapshot.
    void endMaskChange();
    const std::shared_ptr<Bitmap>& maskImageRepForUndo() const { return maskImageRepForUndo_; }

    const std::shared_ptr<DiffuseMaterial>& material() const { return material_; }
    void setMaterial(std::shared_ptr<DiffuseMaterial> material) { material_ = std::move(material); }

    // Re-cuts the mask to the terrain's heightmap size: blank, with the old mask copied in unscaled,
    // centred on an axis that grew, kept from the drawing origin (column 0, the last row) on an axis
    // that shrank. Without a heightmap the mask stays as it is; the base map (index 0) keeps none.
    void sceneSizeDidChange(Size fromSize, Size toSize);

    // Archive: "terrainTextureLayer", "maskImageRep", "material".
    std::string archiveClassName() const override { return "TerrainTextureLayerMaterialMap"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    TerrainTextureLayer* terrainTextureLayer_ = nullptr;
    std::shared_ptr<Bitmap> maskImageRep_;
    std::shared_ptr<DiffuseMaterial> material_;
    std::shared_ptr<Bitmap> maskImageRepForUndo_;
};

// A new blank Gray8 mask of width × height holding `old` (when given) unscaled: centred on an axis
// that grew (offset half the difference; a half-pixel offset blends neighbours), kept from the drawing
// origin on an axis that shrank (the first columns, the last rows of data). The heightmap is re-cut by
// the same rule, so mask and terrain stay aligned. Any thread.
Bitmap recutMask(const Bitmap* old, int width, int height);

}  // namespace korvane
