#pragma once

#include "scene/textures/BaseTexture.h"

namespace korvane {

// Marble veins: the ray tracer's "marble" texture.
class MarbleTexture final : public BaseTexture {
public:
    MarbleTexture() = default;

    int noiseType() const { return noiseType_; }
    void setNoiseType(int noiseType) { noiseType_ = noiseType; }
    const std::optional<std::string>& shape() const { return shape_; }
    void setShape(std::optional<std::string> shape) { shape_ = std::move(shape); }
    const std::optional<Color>& color1() const { return color1_; }
    void setColor1(std::optional<Color> color) { color1_ = color; }
    const std::optional<Color>& color2() const { return color2_; }
    void setColor2(std::optional<Color> color) { color2_ = color; }
    int depth() const { return depth_; }
    void setDepth(int depth) { depth_ = depth; }
    float turbulence() const { return turbulence_; }
    void setTurbulence(float turbulence) { turbulence_ = turbulence; }
    float sharpness() const { return sharpness_; }
    void setSharpness(float sharpness) { sharpness_ = sharpness; }
    float size() const { return size_; }
    void setSize(float size) { size_ = size; }
    bool hard() const { return hard_; }
    void setHard(bool hard) { hard_ = hard; }

    void appendToRenderer(BaseRenderer& renderer) override;
    std::optional<Color> representativeColor() const override { return halfwayColor(color1_, color2_); }

    // Archive: "name", "noiseType", "shape", "color1", "color2", "depth", "turbulence", "sharpness",
    // "size", "hard".
    std::string archiveClassName() const override { return "MarbleTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    int noiseType_ = 0;
    std::optional<std::string> shape_;
    std::optional<Color> color1_ = Color::calibratedRGB(1, 1, 1, 1);
    std::optional<Color> color2_ = Color::calibratedRGB(0, 0, 0, 1);
    int depth_ = 2;
    float turbulence_ = 1.0f;
    float sharpness_ = 1.0f;
    float size_ = 50.0f;
    bool hard_ = false;
};

}  // namespace korvane
