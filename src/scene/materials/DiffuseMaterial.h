#pragma once

#include <memory>
#include <optional>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "scene/materials/BaseMaterial.h"
#include "scene/shaders/BaseShader.h"

namespace korvane {

// The general surface material ("shinydiffusemat"): a colour or a colour shader, optional bump,
// transparency and mirror shaders, and constant reflection amounts. Carries the catalogue of 47
// presets that the terrain's material maps and the material sheet offer.
class DiffuseMaterial final : public BaseMaterial {
public:
    DiffuseMaterial() = default;

    bool useDiffuseShader() const { return useDiffuseShader_; }
    void setUseDiffuseShader(bool use) { useDiffuseShader_ = use; }
    // Absent colours are sent as white.
    const std::optional<Color>& color() const { return color_; }
    void setColor(std::optional<Color> color) { color_ = color; }
    const std::shared_ptr<BaseShader>& diffuseShader() const { return diffuseShader_; }
    void setDiffuseShader(std::shared_ptr<BaseShader> shader) { diffuseShader_ = std::move(shader); }
    const std::shared_ptr<BaseShader>& bumpShader() const { return bumpShader_; }
    void setBumpShader(std::shared_ptr<BaseShader> shader) { bumpShader_ = std::move(shader); }
    // Handed to the bump shader before every append.
    float bumpStrength() const { return bumpStrength_; }
    void setBumpStrength(float strength) { bumpStrength_ = strength; }
    const std::shared_ptr<BaseShader>& transparencyShader() const { return transparencyShader_; }
    void setTransparencyShader(std::shared_ptr<BaseShader> shader) {
        transparencyShader_ = std::move(shader);
    }
    bool useMirrorShader() const { return useMirrorShader_; }
    void setUseMirrorShader(bool use) { useMirrorShader_ = use; }
    // The constant specular reflection, used while useMirrorShader is off.
    float spectacularReflect() const { return spectacularReflect_; }
    void setSpectacularReflect(float reflect) { spectacularReflect_ = reflect; }
    const std::shared_ptr<BaseShader>& mirrorShader() const { return mirrorShader_; }
    void setMirrorShader(std::shared_ptr<BaseShader> shader) { mirrorShader_ = std::move(shader); }
    const std::optional<Color>& mirrorColor() const { return mirrorColor_; }
    void setMirrorColor(std::optional<Color> color) { mirrorColor_ = color; }
    float diffuseReflect() const { return diffuseReflect_; }
    void setDiffuseReflect(float reflect) { diffuseReflect_ = reflect; }
    float transparency() const { return transparency_; }
    void setTransparency(float transparency) { transparency_ = transparency; }
    float translucency() const { return translucency_; }
    void setTranslucency(float translucency) { translucency_ = translucency; }
    float transmitFilter() const { return transmitFilter_; }
    void setTransmitFilter(float filter) { transmitFilter_ = filter; }

    // The swatch: a 32 × 32 RGBA8 image of a shaded disc in the swatch colour (the diffuse shader's
    // representative colour while it is used, else `color`); fully transparent when there is none.
    Bitmap icon() const;

    // Textures of the shaders first, then the material with its node list. Render worker thread.
    const yafaray::material_t* appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                float scaleZ) override;
    using BaseMaterial::appendToRenderer;

    // The 47 presets, in menu order.
    static std::vector<PresetDictionary> presetDictionaries();
    // Resets the shaders, colour and reflections, then builds the preset's textures; an unknown key
    // leaves the reset material. The name is kept.
    void configureWithPresetDictionary(const PresetDictionary& preset) override;
    void configureWithPresetKey(const std::string& presetKey);

    // Archive: "name", "useDiffuseShader", "color", "diffuseShader", "bumpStrength", "bumpShader",
    // "transparencyShader", "useMirrorShader", "mirrorShader", "mirrorColor", "diffuseReflect",
    // "spectacularReflect", "transparency", "translucency", "transmitFilter" (kept at 1.0 when the
    // archive lacks it).
    std::string archiveClassName() const override { return "DiffuseMaterial"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    void resetForPreset();

    bool useDiffuseShader_ = false;
    std::optional<Color> color_ = Color::calibratedRGB(1, 1, 1, 1);
    std::shared_ptr<BaseShader> diffuseShader_;
    std::shared_ptr<BaseShader> bumpShader_;
    float bumpStrength_ = 0.1f;
    std::shared_ptr<BaseShader> transparencyShader_;
    bool useMirrorShader_ = false;
    float spectacularReflect_ = 0.0f;
    std::shared_ptr<BaseShader> mirrorShader_;
    std::optional<Color> mirrorColor_ = Color::calibratedRGB(1, 1, 1, 1);
    float diffuseReflect_ = 1.0f;
    float transparency_ = 0.0f;
    float translucency_ = 0.0f;
    float transmitFilter_ = 1.0f;
};

}  // namespace korvane
