// The stock procedural textures: "clouds", "marble", "wood", "musgrave" and "distorted_noise".
// Each multiplies texture-space points by its "size" where noise is looked up, so a larger size
// gives finer features.

#include <cmath>
#include <sstream>
#include <string>

#include "raytracer/core/Environment.h"
#include "raytracer/plugins.h"
#include "raytracer/textures/Fractal.h"
#include "raytracer/textures/ImageTexture.h"
#include "raytracer/textures/ProceduralTexture.h"

namespace yafaray {
namespace {

// The start of a pattern key: the texture kind and the name of its noise.
std::string patternKey(const char* kind, const paraMap_t& params, const char* noiseKey) {
    std::string noise;
    params.getParam(noiseKey, noise);
    return std::string(kind) + "|" + noise;
}

// The numbers of a pattern key, exactly (hex floats), so that only equal patterns share a key.
template <typename... Values>
std::string keyOf(Values... values) {
    std::ostringstream out;
    out << std::hexfloat;
    ((out << '|' << values), ...);
    return out.str();
}

// "clouds": turbulence, optionally biased towards 0 ("negative") or 1 ("positive").
class cloudsTexture_t : public proceduralTexture_t {
public:
    enum class bias_t { none, positive, negative };

    explicit cloudsTexture_t(const paraMap_t& params) : proceduralTexture_t(params) {
        params.getParam("depth", depth_);
        params.getParam("size", size_);
        params.getParam("hard", hard_);
        std::string bias;
        params.getParam("bias", bias);
        if (bias == "positive") bias_ = bias_t::positive;
        if (bias == "negative") bias_ = bias_t::negative;
        noise_ = noiseFrom(params, "noise_type");
        setPatternKey(patternKey("clouds", params, "noise_type") + keyOf(depth_, size_, hard_, int(bias_)));
    }

private:
    float pattern(const point3d_t& p, float width) const override {
        return biased(turbulence(*noise_, p, depth_, size_, hard_, width));
    }

    bool patternGradient(const point3d_t& p, float width, float& value, vector3d_t& gradient) const override {
        const float v = turbulenceGradient(*noise_, p, depth_, size_, hard_, width, gradient);
        value = biased(v);
        switch (bias_) {
            case bias_t::negative:
                gradient = gradient * (2.f * v);
                break;
            case bias_t::positive:
                gradient = gradient * (2.f * (1.f - v));
                break;
            case bias_t::none:
                break;
        }
        return true;
    }

    float biased(float v) const {
        switch (bias_) {
            case bias_t::negative:
                return v * v;
            case bias_t::positive:
                // The mirror image of the negative bias: values pushed towards 1, still in [0, 1].
                return 1.f - (1.f - v) * (1.f - v);
            case bias_t::none:
                break;
        }
        return v;
    }

    int depth_ = 2;
    float size_ = 1.f;
    bool hard_ = false;
    bias_t bias_ = bias_t::none;
    std::unique_ptr<noiseGenerator_t> noise_;
};

// Bands: a wave of a phase w(p), disturbed by turbulence and sharpened by "sharpness". Marble and
// wood differ only in their phase.
class bandTexture_t : public proceduralTexture_t {
protected:
    bandTexture_t(const paraMap_t& params, const char* kind, bool rings) : proceduralTexture_t(params), rings_(rings) {
        params.getParam("depth", depth_);
        params.getParam("size", size_);
        params.getParam("hard", hard_);
        params.getParam("turbulence", turbulence_);
        params.getParam("sharpness", sharpness_);
        shape_ = waveShapeFrom(params);
        noise_ = noiseFrom(params, "noise_type");
        setPatternKey(patternKey(kind, params, "noise_type") +
                      keyOf(depth_, size_, hard_, turbulence_, sharpness_, int(shape_), rings_));
    }

    // The undisturbed phase at p and its gradient.
    virtual float phase(const point3d_t& p, vector3d_t& gradient) const = 0;

    const bool rings_;  // wood's rings rather than straight bands

private:
    float pattern(const point3d_t& p, float width) const override {
        vector3d_t unused;
        float w = phase(p, unused);
        if (turbulence_ != 0.f) w += turbulence_ * turbulence(*noise_, p, depth_, size_, hard_, width);
        const float v = wave(shape_, w);
        return sharpness_ > 1.f ? std::pow(v, 1.f / sharpness_) : v;
    }

    bool patternGradient(const point3d_t& p, float width, float& value, vector3d_t& gradient) const override {
        vector3d_t dw;
        float w = phase(p, dw);
        if (turbulence_ != 0.f) {
            vector3d_t dt;
            w += turbulence_ * turbulenceGradient(*noise_, p, depth_, size_, hard_, width, dt);
            dw += dt * turbulence_;
        }
        float slope = 1.f;
        value = sharpened(wave(shape_, w), sharpness_, slope);
        gradient = dw * (slope * waveSlope(shape_, w));
        return true;
    }

