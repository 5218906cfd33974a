// Backgrounds: "constant" (one colour in every direction) and "gradientback" (linear in the
// z component of the view direction, with separate colours below the horizon).

#include "raytracer/core/Environment.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

class constantBackground_t : public background_t {
public:
    explicit constantBackground_t(const color_t& c) : color_(c) {}
    color_t eval(const vector3d_t&) const override { return color_; }

private:
    color_t color_;
};

background_t* constantFactory(paraMap_t& params, renderEnvironment_t&) {
    color_t color(0.f);
    float power = 1.f;
    bool ibl = false;
    int iblSamples = 16;
    params.getParam("color", color);
    params.getParam("power", power);
    params.getParam("ibl", ibl);
    params.getParam("ibl_samples", iblSamples);
    return new constantBackground_t(color * power);
}

class gradientBackground_t : public background_t {
public:
    gradientBackground_t(const color_t& horizon, const color_t& zenith, const color_t& groundHorizon,
                         const color_t& groundZenith)
        : horizon_(horizon), zenith_(zenith), groundHorizon_(groundHorizon), groundZenith_(groundZenith) {}

    color_t eval(const vector3d_t& dir) const override {
        const float z = std::clamp(dir.z, -1.f, 1.f);
        color_t c =
            z >= 0.f ? zenith_ * z + horizon_ * (1.f - z) : groundZenith_ * -z + groundHorizon_ * (1.f + z);
        // Nearly black channels become a faint grey, as the classic gradient does.
        if (c.R < 1e-6f || c.G < 1e-6f || c.B < 1e-6f) c = color_t(1e-5f);
        return c;
    }

private:
    color_t horizon_, zenith_, groundHorizon_, groundZenith_;
};

background_t* gradientFactory(paraMap_t& params, renderEnvironment_t&) {
    color_t horizon(1.f), zenith(0.4f, 0.5f, 1.f);
    float power = 1.f;
    bool ibl = false;
    int iblSamples = 16;
    params.getParam("horizon_color", horizon);
    params.getParam("zenith_color", zenith);
    color_t groundHorizon = horizon, groundZenith = zenith;
    params.getParam("horizon_ground_color", groundHorizon);
    params.getParam("zenith_ground_color", groundZenith);
    params.getParam("power", power);
    params.getParam("ibl", ibl);
    params.getParam("ibl_samples", iblSamples);
    return new gradientBackground_t(horizon * power, zenith * power, groundHorizon * power,
                                    groundZenith * power);
}

}  // namespace

void registerBuiltinBackgrounds(renderEnvironment_t& env) {
    env.registerFactory("constant", &constantFactory);
}
void registerPlugin_gradientback(renderEnvironment_t& env) {
    env.registerFactory("gradientback", &gradientFactory);
}

}  // namespace yafaray
