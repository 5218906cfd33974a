#include "raytracer/materials/Fresnel.h"

#include <algorithm>
#include <cmath>

namespace yafaray {

float fresnelReflectance(float c, float eta) {
    c = std::clamp(std::fabs(c), 0.f, 1.f);
    const float g2 = eta * eta + c * c - 1.f;
    if (g2 <= 0.f) return 1.f;
    const float g = std::sqrt(g2);
    const float a = (g - c) / (g + c);
    const float b = (c * (g + c) - 1.f) / (c * (g - c) + 1.f);
    return std::clamp(0.5f * a * a * (1.f + b * b), 0.f, 1.f);
}

bool refractDirection(const vector3d_t& wo, const vector3d_t& N, float eta, vector3d_t& t) {
    const float cosI = std::clamp(dot(wo, N), -1.f, 1.f);
    const float ratio = 1.f / eta;  // n_front / n_behind
    const float sin2T = ratio * ratio * std::max(0.f, 1.f - cosI * cosI);
    if (sin2T >= 1.f) return false;
    const float cosT = std::sqrt(1.f - sin2T);
    t = (-wo * ratio + N * (ratio * cosI - cosT)).normalized();
    return true;
}

}  // namespace yafaray
