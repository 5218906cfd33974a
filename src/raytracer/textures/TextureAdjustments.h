#pragma once

// The adjustment keys every texture accepts ("adj_intensity", "adj_contrast", "adj_saturation",
// "adj_hue", "adj_clamp", "adj_mult_factor_red/green/blue").

#include "raytracer/core/ParamMap.h"
#include "raytracer/core/Vector.h"

namespace yafaray {

class textureAdjustments_t {
public:
    // Reads the adjustment keys that params holds; the others keep their neutral values.
    void read(const paraMap_t& params);

    // Intensity and contrast: (v − 0.5)·contrast + intensity − 0.5.
    float scalar(float v) const { return scalarActive_ ? (v - 0.5f) * contrast_ + intensity_ - 0.5f : v; }
    // The slope of scalar(v) in v.
    float scalarSlope() const { return scalarActive_ ? contrast_ : 1.f; }
    // Intensity and contrast per channel, then the channel factors, saturation and hue;
    // clamped at 0 when "adj_clamp" is set.
    colorA_t colour(colorA_t c) const;

private:
    float intensity_ = 1.f, contrast_ = 1.f, saturation_ = 1.f, hueDegrees_ = 0.f;
    color_t factors_{1.f, 1.f, 1.f};
    bool clamp_ = false;
    bool scalarActive_ = false, colourActive_ = false;
};

}  // namespace yafaray
