#pragma once

#include <memory>
#include <vector>

#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/terrain/TerrainMaterialSource.h"
#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"
#include "scene/materials/PresetDictionary.h"

namespace korvane {

class TerrainLayer;

// What the terrain's surface is made of: an ordered stack of material maps over one terrain layer,
// bottom first. The base map (index 0) covers the whole terrain; every further map lays its material
// over everything below where its mask is white. At render time the stack becomes one left-deep
// chain of blend materials. Also offers presets that rebuild the whole stack from named materials and
// automatic mask fills. Edited on the main thread; the render worker only reads it.
class TerrainTextureLayer final : public BaseSceneLayer,
                                  public TerrainMaterialSource,
                                  public KeyValueObservable {
public:
    using MaterialMapList = std::vector<std::shared_ptr<TerrainTextureLayerMaterialMap>>;

    // initWithScene:andTerrainLayer: one base map with the "redrocks3" material and no mask.
    explicit TerrainTextureLayer(Scene* scene = nullptr,
                                 std::shared_ptr<TerrainLayer> terrainLayer = nullptr);
    // The same map objects and the same terrain layer, no scene. Placed into a copy of the scene (the
    // renderer's snapshot), the copy dresses that scene's copy of the terrain instead.
    std::shared_ptr<BaseSceneLayer> copy() const override;
    void setScene(Scene* scene) override;

    // Layer table
    std::string name() const override { return "Terrain Materials"; }
    std::string icon() const override { return "TerrainTexturesLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditTerrainTextureLayerViewController"; }
    int orderForFunctionsList() const override { return 2; }

    // The terrain whose heightmap fixes the masks' pixel size (shared with the scene).
    const TerrainLayer* terrainLayer() const override { return terrainLayer_.get(); }
    const std::shared_ptr<TerrainLayer>& sharedTerrainLayer() const { return terrainLayer_; }
    void setTerrainLayer(std::shared_ptr<TerrainLayer> terrainLayer) {
        terrainLayer_ = std::move(terrainLayer);
    }

    // The stack, bottom first; observable under "materialMaps".
    const MaterialMapList& materialMaps() const { return materialMaps_; }
    // Position of a map in the stack, or -1.
    int indexOfMaterialMap(const TerrainTextureLayerMaterialMap* map) const;
    // Appends a new map (random material, blank mask) and posts scene-did-change.
    std::shared_ptr<TerrainTextureLayerMaterialMap> addNewMaterialMap();
    void removeMaterialMap(const std::shared_ptr<TerrainTextureLayerMaterialMap>& map);
    // Drops the map before the slot `targetIndex` of the list as it was before the move (a target past
    // the end appends). Maps not in the stack are ignored.
    void moveMaterialMap(const std::shared_ptr<TerrainTextureLayerMaterialMap>& map, int targetIndex);
    void startMaterialMapChange() {}
    void endMaterialMapChange() {}

    // Forwarded to every map in stack order (the terrain, earlier in the scene, has re-cut first).
    void sceneSizeDidChange(Size fromSize, Size toSize) override;

    // The stack as one renderer material, texture coordinates scaled by the heightmap's size / 1024.
    // A stack without maps renders with a plain default material, so the terrain never goes without
    // one; maps above the base without a mask are left out of the chain. Render worker thread.
    const yafaray::material_t* createTerrainMaterialForRenderer(BaseRenderer& renderer) override;

    // The 18 presets in menu order, and applying one: every map is replaced by the recipe's maps with
    // their materials and automatic fills. A key without a recipe leaves the layer without maps.
    static std::vector<PresetDictionary> presetDictionaries();
    void configureWithPresetDictionary(const PresetDictionary& preset);

    // Archive: the base layer's keys, "terrainLayer", "materialMaps".
    std::string archiveClassName() const override { return "TerrainTextureLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void willChangeMaps() { willChange(KeyValueChangeKind::Setting, {}, kMaterialMapsKey); }
    void didChangeMaps() { didChange(KeyValueChangeKind::Setting, {}, kMaterialMapsKey); }
    static constexpr const char* kMaterialMapsKey = "materialMaps";

    std::shared_ptr<TerrainLayer> terrainLayer_;
    MaterialMapList materialMaps_;
    // For a copy: which of the source scene's terrain layers (in stack order) it dresses; -1 when
    // there is nothing to re-point.
    int copiedTerrainOrdinal_ = -1;
};

}  // namespace korvane
