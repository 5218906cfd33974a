// "darksky": the daylight sky as a background, and with "background_light" also as a light
// that is importance-sampled over the sky.

#include "raytracer/backgrounds/DarkSky.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/lights/BackgroundLight.h"
#include "raytracer/plugins.h"

namespace yafaray {
namespace {

// Below the horizon the zenith cosine is held at this, so the distribution stays finite.
constexpr double kMinCosTheta = 1e-6;
// Exponents of the distribution are capped so that extreme multipliers cannot overflow.
constexpr double kMaxExponent = 80.0;
// Turbidity range accepted (clear mountain air is about 2, thick haze above 20).
constexpr double kMaxTurbidity = 64.0;
// The model's luminance (cd/m²) is divided by this before it becomes a colour.
constexpr double kLuminanceScale = 15000.0;
// Luminance after exposure is capped so that the colour conversion stays finite.
constexpr double kMaxEncodedLuminance = 1e6;
constexpr float kDisplayGamma = 2.2f;
const color_t kNightTint(0.05f, 0.05f, 0.08f);
// Type name of the light that "background_light" adds.
constexpr const char* kSkyLightType = "darksky_light";

double cappedExp(double x) {
    return std::exp(std::min(x, kMaxExponent));
}

vector3d_t lifted(const vector3d_t& v, float altitude) {
    const vector3d_t l(v.x, v.y, v.z + altitude);
    return l.lengthSqr() > 0.f ? l.normalized() : vector3d_t(0.f, 0.f, 1.f);
}

}  // namespace

DarkSkyModel::DarkSkyModel(const vector3d_t& sunDir, double turbidity, const double m[5],
                           bool scaleChromaticity) {
    sun_ = sunDir.lengthSqr() > 0.f ? sunDir.normalized() : vector3d_t(0.f, 0.f, 1.f);
    const double T = std::clamp(turbidity, 0.0, kMaxTurbidity);
    const double th = std::acos(std::clamp(double(sun_.z), -1.0, 1.0));
    thetaS_ = th;
    const double th2 = th * th, th3 = th2 * th, T2 = T * T;

    // Zenith luminance (kcd/m² in the fit, kept here in cd/m²) and chromaticity.
    const double chi = (4.0 / 9.0 - T / 120.0) * (M_PI - 2.0 * th);
    zenithY_ = std::max(0.0, 1000.0 * ((4.0453 * T - 4.9710) * std::tan(chi) - 0.2155 * T + 2.4192));
    zenithX_ = (0.00165 * th3 - 0.00374 * th2 + 0.00209 * th) * T2 +
               (-0.02902 * th3 + 0.06377 * th2 - 0.03202 * th + 0.00394) * T +
               (0.11693 * th3 - 0.21196 * th2 + 0.06052 * th + 0.25885);
    zenithYc_ = (0.00275 * th3 - 0.00610 * th2 + 0.00316 * th) * T2 +
                (-0.04214 * th3 + 0.08970 * th2 - 0.04153 * th + 0.00515) * T +
                (0.15346 * th3 - 0.26756 * th2 + 0.06669 * th + 0.26688);

    perezY_ = {0.17872 * T - 1.46303, -0.35540 * T + 0.42749, -0.02266 * T + 5.32505, 0.12064 * T - 2.57705,
               -0.06696 * T + 0.37027};
    perezX_ = {-0.01925 * T - 0.25922, -0.06651 * T + 0.00081, -0.00041 * T + 0.21247, -0.06409 * T - 0.89887,
               -0.00325 * T + 0.04517};
    perezYc_ = {-0.01669 * T - 0.26078, -0.09495 * T + 0.00921, -0.00792 * T + 0.21023,
                -0.04405 * T - 1.65369, -0.01092 * T + 0.05291};
    auto scale = [&](perezCoefficients_t& c) {
        c.A *= m[0];
        c.B *= m[1];
        c.C *= m[2];
        c.D *= m[3];
        c.E *= m[4];
    };
    scale(perezY_);
    if (scaleChromaticity) {
        scale(perezX_);
        scale(perezYc_);
    }
    // Each quantity is its zenith value times F(θ, γ) / F(0, θs).
    normY_ = perez(perezY_, 1.0, th);
    normX_ = perez(perezX_, 1.0, th);
    normYc_ = perez(perezYc_, 1.0, th);
}

double DarkSkyModel::perez(const perezCoefficients_t& c, double cosTheta, double gamma) {
    const double cosGamma = std::cos(gamma);
    cosTheta = std::max(cosTheta, kMinCosTheta);
    return (1.0 + c.A * cappedExp(c.B / cosTheta)) *
           (1.0 + c.C * cappedExp(c.D * gamma) + c.E * cosGamma * cosGamma);
}

double DarkSkyModel::relative(const perezCoefficients_t& c, double zenithValue, double norm,
                              const vector3d_t& dir) const {
    if (norm == 0.0 || !std::isfinite(norm)) return zenithValue;
    const double gamma = std::acos(std::clamp(double(dot(dir, sun_)), -1.0, 1.0));
    return zenithValue * perez(c, dir.z, gamma) / norm;
}

double DarkSkyModel::luminance(const vector3d_t& dir) const {
    return std::max(0.0, relative(perezY_, zenithY_, normY_, dir));
}

void DarkSkyModel::chromaticity(const vector3d_t& dir, double& x, double& y) const {
    x = relative(perezX_, zenithX_, normX_, dir);
    y = relative(perezYc_, zenithYc_, normYc_, dir);
}

darkSkySettings_t readDarkSkySettings(const paraMap_t& params) {
    darkSkySettings_t s;
    double turbidity = s.turbidity;
    float t = 0.f;
    if (params.getParam("turbidity", t)) turbidity = t;
    s.turbidity = turbidity;
    params.getParam("from", s.from);
    const char* multiplierKeys[5] = {"a_var", "b_var", "c_var", "d_var", "e_var"};
    for (int k = 0; k < 5; ++k) {
        float v = 1.f;
        if (params.getParam(multiplierKeys[k], v)) s.multipliers[k] = v;
    }
    params.getParam("altitude", s.altitude);
    params.getParam("bright", s.bright);
    params.getParam("power", s.power);
    params.getParam("exposure", s.exposure);
    params.getParam("night", s.night);
    std::string colorSpace;
    if (params.getParam("color_space", colorSpace)) s.srgbPrimaries = colorSpace.rfind("sRGB", 0) == 0;
    params.getParam("background_light", s.backgroundLight);
    params.getParam("light_samples", s.lightSamples);
    params.getParam("cast_shadows", s.castShadows);
    return s;
}

darkSkyBackground_t::darkSkyBackground_t(const darkSkySettings_t& s, bool forLighting)
    : model_(lifted(s.from, s.altitude), s.turbidity, s.multipliers),
      altitude_(s.altitude),
      exposure_(s.exposure),
      srgbPrimaries_(s.srgbPrimaries),
      forLighting_(forLighting) {
    const float bright = s.night ? s.bright * 0.5f : s.bright;
    color_t scale(bright);
    if (forLighting) scale = scale * s.power;
    if (s.night) scale *= kNightTint;
    scale_ = scale;
}

namespace {

// The sky's look was tuned with its brightness encoded for display (gamma 1/2.2, at most 1).
// Encoding each channel on its own pulls the channels together and turns a blue sky pale
// grey-cyan, so the sky the camera sees encodes only the luminance: the linear colour keeps its
// hue and is scaled down as a whole where its brightest channel would pass 1.
color_t encodedForDisplay(double r, double g, double b, double Y) {
    r = std::max(r, 0.0);
    g = std::max(g, 0.0);
    b = std::max(b, 0.0);
    if (!(Y > 0.0)) return color_t(0.f);
    double gain = std::pow(Y, 1.0 / kDisplayGamma) / Y;
    const double brightest = std::max({r, g, b}) * gain;
    if (brightest > 1.0) gain /= brightest;
    return color_t(static_cast<float>(r * gain), static_cast<float>(g * gain), static_cast<float>(b * gain));
}

}  // namespace

color_t darkSkyBackground_t::eval(const vector3d_t& dir) const {
    const vector3d_t d = lifted(dir, altitude_);
    double Y = model_.luminance(d) / kLuminanceScale;
    // Exposure maps luminance through 1 − e^(−exposure·Y): linear for a dim sky, approaching 1 for a
    // bright one. The growing curve e^(exposure·Y) − 1 would wash every daylight sky out to white.
    if (exposure_ > 0.f) Y = 1.0 - std::exp(-exposure_ * Y);
    if (!(Y < kMaxEncodedLuminance)) Y = kMaxEncodedLuminance;
    double x = 0, y = 0;
    model_.chromaticity(d, x, y);
    if (!(y > 1e-6)) return color_t(0.f);
    const double X = x * Y / y, Z = (1.0 - x - y) * Y / y;
    double r, g, b;
    if (srgbPrimaries_) {
        r = 3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z;
        g = -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z;
        b = 0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z;
    } else {
        r = 2.3706743 * X - 0.9000405 * Y - 0.4706338 * Z;
        g = -0.5138850 * X + 1.4253036 * Y + 0.0885814 * Z;
        b = 0.0052982 * X - 0.0146949 * Y + 1.0093968 * Z;
    }
    if (!forLighting_) return encodedForDisplay(r, g, b, Y) * scale_;
    // The light keeps the channel-by-channel encoding its strength was tuned with: lighting a
    // scene with the sky's full blue at that strength (about the sun's) would tint sunlit snow
    // cyan and red rock lilac.
    auto encode = [](double v) {
        if (!(v > 0.0)) return 0.f;
        return std::min(1.f, std::pow(static_cast<float>(v), 1.f / kDisplayGamma));
    };
    return color_t(encode(r), encode(g), encode(b)) * scale_;
}

namespace {

// Colour of direct sunlight after its path through the atmosphere: Rayleigh scattering
// (0.008735·λ^−4.08 per air mass, λ in µm) and aerosols (Ångström's β = 0.04608·T − 0.04586,
// α = 1.3) at one wavelength per channel, over Kasten's air mass, encoded for display as the sky
// is. Ozone, mixed gases and water vapour, which only dent the spectrum, are left out.
color_t sunColour(const vector3d_t& toSun, double turbidity) {
    // Kasten's formula holds down to the horizon; a sun just below it keeps the horizon's air mass.
    const double cosTheta = std::clamp(double(toSun.z), 0.0, 1.0);
    const double thetaDeg = std::acos(cosTheta) * 180.0 / M_PI;
    const double airMass = 1.0 / (cosTheta + 0.15 * std::pow(93.885 - thetaDeg, -1.253));
    const double beta = std::max(0.0, 0.04608 * turbidity - 0.04586);
    auto channel = [&](double micrometres) {
        const double tau = 0.008735 * std::pow(micrometres, -4.08) + beta * std::pow(micrometres, -1.3);
        return std::min(1.f, static_cast<float>(std::pow(std::exp(-airMass * tau), 1.0 / kDisplayGamma)));
    };
    return color_t(channel(0.65), channel(0.55), channel(0.45));
}

// "add_sun": a "sunlight" along the sky's sun direction while the sun is less than 100° from
// the zenith, a little wider near the horizon (½·(2 − cos θ) degrees).
void addSkySun(const darkSkySettings_t& s, const paraMap_t& params, renderEnvironment_t& env) {
    float sunPower = 1.f;
    bool castShadowsSun = true;
    params.getParam("sun_power", sunPower);
    params.getParam("cast_shadows_sun", castShadowsSun);
    const vector3d_t dir = s.from.lengthSqr() > 0.f ? s.from.normalized() : vector3d_t(0.f, 0.f, 1.f);
    if (dir.z <= std::cos(100.0 * M_PI / 180.0)) return;
    color_t colour = sunColour(dir, s.turbidity);
    if (s.night) {
        colour *= color_t(0.8f, 0.8f, 1.f);
        sunPower *= 0.5f;
    }
    static std::atomic<int> counter{0};
    paraMap_t sun;
    sun.setParam("type", parameter_t(std::string("sunlight")));
    sun.setParam("direction", parameter_t(point3d_t(dir.x, dir.y, dir.z)));
    sun.setParam("color", parameter_t(colorA_t(colour, 1.f)));
    sun.setParam("power", parameter_t(double(sunPower)));
    sun.setParam("angle", parameter_t(0.5 * (2.0 - dir.z)));
    sun.setParam("samples", parameter_t(s.lightSamples));
    sun.setParam("cast_shadows", parameter_t(castShadowsSun));
    const std::string name = "darksky_sun_" + std::to_string(counter.fetch_add(1));
    if (!env.createLight(name, sun)) logMessage(logLevel_t::error, "darksky: sun not added (is \"sunlight\" registered?)");
}

background_t* darkSkyFactory(paraMap_t& params, renderEnvironment_t& env) {
    // Read for compatibility; caustic and diffuse flags have no separate paths here.
    bool addSun = false, withCaustic = true, withDiffuse = true;
    params.getParam("add_sun", addSun);
    params.getParam("with_caustic", withCaustic);
    params.getParam("with_diffuse", withDiffuse);
    const darkSkySettings_t s = readDarkSkySettings(params);
    if (addSun) addSkySun(s, params, env);
    if (s.backgroundLight) {
        // The light rebuilds the same sky from these keys, at its lighting brightness.
        static std::atomic<int> counter{0};
        paraMap_t lightParams;
        lightParams.setParam("type", parameter_t(std::string(kSkyLightType)));
        lightParams.setParam("from", parameter_t(s.from));
        lightParams.setParam("turbidity", parameter_t(s.turbidity));
        const char* keys[5] = {"a_var", "b_var", "c_var", "d_var", "e_var"};
        for (int k = 0; k < 5; ++k) lightParams.setParam(keys[k], parameter_t(s.multipliers[k]));
        lightParams.setParam("altitude", parameter_t(double(s.altitude)));
        lightParams.setParam("bright", parameter_t(double(s.bright)));
        lightParams.setParam("power", parameter_t(double(s.power)));
        lightParams.setParam("exposure", parameter_t(double(s.exposure)));
        lightParams.setParam("night", parameter_t(s.night));
        lightParams.setParam("color_space",
                             parameter_t(std::string(s.srgbPrimaries ? "sRGB (D65)" : "CIE (E)")));
        lightParams.setParam("light_samples", parameter_t(s.lightSamples));
        lightParams.setParam("cast_shadows", parameter_t(s.castShadows));
        const std::string name = "darksky_light_" + std::to_string(counter.fetch_add(1));
        if (!env.createLight(name, lightParams))
            logMessage(logLevel_t::error, "darksky: sky light not added");
    }
    return new darkSkyBackground_t(s, false);
}

light_t* darkSkyLightFactory(paraMap_t& params, renderEnvironment_t&) {
    const darkSkySettings_t s = readDarkSkySettings(params);
    auto* light = new backgroundLight_t(std::make_unique<darkSkyBackground_t>(s, true), s.lightSamples);
    light->castShadows = s.castShadows;
    return light;
}

}  // namespace

void registerPlugin_darksky(renderEnvironment_t& env) {
    env.registerFactory("darksky", &darkSkyFactory);
    env.registerFactory(kSkyLightType, &darkSkyLightFactory);
}

}  // namespace yafaray
