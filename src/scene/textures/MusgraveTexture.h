#pragma once

#include "scene/textures/BaseTexture.h"

namespace korvane {

// Musgrave fractal noise: the ray tracer's "musgrave" texture; `type` names the variant.
class MusgraveTexture final : public BaseTexture {
public:
    MusgraveTexture() = default;

    const std::optional<std::string>& type() const { return type_; }
    void setType(std::optional<std::string> type) { type_ = std::move(type); }
    int noiseType() const { return noiseType_; }
    void setNoiseType(int noiseType) { noiseType_ = noiseType; }
    const std::optional<Color>& color1() const { return color1_; }
    void setColor1(std::optional<Color> color) { color1_ = color; }
    const std::optional<Color>& color2() const { return color2_; }
    void setColor2(std::optional<Color> color) { color2_ = color; }
    float h() const { return h_; }
    void setH(float h) { h_ = h; }
    float lacunarity() const { return lacunarity_; }
    void setLacunarity(float lacunarity) { lacunarity_ = lacunarity; }
    float octaves() const { return octaves_; }
    void setOctaves(float octaves) { octaves_ = octaves; }
    float offset() const { return offset_; }
    void setOffset(float offset) { offset_ = offset; }
    float gain() const { return gain_; }
    void setGain(float gain) { gain_ = gain; }
    float size() const { return size_; }
    void setSize(float size) { size_ = size; }
    float intensity() const { return intensity_; }
    void setIntensity(float intensity) { intensity_ = intensity; }

    void appendToRenderer(BaseRenderer& renderer) override;
    std::optional<Color> representativeColor() const override { return halfwayColor(color1_, color2_); }

    // Archive: "name", "noiseType", "type", "color1", "color2", "h", "lacunarity", "octaves",
    // "offset", "gain", "size", "intensity".
    std::string archiveClassName() const override { return "MusgraveTexture"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    std::optional<std::string> type_;
    int noiseType_ = 0;
    std::optional<Color> color1_ = Color::calibratedRGB(1, 1, 1, 1);
    std::optional<Color> color2_ = Color::calibratedRGB(0, 0, 0, 1);
    float h_ = 1.0f;
    float lacunarity_ = 2.0f;
    float octaves_ = 2.0f;
    float offset_ = 1.0f;
    float gain_ = 1.0f;
    float size_ = 50.0f;
    float intensity_ = 1.0f;
};

}  // namespace korvane
