#include "raytracer/textures/TextureAdjustments.h"

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

// Rotates the hue by `degrees` and scales the saturation, in HSV.
color_t adjustHsv(const color_t& c, float saturation, float degrees) {
    const float mx = std::max({c.R, c.G, c.B}), mn = std::min({c.R, c.G, c.B});
    const float delta = mx - mn;
    float h = 0.f;
    if (delta > 0.f) {
        if (mx == c.R) {
            h = std::fmod((c.G - c.B) / delta, 6.f);
        } else if (mx == c.G) {
            h = (c.B - c.R) / delta + 2.f;
        } else {
            h = (c.R - c.G) / delta + 4.f;
        }
    }
    const float s = mx > 0.f ? std::clamp(delta / mx * saturation, 0.f, 1.f) : 0.f;
    h = std::fmod(h + degrees / 60.f, 6.f);
    if (h < 0.f) h += 6.f;
    const float v = mx, chroma = v * s;
    const float x = chroma * (1.f - std::fabs(std::fmod(h, 2.f) - 1.f));
    const float m = v - chroma;
    color_t out;
    switch (static_cast<int>(h)) {
        case 0:
            out = {chroma, x, 0.f};
            break;
        case 1:
            out = {x, chroma, 0.f};
            break;
        case 2:
            out = {0.f, chroma, x};
            break;
        case 3:
            out = {0.f, x, chroma};
            break;
        case 4:
            out = {x, 0.f, chroma};
            break;
        default:
            out = {chroma, 0.f, x};
            break;
    }
    return out + color_t(m);
}

}  // namespace

void textureAdjustments_t::read(const paraMap_t& params) {
    params.getParam("adj_intensity", intensity_);
    params.getParam("adj_contrast", contrast_);
    params.getParam("adj_saturation", saturation_);
    params.getParam("adj_hue", hueDegrees_);
    params.getParam("adj_clamp", clamp_);
    params.getParam("adj_mult_factor_red", factors_.R);
    params.getParam("adj_mult_factor_green", factors_.G);
    params.getParam("adj_mult_factor_blue", factors_.B);
    scalarActive_ = intensity_ != 1.f || contrast_ != 1.f;
    colourActive_ = scalarActive_ || saturation_ != 1.f || hueDegrees_ != 0.f || factors_.R != 1.f ||
                    factors_.G != 1.f || factors_.B != 1.f || clamp_;
}

colorA_t textureAdjustments_t::colour(colorA_t c) const {
    if (!colourActive_) return c;
    color_t rgb(scalar(c.R), scalar(c.G), scalar(c.B));
    rgb *= factors_;
    if (saturation_ != 1.f || hueDegrees_ != 0.f) rgb = adjustHsv(rgb, saturation_, hueDegrees_);
    if (clamp_) rgb = color_t(std::max(0.f, rgb.R), std::max(0.f, rgb.G), std::max(0.f, rgb.B));
    return colorA_t(rgb, c.A);
}

}  // namespace yafaray
