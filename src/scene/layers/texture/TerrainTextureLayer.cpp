#include "scene/layers/texture/TerrainTextureLayer.h"

#include <algorithm>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/materials/BlendMaterial.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/ImageTexture.h"

namespace korvane {

namespace {

constexpr const char* kBaseMaterialPresetKey = "redrocks3";
// Texture coordinates are scaled so that a pattern keeps its size on the ground whatever the
// heightmap's pixel size: one repetition per 1024 heightmap pixels.
constexpr double kPixelsPerTextureRepeat = 1024.0;

}  // namespace

TerrainTextureLayer::TerrainTextureLayer(Scene* scene, std::shared_ptr<TerrainLayer> terrainLayer)
    : BaseSceneLayer(scene), terrainLayer_(std::move(terrainLayer)) {
    auto base = TerrainTextureLayerMaterialMap::create(this);
    base->material()->configureWithPresetKey(kBaseMaterialPresetKey);
    base->replaceMaskWithoutUndo(nullptr);
    materialMaps_.push_back(std::move(base));
}

std::shared_ptr<BaseSceneLayer> TerrainTextureLayer::copy() const {
    auto layer = std::make_shared<TerrainTextureLayer>();
    layer->materialMaps_ = materialMaps_;
    layer->terrainLayer_ = terrainLayer_;
    if (scene()) {
        const auto terrains = scene()->layersOfClass<TerrainLayer>();
        const auto found = std::find(terrains.begin(), terrains.end(), terrainLayer_);
        if (found != terrains.end())
            layer->copiedTerrainOrdinal_ = static_cast<int>(found - terrains.begin());
    }
    return layer;
}

void TerrainTextureLayer::setScene(Scene* scene) {
    BaseSceneLayer::setScene(scene);
    if (!scene || copiedTerrainOrdinal_ < 0) return;
    // The layers of a scene copy are added in stack order, so the terrain below is already there.
    const auto terrains = scene->layersOfClass<TerrainLayer>();
    if (copiedTerrainOrdinal_ < static_cast<int>(terrains.size()))
        terrainLayer_ = terrains[static_cast<size_t>(copiedTerrainOrdinal_)];
    copiedTerrainOrdinal_ = -1;
}

int TerrainTextureLayer::indexOfMaterialMap(const TerrainTextureLayerMaterialMap* map) const {
    for (size_t i = 0; i < materialMaps_.size(); ++i) {
        if (materialMaps_[i].get() == map) return static_cast<int>(i);
    }
    return -1;
}

std::shared_ptr<TerrainTextureLayerMaterialMap> TerrainTextureLayer::addNewMaterialMap() {
    willChangeMaps();
    auto map = TerrainTextureLayerMaterialMap::create(this);
    materialMaps_.push_back(map);
    didChangeMaps();
    postSceneDidChange();
    return map;
}

void TerrainTextureLayer::removeMaterialMap(const std::shared_ptr<TerrainTextureLayerMaterialMap>& map) {
    std::shared_ptr<TerrainTextureLayerMaterialMap> kept = map;  // the argument may be an element of the list
    willChangeMaps();
    std::erase(materialMaps_, kept);
    didChangeMaps();
    postSceneDidChange();
}

void TerrainTextureLayer::moveMaterialMap(const std::shared_ptr<TerrainTextureLayerMaterialMap>& map,
                                          int targetIndex) {
    const int from = indexOfMaterialMap(map.get());
    if (from < 0) return;
    std::shared_ptr<TerrainTextureLayerMaterialMap> kept = map;
    willChangeMaps();
    materialMaps_.erase(materialMaps_.begin() + from);
    // The target names a slot of the list before the move; taking the map out shifted the slots
    // after it by one.
    int insertion = from < targetIndex ? targetIndex - 1 : targetIndex;
    insertion = std::max(insertion, 0);
    if (insertion > static_cast<int>(materialMaps_.size())) {
        materialMaps_.push_back(kept);
    } else {
        materialMaps_.insert(materialMaps_.begin() + insertion, kept);
    }
    didChangeMaps();
    postSceneDidChange();
}

void TerrainTextureLayer::sceneSizeDidChange(Size fromSize, Size toSize) {
    // The count is taken once: a map reacting to the change does not change who is told.
    MaterialMapList maps = materialMaps_;
    for (const auto& map : maps) map->sceneSizeDidChange(fromSize, toSize);
}

const yafaray::material_t* TerrainTextureLayer::createTerrainMaterialForRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return nullptr;
    const Bitmap* heightmap = terrainLayer_ ? terrainLayer_->heightmapImageRep() : nullptr;
    const double width = heightmap ? heightmap->width() : 0;
    const double height = heightmap ? heightmap->height() : 0;
    const float scaleX = static_cast<float>(width / kPixelsPerTextureRepeat);
    const float scaleY = static_cast<float>(height / kPixelsPerTextureRepeat);

    // A stack without maps (after a preset key without a recipe, or from a damaged file) still gives
    // the terrain a surface: a plain material of the defaults, for this render only.
    std::shared_ptr<BaseMaterial> chain;
    if (!materialMaps_.empty() && materialMaps_.front()->material()) {
        chain = materialMaps_.front()->material();
    } else {
        chain = std::make_shared<DiffuseMaterial>();
    }
    for (size_t i = 1; i < materialMaps_.size(); ++i) {
        const TerrainTextureLayerMaterialMap& map = *materialMaps_[i];
        // A map without a mask (no heightmap when it was made) would make the engine refuse the whole
        // blend for a missing texture; it covers nothing, so it is left out.
        if (!map.material() || !map.maskImageRep()) continue;
        auto texture = std::make_shared<ImageTexture>();
        texture->setBitmapImageRep(map.maskImageRep());
        auto blend = std::make_shared<BlendMaterial>();
        blend->setMaterial1(chain);
        blend->setMaterial2(map.material());
        blend->setMaskShader(TextureMapperShader::textureMapperShaderWithTexture(texture));
        chain = blend;
    }
    return chain->appendToRenderer(renderer, scaleX, scaleY, 1.0f);
}

void TerrainTextureLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeObject("terrainLayer", terrainLayer_.get());
    coder.encodeObjects("materialMaps", materialMaps_);
}

void TerrainTextureLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    terrainLayer_ = coder.decodeObjectOfClass<TerrainLayer>("terrainLayer");
    materialMaps_ = coder.decodeObjects<TerrainTextureLayerMaterialMap>("materialMaps");
    // Every map belongs to this layer, whatever owner a damaged file names.
    for (const auto& map : materialMaps_) map->setTerrainTextureLayer(this);
}

}  // namespace korvane
