#include "raytracer/textures/Noise.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "raytracer/core/Lanes.h"

namespace yafaray {
namespace {

// A fixed shuffle of 0…255 (Fisher–Yates driven by a 32-bit LCG with a constant seed), stored
// twice so that chained look-ups need no wrap.
struct permutation_t {
    std::array<uint8_t, 512> p{};
    constexpr permutation_t() {
        std::array<int, 256> v{};
        for (int i = 0; i < 256; ++i) v[i] = i;
        uint32_t state = 0x4b6f7276u;  // "Korv"
        for (int i = 255; i > 0; --i) {
            state = state * 1664525u + 1013904223u;
            const int j = static_cast<int>((state >> 8) % static_cast<uint32_t>(i + 1));
            const int t = v[i];
            v[i] = v[j];
            v[j] = t;
        }
        for (int i = 0; i < 512; ++i) p[i] = static_cast<uint8_t>(v[i & 255]);
    }
};
constexpr permutation_t kPerm;

inline int perm(int i) {
    return kPerm.p[i & 511];
}
inline int hash3(int x, int y, int z) {
    return perm(perm(perm(x & 255) + (y & 255)) + (z & 255));
}

// The twelve edge midpoints of the cube [-1, 1]³, four of them repeated so that four hash
// bits pick one without bias towards any axis pair.
constexpr float kEdgeGradients[16][3] = {
    {1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1}, {-1, 0, 1}, {1, 0, -1}, {-1, 0, -1},
    {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1}, {1, 1, 0}, {0, -1, 1}, {-1, 1, 0}, {0, -1, -1}};

inline float edgeGrad(int h, float x, float y, float z) {
    const float* g = kEdgeGradients[h & 15];
    return g[0] * x + g[1] * y + g[2] * z;
}

inline float lerp(float t, float a, float b) {
    return a + t * (b - a);
}
inline float quintic(float t) {
    return t * t * t * (t * (t * 6.f - 15.f) + 10.f);
}
inline float cubic(float t) {
    return t * t * (3.f - 2.f * t);
}

// Random unit gradients for the classic noise, from the same kind of constant-seed LCG.
struct gradientTable_t {
    std::array<std::array<float, 3>, 256> g{};
    gradientTable_t() {
        uint32_t state = 0x67726164u;  // "grad"
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return static_cast<float>(state >> 8) * (2.f / 16777216.f) - 1.f;
        };
        for (auto& v : g) {
            float x, y, z, l2;
            do {  // rejection keeps the directions uniform over the sphere
                x = next(), y = next(), z = next();
                l2 = x * x + y * y + z * z;
            } while (l2 > 1.f || l2 < 1e-4f);
            const float inv = 1.f / std::sqrt(l2);
            v = {x * inv, y * inv, z * inv};
        }
    }
};
const gradientTable_t& gradients() {
    static const gradientTable_t table;
    return table;
}

// Avalanching 32-bit integer hash (xorshift-multiply rounds).
inline uint32_t mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}
inline float unitFloat(uint32_t h) {
    return static_cast<float>(h >> 8) * (1.f / 16777216.f);
}

}  // namespace

float newPerlinNoise_t::raw(const point3d_t& p) {
    const float fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    const int X = static_cast<int>(fx), Y = static_cast<int>(fy), Z = static_cast<int>(fz);
    const float x = p.x - fx, y = p.y - fy, z = p.z - fz;
    const float u = quintic(x), v = quintic(y), w = quintic(z);
    auto g = [&](int i, int j, int k) { return edgeGrad(hash3(X + i, Y + j, Z + k), x - i, y - j, z - k); };
    const float n = lerp(w, lerp(v, lerp(u, g(0, 0, 0), g(1, 0, 0)), lerp(u, g(0, 1, 0), g(1, 1, 0))),
                         lerp(v, lerp(u, g(0, 0, 1), g(1, 0, 1)), lerp(u, g(0, 1, 1), g(1, 1, 1))));
    return std::clamp(n, -1.f, 1.f);
}

float newPerlinNoise_t::operator()(const point3d_t& p) const {
    return 0.5f + 0.5f * raw(p);
}

float noiseGenerator_t::valueAndGradient(const point3d_t& p, vector3d_t& gradient) const {
    constexpr float h = 1e-3f;
    const noiseGenerator_t& n = *this;
    gradient = vector3d_t(n(p + vector3d_t(h, 0, 0)) - n(p - vector3d_t(h, 0, 0)),
                          n(p + vector3d_t(0, h, 0)) - n(p - vector3d_t(0, h, 0)),
                          n(p + vector3d_t(0, 0, h)) - n(p - vector3d_t(0, 0, h))) *
               (0.5f / h);
    return n(p);
}

