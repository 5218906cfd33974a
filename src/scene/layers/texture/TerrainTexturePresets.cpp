// The terrain texture layer's preset catalogue: 18 stacks of named materials whose masks are filled
// automatically from the terrain's slope and height. The table below is data.
#include <array>
#include <optional>
#include <vector>

#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/MaskAutoFill.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

namespace {

enum class FillKind { None, Steepness, Height };

// How one map's mask is filled: S(threshold, strength) fills steep areas (type 0), H(type, threshold,
// height) fills by height.
struct MaskFill {
    FillKind kind = FillKind::None;
    int type = 0;
    float threshold = 0;
    float amount = 0;  // the steepness fill's strength or the height fill's height
};

MaskFill S(float threshold, float strength) {
    return {FillKind::Steepness, kSteepnessFillSteepAreas, threshold, strength};
}
MaskFill H(int type, float threshold, float height) {
    return {FillKind::Height, type, threshold, height};
}

struct MapRecipe {
    const char* materialKey;
    MaskFill fill;
};

struct StackPreset {
    const char* title;
    const char* presetKey;
    std::vector<MapRecipe> maps;  // bottom first; the first is the base map
    // The order in which the masks are filled, as map indices; empty: in map order.
    std::vector<int> fillOrder;
};

// clang-format off
const std::vector<StackPreset>& presetTable() {
    static const std::vector<StackPreset> table = {
        {"Detailed Red & Gray Rocks", "detailedredgrayrocks",
         {{"detailedredrocks", {}}, {"detaileddarkgrayrocks", S(0.2f, 0.4f)}}, {}},
        {"Detailed Red Rocks & Bright Sand", "detailedredrocksbrightsand",
         {{"detailedbrightsand2", {}}, {"detailedredrocks2", S(0.5f, 0.15f)}}, {}},
        {"Detailed Earth & Rocks", "detailedearthrocks",
         {{"detailedearth", {}}, {"detailedredrocks", S(0.1f, 0.6f)}, {"detaileddarkgrayrocks", S(0.1f, 0.15f)}}, {}},
        {"Earth & Rocks", "earthrocks",
         {{"lightanddarkearth2", {}}, {"darkgrayrocks6", S(0.1f, 0.6f)}, {"grayrocks3", S(0.1f, 0.15f)}}, {}},
        {"Light Earth & Red Rocks", "lightearthredrocks",
         {{"lightearth", {}}, {"redrocks3", S(0.2f, 0.6f)}}, {}},
        {"Light Earth & Red & Dark Rocks", "lightearthreddarkrocks",
         {{"lightearth", {}}, {"redrocks3", S(0.2f, 0.6f)}, {"darkgrayrocks4", S(0.1f, 0.1f)}}, {}},
        {"Light Earth & Dark Earth & Snow & Dark Rocks", "lightearthdarkearthsnowdarkrocks",
         {{"lightearth", {}}, {"darkearth", H(0, 0.5f, 0.5f)}, {"redrocks3", S(0.2f, 0.15f)},
          {"snow", H(2, 0.25f, 0.8f)}, {"darkgrayrocks6", S(0.2f, 0.075f)}},
         {1, 3, 2, 4}},
        {"Sand & Red Rocks", "beachredrocks",
         {{"brightsand", {}}, {"redrocks3", S(0.9f, 0.25f)}}, {}},
        {"Sand & Rocks", "beachrocks",
         {{"brightsand", {}}, {"darkgrayrocks5", S(0.9f, 0.25f)}}, {}},
        {"Sand & Earth & Rocks", "sandearthrocks",
         {{"brightsand", {}}, {"lightearth", S(0.8f, 0.6f)}, {"darkgrayrocks6", S(0.05f, 0.25f)}}, {}},
        {"Ice & Snow & Rocks", "icesnowrocks",
         {{"snow", {}}, {"ice", S(0.9f, 0.5f)}, {"darkgrayrocks5", S(0.1f, 0.4f)}}, {}},
        {"Snow & Red Rocks", "snowredrocks",
         {{"snow", {}}, {"redrocks3", S(0.1f, 0.4f)}}, {}},
        {"Snow & Dark Rocks", "snowdarkrocks",
         {{"snow2", {}}, {"darkgrayrocks4", S(0.2f, 0.4f)}}, {}},
        {"Brown Mud & Rocks", "brownmuddarkgrayrocksgrayrocks",
         {{"brownmud", {}}, {"darkgrayrocks4", S(0.1f, 0.8f)}, {"grayrocks4", S(0.1f, 0.2f)}}, {}},
        {"Bright & Dark Rocks", "brightdarkrocks",
         {{"darkgrayrocks2", {}}, {"grayrocks4", S(0.1f, 0.8f)}, {"darkgrayrocks5", S(0.1f, 0.2f)}}, {}},
        {"Red Rocks & Dark Rocks", "redrocksdarkrocks",
         {{"redrocks3", {}}, {"darkgrayrocks4", S(0.2f, 0.4f)}}, {}},
        {"Rocks & Earth & Red Rocks", "rocksearthredrocks",
         {{"darkgrayrocks4", {}}, {"earth", H(0, 0.5f, 0.5f)}, {"redrocks3", S(0.2f, 0.15f)}}, {}},
        {"Light & Dark Earth & Red Rocks", "lightdarkearthredrocks",
         {{"lightearth", {}}, {"lightanddarkearth", H(0, 0.5f, 0.5f)}, {"redrocks4", S(0.2f, 0.15f)}}, {}},
    };
    return table;
}
// clang-format on

void applyFill(const MaskFill& fill, Bitmap* mask, const Bitmap* heightmap) {
    if (!mask || !heightmap) return;
    if (fill.kind == FillKind::Steepness)
        applySteepnessFill(*mask, *heightmap, fill.type, fill.threshold, fill.amount);
    if (fill.kind == FillKind::Height)
        applyHeightFill(*mask, *heightmap, fill.type, fill.threshold, fill.amount);
}

}  // namespace

std::vector<PresetDictionary> TerrainTextureLayer::presetDictionaries() {
    std::vector<PresetDictionary> presets;
    for (const StackPreset& preset : presetTable()) presets.push_back({preset.title, preset.presetKey});
    return presets;
}

void TerrainTextureLayer::configureWithPresetDictionary(const PresetDictionary& preset) {
    while (!materialMaps_.empty()) removeMaterialMap(materialMaps_.front());

    const StackPreset* recipe = nullptr;
    for (const StackPreset& candidate : presetTable()) {
        if (preset.presetKey == candidate.presetKey) recipe = &candidate;
    }
    if (!recipe) return;

    // Every map first, each briefly with a random material and a blank mask, as a new map has.
    std::vector<std::shared_ptr<TerrainTextureLayerMaterialMap>> maps;
    for (size_t i = 0; i < recipe->maps.size(); ++i) maps.push_back(addNewMaterialMap());
    maps.front()->replaceMaskWithoutUndo(nullptr);
    for (size_t i = 0; i < maps.size(); ++i)
        maps[i]->material()->configureWithPresetKey(recipe->maps[i].materialKey);

    const Bitmap* heightmap = terrainLayer_ ? terrainLayer_->heightmapImageRep() : nullptr;
    std::vector<int> order = recipe->fillOrder;
    if (order.empty()) {
        for (size_t i = 0; i < maps.size(); ++i) order.push_back(static_cast<int>(i));
    }
    for (int index : order) {
        applyFill(recipe->maps[static_cast<size_t>(index)].fill,
                  maps[static_cast<size_t>(index)]->maskImageRep().get(), heightmap);
    }
    postSceneDidChange();
}

}  // namespace korvane
