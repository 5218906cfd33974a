#pragma once

#include "scene/textures/BaseTexture.h"

namespace korvane {

// One noise distorted by another: the ray tracer's "distorted_noise" texture.
class DistortedNoiseTexture final : public BaseTexture {
public:
    DistortedNoiseTexture() = default;

    int noiseType1() const { return noiseType1_; }
    void setNoiseType1(int noiseType) { noiseType1_ = noiseType; }
    int noiseType2() const { return noiseType2_; }
    void setNoiseType2(int noiseType) { noiseType2_ = noiseType; }
    const std::optional<Color>& color1() const { return color1_; }
    void setColor1(std::optional<Color> color) { color1_ = color; }
    const std::optional<Color>& color2() const { return color2_; }
    void setColor2(std::optional<Color> color) { color2_ = color; }
    float size() const { return size_; }
    void setSize(float size) { size_ = size; }
    float distort() const { return distort_; }
    void setDistort(float distort) { distort_ = distort; }

    void appendToRenderer(BaseRenderer& renderer) override;
    std::optional<Color> representativeColor() const override { return halfwayColor(color1_, color2_); }

    // Archive: "name", "noiseType1", "noiseType2", "color1", "color2", "size", "distort".
    std::string archiveClassName() const override { return "DistortedNoiseTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    int noiseType1_ = 0;
    int noiseType2_ = 0;
    std::optional<Color> color1_ = Color::calibratedRGB(1, 1, 1, 1);
    std::optional<Color> color2_ = Color::calibratedRGB(0, 0, 0, 1);
    float size_ = 50.0f;
    float distort_ = 1.0f;
};

}  // namespace korvane
