#pragma once

// How a triangle's position changes with its surface parameters, for bump mapping.

#include "raytracer/core/Plugin.h"

namespace yafaray {

// Sets sp.dPdU and sp.dPdV for the triangle (a, b, c). With corner UVs (uv non-null, three
// pairs) the parameters are the UVs; without, the triangle's own barycentric pair (the u, v the
// scene gives such points): P = a + u·(b − a) + v·(c − a). A degenerate UV mapping falls back
// to the barycentric pair. Any thread.
void setSurfaceDifferentials(surfacePoint_t& sp, const point3d_t& a, const point3d_t& b, const point3d_t& c,
                             const float (*uv)[2]);

// The orthonormal bump frame at sp around normal n: T along dPdU projected onto the tangent
// plane (any tangent where that vanishes) and B = n × T.
void bumpFrame(const surfacePoint_t& sp, const vector3d_t& n, vector3d_t& T, vector3d_t& B);

// Parameter steps (du, dv) that move the point by the world-space tangent vector d, in the
// least-squares sense over the span of dPdU and dPdV. Zero for a degenerate frame.
void parameterStep(const surfacePoint_t& sp, const vector3d_t& d, float& du, float& dv);

}  // namespace yafaray
