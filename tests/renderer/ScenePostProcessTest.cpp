#include "renderer/ScenePostProcess.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "renderer/RendererImage.h"
#include "scene/Scene.h"

namespace korvane {
namespace {

struct RecordingDelegate final : ScenePostProcessProgressDelegate {
    void sceneDidStartPostProcess(const Scene&) override { events.push_back("start"); }
    void sceneDidUpdatePostProcessProgress(const Scene&, const std::string& status, float progress) override {
        events.push_back(status);
        progresses.push_back(progress);
    }
    void sceneDidEndPostProcess(const Scene&) override { events.push_back("end"); }
    std::vector<std::string> events;
    std::vector<float> progresses;
};

class ScenePostProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(3);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                image.setPixelAtPoint({double(x), double(y)}, unit(random), unit(random), unit(random), 1);
                image.setDepth(x < 8 ? -1.0f : 1.0f + 0.4f * x, {double(x), double(y)});
            }
        }
    }
    Scene scene;
    RendererImage image{Size{32, 24}};
    RecordingDelegate delegate;
};

TEST_F(ScenePostProcessTest, NoEffectGivesAByteCopyAndTellsTheDelegateNothing) {
    image.modifiedBitmapImage().data()[5] ^= 0xFF;  // left over from an earlier run
    applyPostProcessToRendererImage(scene, image, &delegate);
    EXPECT_TRUE(delegate.events.empty());
    EXPECT_TRUE(image.hasModifiedImage());
    EXPECT_EQ(image.modifiedImage(), image.image());
    EXPECT_EQ(&image.modifiedImage(), &image.modifiedBitmapImage());
}

TEST_F(ScenePostProcessTest, BloomAndVibranceReportZeroThenHalf) {
    scene.setBloomFilter(true);
    scene.setVibranceFilter(true);
    applyPostProcessToRendererImage(scene, image, &delegate);
    EXPECT_EQ(delegate.events,
              (std::vector<std::string>{"start", "Adding Bloom Filter…", "Adding Vibrance Filter…", "end"}));
    EXPECT_EQ(delegate.progresses, (std::vector<float>{0.0f, 0.5f}));
}

TEST_F(ScenePostProcessTest, EveryEffectRunsInItsFixedOrder) {
    scene.setVibranceFilter(true);
    scene.setBloomFilter(true);
    scene.setNearDepthOfField(true);
    scene.setFarDepthOfField(true);
    scene.setDepthTint(true);
    applyPostProcessToRendererImage(scene, image, &delegate);
    EXPECT_EQ(delegate.events,
              (std::vector<std::string>{"start", "Adding Depth Tint…", "Adding Far Depth of Field…",
                                        "Adding Near Depth of Field…", "Adding Bloom Filter…",
                                        "Adding Vibrance Filter…", "end"}));
    EXPECT_EQ(delegate.progresses, (std::vector<float>{0.0f, 0.2f, 0.4f, 0.6f, 0.8f}));
    EXPECT_NE(image.modifiedImage(), image.image());
}

TEST_F(ScenePostProcessTest, ReapplyingTheSameSettingsGivesTheSameImage) {
    scene.setDepthTint(true);
    scene.setFarDepthOfField(true);
    scene.setFarDepthOfFieldMaximumStrength(5);
    scene.setNearDepthOfField(true);
    scene.setNearDepthOfFieldMaximumStrength(4);
    scene.setBloomFilter(true);
    scene.setVibranceFilter(true);
    applyPostProcessToRendererImage(scene, image, nullptr);
    const Bitmap first = image.modifiedImage();
    applyPostProcessToRendererImage(scene, image, nullptr);
    EXPECT_EQ(image.modifiedImage(), first) << "runs start from the render and never compound";
}

TEST_F(ScenePostProcessTest, FractionalMaximumStrengthsApplyAsZero) {
    scene.setFarDepthOfField(true);
    scene.setFarDepthOfFieldStart(0);
    scene.setFarDepthOfFieldMaximumStrength(0.9f);
    scene.setNearDepthOfField(true);
    scene.setNearDepthOfFieldEnd(100);
    scene.setNearDepthOfFieldMaximumStrength(0.9f);
    applyPostProcessToRendererImage(scene, image, &delegate);
    EXPECT_EQ(delegate.events.size(), 4u);
    EXPECT_EQ(image.modifiedImage(), image.image());
}

}  // namespace
}  // namespace korvane
