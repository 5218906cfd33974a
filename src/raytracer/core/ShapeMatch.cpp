#include "raytracer/core/ShapeMatch.h"

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

struct dvec_t {
    double x = 0, y = 0, z = 0;
};
dvec_t operator-(const point3d_t& a, const dvec_t& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
dvec_t sub(const point3d_t& a, const point3d_t& b) {
    return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z};
}
double ddot(const dvec_t& a, const dvec_t& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
dvec_t dcross(const dvec_t& a, const dvec_t& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Relative tolerance of the fit against the coordinates' size: a few float roundings.
constexpr double kRelativeTolerance = 4e-6;

}  // namespace

std::optional<std::array<float, 12>> similarityBetween(const point3d_t* from, const point3d_t* to, size_t count) {
    if (count < 3) return std::nullopt;
    // Three well-spread vertices: the first, the farthest from it, the farthest from their line.
    const point3d_t& p0 = from[0];
    size_t i1 = 0, i2 = 0;
    double best = 0;
    for (size_t i = 1; i < count; ++i) {
        const dvec_t d = sub(from[i], p0);
        if (ddot(d, d) > best) best = ddot(d, d), i1 = i;
    }
    if (best <= 0) return std::nullopt;
    const dvec_t e1 = sub(from[i1], p0);
    best = 0;
    for (size_t i = 1; i < count; ++i) {
        const dvec_t c = dcross(e1, sub(from[i], p0));
        if (ddot(c, c) > best) best = ddot(c, c), i2 = i;
    }
    if (best <= 0) return std::nullopt;
    const dvec_t e2 = sub(from[i2], p0);
    // The frames (e1, e2, e1 × e2) at both ends; the third axis follows from the first two, so a
    // flat mesh is placed as well as a solid one.
    const dvec_t e3 = dcross(e1, e2);
    const dvec_t f1 = sub(to[i1], to[0]), f2 = sub(to[i2], to[0]);
    // For A = s·R, (A·e1) × (A·e2) = s · A·(e1 × e2): the third image axis is (f1 × f2) / s.
    const double s2 = ddot(f1, f1) / ddot(e1, e1);
    if (!(s2 > 0) || !std::isfinite(s2)) return std::nullopt;
    dvec_t f3 = dcross(f1, f2);
    const double s = std::sqrt(s2);
    f3 = {f3.x / s, f3.y / s, f3.z / s};
    // A = F · E⁻¹ with E = [e1 e2 e3] and F = [f1 f2 f3] as columns.
    const double det = ddot(e1, dcross(e2, e3));
    if (!(std::fabs(det) > 0)) return std::nullopt;
    const dvec_t r0 = dcross(e2, e3), r1 = dcross(e3, e1), r2 = dcross(e1, e2);  // rows of E⁻¹ · det
    double A[3][3];
    const dvec_t F[3] = {f1, f2, f3};
    for (int row = 0; row < 3; ++row) {
        const double fr[3] = {row == 0 ? F[0].x : row == 1 ? F[0].y : F[0].z,
                              row == 0 ? F[1].x : row == 1 ? F[1].y : F[1].z,
                              row == 0 ? F[2].x : row == 1 ? F[2].y : F[2].z};
        A[row][0] = (fr[0] * r0.x + fr[1] * r1.x + fr[2] * r2.x) / det;
        A[row][1] = (fr[0] * r0.y + fr[1] * r1.y + fr[2] * r2.y) / det;
        A[row][2] = (fr[0] * r0.z + fr[1] * r1.z + fr[2] * r2.z) / det;
    }
    // A must be s times a rotation: orthogonal columns of length s, positive determinant.
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            const double d = A[0][a] * A[0][b] + A[1][a] * A[1][b] + A[2][a] * A[2][b];
            if (std::fabs(d - (a == b ? s2 : 0.0)) > 1e-4 * s2) return std::nullopt;
        }
    }
    const double detA = A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
                        A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
                        A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
    if (!(detA > 0)) return std::nullopt;
    const dvec_t t{to[0].x - (A[0][0] * p0.x + A[0][1] * p0.y + A[0][2] * p0.z),
                   to[0].y - (A[1][0] * p0.x + A[1][1] * p0.y + A[1][2] * p0.z),
                   to[0].z - (A[2][0] * p0.x + A[2][1] * p0.y + A[2][2] * p0.z)};
    // Every vertex, within rounding of the larger of the coordinates and the shape's size.
    double extent = 0;
    for (size_t i = 0; i < count; ++i) {
        extent = std::max({extent, std::fabs(double(to[i].x)), std::fabs(double(to[i].y)), std::fabs(double(to[i].z))});
    }
    const double tolerance = kRelativeTolerance * std::max(extent, std::sqrt(ddot(f1, f1)));
    for (size_t i = 0; i < count; ++i) {
        const point3d_t& p = from[i];
        const dvec_t q{A[0][0] * p.x + A[0][1] * p.y + A[0][2] * p.z + t.x,
                       A[1][0] * p.x + A[1][1] * p.y + A[1][2] * p.z + t.y,
                       A[2][0] * p.x + A[2][1] * p.y + A[2][2] * p.z + t.z};
        const dvec_t d = to[i] - q;
        if (!(std::fabs(d.x) <= tolerance && std::fabs(d.y) <= tolerance && std::fabs(d.z) <= tolerance))
            return std::nullopt;
    }
    std::array<float, 12> m{};
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) m[4 * row + c] = float(A[row][c]);
    }
    m[3] = float(t.x), m[7] = float(t.y), m[11] = float(t.z);
    return m;
}

}  // namespace yafaray
