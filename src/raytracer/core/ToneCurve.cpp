#include "raytracer/core/ToneCurve.h"

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

// Below the knee the curve is the identity, so that well exposed scenes keep their look and
// only what would clip is rolled off.
constexpr float kFilmicKnee = 0.8f;

}  // namespace

float filmicCurve(float x) {
    if (!(x > kFilmicKnee)) return std::max(0.f, x);
    const float room = 1.f - kFilmicKnee;
    return kFilmicKnee + room * -std::expm1(-(x - kFilmicKnee) / room);
}

void filmicToneMap(float rgb[3]) {
    const float brightest = std::max({rgb[0], rgb[1], rgb[2]});
    if (!(brightest > kFilmicKnee) || !std::isfinite(brightest)) {
        if (!std::isfinite(brightest)) rgb[0] = rgb[1] = rgb[2] = 1.f;
        return;
    }
    const float scale = filmicCurve(brightest) / brightest;
    for (int k = 0; k < 3; ++k) rgb[k] *= scale;
    // Light squeezed hard by the shoulder also loses saturation, as on film: a colour far
    // beyond white moves towards the grey of its own luminance (its hue stays).
    const float squeeze = 1.f - scale;
    const float grey = 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
    for (int k = 0; k < 3; ++k) rgb[k] += (grey - rgb[k]) * squeeze;
}

}  // namespace yafaray