    int depth_ = 2;
    float size_ = 1.f, turbulence_ = 1.f, sharpness_ = 1.f;
    bool hard_ = false;
    waveShape_t shape_ = waveShape_t::sine;
    std::unique_ptr<noiseGenerator_t> noise_;
};

// "marble": bands along x + y + z.
class marbleTexture_t : public bandTexture_t {
public:
    explicit marbleTexture_t(const paraMap_t& params) : bandTexture_t(params, "marble", false) {}

private:
    float phase(const point3d_t& p, vector3d_t& gradient) const override {
        gradient = vector3d_t(5.f, 5.f, 5.f);
        return 5.f * (p.x + p.y + p.z);
    }
};

// "wood": straight bands ("wood_type" "bands") or rings around the origin ("rings"), shaped
// like marble's bands, "sharpness" included (the application's wood textures send it).
class woodTexture_t : public bandTexture_t {
public:
    explicit woodTexture_t(const paraMap_t& params) : bandTexture_t(params, "wood", isRings(params)) {}

private:
    static bool isRings(const paraMap_t& params) {
        std::string type;
        params.getParam("wood_type", type);
        return type == "rings";
    }

    float phase(const point3d_t& p, vector3d_t& gradient) const override {
        if (!rings_) {
            gradient = vector3d_t(10.f, 10.f, 10.f);
            return 10.f * (p.x + p.y + p.z);
        }
        const float r = p.length();
        gradient = r > 0.f ? p * (20.f / r) : vector3d_t(0.f, 0.f, 0.f);
        return 20.f * r;
    }
};

// "musgrave": one of the musgrave fractals at size·p, times "intensity" (not clamped).
class musgraveTexture_t : public proceduralTexture_t {
public:
    using fractal_t = float (*)(const noiseGenerator_t&, const point3d_t&, const musgraveParams_t&, float);

    explicit musgraveTexture_t(const paraMap_t& params) : proceduralTexture_t(params) {
        // The application's musgrave textures send the exponent as "h".
        if (!params.getParam("H", m_.H)) params.getParam("h", m_.H);
        params.getParam("lacunarity", m_.lacunarity);
        params.getParam("octaves", m_.octaves);
        params.getParam("offset", m_.offset);
        params.getParam("gain", m_.gain);
        params.getParam("size", size_);
        params.getParam("intensity", intensity_);
        std::string type;
        params.getParam("musgrave_type", type);
        if (type == "multifractal") fractal_ = &multiFractal;
        if (type == "ridgedmf") fractal_ = &ridgedMultiFractal;
        if (type == "hybridmf") fractal_ = &hybridMultiFractal;
        if (type == "heteroterrain") fractal_ = &heteroTerrain;
        noise_ = noiseFrom(params, "noise_type");
        setPatternKey(patternKey("musgrave", params, "noise_type") + type +
                      keyOf(m_.H, m_.lacunarity, m_.octaves, m_.offset, m_.gain, size_, intensity_));
    }

private:
    float pattern(const point3d_t& p, float width) const override {
        return intensity_ * fractal_(*noise_, p * size_, m_, width * std::fabs(size_));
    }

    musgraveParams_t m_;
    float size_ = 1.f, intensity_ = 1.f;
    fractal_t fractal_ = &fBm;
    std::unique_ptr<noiseGenerator_t> noise_;
};

// "distorted_noise": noise_type2 looked up at size·p displaced by noise_type1.
class distortedNoiseTexture_t : public proceduralTexture_t {
public:
    explicit distortedNoiseTexture_t(const paraMap_t& params) : proceduralTexture_t(params) {
        params.getParam("distort", distort_);
        params.getParam("size", size_);
        distortion_ = noiseFrom(params, "noise_type1");
        base_ = noiseFrom(params, "noise_type2");
        setPatternKey(patternKey("distorted_noise", params, "noise_type1") + patternKey("", params, "noise_type2") +
                      keyOf(distort_, size_));
    }

private:
    float pattern(const point3d_t& p, float width) const override {
        return distortedNoise(*distortion_, *base_, p * size_, distort_, width * std::fabs(size_));
    }

    bool patternGradient(const point3d_t& p, float width, float& value, vector3d_t& gradient) const override {
        value = distortedNoiseGradient(*distortion_, *base_, p * size_, distort_, width * std::fabs(size_), gradient);
        gradient = gradient * size_;
        return true;
    }

    float distort_ = 1.f, size_ = 1.f;
    std::unique_ptr<noiseGenerator_t> distortion_, base_;
};

template <typename T>
texture_t* proceduralFactory(paraMap_t& params, renderEnvironment_t&) {
    return new T(params);
}

}  // namespace

void registerPlugin_basictex(renderEnvironment_t& env) {
    env.registerFactory("clouds", &proceduralFactory<cloudsTexture_t>);
    env.registerFactory("marble", &proceduralFactory<marbleTexture_t>);
    env.registerFactory("wood", &proceduralFactory<woodTexture_t>);
    env.registerFactory("musgrave", &proceduralFactory<musgraveTexture_t>);
    env.registerFactory("distorted_noise", &proceduralFactory<distortedNoiseTexture_t>);
    env.registerFactory("image", &imageTextureFactory);
}

}  // namespace yafaray
