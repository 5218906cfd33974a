#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "foundation/Random.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

namespace {

constexpr const char* kBaseMapName = "Base Layer";

// The old pixels (up to two, with weights) that land on each new pixel along one axis, in drawing
// coordinates (counted from the first column and from the last row of data).
struct Tap {
    int index = -1;
    float weight = 0;
};

std::vector<std::array<Tap, 2>> placementTaps(int newCount, int oldCount) {
    const float offset = newCount > oldCount ? static_cast<float>(newCount - oldCount) / 2.0f : 0.0f;
    const int whole = static_cast<int>(std::floor(offset));
    const bool half = offset != static_cast<float>(whole);
    auto tap = [oldCount](int index, float weight) {
        return index >= 0 && index < oldCount ? Tap{index, weight} : Tap{};
    };
    std::vector<std::array<Tap, 2>> taps(static_cast<size_t>(newCount));
    for (int n = 0; n < newCount; ++n) {
        taps[static_cast<size_t>(n)] =
            half ? std::array<Tap, 2>{tap(n - whole - 1, 0.5f), tap(n - whole, 0.5f)}
                 : std::array<Tap, 2>{tap(n - whole, 1.0f), Tap{}};
    }
    return taps;
}

}  // namespace

Bitmap recutMask(const Bitmap* old, int width, int height) {
    Bitmap mask(width, height, PixelFormat::Gray8);
    if (!old || old->empty() || old->format() != PixelFormat::Gray8 || mask.empty()) return mask;
    const auto columns = placementTaps(width, old->width());
    const auto rows = placementTaps(height, old->height());
    for (int row = 0; row < height; ++row) {
        const auto& rowTaps = rows[static_cast<size_t>(height - 1 - row)];
        for (int column = 0; column < width; ++column) {
            float value = 0;
            for (const Tap& r : rowTaps) {
                if (r.index < 0) continue;
                const int oldRow = old->height() - 1 - r.index;
                for (const Tap& c : columns[static_cast<size_t>(column)]) {
                    if (c.index >= 0) value += r.weight * c.weight * old->gray8(c.index, oldRow);
                }
            }
            mask.setGray8(column, row, static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 255.0f))));
        }
    }
    return mask;
}

TerrainTextureLayerMaterialMap::TerrainTextureLayerMaterialMap()
    : material_(std::make_shared<DiffuseMaterial>()) {}

std::shared_ptr<TerrainTextureLayerMaterialMap> TerrainTextureLayerMaterialMap::create(
    TerrainTextureLayer* layer) {
    auto map = std::make_shared<TerrainTextureLayerMaterialMap>();
    map->terrainTextureLayer_ = layer;
    Scene* scene = layer ? layer->scene() : nullptr;
    map->sceneSizeDidChange(Size{}, scene ? scene->size() : Size{});
    const std::vector<PresetDictionary> presets = DiffuseMaterial::presetDictionaries();
    map->material_->configureWithPresetDictionary(presets[static_cast<size_t>(randomInt()) % presets.size()]);
    return map;
}

std::string TerrainTextureLayerMaterialMap::name() const {
    int index = terrainTextureLayer_ ? terrainTextureLayer_->indexOfMaterialMap(this) : -1;
    if (index == 0) return kBaseMapName;
    return "Layer " + std::to_string(index);
}

void TerrainTextureLayerMaterialMap::setMaskImageRep(std::shared_ptr<Bitmap> mask) {
    Scene* scene = terrainTextureLayer_ ? terrainTextureLayer_->scene() : nullptr;
    if (scene && scene->undoManager()) {
        // The undo holds the map and the replaced mask, as the platform's undo retains its argument.
        std::shared_ptr<TerrainTextureLayerMaterialMap> self = weak_from_this().lock();
        std::shared_ptr<Bitmap> previous = maskImageRep_;
        TerrainTextureLayerMaterialMap* target = this;
        scene->undoManager()->registerUndo(this,
                                           [self, target, previous] { target->setMaskImageRep(previous); });
    }
    maskImageRep_ = std::move(mask);
    if (scene) scene->postSceneDidChangeNotification();
}

void TerrainTextureLayerMaterialMap::startMaskChange() {
    maskImageRepForUndo_ = maskImageRep_ ? std::make_shared<Bitmap>(*maskImageRep_) : nullptr;
}

void TerrainTextureLayerMaterialMap::endMaskChange() {
    Scene* scene = terrainTextureLayer_ ? terrainTextureLayer_->scene() : nullptr;
    if (scene) {
        std::shared_ptr<TerrainTextureLayerMaterialMap> self = weak_from_this().lock();
        std::shared_ptr<Bitmap> snapshot = maskImageRepForUndo_;
        TerrainTextureLayerMaterialMap* target = this;
        scene->postSceneDidChangeNotification(
            this, [self, target, snapshot] { target->setMaskImageRep(snapshot); });
    }
    maskImageRepForUndo_.reset();
}

void TerrainTextureLayerMaterialMap::sceneSizeDidChange(Size, Size) {
    // The base map covers the whole terrain and is rendered without its mask: it has none.
    if (terrainTextureLayer_ && terrainTextureLayer_->indexOfMaterialMap(this) == 0) {
        maskImageRep_.reset();
        return;
    }
    const TerrainLayer* terrain = terrainTextureLayer_ ? terrainTextureLayer_->terrainLayer() : nullptr;
    const Bitmap* heightmap = terrain ? terrain->heightmapImageRep() : nullptr;
    if (!heightmap || heightmap->width() <= 0 || heightmap->height() <= 0) return;
    maskImageRep_ =
        std::make_shared<Bitmap>(recutMask(maskImageRep_.get(), heightmap->width(), heightmap->height()));
}

void TerrainTextureLayerMaterialMap::encode(KeyedArchiver& coder) const {
    coder.encodeObject("terrainTextureLayer", terrainTextureLayer_);
    coder.encodeBitmap("maskImageRep", maskImageRep_);
    coder.encodeObject("material", material_.get());
}

void TerrainTextureLayerMaterialMap::decode(KeyedUnarchiver& coder) {
    // The owner is being decoded when its maps are; the reference resolves to that very layer.
    terrainTextureLayer_ = coder.decodeObjectOfClass<TerrainTextureLayer>("terrainTextureLayer").get();
    std::string damage;
    maskImageRep_ = coder.decodeBitmap("maskImageRep", &damage);
    if (!damage.empty()) {
        // A damaged mask costs the user that mask, not the document: it reads as flat (empty).
        const std::string owner = "the '" + (terrainTextureLayer_ ? terrainTextureLayer_->name()
                                                                  : std::string("Terrain Materials")) + "' layer";
        coder.reportRepair("a mask of " + owner + " is damaged (" + damage + "); it is replaced by a flat one");
    }
    // A mask of another format cannot be painted, filled or rendered as a mask.
    if (maskImageRep_ && maskImageRep_->format() != PixelFormat::Gray8) maskImageRep_.reset();
    // Every map has a material; a damaged archive without one gets a plain new material.
    material_ = coder.decodeObjectOfClass<DiffuseMaterial>("material");
    if (!material_) material_ = std::make_shared<DiffuseMaterial>();
}

}  // namespace korvane
