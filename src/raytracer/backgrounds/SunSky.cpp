// "sunsky": the older form of the daylight sky. It shares the model with "darksky"; here the
// multipliers scale all three coefficient sets, the colour uses the sRGB primaries without
// display gamma, the sky fades out below the horizon and "power" scales what camera rays see
// as well as the light.

#include <algorithm>
#include <cmath>
#include <memory>

#include "raytracer/backgrounds/DarkSky.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/lights/BackgroundLight.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

constexpr double kLuminanceScale = 15000.0;
// Below the horizon the sky fades to black over this range of the view direction's z.
constexpr float kHorizonFade = 0.1f;

float smoothstep(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.f, 1.f);
    return t * t * (3.f - 2.f * t);
}

class sunSkyBackground_t : public background_t {
public:
    sunSkyBackground_t(const vector3d_t& sun, double turbidity, const double m[5], float power)
        : model_(sun, turbidity, m, true), power_(power) {
        // A sun under the horizon dims the whole sky.
        sunFade_ = smoothstep(-kHorizonFade, 0.f, model_.sunDirection().z);
    }

    color_t eval(const vector3d_t& dir) const override {
        // The distribution is held at the horizon for directions below it and faded out.
        vector3d_t d = dir;
        const float fade = smoothstep(-kHorizonFade, 0.f, d.z) * sunFade_;
        if (fade <= 0.f) return color_t(0.f);
        if (d.z < 0.f) d = vector3d_t(d.x, d.y, 0.f).normalized();
        const double Y = model_.luminance(d) / kLuminanceScale;
        double x = 0, y = 0;
        model_.chromaticity(d, x, y);
        if (!(y > 1e-6)) return color_t(0.f);
        const double X = x * Y / y, Z = (1.0 - x - y) * Y / y;
        auto clamp01 = [](double v) { return v > 0.0 ? static_cast<float>(std::min(v, 1.0)) : 0.f; };
        const color_t c(clamp01(3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z),
                        clamp01(-0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z),
                        clamp01(0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z));
        return c * (fade * power_);
    }

private:
    DarkSkyModel model_;
    float power_;
    float sunFade_ = 1.f;
};

struct sunSkySettings_t {
    vector3d_t from{1.f, 1.f, 1.f};
    double turbidity = 4;
    double multipliers[5] = {1, 1, 1, 1, 1};
    float power = 1.f;
    bool backgroundLight = false;
    int lightSamples = 8;
};

sunSkySettings_t readSunSkySettings(const paraMap_t& params) {
    sunSkySettings_t s;
    float t = 0.f;
    if (params.getParam("turbidity", t)) s.turbidity = t;
    params.getParam("from", s.from);
    const char* keys[5] = {"a_var", "b_var", "c_var", "d_var", "e_var"};
    for (int k = 0; k < 5; ++k) {
        float v = 1.f;
        if (params.getParam(keys[k], v)) s.multipliers[k] = v;
    }
    params.getParam("power", s.power);
    params.getParam("background_light", s.backgroundLight);
    params.getParam("light_samples", s.lightSamples);
    return s;
}

background_t* sunSkyFactory(paraMap_t& params, renderEnvironment_t& env) {
    bool addSun = false;
    float sunPower = 1.f;
    params.getParam("add_sun", addSun);
    params.getParam("sun_power", sunPower);
    if (addSun) logMessage(logLevel_t::warning, "sunsky: add_sun is not supported; add a sunlight instead");
    const sunSkySettings_t s = readSunSkySettings(params);
    if (s.backgroundLight) {
        paraMap_t lightParams = params;
        lightParams.setParam("type", parameter_t(std::string("sunsky_light")));
        static int counter = 0;
        if (!env.createLight("sunsky_light_" + std::to_string(counter++), lightParams))
            logMessage(logLevel_t::error, "sunsky: sky light not added");
    }
    return new sunSkyBackground_t(s.from, s.turbidity, s.multipliers, s.power);
}

light_t* sunSkyLightFactory(paraMap_t& params, renderEnvironment_t&) {
    bool addSun = false;
    float sunPower = 1.f;
    params.getParam("add_sun", addSun);
    params.getParam("sun_power", sunPower);
    const sunSkySettings_t s = readSunSkySettings(params);
    return new backgroundLight_t(
        std::make_unique<sunSkyBackground_t>(s.from, s.turbidity, s.multipliers, s.power), s.lightSamples);
}

}  // namespace

void registerPlugin_sunky(renderEnvironment_t& env) {
    env.registerFactory("sunsky", &sunSkyFactory);
    env.registerFactory("sunsky_light", &sunSkyLightFactory);
}

}  // namespace yafaray
