#include "raytracer/core/SurfaceDifferentials.h"

#include <cmath>

namespace yafaray {

void setSurfaceDifferentials(surfacePoint_t& sp, const point3d_t& a, const point3d_t& b, const point3d_t& c,
                             const float (*uv)[2]) {
    const vector3d_t e1 = b - a, e2 = c - a;
    if (uv) {
        // e1 = dPdU·Δu1 + dPdV·Δv1 and e2 likewise; invert the 2×2 UV matrix.
        const float du1 = uv[1][0] - uv[0][0], dv1 = uv[1][1] - uv[0][1];
        const float du2 = uv[2][0] - uv[0][0], dv2 = uv[2][1] - uv[0][1];
        const float det = du1 * dv2 - dv1 * du2;
        if (std::fabs(det) > 1e-12f) {
            const float inv = 1.f / det;
            sp.dPdU = (e1 * dv2 - e2 * dv1) * inv;
            sp.dPdV = (e2 * du1 - e1 * du2) * inv;
            return;
        }
    }
    sp.dPdU = e1;
    sp.dPdV = e2;
}

void bumpFrame(const surfacePoint_t& sp, const vector3d_t& n, vector3d_t& T, vector3d_t& B) {
    const vector3d_t t = sp.dPdU - n * dot(n, sp.dPdU);
    if (t.lengthSqr() > 1e-20f) {
        T = t.normalized();
        B = cross(n, T);
    } else {
        createCS(n, T, B);
    }
}

void parameterStep(const surfacePoint_t& sp, const vector3d_t& d, float& du, float& dv) {
    // Normal equations of min |du·dPdU + dv·dPdV − d|².
    const float a = dot(sp.dPdU, sp.dPdU), b = dot(sp.dPdU, sp.dPdV), c = dot(sp.dPdV, sp.dPdV);
    const float r1 = dot(sp.dPdU, d), r2 = dot(sp.dPdV, d);
    const float det = a * c - b * b;
    if (!(std::fabs(det) > 1e-30f)) {
        du = dv = 0.f;
        return;
    }
    du = (c * r1 - b * r2) / det;
    dv = (a * r2 - b * r1) / det;
}

}  // namespace yafaray
