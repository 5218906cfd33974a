#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

// One entry of the water presets: the display name and the key that selects the values.
struct WaterPresetDictionary {
    std::string name;
    std::string presetKey;
};

// The water: when active, a closed box of glass-like water over the whole scene and its overflow
// margin, from just below zero up to the water level, with waves from a distorted-noise bump.
// Point lights stand above its surface, fog lies on it, and height queries may include it.
class WaterLayer final : public BaseSceneLayer {
public:
    // Inactive at height 0.25 with the "Ocean" preset.
    explicit WaterLayer(Scene* scene = nullptr);  // initWithScene:
    // A layer with no scene holding the same values.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Water"; }
    std::string icon() const override { return "WaterLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditWaterLayerViewController"; }
    int orderForFunctionsList() const override { return 3; }

    // Properties; every setter stores and posts scene-did-change.
    bool active() const { return active_; }
    void setActive(bool value);
    float height() const { return height_; }  // water level, in scene height units
    void setHeight(float value);
    float absorbtion() const { return absorbtion_; }
    void setAbsorbtion(float value);
    float wavesHeight() const { return wavesHeight_; }  // bump strength of the waves
    void setWavesHeight(float value);
    float wavesTwirl() const { return wavesTwirl_; }  // distortion of the wave noise
    void setWavesTwirl(float value);
    float wavesSize() const { return wavesSize_; }  // size of the wave noise
    void setWavesSize(float value);
    float IOR() const { return IOR_; }
    void setIOR(float value);
    const std::optional<Color>& waterColor() const { return waterColor_; }  // the glass's filter colour
    void setWaterColor(std::optional<Color> color);
    const std::optional<Color>& mirrorColor() const { return mirrorColor_; }  // colour of reflections
    void setMirrorColor(std::optional<Color> color);

    // The presets in menu order, "Ocean" first.
    static const std::vector<WaterPresetDictionary>& presetDictionaries();
    // Sets the appearance values of the row named by presetKey through the setters; active and height
    // stay. A key that matches no row changes nothing (and answers false).
    bool configureWithPresetDictionary(const WaterPresetDictionary& preset);

    // A Gray8 map of (W + 2o) × (H + 2o) pixels (o the whole overflow margin): each pixel the terrain
    // under it as a fraction of the water level, 255 for land at or above it; all 0 when the level
    // is not above 0. Null without a scene or for an empty map.
    std::shared_ptr<Bitmap> depthImageRep() const;

    std::optional<float> activeWaterSurfaceHeight() const override {
        return active_ ? std::optional<float>(height_) : std::nullopt;
    }

    // When active, the water box of 8 vertices and 12 triangles with its glass material.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys, then every property; none is tested for presence.
    std::string archiveClassName() const override { return "WaterLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    bool active_ = false;
    float height_ = 0.25f;
    float absorbtion_ = 0.0f;
    float wavesHeight_ = 0.0f;
    float wavesTwirl_ = 0.0f;
    float wavesSize_ = 0.0f;
    float IOR_ = 0.0f;
    std::optional<Color> waterColor_;
    std::optional<Color> mirrorColor_;
};

}  // namespace korvane
