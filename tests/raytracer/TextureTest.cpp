#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "raytracer/textures/Fractal.h"
#include "raytracer/textures/Noise.h"

namespace {

using enginetest::SceneBuilder;
using yafaray::point3d_t;

// Points spread over positive and negative coordinates, near and far from the origin.
std::vector<point3d_t> samplePoints(int n, float extent) {
    std::vector<point3d_t> points;
    uint32_t state = 12345u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.f;
    };
    for (int i = 0; i < n; ++i)
        points.emplace_back((next() - 0.5f) * extent, (next() - 0.5f) * extent, (next() - 0.5f) * extent);
    return points;
}

const char* const kNoiseNames[] = {"stdperlin",   "newperlin",   "voronoi_f1",   "voronoi_f2",      "voronoi_f3",
                                   "voronoi_f4", "voronoi_f2f1", "voronoi_crackle", "cellnoise"};

struct range_t {
    float lo, hi;
};
range_t documentedRange(const std::string& name) {
    if (name == "newperlin") return {0.f, 1.f};
    if (name == "stdperlin") return {-0.1f, 1.1f};
    if (name == "voronoi_crackle") return {0.f, 1.f};
    if (name == "cellnoise") return {0.f, 0.99999994f};
    return {0.f, yafaray::kVoronoiMaxDistance};  // the distances and F2 − F1
}

