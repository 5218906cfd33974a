#pragma once

#include "scene/textures/BaseTexture.h"

namespace korvane {

// Cloud-like noise: the ray tracer's "clouds" texture.
class CloudsTexture final : public BaseTexture {
public:
    // Values of `bias`.
    enum Bias : int { kBiasNone = 0, kBiasPositive = 1, kBiasNegative = 2 };

    CloudsTexture() = default;

    int noiseType() const { return noiseType_; }
    void setNoiseType(int noiseType) { noiseType_ = noiseType; }
    const std::optional<Color>& color1() const { return color1_; }
    void setColor1(std::optional<Color> color) { color1_ = color; }
    const std::optional<Color>& color2() const { return color2_; }
    void setColor2(std::optional<Color> color) { color2_ = color; }
    int bias() const { return bias_; }
    void setBias(int bias) { bias_ = bias; }
    int depth() const { return depth_; }
    void setDepth(int depth) { depth_ = depth; }
    float size() const { return size_; }
    void setSize(float size) { size_ = size; }
    bool hard() const { return hard_; }
    void setHard(bool hard) { hard_ = hard; }

    void appendToRenderer(BaseRenderer& renderer) override;
    std::optional<Color> representativeColor() const override { return halfwayColor(color1_, color2_); }

    // Archive: "name", "noiseType", "color1", "color2", "bias", "depth", "size", "hard".
    std::string archiveClassName() const override { return "CloudsTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    int noiseType_ = 0;
    std::optional<Color> color1_ = Color::calibratedRGB(1, 1, 1, 1);
    std::optional<Color> color2_ = Color::calibratedRGB(0, 0, 0, 1);
    int bias_ = kBiasNone;
    int depth_ = 2;
    float size_ = 50.0f;
    bool hard_ = false;
};

}  // namespace korvane
