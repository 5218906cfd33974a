#pragma once

#include <memory>
#include <optional>

#include "foundation/Color.h"
#include "scene/materials/BaseMaterial.h"
#include "scene/shaders/BaseShader.h"

namespace korvane {

// The water surface ("glass"), built by the water layer for each render. Absent colours are not
// sent. Archives only the base material's name.
class GlassMaterial final : public BaseMaterial {
public:
    GlassMaterial() = default;

    float IOR() const { return IOR_; }
    void setIOR(float ior) { IOR_ = ior; }
    // The absorption distance; the ray tracer gets it plus 0.01.
    float absorbtion() const { return absorbtion_; }
    void setAbsorbtion(float absorbtion) { absorbtion_ = absorbtion; }
    const std::optional<Color>& color() const { return color_; }
    void setColor(std::optional<Color> color) { color_ = color; }
    const std::optional<Color>& mirrorColor() const { return mirrorColor_; }
    void setMirrorColor(std::optional<Color> color) { mirrorColor_ = color; }
    const std::optional<Color>& transmitFilterColor() const { return transmitFilterColor_; }
    void setTransmitFilterColor(std::optional<Color> color) { transmitFilterColor_ = color; }
    float transmitFilterStrength() const { return transmitFilterStrength_; }
    void setTransmitFilterStrength(float strength) { transmitFilterStrength_ = strength; }
    const std::shared_ptr<BaseShader>& bumpShader() const { return bumpShader_; }
    void setBumpShader(std::shared_ptr<BaseShader> shader) { bumpShader_ = std::move(shader); }
    // Handed to the bump shader before every append.
    float bumpStrength() const { return bumpStrength_; }
    void setBumpStrength(float strength) { bumpStrength_ = strength; }
    float dispersionStrength() const { return dispersionStrength_; }
    void setDispersionStrength(float strength) { dispersionStrength_ = strength; }

    const yafaray::material_t* appendToRenderer(BaseRenderer& renderer, float scaleX, float scaleY,
                                                float scaleZ) override;
    using BaseMaterial::appendToRenderer;

    std::string archiveClassName() const override { return "GlassMaterial"; }

private:
    float IOR_ = 1.2f;
    float absorbtion_ = 0.125f;
    std::optional<Color> color_;
    std::optional<Color> mirrorColor_;
    std::optional<Color> transmitFilterColor_;
    float transmitFilterStrength_ = 0.0f;
    std::shared_ptr<BaseShader> bumpShader_;
    float bumpStrength_ = 0.0f;
    float dispersionStrength_ = 0.0f;
};

}  // namespace korvane