TEST(Noise, EveryGeneratorStaysInItsDocumentedRangeVariesAndIsDeterministic) {
    const std::vector<point3d_t> points = samplePoints(20000, 200.f);
    for (const char* name : kNoiseNames) {
        SCOPED_TRACE(name);
        const auto a = yafaray::newNoiseGenerator(name);
        const auto b = yafaray::newNoiseGenerator(name);
        const range_t range = documentedRange(name);
        float lo = 1e30f, hi = -1e30f;
        for (const point3d_t& p : points) {
            const float v = (*a)(p);
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_GE(v, range.lo);
            ASSERT_LE(v, range.hi);
            ASSERT_EQ(v, (*b)(p)) << "a second generator of the same type disagrees";
            ASSERT_EQ(v, (*a)(p)) << "a second look-up at the same point disagrees";
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        // A generator that hardly moves would be a constant, not a noise.
        EXPECT_GT(hi - lo, 0.4f);
    }
}

TEST(Noise, UnknownOrEmptyNamesGiveTheImprovedPerlinNoise) {
    const auto reference = yafaray::newNoiseGenerator("newperlin");
    for (const char* name : {"", "blender", "no such noise"}) {
        const auto n = yafaray::newNoiseGenerator(name);
        for (const point3d_t& p : samplePoints(200, 20.f)) ASSERT_EQ((*n)(p), (*reference)(p)) << name;
    }
}

TEST(Noise, PerlinNoisesAreOneHalfOnTheLatticeAndFollowTheEdgeGradientsBetween) {
    const auto improved = yafaray::newNoiseGenerator("newperlin");
    const auto classic = yafaray::newNoiseGenerator("stdperlin");
    for (int x = -3; x <= 3; ++x) {
        for (int y = -3; y <= 3; ++y) {
            for (int z = -3; z <= 3; ++z) {
                const point3d_t p{float(x), float(y), float(z)};
                EXPECT_FLOAT_EQ((*improved)(p), 0.5f);
                EXPECT_NEAR((*classic)(p), 0.5f, 1e-3f);  // the +10000 shift rounds in float
            }
        }
    }
    // Half-way along a lattice edge the fade is ½ and only the edge's two corners count:
    // n = ¼·(g0x − g1x) with gradient components in {−1, 0, 1}, so 0.5 + 0.5·n is a multiple of
    // 1/8 between 1/4 and 3/4.
    int offCentre = 0;
    for (int x = -8; x < 8; ++x) {
        for (int y = -2; y <= 2; ++y) {
            const float v = (*improved)(point3d_t(x + 0.5f, float(y), 3.f));
            const float eighths = v * 8.f;
            EXPECT_NEAR(eighths, std::round(eighths), 1e-5f) << x << ", " << y;
            EXPECT_GE(v, 0.25f);
            EXPECT_LE(v, 0.75f);
            offCentre += v != 0.5f;
        }
    }
    EXPECT_GT(offCentre, 20);
    // Next to a lattice point the quintic fade is flat, so the noise rises with the corner's
    // gradient alone: its slope along x is a gradient component, −1, 0 or 1.
    for (int x = -4; x <= 4; ++x) {
        const float eps = 1e-3f;
        const float slope = ((*improved)(point3d_t(x + eps, 2.f, -1.f)) - 0.5f) / (0.5f * eps);
        EXPECT_NEAR(slope, std::round(slope), 0.02f);
        EXPECT_LE(std::fabs(std::round(slope)), 1.f);
    }
}

TEST(Noise, CellNoiseIsConstantPerCellAndVoronoiDistancesAreOrdered) {
    const auto cell = yafaray::newNoiseGenerator("cellnoise");
    int changes = 0;
    for (int x = -5; x < 5; ++x) {
        const float a = (*cell)(point3d_t(x + 0.05f, 0.3f, -2.7f));
        EXPECT_EQ(a, (*cell)(point3d_t(x + 0.95f, 0.9f, -2.1f)));
        changes += a != (*cell)(point3d_t(x + 1.05f, 0.3f, -2.7f));
    }
    EXPECT_GE(changes, 8);

    const auto f2f1 = yafaray::newNoiseGenerator("voronoi_f2f1");
    const auto crackle = yafaray::newNoiseGenerator("voronoi_crackle");
    const std::unique_ptr<yafaray::noiseGenerator_t> nth[4] = {
        yafaray::newNoiseGenerator("voronoi_f1"), yafaray::newNoiseGenerator("voronoi_f2"),
        yafaray::newNoiseGenerator("voronoi_f3"), yafaray::newNoiseGenerator("voronoi_f4")};
    for (const point3d_t& p : samplePoints(2000, 50.f)) {
        float f[4];
        yafaray::voronoiNoise_t::distances(p, f);
        for (int k = 0; k < 4; ++k) ASSERT_EQ((*nth[k])(p), f[k]) << "F" << k + 1;
        ASSERT_LE(f[0], f[1]);
        ASSERT_LE(f[1], f[2]);
        ASSERT_LE(f[2], f[3]);
        ASSERT_FLOAT_EQ((*f2f1)(p), f[1] - f[0]);
        ASSERT_FLOAT_EQ((*crackle)(p), std::min(1.f, 10.f * (f[1] - f[0])));
    }
}

TEST(Turbulence, SizeScalesCoordinatesDepthAddsHalvingOctavesAndHardFolds) {
    const auto noise = yafaray::newNoiseGenerator("newperlin");
    const auto& n = *noise;
    double soft = 0.0, hard = 0.0;
    const std::vector<point3d_t> points = samplePoints(5000, 30.f);
    for (const point3d_t& p : points) {
        // depth 0 is the noise itself at size·p.
        ASSERT_FLOAT_EQ(yafaray::turbulence(n, p, 0, 3.f, false), n(p * 3.f));
        // depth 1: (n(p) + ½·n(2p)) normalised by 2/3.
        ASSERT_NEAR(yafaray::turbulence(n, p, 1, 1.f, false), (n(p) + 0.5f * n(p * 2.f)) * (2.f / 3.f), 1e-6f);
        const float h = yafaray::turbulence(n, p, 3, 1.f, true);
        ASSERT_GE(h, 0.f);
        ASSERT_LE(h, 1.f);
        soft += yafaray::turbulence(n, p, 3, 1.f, false);
        hard += h;
    }
    soft /= points.size();
    hard /= points.size();
    // Soft noise centres on ½; folding |2n − 1| pulls the mean well below it.
    EXPECT_NEAR(soft, 0.5, 0.05);
    EXPECT_LT(hard, soft - 0.15);
}

// Textures made through the interface, as the scene layers make them.
class TextureMaker {
public:
    const yafaray::texture_t* make(const std::string& type, const std::function<void(yafaray::yafrayInterface_t&)>& set) {
        s_.yi.paramsClearAll();
        s_.yi.paramsSetString("type", type.c_str());
        if (set) set(s_.yi);
        const std::string name = "texture" + std::to_string(count_++);
        const yafaray::texture_t* t = s_.yi.createTexture(name.c_str());
        EXPECT_NE(t, nullptr) << type;
        return t;
    }

private:
    SceneBuilder s_;
    int count_ = 0;
};

TEST(ProceduralTextures, SizeMultipliesTheCoordinatesOfCloudsMusgraveAndDistortedNoise) {
    TextureMaker m;
    for (const char* type : {"clouds", "musgrave", "distorted_noise"}) {
        SCOPED_TRACE(type);
        const auto* one = m.make(type, [](auto& yi) { yi.paramsSetFloat("size", 1.0); });
        const auto* four = m.make(type, [](auto& yi) { yi.paramsSetFloat("size", 4.0); });
        int differ = 0;
        for (const point3d_t& p : samplePoints(500, 8.f)) {
            // Exact multiples of ¼ in float keep p·4 exact, so the values agree bit for bit.
            const point3d_t q(std::round(p.x * 64.f) / 64.f, std::round(p.y * 64.f) / 64.f,
                              std::round(p.z * 64.f) / 64.f);
            ASSERT_FLOAT_EQ(four->getFloat(q), one->getFloat(q * 4.f));
            differ += four->getFloat(q) != one->getFloat(q);
        }
        EXPECT_GT(differ, 400);
    }
}

TEST(ProceduralTextures, DetailFinerThanTheFootprintFadesToItsAverage) {
    TextureMaker m;
    const std::vector<point3d_t> points = samplePoints(400, 20.f);
    auto deviation = [&](const yafaray::texture_t* t, float width) {
        double sum = 0, sum2 = 0;
        for (const point3d_t& p : points) {
            const double v = t->filteredFloat(p, width);
            sum += v;
            sum2 += v * v;
        }
        const double mean = sum / points.size();
        return std::sqrt(std::max(0.0, sum2 / points.size() - mean * mean));
    };
    for (const char* type : {"clouds", "marble", "wood", "musgrave", "distorted_noise"}) {
        SCOPED_TRACE(type);
        const bool banded = std::string(type) == "marble" || std::string(type) == "wood";
        const auto* t = m.make(type, [&](auto& yi) {
            yi.paramsSetFloat("size", 4.0);
            yi.paramsSetString("noise_type", "voronoi_f2");
            if (banded) yi.paramsSetFloat("turbulence", 2.0);
        });
        for (const point3d_t& p : points) {
            // A point footprint is the plain pattern; sample gives colour and scalar together.
            yafaray::colorA_t colour;
            float scalar = 0.f;
            t->sample(p, 0.f, colour, scalar);
            ASSERT_EQ(scalar, t->getFloat(p));
            ASSERT_EQ(colour.R, t->getColor(p).R);
        }
        if (banded) {
            // From afar only the bands along x + y + z remain: points on one band agree.
            int differ = 0;
            for (const point3d_t& p : points) {
                const point3d_t q = p + yafaray::vector3d_t(0.37f, -0.37f, 0.f);
                ASSERT_NEAR(t->filteredFloat(p, 10.f), t->filteredFloat(q, 10.f), 1e-4f);
                differ += t->filteredFloat(p, 0.f) != t->filteredFloat(q, 0.f);
            }
            EXPECT_GT(differ, 350);
            continue;
        }
        // Wider footprints leave less variation; one wider than the coarsest feature, none.
        const double sharp = deviation(t, 0.f), blurred = deviation(t, 0.12f), flat = deviation(t, 10.f);
        EXPECT_GT(sharp, 0.05);
        EXPECT_LT(blurred, 0.9 * sharp);
        EXPECT_EQ(flat, 0.0);
    }
    // Clouds seen from afar take the noise's average, not black or white.
    const auto* clouds = m.make("clouds", [](auto& yi) { yi.paramsSetString("noise_type", "newperlin"); });
    EXPECT_NEAR(clouds->filteredFloat({3, 4, 5}, 100.f), 0.5f, 0.05f);
}

// Fraction of the points where the analytic gradient agrees with central differences of the
// values within 5 % (kinks where the nearest voronoi points swap, cell walls and band folds
// make some points disagree legitimately; a wrong gradient agrees almost nowhere).
template <typename Value, typename Gradient>
float gradientAgreement(const std::vector<point3d_t>& points, float h, Value value, Gradient gradient) {
    int agree = 0;
    for (const point3d_t& p : points) {
        const yafaray::vector3d_t g = gradient(p);
        const yafaray::vector3d_t fd((value(p + yafaray::vector3d_t(h, 0, 0)) - value(p - yafaray::vector3d_t(h, 0, 0))),
                                     (value(p + yafaray::vector3d_t(0, h, 0)) - value(p - yafaray::vector3d_t(0, h, 0))),
                                     (value(p + yafaray::vector3d_t(0, 0, h)) - value(p - yafaray::vector3d_t(0, 0, h))));
        const yafaray::vector3d_t diff = fd * (0.5f / h) - g;
        agree += diff.length() <= 0.05f * std::max(1.f, g.length());
    }
    return float(agree) / float(points.size());
}

TEST(Noise, AnalyticGradientsMatchDifferencesAndValuesStayExact) {
    const std::vector<point3d_t> points = samplePoints(2000, 40.f);
    for (const char* name : kNoiseNames) {
        SCOPED_TRACE(name);
        const auto n = yafaray::newNoiseGenerator(name);
        for (const point3d_t& p : points) {
            yafaray::vector3d_t g;
            ASSERT_EQ(n->valueAndGradient(p, g), (*n)(p));
        }
        // The classic noise looks up p + 10000, where single precision resolves only 0.001.
        const float h = std::string(name) == "stdperlin" ? 1e-2f : 1e-3f;
        const float agreement = gradientAgreement(
            points, h, [&](const point3d_t& p) { return (*n)(p); },
            [&](const point3d_t& p) {
                yafaray::vector3d_t g;
                n->valueAndGradient(p, g);
                return g;
            });
        EXPECT_GT(agreement, 0.9f);
    }
}

TEST(ProceduralTextures, BumpGradientsMatchDifferencesOfTheFilteredValue) {
    TextureMaker m;
    const std::vector<point3d_t> points = samplePoints(1000, 6.f);
    for (const char* type : {"clouds", "marble", "wood", "distorted_noise"}) {
        for (const char* noise : {"newperlin", "voronoi_f4"}) {
            for (float width : {0.f, 0.05f}) {
                SCOPED_TRACE(std::string(type) + " " + noise + " width " + std::to_string(width));
                const auto* t = m.make(type, [&](auto& yi) {
                    yi.paramsSetFloat("size", 2.0);
                    yi.paramsSetInt("depth", 3);
                    yi.paramsSetString("noise_type", noise);
                    yi.paramsSetString("noise_type1", "newperlin");
                    yi.paramsSetString("noise_type2", noise);
                    yi.paramsSetFloat("distort", 0.5);
                    yi.paramsSetString("bias", "negative");
                    yi.paramsSetFloat("sharpness", 2.0);
                    yi.paramsSetString("wood_type", "rings");
                    yi.paramsSetFloat("adj_contrast", 1.5);
                });
                for (const point3d_t& p : points) {
                    float v = 0.f;
                    yafaray::vector3d_t g;
                    ASSERT_TRUE(t->floatGradient(p, width, v, g));
                    ASSERT_EQ(v, t->filteredFloat(p, width));
                }
                const float agreement = gradientAgreement(
                    points, 2e-4f, [&](const point3d_t& p) { return t->filteredFloat(p, width); },
                    [&](const point3d_t& p) {
                        float v = 0.f;
                        yafaray::vector3d_t g;
                        t->floatGradient(p, width, v, g);
                        return g;
                    });
                EXPECT_GT(agreement, 0.85f);
            }
        }
    }
    // Kinds without an analytic gradient say so, and bump mapping takes differences instead.
    const auto* musgrave = m.make("musgrave", nullptr);
    float v = 0.f;
    yafaray::vector3d_t g;
    EXPECT_FALSE(musgrave->floatGradient({1, 2, 3}, 0.f, v, g));
}

TEST(ProceduralTextures, OnlyTexturesWithTheSamePatternShareValues) {
    // Textures that differ only in colour share pattern values at a point (a material's colour
    // and bump textures); any other parameter makes another pattern.
    TextureMaker m;
    auto clouds = [&](int depth, float size, const char* noise, float red) {
        return m.make("clouds", [=](auto& yi) {
            yi.paramsSetInt("depth", depth);
            yi.paramsSetFloat("size", size);
            yi.paramsSetString("noise_type", noise);
            yi.paramsSetColor("color2", red, 0.f, 0.f);
        });
    };
    const auto* base = clouds(3, 2.f, "voronoi_f4", 1.f);
    const auto* recoloured = clouds(3, 2.f, "voronoi_f4", 0.5f);
    const auto* deeper = clouds(4, 2.f, "voronoi_f4", 1.f);
    const auto* larger = clouds(3, 2.5f, "voronoi_f4", 1.f);
    const auto* otherNoise = clouds(3, 2.f, "voronoi_f3", 1.f);
    int differ = 0;
    for (const point3d_t& p : samplePoints(200, 10.f)) {
        // Asked right after one another, as a shading point does.
        const float v = base->filteredFloat(p, 0.f);
        EXPECT_EQ(recoloured->filteredFloat(p, 0.f), v);
        EXPECT_NEAR(recoloured->getColor(p).R, 0.5f * base->getColor(p).R, 1e-6f);
        differ += deeper->filteredFloat(p, 0.f) != v && larger->filteredFloat(p, 0.f) != v &&
                  otherNoise->filteredFloat(p, 0.f) != v;
        // Another width is another value.
        differ += base->filteredFloat(p, 0.2f) != v;
    }
    EXPECT_GT(differ, 380);
}

TEST(ProceduralTextures, CloudsBiasAndHardReshapeTheTurbulence) {
    TextureMaker m;
    const auto* plain = m.make("clouds", [](auto& yi) { yi.paramsSetInt("depth", 3); });
    const auto* negative = m.make("clouds", [](auto& yi) {
        yi.paramsSetInt("depth", 3);
        yi.paramsSetString("bias", "negative");
    });
    const auto* positive = m.make("clouds", [](auto& yi) {
        yi.paramsSetInt("depth", 3);
        yi.paramsSetString("bias", "positive");
    });
    const auto* hard = m.make("clouds", [](auto& yi) {
        yi.paramsSetInt("depth", 3);
        yi.paramsSetBool("hard", true);
    });
    double meanPlain = 0, meanHard = 0;
    const std::vector<point3d_t> points = samplePoints(3000, 20.f);
    for (const point3d_t& p : points) {
        const float v = plain->getFloat(p);
        ASSERT_NEAR(negative->getFloat(p), v * v, 1e-6f);
        ASSERT_NEAR(positive->getFloat(p), 1.f - (1.f - v) * (1.f - v), 1e-6f);
        meanPlain += v;
        meanHard += hard->getFloat(p);
    }
    EXPECT_LT(meanHard / points.size(), meanPlain / points.size() - 0.15);
}

TEST(ProceduralTextures, MarbleAndWoodWithoutTurbulenceAreTheirBareWaves) {
    TextureMaker m;
    auto noTurbulence = [](const char* shape, float sharpness) {
        return [=](yafaray::yafrayInterface_t& yi) {
            yi.paramsSetFloat("turbulence", 0.0);
            yi.paramsSetFloat("sharpness", sharpness);
            if (shape) yi.paramsSetString("shape", shape);
        };
    };
    const auto* marble = m.make("marble", noTurbulence(nullptr, 1.f));
    const auto* sharp = m.make("marble", noTurbulence(nullptr, 4.f));
    const auto* saw = m.make("marble", noTurbulence("saw", 1.f));
    const auto* tri = m.make("marble", noTurbulence("tri", 1.f));
    const auto* bands = m.make("wood", noTurbulence(nullptr, 1.f));
    const auto* sharpWood = m.make("wood", noTurbulence(nullptr, 3.f));
    const auto* rings = m.make("wood", [](auto& yi) {
        yi.paramsSetFloat("turbulence", 0.0);
        yi.paramsSetString("wood_type", "rings");
    });
    for (const point3d_t& p : samplePoints(500, 4.f)) {
        const float w = 5.f * (p.x + p.y + p.z);
        const float sine = 0.5f + 0.5f * std::sin(w);
        ASSERT_NEAR(marble->getFloat(p), sine, 1e-5f);
        ASSERT_NEAR(sharp->getFloat(p), std::pow(sine, 0.25f), 1e-5f);
        const float t = w / (2.f * yafaray::kPi);
        ASSERT_NEAR(saw->getFloat(p), t - std::floor(t), 1e-4f);
        ASSERT_NEAR(tri->getFloat(p), std::fabs(2.f * (t - std::floor(t)) - 1.f), 1e-4f);
        const float woodSine = 0.5f + 0.5f * std::sin(10.f * (p.x + p.y + p.z));
        ASSERT_NEAR(bands->getFloat(p), woodSine, 1e-5f);
        ASSERT_NEAR(sharpWood->getFloat(p), std::pow(woodSine, 1.f / 3.f), 1e-5f);
        ASSERT_NEAR(rings->getFloat(p), 0.5f + 0.5f * std::sin(20.f * p.length()), 1e-4f);
    }
}

TEST(ProceduralTextures, TurbulenceAndSizeDisturbMarbleAndWoodBands) {
    TextureMaker m;
    const auto* calm = m.make("marble", [](auto& yi) { yi.paramsSetFloat("turbulence", 0.0); });
    const auto* wild = m.make("marble", [](auto& yi) { yi.paramsSetFloat("turbulence", 10.0); });
    const auto* wildFine = m.make("marble", [](auto& yi) {
        yi.paramsSetFloat("turbulence", 10.0);
        yi.paramsSetFloat("size", 8.0);
    });
    const auto* wood = m.make("wood", [](auto& yi) { yi.paramsSetFloat("turbulence", 10.0); });
    int changedByTurbulence = 0, changedBySize = 0, woodDisturbed = 0;
    for (const point3d_t& p : samplePoints(500, 4.f)) {
        changedByTurbulence += std::fabs(wild->getFloat(p) - calm->getFloat(p)) > 0.05f;
        changedBySize += std::fabs(wildFine->getFloat(p) - wild->getFloat(p)) > 0.05f;
        woodDisturbed += std::fabs(wood->getFloat(p) - (0.5f + 0.5f * std::sin(10.f * (p.x + p.y + p.z)))) > 0.05f;
    }
    EXPECT_GT(changedByTurbulence, 300);
    EXPECT_GT(changedBySize, 300);
    EXPECT_GT(woodDisturbed, 300);
}

TEST(ProceduralTextures, MusgraveFollowsItsFormulasOverTheSignedNoise) {
    TextureMaker m;
    // Clouds of depth 0 at a size is the bare noise n(size·p): the reference for s = 2n − 1.
    const auto* n1 = m.make("clouds", [](auto& yi) { yi.paramsSetInt("depth", 0); });
    const auto* n3 = m.make("clouds", [](auto& yi) {
        yi.paramsSetInt("depth", 0);
        yi.paramsSetFloat("size", 3.0);
    });
    auto s1 = [&](const point3d_t& p) { return 2.f * n1->getFloat(p) - 1.f; };
    auto s3 = [&](const point3d_t& p) { return 2.f * n3->getFloat(p) - 1.f; };
    auto musgrave = [&](const char* type, float octaves, float H, const char* hKey = "H") {
        return m.make("musgrave", [=](yafaray::yafrayInterface_t& yi) {
            yi.paramsSetString("musgrave_type", type);
            yi.paramsSetFloat("octaves", octaves);
            yi.paramsSetFloat(hKey, H);
            yi.paramsSetFloat("lacunarity", 3.0);
            yi.paramsSetFloat("intensity", 2.0);
            yi.paramsSetFloat("offset", 0.5);
        });
    };
    const auto* fbm1 = musgrave("fBm", 1.f, 1.f);
    const auto* fbm2 = musgrave("fBm", 2.f, 0.5f);
    const auto* fbm2h = musgrave("fBm", 2.f, 0.5f, "h");
    const auto* fbmHalf = musgrave("fBm", 1.5f, 1.f);
    const auto* multi = musgrave("multifractal", 2.f, 1.f);
    const auto* ridged = musgrave("ridgedmf", 1.f, 1.f);
    const auto* hetero = musgrave("heteroterrain", 2.f, 1.f);
    const auto* hybrid = musgrave("hybridmf", 1.f, 1.f);
    const float a1H05 = 1.f / std::sqrt(3.f), a1H1 = 1.f / 3.f;
    for (const point3d_t& p : samplePoints(300, 6.f)) {
        const float a = s1(p), b = s3(p);
        ASSERT_NEAR(fbm1->getFloat(p), 2.f * a, 1e-5f);
        ASSERT_NEAR(fbm2->getFloat(p), 2.f * (a + a1H05 * b), 1e-5f);
        ASSERT_NEAR(fbm2h->getFloat(p), fbm2->getFloat(p), 1e-6f);
        ASSERT_NEAR(fbmHalf->getFloat(p), 2.f * (a + 0.5f * a1H1 * b), 1e-5f);
        ASSERT_NEAR(multi->getFloat(p), 2.f * (1.f + a) * (1.f + a1H1 * b), 1e-5f);
        ASSERT_NEAR(ridged->getFloat(p), 2.f * (0.5f - std::fabs(a)) * (0.5f - std::fabs(a)), 1e-5f);
        const float v0 = 0.5f + a;
        ASSERT_NEAR(hetero->getFloat(p), 2.f * (v0 + (b + 0.5f) * a1H1 * v0), 1e-5f);
        ASSERT_NEAR(hybrid->getFloat(p), 2.f * (a + 0.5f), 1e-5f);
    }
}

TEST(ProceduralTextures, DistortedNoiseWithoutDistortionIsTheSignedBaseNoise) {
    TextureMaker m;
    const auto* base = m.make("clouds", [](auto& yi) {
        yi.paramsSetInt("depth", 0);
        yi.paramsSetFloat("size", 2.0);
        yi.paramsSetString("noise_type", "voronoi_f1");
    });
    auto distorted = [&](float distort) {
        return m.make("distorted_noise", [=](yafaray::yafrayInterface_t& yi) {
            yi.paramsSetFloat("size", 2.0);
            yi.paramsSetFloat("distort", distort);
            yi.paramsSetString("noise_type1", "stdperlin");
            yi.paramsSetString("noise_type2", "voronoi_f1");
        });
    };
    const auto* straight = distorted(0.f);
    const auto* bent = distorted(1.5f);
    int moved = 0;
    for (const point3d_t& p : samplePoints(500, 6.f)) {
        ASSERT_NEAR(straight->getFloat(p), 2.f * base->getFloat(p) - 1.f, 1e-5f);
        moved += std::fabs(bent->getFloat(p) - straight->getFloat(p)) > 0.02f;
    }
    EXPECT_GT(moved, 300);
}

TEST(ProceduralTextures, ColourBlendsTheTwoColoursAndAdjustmentsApplyOnce) {
    TextureMaker m;
    auto clouds = [&](float intensity, float contrast) {
        return m.make("clouds", [=](yafaray::yafrayInterface_t& yi) {
            yi.paramsSetColor("color1", 0.2f, 0.4f, 0.0f, 1.f);
            yi.paramsSetColor("color2", 0.6f, 0.4f, 1.0f, 1.f);
            yi.paramsSetFloat("adj_intensity", intensity);
            yi.paramsSetFloat("adj_contrast", contrast);
        });
    };
    const auto* plain = clouds(1.f, 1.f);
    const auto* adjusted = clouds(1.25f, 2.f);
    for (const point3d_t& p : samplePoints(300, 6.f)) {
        const float v = plain->getFloat(p);
        const yafaray::colorA_t c = plain->getColor(p);
        ASSERT_NEAR(c.R, 0.2f + 0.4f * v, 1e-5f);
        ASSERT_NEAR(c.G, 0.4f, 1e-5f);
        ASSERT_NEAR(c.B, v, 1e-5f);
        ASSERT_EQ(c.A, 1.f);
        // x' = (x − 0.5)·contrast + intensity − 0.5, on the scalar and on each channel once.
        ASSERT_NEAR(adjusted->getFloat(p), (v - 0.5f) * 2.f + 0.75f, 1e-5f);
        ASSERT_NEAR(adjusted->getColor(p).R, (c.R - 0.5f) * 2.f + 0.75f, 1e-5f);
        ASSERT_NEAR(adjusted->getColor(p).G, (c.G - 0.5f) * 2.f + 0.75f, 1e-5f);
    }
}

}  // namespace