namespace {

// The gradient of trilinear interpolation with fade weights: n = Σ Wx·Wy·Wz·g over the cube's
// corners, where Wx is 1 − fade(x) or fade(x) and g the corner's gradient dotted with the
// offset. corner(i, j, k, G) gives g and the corner's gradient vector G.
template <typename Corner>
vector3d_t latticeGradient(float u, float v, float w, float du, float dv, float dw, Corner corner) {
    vector3d_t sum(0.f, 0.f, 0.f);
    for (int c = 0; c < 8; ++c) {
        const int i = c & 1, j = (c >> 1) & 1, k = (c >> 2) & 1;
        const float wx = i ? u : 1.f - u, wy = j ? v : 1.f - v, wz = k ? w : 1.f - w;
        const float sx = i ? du : -du, sy = j ? dv : -dv, sz = k ? dw : -dw;
        vector3d_t G;
        const float g = corner(i, j, k, G);
        sum += vector3d_t(sx * wy * wz * g + wx * wy * wz * G.x, wx * sy * wz * g + wx * wy * wz * G.y,
                          wx * wy * sz * g + wx * wy * wz * G.z);
    }
    return sum;
}

inline float quinticSlope(float t) {
    return 30.f * t * t * (t - 1.f) * (t - 1.f);
}
inline float cubicSlope(float t) {
    return 6.f * t * (1.f - t);
}

}  // namespace

float newPerlinNoise_t::valueAndGradient(const point3d_t& p, vector3d_t& gradient) const {
    const float fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    const int X = static_cast<int>(fx), Y = static_cast<int>(fy), Z = static_cast<int>(fz);
    const float x = p.x - fx, y = p.y - fy, z = p.z - fz;
    gradient = latticeGradient(quintic(x), quintic(y), quintic(z), quinticSlope(x), quinticSlope(y), quinticSlope(z),
                               [&](int i, int j, int k, vector3d_t& G) {
                                   const float* g = kEdgeGradients[hash3(X + i, Y + j, Z + k) & 15];
                                   G = vector3d_t(g[0], g[1], g[2]);
                                   return g[0] * (x - i) + g[1] * (y - j) + g[2] * (z - k);
                               }) *
               0.5f;
    return (*this)(p);
}

float stdPerlinNoise_t::valueAndGradient(const point3d_t& p, vector3d_t& gradient) const {
    const float px = p.x + 10000.f, py = p.y + 10000.f, pz = p.z + 10000.f;
    const float fx = std::floor(px), fy = std::floor(py), fz = std::floor(pz);
    const int X = static_cast<int>(fx), Y = static_cast<int>(fy), Z = static_cast<int>(fz);
    const float x = px - fx, y = py - fy, z = pz - fz;
    const auto& table = gradients().g;
    gradient = latticeGradient(cubic(x), cubic(y), cubic(z), cubicSlope(x), cubicSlope(y), cubicSlope(z),
                               [&](int i, int j, int k, vector3d_t& G) {
                                   const auto& d = table[hash3(X + i, Y + j, Z + k)];
                                   G = vector3d_t(d[0], d[1], d[2]);
                                   return d[0] * (x - i) + d[1] * (y - j) + d[2] * (z - k);
                               }) *
               0.75f;
    return (*this)(p);
}

float stdPerlinNoise_t::operator()(const point3d_t& p) const {
    // The offset keeps typical coordinates positive and away from the origin's symmetry.
    const float px = p.x + 10000.f, py = p.y + 10000.f, pz = p.z + 10000.f;
    const float fx = std::floor(px), fy = std::floor(py), fz = std::floor(pz);
    const int X = static_cast<int>(fx), Y = static_cast<int>(fy), Z = static_cast<int>(fz);
    const float x = px - fx, y = py - fy, z = pz - fz;
    const float u = cubic(x), v = cubic(y), w = cubic(z);
    const auto& table = gradients().g;
    auto g = [&](int i, int j, int k) {
        const auto& d = table[hash3(X + i, Y + j, Z + k)];
        return d[0] * (x - i) + d[1] * (y - j) + d[2] * (z - k);
    };
    const float n = lerp(w, lerp(v, lerp(u, g(0, 0, 0), g(1, 0, 0)), lerp(u, g(0, 1, 0), g(1, 1, 0))),
                         lerp(v, lerp(u, g(0, 0, 1), g(1, 0, 1)), lerp(u, g(0, 1, 1), g(1, 1, 1))));
    return std::clamp(0.5f + 0.75f * n, -0.1f, 1.1f);
}

namespace {

// mix() on eight lanes at once (by reference: vectors passed by value change the ABI with AVX).
inline void mixLanes(lanesU& h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
}
// unitFloat() on eight lanes; h >> 8 < 2^24 converts exactly through the signed conversion.
inline void unitFloatLanes(const lanesU& h, lanesF& out) {
    out = __builtin_convertvector(lanesI(h >> 8), lanesF) * (1.f / 16777216.f);
}

// Every lane of v set to the smallest of its eight lanes.
template <typename Lanes>
inline void spreadMinimum(Lanes& v) {
    Lanes swapped = __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3);
    v = v < swapped ? v : swapped;
    swapped = __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
    v = v < swapped ? v : swapped;
    swapped = __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
    v = v < swapped ? v : swapped;
}

