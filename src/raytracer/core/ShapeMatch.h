#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "raytracer/core/Vector.h"

namespace yafaray {

// The placement that carries one vertex list onto another of the same length: a rotation, a
// uniform scale and a translation (row-major 3 × 4, to = M · from), verified on every vertex within
// float rounding of the coordinates. Only such maps keep the angles that smoothing compares, so
// the shape's smoothed normals carry over by rotating them. Empty when there is none (or the first
// list spans no volume or plane to fit it on). Any thread.
std::optional<std::array<float, 12>> similarityBetween(const point3d_t* from, const point3d_t* to, size_t count);

}  // namespace yafaray
