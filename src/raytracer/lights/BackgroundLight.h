#pragma once

// The background as a light: directions are drawn in proportion to the background's radiance
// (times the solid angle of each cell of a latitude-longitude map), so a bright sky region gets
// most of the samples and a sky-lit surface converges with few of them.

#include <cstdint>
#include <memory>
#include <vector>

#include "raytracer/core/Plugin.h"

namespace yafaray {

class backgroundLight_t : public light_t {
public:
    // Lights with a background owned elsewhere (which must outlive the light).
    backgroundLight_t(const background_t* background, int samples, float scale = 1.f);
    // Lights with a background of its own.
    backgroundLight_t(std::unique_ptr<background_t> background, int samples, float scale = 1.f);

    int nSamples() const override { return samples_; }
    bool illuminate(const point3d_t& p, float s1, float s2, lightSample_t& ls) const override;
    // Starts loading the map cells the samples will read: a shading point's samples fall in
    // rows all over the map, and waiting for each in turn cost more than the rest of sampling.
    void prefetch(const float* s1, const float* s2, int n) const override;
    bool meanIllumination(color_t& mean) const override {
        mean = meanIllumination_;
        return true;
    }

    // A direction drawn from two uniform numbers, with its density per unit solid angle.
    vector3d_t sampleDirection(float s1, float s2, float& pdf) const;
    // Density per unit solid angle of drawing dir (unit vector).
    float pdf(const vector3d_t& dir) const;
    // Radiance arriving from dir.
    color_t radiance(const vector3d_t& dir) const { return background_->eval(dir) * scale_; }

private:
    void buildDistribution();
    // The row a direction drawn from s1 falls in.
    int findRow(float s1) const;
    // The cell a direction drawn from (s1, s2) falls in, with the position inside it in [0, 1)².
    void findCell(float s1, float s2, int& row, int& cell, float& v, float& u) const;
    // The direction at (v, u) inside a cell, with its density per unit solid angle.
    vector3d_t cellDirection(int row, int cell, float v, float u, float& pdf) const;

    std::unique_ptr<background_t> owned_;
    const background_t* background_;
    int samples_;
    float scale_;
    // One cell of the map. What a sample reads of its cell lies together, so that a draw touches
    // few cache lines of a map far larger than the cache.
    struct cell_t {
        float cdf = 0.f, pmf = 0.f;  // within the cell's row
        // Radiance at the cell's centre: samples take it instead of evaluating the background
        // (cells are a fraction of a degree across, far finer than any sky's gradients).
        color_t radiance;
        // Guide entry of the row's slice with this cell's index: of n equal slices of [0, 1) (n the
        // row's columns), the first cell the slice can reach, so that a lookup starts next to its
        // answer instead of bisecting the whole row.
        uint16_t guide = 0;
    };
    // Rows run from the zenith (row 0) to the nadir; each row has its own number of columns.
    std::vector<int> columnStart_;  // first cell of each row in cells_
    std::vector<float> rowCdf_, rowPmf_;
    std::vector<uint16_t> rowGuide_;  // as a cell's guide, over the rows
    std::vector<cell_t> cells_;
    // (1/π)·∫ radiance dω over the sphere: what illuminate's colour averages to.
    color_t meanIllumination_{0.f};
};

}  // namespace yafaray
