#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::LogCapture;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

constexpr int kWidth = 56, kHeight = 40;

struct Region {
    int x0, y0, x1, y1;
};

// Ground, a few occluders with soft shadows and a mirror: edges everywhere for the adaptive
// passes, noise from the soft sun for the sample sequences.
void buildScene(SceneBuilder& s) {
    auto* white = s.diffuse("white", 0.9f, 0.85f, 0.8f);
    auto* red = s.diffuse("red", 0.9f, 0.2f, 0.1f);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "shinydiffusemat");
    s.yi.paramsSetFloat("specular_reflect", 0.6);
    auto* mirror = s.yi.createMaterial("mirror");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.quad({-1.2f, -0.8f, 0.6f}, {1, 0.3f, 0}, {0, 1, 0.2f}, red);
    s.quad({0.5f, -1.5f, 0.01f}, {0, 0, 1.2f}, {1.5f, 0.4f, 0}, mirror);
    s.quad({0.3f, 0.6f, 0.9f}, {0.8f, 0, 0}, {0, 0.7f, 0}, red);
    s.yi.endGeometry();
    s.sun({0.6f, -0.4f, 1.f}, 1.f, 3.f, 4);
    s.directLighting(true);
    s.camera("perspective", {0.4f, -4.5f, 3.5f}, {0, 0, 0.3f}, {0.4f, -4.5f, 4.5f}, kWidth, kHeight);
}

CapturedImage render(SceneBuilder& s, const Region* region, const char* filter, int passes) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("camera_name", "camera");
    s.yi.paramsSetString("integrator_name", "surfaceIntegrator");
    s.yi.paramsSetString("volintegrator_name", "volumeIntegrator");
    s.yi.paramsSetInt("AA_minsamples", 2);
    s.yi.paramsSetInt("AA_passes", passes);
    s.yi.paramsSetInt("AA_inc_samples", 2);
    s.yi.paramsSetFloat("AA_threshold", 0.02);
    s.yi.paramsSetString("filter_type", filter);
    s.yi.paramsSetInt("width", kWidth);
    s.yi.paramsSetInt("height", kHeight);
    s.yi.paramsSetInt("tile_size", 8);
    s.yi.paramsSetString("tiles_order", "centre");
    s.yi.paramsSetInt("threads", 2);
    s.yi.paramsSetBool("z_channel", true);
    if (region) {
        s.yi.paramsSetInt("region_x0", region->x0);
        s.yi.paramsSetInt("region_y0", region->y0);
        s.yi.paramsSetInt("region_x1", region->x1);
        s.yi.paramsSetInt("region_y1", region->y1);
    }
    CapturedImage img;
    img.resize(kWidth, kHeight);
    s.yi.render(img);
    return img;
}

TEST(RegionRender, RegionPixelsAreBitIdenticalToTheSamePixelsOfTheFullFrame) {
    const Region regions[] = {{13, 7, 37, 29}, {0, 0, 20, 17}, {41, 30, 56, 40}, {0, 19, 56, 21}, {27, 0, 28, 40}};
    for (const char* filter : {"box", "mitchell"}) {
        SceneBuilder s;
        buildScene(s);
        const CapturedImage full = render(s, nullptr, filter, 3);
        for (const Region& r : regions) {
            SCOPED_TRACE(std::string(filter) + " region " + std::to_string(r.x0) + "," + std::to_string(r.y0) +
                         " to " + std::to_string(r.x1) + "," + std::to_string(r.y1));
            const CapturedImage part = render(s, &r, filter, 3);
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    const bool inside = x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1;
                    for (int k = 0; k < 5; ++k) {
                        if (inside) {
                            // Bit for bit: the tiles of a farm render must join without a seam.
                            const float a = part.channel(x, y, k), b = full.channel(x, y, k);
                            ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0)
                                << x << ", " << y << " channel " << k << ": " << a << " vs " << b;
                        } else {
                            ASSERT_EQ(part.channel(x, y, k), 0.f) << "pixel outside the region delivered";
                        }
                    }
                }
            }
        }
    }
}

TEST(RegionRender, RegionOutsideTheFrameOrEmptyIsRefusedWithAMessage) {
    SceneBuilder s;
    buildScene(s);
    const Region bad[] = {{-1, 0, 10, 10}, {0, 0, kWidth + 1, 10}, {10, 10, 10, 20}, {5, 30, 9, 20}};
    for (const Region& r : bad) {
        LogCapture log;
        const CapturedImage img = render(s, &r, "box", 1);
        EXPECT_EQ(img.puts, 0);
        EXPECT_EQ(log.count("render region"), 1);
    }
}

}  // namespace
