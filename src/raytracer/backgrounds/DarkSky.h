#pragma once

// The analytic daylight sky: Perez's five-coefficient distribution of sky luminance and
// chromaticity, with coefficients and zenith values that follow from the atmosphere's turbidity
// and the sun's position. "darksky" and "sunsky" both evaluate it; they differ in how the
// coefficient multipliers apply and in how the result is encoded as a colour.

#include "raytracer/core/Plugin.h"

namespace yafaray {

class paraMap_t;

// The five Perez coefficients A … E of one quantity (luminance Y or chromaticity x or y).
struct perezCoefficients_t {
    double A = 0, B = 0, C = 0, D = 0, E = 0;
};

class DarkSkyModel {
public:
    // sunDir points towards the sun (world z is up); turbidity is clamped to a sensible range.
    // The multipliers scale the luminance coefficients A … E; with scaleChromaticity they scale
    // the chromaticity coefficients too.
    DarkSkyModel(const vector3d_t& sunDir, double turbidity, const double multipliers[5],
                 bool scaleChromaticity = false);

    // Luminance of the sky in the direction dir (unit vector), in the model's units (cd/m²).
    double luminance(const vector3d_t& dir) const;
    // CIE xy chromaticity in the direction dir.
    void chromaticity(const vector3d_t& dir, double& x, double& y) const;

    // Perez's distribution: relative luminance at zenith angle theta (through its cosine) and
    // angle gamma from the sun.
    static double perez(const perezCoefficients_t& c, double cosTheta, double gamma);

    double zenithLuminance() const { return zenithY_; }
    double sunTheta() const { return thetaS_; }
    const vector3d_t& sunDirection() const { return sun_; }
    const perezCoefficients_t& luminanceCoefficients() const { return perezY_; }

private:
    double relative(const perezCoefficients_t& c, double zenithValue, double norm,
                    const vector3d_t& dir) const;

    vector3d_t sun_;
    double thetaS_ = 0;
    double zenithY_ = 0, zenithX_ = 0, zenithYc_ = 0;  // luminance and chromaticity x, y at the zenith
    perezCoefficients_t perezY_, perezX_, perezYc_;
    double normY_ = 1, normX_ = 1, normYc_ = 1;  // Perez value at the zenith, for each quantity
};

// Everything "darksky" reads from its parameters.
struct darkSkySettings_t {
    vector3d_t from{1.f, 1.f, 1.f};
    double turbidity = 4;
    double multipliers[5] = {1, 1, 1, 1, 1};  // a_var … e_var
    float altitude = 0.f;
    float bright = 1.f;
    float power = 1.f;
    float exposure = 1.f;
    bool night = false;
    bool srgbPrimaries = false;  // "sRGB (D65)"; otherwise the CIE RGB primaries of white E
    bool backgroundLight = false;
    int lightSamples = 8;
    bool castShadows = true;
};
darkSkySettings_t readDarkSkySettings(const paraMap_t& params);

// "darksky" as a background: camera rays see the sky colour times "bright"; the value used to
// light the scene is additionally scaled by "power".
class darkSkyBackground_t : public background_t {
public:
    darkSkyBackground_t(const darkSkySettings_t& s, bool forLighting);
    color_t eval(const vector3d_t& dir) const override;
    const DarkSkyModel& model() const { return model_; }

private:
    DarkSkyModel model_;
    float altitude_;
    float exposure_;
    bool srgbPrimaries_;
    color_t scale_;
    bool forLighting_;  // the light's copy: channels encoded one by one (see eval)
};

}  // namespace yafaray
