#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "EngineTestSupport.h"
#include "raytracer/core/Film.h"
#include "raytracer/core/Lanes.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;

constexpr int kWidth = 96, kHeight = 64;
// Stripes of two albedos, each two pixels wide, fill the left half of the picture.
constexpr int kStripePixels = 2;
constexpr float kDark = 0.45f, kLight = 0.85f;
// The hard sun's shadow covers the rows above this one.
constexpr int kShadowRow = kHeight / 2;

struct RenderSetup {
    const char* integrator = "directlighting";
    int samples = 1;
    int passes = 1;
    int threads = 2;
    bool setDenoise = false;
    bool denoise = false;
    const int* region = nullptr;  // x0, y0, x1, y1
};

// A plane seen from straight above (24 pixels to a unit): vertical stripes of two greys on the
// left half, plain light grey on the right; lit by a large area light close above it with one
// sample, which leaves heavy noise, and by a hard sun whose shadow edge runs across the middle.
void buildScene(SceneBuilder& s, const char* integrator) {
    auto* dark = s.diffuse("dark", kDark, kDark, kDark);
    auto* light = s.diffuse("light", kLight, kLight, kLight);
    auto* shade = s.diffuse("occluder", 0.5f, 0.5f, 0.5f);
    s.yi.startGeometry();
    const float stripe = kStripePixels / 24.f;
    s.quad({-4.f, -4.f, 0.f}, {2.f, 0.f, 0.f}, {0.f, 8.f, 0.f}, dark);
    for (int k = 0; k < 24; ++k)
        s.quad({-2.f + k * stripe, -4.f, 0.f}, {stripe, 0.f, 0.f}, {0.f, 8.f, 0.f}, k % 2 ? light : dark);
    s.quad({0.f, -4.f, 0.f}, {5.f, 0.f, 0.f}, {0.f, 8.f, 0.f}, light);
    // Out of the camera's view (|y| < 2/3 at this height); its shadow under a sun 45° towards +y
    // ends at y = 0.
    s.quad({-8.f, 2.f, 2.f}, {16.f, 0.f, 0.f}, {0.f, 6.f, 0.f}, shade);
    s.yi.endGeometry();
    s.sun({0.f, 1.f, 1.f}, 3.f, 0.f, 1);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "arealight");
    s.yi.paramsSetColor("color", 1, 1, 1, 1);
    s.yi.paramsSetFloat("power", 0.3f);
    s.yi.paramsSetPoint("corner", -3.f, -2.f, 1.5f);
    s.yi.paramsSetPoint("point1", -3.f, 2.f, 1.5f);
    s.yi.paramsSetPoint("point2", 3.f, -2.f, 1.5f);
    s.yi.paramsSetInt("samples", 1);
    s.yi.createLight("panel");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", integrator);
    s.yi.paramsSetInt("raydepth", 2);
    s.yi.paramsSetInt("path_samples", 1);
    s.yi.paramsSetInt("bounces", 1);
    s.yi.createIntegrator("surfaceIntegrator");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "none");
    s.yi.createIntegrator("volumeIntegrator");
    s.topCamera(4.f, kWidth, kHeight);
}

// Keeps the delivered pixels and the film that a region render hands over.
struct CapturedRender : CapturedImage {
    void putFilm(const yafaray::rawFilm_t& handed) override { film = handed; }
    std::optional<yafaray::rawFilm_t> film;
};

CapturedRender render(SceneBuilder& s, const RenderSetup& o) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("camera_name", "camera");
    s.yi.paramsSetString("integrator_name", "surfaceIntegrator");
    s.yi.paramsSetString("volintegrator_name", "volumeIntegrator");
    s.yi.paramsSetInt("AA_minsamples", o.samples);
    s.yi.paramsSetInt("AA_passes", o.passes);
    s.yi.paramsSetFloat("AA_threshold", 0.02);
    s.yi.paramsSetString("filter_type", "mitchell");
    s.yi.paramsSetInt("width", kWidth);
    s.yi.paramsSetInt("height", kHeight);
    s.yi.paramsSetInt("tile_size", 8);
    s.yi.paramsSetInt("threads", o.threads);
    s.yi.paramsSetBool("z_channel", true);
    if (o.setDenoise) s.yi.paramsSetBool("denoise", o.denoise);
    if (o.region) {
        s.yi.paramsSetInt("region_x0", o.region[0]);
        s.yi.paramsSetInt("region_y0", o.region[1]);
        s.yi.paramsSetInt("region_x1", o.region[2]);
        s.yi.paramsSetInt("region_y1", o.region[3]);
    }
    CapturedRender img;
    img.resize(kWidth, kHeight);
    s.yi.render(img);
    return img;
}

