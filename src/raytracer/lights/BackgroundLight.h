#pragma once

// The background as a light: directions are drawn in proportion to the background's radiance
// (times the solid angle of each cell of a latitude-longitude map), so a bright sky region gets
// most of the samples and a sky-lit surface converges with few of them.

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

    // A direction drawn from two uniform numbers, with its density per unit solid angle.
    vector3d_t sampleDirection(float s1, float s2, float& pdf) const;
    // Density per unit solid angle of drawing dir (unit vector).
    float pdf(const vector3d_t& dir) const;
    // Radiance arriving from dir.
    color_t radiance(const vector3d_t& dir) const { return background_->eval(dir) * scale_; }

private:
    void buildDistribution();

    std::unique_ptr<background_t> owned_;
    const background_t* background_;
    int samples_;
    float scale_;
    // Rows run from the zenith (row 0) to the nadir; each row has its own number of columns.
    std::vector<int> columnStart_;  // first entry of each row in columnCdf_/columnPdf_
    std::vector<float> rowCdf_, rowPmf_;
    std::vector<float> columnCdf_, columnPmf_;
};

}  // namespace yafaray