// The 27 cells around a point's own cell as cell offsets, in four groups of eight lanes (the
// last five lanes repeat the own cell and are ignored).
struct cellLanes_t {
    alignas(32) int32_t i[32], j[32], k[32];
    constexpr cellLanes_t() : i{}, j{}, k{} {
        for (int n = 0; n < 32; ++n) {
            const int c = n < 27 ? n : 13;
            i[n] = c % 3 - 1;
            j[n] = c / 3 % 3 - 1;
            k[n] = c / 9 - 1;
        }
    }
};
constexpr cellLanes_t kCellLanes;

// The `count` (1…4) nearest of the 27 cells' feature points to p: their squared distances
// ascending in d2, their cells in cell (0…26), and every cell's point relative to p (point
// minus p) in dx, dy, dz. All cells are hashed side by side, eight lanes at a time, and the
// nearest taken out by lane-wise minima: the branches of a search that skips far cells would
// mostly be mispredicted, since which cells come near changes from point to point. Compiled
// for AVX2 and for the baseline, chosen at load time; both give the same bits (no fused
// multiply-adds).
__attribute__((target_clones("avx2", "default"))) void nearestCells(const point3d_t& p, int count, float d2[4],
                                                                   int cell[4], float dx[32], float dy[32],
                                                                   float dz[32]) {
    const int X = static_cast<int>(std::floor(p.x)), Y = static_cast<int>(std::floor(p.y)),
              Z = static_cast<int>(std::floor(p.z));
    const float fx = float(X), fy = float(Y), fz = float(Z);
    lanesF d[4];
    lanesI laneIndex[4];
    for (int g = 0; g < 4; ++g) {
        lanesI i, j, k;
        std::memcpy(&i, kCellLanes.i + 8 * g, sizeof i);
        std::memcpy(&j, kCellLanes.j + 8 * g, sizeof j);
        std::memcpy(&k, kCellLanes.k + 8 * g, sizeof k);
        lanesU h = lanesU(X + i) * 73856093u ^ lanesU(Y + j) * 19349663u ^ lanesU(Z + k) * 83492791u;
        mixLanes(h);
        lanesU hy = h + 1u, hz = h + 2u;
        mixLanes(hy);
        mixLanes(hz);
        lanesF ox, oy, oz;
        unitFloatLanes(h, ox);
        unitFloatLanes(hy, oy);
        unitFloatLanes(hz, oz);
        const lanesF ddx = fx + __builtin_convertvector(i, lanesF) + ox - p.x;
        const lanesF ddy = fy + __builtin_convertvector(j, lanesF) + oy - p.y;
        const lanesF ddz = fz + __builtin_convertvector(k, lanesF) + oz - p.z;
        std::memcpy(dx + 8 * g, &ddx, sizeof ddx);
        std::memcpy(dy + 8 * g, &ddy, sizeof ddy);
        std::memcpy(dz + 8 * g, &ddz, sizeof ddz);
        for (int l = 0; l < 8; ++l) laneIndex[g][l] = 8 * g + l;
        d[g] = ddx * ddx + ddy * ddy + ddz * ddz;
        // The five padding lanes never count.
        if (g == 3) d[g] = laneIndex[g] < 27 ? d[g] : lanesF{} + 1e30f;
    }
    for (int s = 0; s < count; ++s) {
        // The smallest distance left, in every lane…
        lanesF m = d[0] < d[1] ? d[0] : d[1];
        const lanesF m23 = d[2] < d[3] ? d[2] : d[3];
        m = m < m23 ? m : m23;
        spreadMinimum(m);
        // …the first cell that has it…
        lanesI first = lanesI{} + 32;
        for (int g = 0; g < 4; ++g) {
            const lanesI at = d[g] == m ? laneIndex[g] : lanesI{} + 32;
            first = first < at ? first : at;
        }
        spreadMinimum(first);
        d2[s] = m[0];
        cell[s] = first[0];
        // …which then leaves the search.
        for (int g = 0; g < 4; ++g) d[g] = laneIndex[g] == first ? lanesF{} + 1e30f : d[g];
    }
}

}  // namespace

void voronoiNoise_t::distances(const point3d_t& p, float f[4]) {
    nearest(p, 4, f);
}