// RMSE of the red channel over the pixels at least `inset` from the frame's border.
double rmse(const CapturedImage& a, const CapturedImage& b, int inset = 2) {
    double sum = 0.0;
    int n = 0;
    for (int y = inset; y < kHeight - inset; ++y) {
        for (int x = inset; x < kWidth - inset; ++x, ++n) sum += std::pow(a.r(x, y) - b.r(x, y), 2.0);
    }
    return std::sqrt(sum / n);
}

// Mean red of the light stripes less that of the dark ones, over the lit rows.
double stripeContrast(const CapturedImage& img) {
    double light = 0.0, dark = 0.0;
    for (int y = kShadowRow + 4; y < kHeight - 4; ++y) {
        for (int x = 4; x < kWidth / 2 - 4; ++x) ((x / kStripePixels) % 2 ? light : dark) += img.r(x, y);
    }
    return (light - dark) / ((kHeight - 8 - kShadowRow) * (kWidth / 2 - 8) / 2);
}

// Mean red of row y over the plain right half.
double rowMean(const CapturedImage& img, int y) {
    double sum = 0.0;
    for (int x = kWidth / 2 + 4; x < kWidth - 4; ++x) sum += img.r(x, y);
    return sum / (kWidth / 2 - 8);
}

class DenoiserTest : public ::testing::TestWithParam<const char*> {};

// Two samples a pixel of a noisy light: the denoised picture lies far closer to a 256-sample
// picture than the noisy one, while the albedo stripes keep their contrast and the shadow edge
// its step. Both integrators must report the first surface's albedo for the stripes to survive.
TEST_P(DenoiserTest, NoisyPlaneConvergesToTheReferenceAndKeepsTextureAndShadowEdge) {
    SceneBuilder s;
    buildScene(s, GetParam());
    RenderSetup setup;
    setup.integrator = GetParam();
    setup.samples = 256;
    const CapturedImage reference = render(s, setup);
    setup.samples = 2;
    const CapturedImage noisy = render(s, setup);
    setup.setDenoise = setup.denoise = true;
    const CapturedImage denoised = render(s, setup);

    const double noisyError = rmse(noisy, reference), denoisedError = rmse(denoised, reference);
    EXPECT_LT(denoisedError, 0.4 * noisyError) << "noisy " << noisyError << ", denoised " << denoisedError;

    const double contrast = stripeContrast(reference);
    ASSERT_GT(contrast, 0.1);
    EXPECT_NEAR(stripeContrast(denoised), contrast, 0.1 * contrast) << "noisy " << stripeContrast(noisy);

    // Rows beside the sun's shadow edge: a filter that blurred across it would pull them
    // towards each other.
    const double step = rowMean(reference, kShadowRow + 2) - rowMean(reference, kShadowRow - 3);
    ASSERT_GT(step, 0.2);
    for (int y : {kShadowRow - 3, kShadowRow - 2, kShadowRow + 1, kShadowRow + 2})
        EXPECT_NEAR(rowMean(denoised, y), rowMean(reference, y), 0.1 * step) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Integrators, DenoiserTest, ::testing::Values("directlighting", "pathtracing"));

// Without the parameter the film is not denoised; with it, only the colour changes: alpha and
// depth stay bit for bit as rendered, and the result is the same for any thread count.
TEST(Denoiser, OffByDefaultAndLeavesAlphaAndDepthAlone) {
    SceneBuilder s;
    buildScene(s, "directlighting");
    RenderSetup setup;
    setup.passes = 2;
    const CapturedImage plain = render(s, setup);
    setup.setDenoise = true;
    const CapturedImage off = render(s, setup);
    EXPECT_EQ(std::memcmp(plain.data.data(), off.data.data(), plain.data.size() * sizeof(float)), 0);
    setup.denoise = true;
    const CapturedImage on = render(s, setup);
    setup.threads = 5;
    const CapturedImage onFiveThreads = render(s, setup);
    EXPECT_EQ(std::memcmp(on.data.data(), onFiveThreads.data.data(), on.data.size() * sizeof(float)), 0);
    int changed = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            changed += on.r(x, y) != plain.r(x, y);
            for (int k : {3, 4}) {
                const float a = on.channel(x, y, k), b = plain.channel(x, y, k);
                ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << ", " << y << " channel " << k;
            }
        }
    }
    EXPECT_GT(changed, kWidth * kHeight / 2);
}

