#include "raytracer/lights/BackgroundLight.h"

#include <algorithm>
#include <cmath>

namespace yafaray {
namespace {

// Rows of the latitude-longitude map, from the zenith to the nadir.
constexpr int kRows = 256;
// Columns per row: a few at the poles, up to kMinColumns + kExtraColumns at the horizon, so
// that cells cover about the same solid angle.
constexpr int kMinColumns = 16;
constexpr int kExtraColumns = 496;
// Every cell keeps this share of the mean cell weight, so no direction has zero density.
constexpr float kWeightFloor = 0.01f;
// Samples with a density below this are dropped.
constexpr float kMinPdf = 1e-6f;

// Index of the first CDF entry above u, for a CDF of n entries ending at 1, starting the
// search at the guide table's entry for u's slice (guide has n slices). `cdf(i)` and `guide(j)`
// read the tables.
template <typename Cdf, typename Guide>
int findInterval(Cdf cdf, Guide guide, int n, float u) {
    const int slice = std::clamp(static_cast<int>(u * n), 0, n - 1);
    int i = guide(slice);
    while (i < n - 1 && cdf(i) <= u) ++i;
    return i;
}

// Fills the guide for a CDF of n entries: guide(j) is the first entry whose CDF exceeds j/n,
// where every u of slice j is at least j/n.
template <typename Cdf, typename SetGuide>
void buildGuide(Cdf cdf, int n, SetGuide setGuide) {
    int i = 0;
    for (int j = 0; j < n; ++j) {
        const float lo = float(j) / float(n);
        while (i < n - 1 && cdf(i) <= lo) ++i;
        setGuide(j, static_cast<uint16_t>(i));
    }
}

}  // namespace

backgroundLight_t::backgroundLight_t(const background_t* background, int samples, float scale)
    : background_(background), samples_(std::max(1, samples)), scale_(scale) {
    buildDistribution();
}

backgroundLight_t::backgroundLight_t(std::unique_ptr<background_t> background, int samples, float scale)
    : owned_(std::move(background)),
      background_(owned_.get()),
      samples_(std::max(1, samples)),
      scale_(scale) {
    buildDistribution();
}

void backgroundLight_t::buildDistribution() {
    columnStart_.assign(kRows + 1, 0);
    rowPmf_.assign(kRows, 0.f);
    rowCdf_.assign(kRows, 0.f);
    cells_.clear();
    std::vector<double> weights;
    double total = 0;
    double meanR = 0, meanG = 0, meanB = 0;
    for (int k = 0; k < kRows; ++k) {
        const float theta = kPi * (k + 0.5f) / kRows;
        const float sinTheta = std::sin(theta), cosTheta = std::cos(theta);
        const int cols = kMinColumns + static_cast<int>(kExtraColumns * sinTheta);
        columnStart_[k] = static_cast<int>(weights.size());
        for (int c = 0; c < cols; ++c) {
            const float phi = 2.f * kPi * (c + 0.5f) / cols;
            const vector3d_t dir(sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta);
            const color_t radiant = radiance(dir);
            cells_.emplace_back().radiance = radiant;
            // Solid angle of the cell: (π / rows)·(2π / columns)·sinθ.
            const double solidAngle = double(kPi) / kRows * 2.0 * kPi / cols * sinTheta;
            // Media are lit from above the horizon only: below it lies the ground, whose own
            // light is not the background's.
            if (cosTheta > 0.f) {
                meanR += radiant.R * solidAngle;
                meanG += radiant.G * solidAngle;
                meanB += radiant.B * solidAngle;
            }
            const float l = std::max(0.f, radiant.energy());
            const double w = double(l) * sinTheta / cols;
            weights.push_back(w);
            total += w;
        }
    }
    columnStart_[kRows] = static_cast<int>(weights.size());
    meanIllumination_ = color_t(float(meanR / kPi), float(meanG / kPi), float(meanB / kPi));
    // A share of the total spread in proportion to the cells' solid angles (sinθ / columns),
    // so that even a black background samples every direction.
    double solidAngleSum = 0;
    for (int k = 0; k < kRows; ++k) solidAngleSum += std::sin(kPi * (k + 0.5f) / kRows);
    const double floor = (total > 0 ? total : 1.0) * kWeightFloor / solidAngleSum;
    std::vector<double> rowWeight(kRows, 0.0);
    double sum = 0;
    for (int k = 0; k < kRows; ++k) {
        const float sinTheta = std::sin(kPi * (k + 0.5f) / kRows);
        const int b = columnStart_[k], e = columnStart_[k + 1];
        for (int i = b; i < e; ++i) {
            weights[i] += floor * sinTheta / (e - b);
            rowWeight[k] += weights[i];
        }
        double acc = 0;
        for (int i = b; i < e; ++i) {
            cells_[i].pmf = static_cast<float>(weights[i] / rowWeight[k]);
            acc += weights[i];
            cells_[i].cdf = static_cast<float>(acc / rowWeight[k]);
        }
        cells_[e - 1].cdf = 1.f;
        sum += rowWeight[k];
    }
    double acc = 0;
    for (int k = 0; k < kRows; ++k) {
        rowPmf_[k] = static_cast<float>(rowWeight[k] / sum);
        acc += rowWeight[k];
        rowCdf_[k] = static_cast<float>(acc / sum);
    }
    rowCdf_[kRows - 1] = 1.f;
    rowGuide_.resize(kRows);
    buildGuide([&](int i) { return rowCdf_[i]; }, kRows, [&](int j, uint16_t i) { rowGuide_[j] = i; });
    for (int k = 0; k < kRows; ++k) {
        cell_t* row = cells_.data() + columnStart_[k];
        buildGuide([&](int i) { return row[i].cdf; }, columnStart_[k + 1] - columnStart_[k],
                   [&](int j, uint16_t i) { row[j].guide = i; });
    }
}

int backgroundLight_t::findRow(float s1) const {
    return findInterval([&](int i) { return rowCdf_[i]; }, [&](int j) { return rowGuide_[j]; }, kRows, s1);
}

void backgroundLight_t::findCell(float s1, float s2, int& row, int& cell, float& v, float& u) const {
    const int k = findRow(s1);
    const float rowLo = k > 0 ? rowCdf_[k - 1] : 0.f;
    v = rowPmf_[k] > 0.f ? std::clamp((s1 - rowLo) / rowPmf_[k], 0.f, 0.99999f) : 0.5f;
    const int b = columnStart_[k], cols = columnStart_[k + 1] - b;
    const cell_t* cells = cells_.data() + b;
    const int c = findInterval([&](int i) { return cells[i].cdf; }, [&](int j) { return cells[j].guide; }, cols, s2);
    const float colLo = c > 0 ? cells[c - 1].cdf : 0.f;
    const float pc = cells[c].pmf;
    u = pc > 0.f ? std::clamp((s2 - colLo) / pc, 0.f, 0.99999f) : 0.5f;
    row = k;
    cell = b + c;
}

void backgroundLight_t::prefetch(const float* s1, const float* s2, int n) const {
    for (int i = 0; i < n; ++i) {
        const int k = findRow(s1[i]);
        const int b = columnStart_[k], cols = columnStart_[k + 1] - b;
        // The slice's guide cell; the cell it leads to mostly shares its cache line.
        __builtin_prefetch(&cells_[b + std::clamp(static_cast<int>(s2[i] * cols), 0, cols - 1)]);
    }
}

vector3d_t backgroundLight_t::sampleDirection(float s1, float s2, float& pdf) const {
    int k = 0, cell = 0;
    float v = 0.f, u = 0.f;
    findCell(s1, s2, k, cell, v, u);
    return cellDirection(k, cell, v, u, pdf);
}

vector3d_t backgroundLight_t::cellDirection(int k, int cell, float v, float u, float& pdf) const {
    const int cols = columnStart_[k + 1] - columnStart_[k], c = cell - columnStart_[k];
    const float theta = kPi * (k + v) / kRows;
    const float phi = 2.f * kPi * (c + u) / cols;
    const float sinTheta = std::sin(theta);
    pdf = sinTheta > 0.f ? rowPmf_[k] * kRows * cells_[cell].pmf * cols / (2.f * kPi * kPi * sinTheta) : 0.f;
    return {sinTheta * std::cos(phi), sinTheta * std::sin(phi), std::cos(theta)};
}

float backgroundLight_t::pdf(const vector3d_t& dir) const {
    const float theta = std::acos(std::clamp(dir.z, -1.f, 1.f));
    const float sinTheta = std::sin(theta);
    if (sinTheta <= 0.f) return 0.f;
    const int k = std::clamp(static_cast<int>(theta / kPi * kRows), 0, kRows - 1);
    float phi = std::atan2(dir.y, dir.x);
    if (phi < 0.f) phi += 2.f * kPi;
    const int b = columnStart_[k], cols = columnStart_[k + 1] - b;
    const int c = std::clamp(static_cast<int>(phi / (2.f * kPi) * cols), 0, cols - 1);
    return rowPmf_[k] * kRows * cells_[b + c].pmf * cols / (2.f * kPi * kPi * sinTheta);
}

bool backgroundLight_t::illuminate(const point3d_t&, float s1, float s2, lightSample_t& ls) const {
    int k = 0, cell = 0;
    float v = 0.f, u = 0.f, density = 0.f;
    findCell(s1, s2, k, cell, v, u);
    ls.wi = cellDirection(k, cell, v, u, density);
    if (density < kMinPdf) return false;
    ls.distance = -1.f;
    // The integrators leave 1/π out of the BSDF, so the density is taken π times larger.
    ls.color = cells_[cell].radiance * (1.f / (kPi * density));
    return true;
}

}  // namespace yafaray