void voronoiNoise_t::nearest(const point3d_t& p, int count, float f[4], vector3d_t* away) {
    alignas(32) float dx[32], dy[32], dz[32];
    float d2[4] = {0.f, 0.f, 0.f, 0.f};
    int cell[4] = {0, 0, 0, 0};
    nearestCells(p, count, d2, cell, dx, dy, dz);
    for (int s = 0; s < 4; ++s) f[s] = std::sqrt(d2[s]);
    if (away) {
        for (int s = 0; s < count; ++s) {
            const int c = cell[s];
            away[s] = f[s] > 0.f ? vector3d_t(-dx[c], -dy[c], -dz[c]) * (1.f / f[s]) : vector3d_t(0.f, 0.f, 0.f);
        }
    }
}

namespace {

// How many of the nearest distances each kind needs.
int distancesNeeded(voronoiNoise_t::kind_t kind) {
    using kind_t = voronoiNoise_t::kind_t;
    switch (kind) {
        case kind_t::F1:
            return 1;
        case kind_t::F3:
            return 3;
        case kind_t::F4:
            return 4;
        case kind_t::F2:
        case kind_t::F2F1:
        case kind_t::crackle:
            break;
    }
    return 2;
}

}  // namespace

float voronoiNoise_t::fromDistances(const float f[4]) const {
    switch (kind_) {
        case kind_t::F1:
            return f[0];
        case kind_t::F2:
            return f[1];
        case kind_t::F3:
            return f[2];
        case kind_t::F4:
            return f[3];
        case kind_t::F2F1:
            return f[1] - f[0];
        case kind_t::crackle:
            return std::min(1.f, 10.f * (f[1] - f[0]));
    }
    return f[0];
}

float voronoiNoise_t::operator()(const point3d_t& p) const {
    float f[4];
    nearest(p, distancesNeeded(kind_), f);
    return fromDistances(f);
}

float voronoiNoise_t::valueAndGradient(const point3d_t& p, vector3d_t& gradient) const {
    float f[4];
    vector3d_t away[4];
    nearest(p, distancesNeeded(kind_), f, away);
    const float value = fromDistances(f);
    switch (kind_) {
        case kind_t::F1:
        case kind_t::F2:
        case kind_t::F3:
        case kind_t::F4:
            gradient = away[distancesNeeded(kind_) - 1];
            break;
        case kind_t::F2F1:
            gradient = away[1] - away[0];
            break;
        case kind_t::crackle:
            gradient = value < 1.f ? (away[1] - away[0]) * 10.f : vector3d_t(0.f, 0.f, 0.f);
            break;
    }
    return value;
}

float cellNoise_t::operator()(const point3d_t& p) const {
    const int x = static_cast<int>(std::floor(p.x)), y = static_cast<int>(std::floor(p.y)),
              z = static_cast<int>(std::floor(p.z));
    const uint32_t n =
        static_cast<uint32_t>(x) + 1301u * static_cast<uint32_t>(y) + 314159u * static_cast<uint32_t>(z);
    return unitFloat(mix(n));
}

void noiseGenerator_t::measureAverages() {
    // Enough points that the averages are good to about a thousandth; fixed, so that every
    // render of a scene uses the same values.
    constexpr int kPoints = 8192;
    uint32_t state = 0x61766721u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) * (1.f / 16777216.f);
    };
    double sum = 0.0, folded = 0.0;
    for (int i = 0; i < kPoints; ++i) {
        const point3d_t p(next() * 256.f - 128.f, next() * 256.f - 128.f, next() * 256.f - 128.f);
        const float n = (*this)(p);
        sum += n;
        folded += std::fabs(2.f * n - 1.f);
    }
    average_ = static_cast<float>(sum / kPoints);
    foldedAverage_ = static_cast<float>(folded / kPoints);
}

namespace {

std::unique_ptr<noiseGenerator_t> makeNoiseGenerator(const std::string& type) {
    using kind = voronoiNoise_t::kind_t;
    if (type == "stdperlin") return std::make_unique<stdPerlinNoise_t>();
    if (type == "voronoi_f1") return std::make_unique<voronoiNoise_t>(kind::F1);
    if (type == "voronoi_f2") return std::make_unique<voronoiNoise_t>(kind::F2);
    if (type == "voronoi_f3") return std::make_unique<voronoiNoise_t>(kind::F3);
    if (type == "voronoi_f4") return std::make_unique<voronoiNoise_t>(kind::F4);
    if (type == "voronoi_f2f1") return std::make_unique<voronoiNoise_t>(kind::F2F1);
    if (type == "voronoi_crackle") return std::make_unique<voronoiNoise_t>(kind::crackle);
    if (type == "cellnoise") return std::make_unique<cellNoise_t>();
    return std::make_unique<newPerlinNoise_t>();
}

}  // namespace

std::unique_ptr<noiseGenerator_t> newNoiseGenerator(const std::string& type) {
    std::unique_ptr<noiseGenerator_t> generator = makeNoiseGenerator(type);
    generator->measureAverages();
    return generator;
}

}  // namespace yafaray