// The films of a denoised render's regions, put together into the frame's and resolved once,
// give the denoised whole frame bit for bit, although the denoiser reads neighbours far beyond
// each region: farm tiles join without a seam. A region's own pixels come undenoised.
TEST(Denoiser, RegionFilmsPutTogetherResolveToTheWholeFrame) {
    SceneBuilder s;
    buildScene(s, "directlighting");
    RenderSetup setup;
    setup.passes = 2;
    setup.setDenoise = true;
    const CapturedRender plain = render(s, setup);
    setup.denoise = true;
    const CapturedRender full = render(s, setup);
    EXPECT_FALSE(full.film) << "a whole frame's render hands over no film";

    yafaray::rawFilm_t frame;
    frame.frameWidth = frame.x1 = kWidth;
    frame.frameHeight = frame.y1 = kHeight;
    frame.accum.resize(kWidth * kHeight);
    frame.guides.resize(kWidth * kHeight);
    const int regions[][4] = {{0, 0, 41, 23}, {41, 0, 96, 23}, {0, 23, 96, 64}};
    for (const auto& r : regions) {
        setup.region = r;
        const CapturedRender part = render(s, setup);
        ASSERT_TRUE(part.film);
        const yafaray::rawFilm_t& film = *part.film;
        ASSERT_EQ(film.frameWidth, kWidth);
        ASSERT_EQ(film.frameHeight, kHeight);
        ASSERT_TRUE(film.x0 == r[0] && film.y0 == r[1] && film.x1 == r[2] && film.y1 == r[3]);
        ASSERT_EQ(film.accum.size(), size_t(film.width()) * film.height());
        ASSERT_EQ(film.guides.size(), film.accum.size());
        frame.gamma = film.gamma;
        frame.toneMapping = film.toneMapping;
        frame.channels = film.channels;
        for (int y = r[1]; y < r[3]; ++y) {
            for (int x = r[0]; x < r[2]; ++x) {
                const size_t from = size_t(y - r[1]) * film.width() + (x - r[0]), to = size_t(y) * kWidth + x;
                frame.accum[to] = film.accum[from];
                frame.guides[to] = film.guides[from];
                for (int k = 0; k < 5; ++k) {
                    const float a = part.channel(x, y, k), b = plain.channel(x, y, k);
                    ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << ", " << y << " channel " << k;
                }
            }
        }
    }
    const std::vector<float> resolved = yafaray::resolveFilm(frame);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int k = 0; k < 5; ++k) {
                const float a = resolved[(size_t(y) * kWidth + x) * 5 + k], b = full.channel(x, y, k);
                ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << ", " << y << " channel " << k;
            }
        }
    }
}

// The edge-stopping weights come from this approximation of e^(−x); the whole range the weights
// can take must stay within its stated error, and out-of-range input must not turn into NaN.
TEST(Denoiser, LaneExponentialMatchesTheLibrary) {
    using yafaray::lanesF;
    float worst = 0.f;
    for (int k = 0; k < 87 * 1024; k += yafaray::kLaneCount) {
        lanesF x, e;
        for (int l = 0; l < yafaray::kLaneCount; ++l) x[l] = (k + l) / 1024.f + 0.000123f * l;
        yafaray::expNegLanes(x, e);
        for (int l = 0; l < yafaray::kLaneCount; ++l) {
            const double exact = std::exp(-double(x[l]));
            worst = std::max(worst, float(std::fabs(e[l] - exact) / exact));
        }
    }
    EXPECT_LT(worst, 4e-7f);
    const lanesF odd = {0.f, 1e-30f, 87.f, 200.f, INFINITY, NAN, 1.f, 0.5f};
    lanesF e;
    yafaray::expNegLanes(odd, e);
    EXPECT_EQ(e[0], 1.f);
    for (int l = 2; l < 6; ++l) {
        EXPECT_GT(e[l], 0.f) << l;
        EXPECT_LT(e[l], 1e-37f) << l;
    }
}

}  // namespace
