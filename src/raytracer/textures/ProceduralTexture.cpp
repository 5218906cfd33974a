#include "raytracer/textures/ProceduralTexture.h"

#include <algorithm>
#include <cmath>

namespace yafaray {

proceduralTexture_t::proceduralTexture_t(const paraMap_t& params) {
    params.getParam("color1", color1_);
    params.getParam("color2", color2_);
    adjust_.read(params);
}

colorA_t proceduralTexture_t::getColor(const point3d_t& p) const {
    // The adjustments act on the colour channels, so the blend takes the raw pattern value.
    const float v = pattern(p);
    const color_t c = color1_ + (color2_ - color1_) * v;
    // A signed or unbounded pattern may extrapolate past the two colours; light stays positive.
    return adjust_.colour(colorA_t(color_t(std::max(0.f, c.R), std::max(0.f, c.G), std::max(0.f, c.B)), 1.f));
}

std::unique_ptr<noiseGenerator_t> proceduralTexture_t::noiseFrom(const paraMap_t& params, const char* key) {
    std::string type;
    params.getParam(key, type);
    return newNoiseGenerator(type);
}

waveShape_t waveShapeFrom(const paraMap_t& params) {
    std::string shape;
    params.getParam("shape", shape);
    if (shape == "saw") return waveShape_t::saw;
    if (shape == "tri") return waveShape_t::triangle;
    return waveShape_t::sine;
}

float wave(waveShape_t shape, float w) {
    constexpr float kInvTwoPi = 0.15915494f;
    switch (shape) {
        case waveShape_t::saw: {
            const float t = w * kInvTwoPi;
            return t - std::floor(t);
        }
        case waveShape_t::triangle: {
            const float t = w * kInvTwoPi;
            return std::fabs(2.f * (t - std::floor(t)) - 1.f);
        }
        case waveShape_t::sine:
            break;
    }
    return 0.5f + 0.5f * std::sin(w);
}

}  // namespace yafaray
