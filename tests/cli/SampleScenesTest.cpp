// Small renders of the bundled sample scene, judged by image statistics: what a person would check
// at a glance (a blue sky, blue water, fog in the distance, no black holes), not golden bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "cli/Commands.h"
#include "foundation/ImageCodecs.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 96;
constexpr int kHeight = 60;

struct Rgb {
    double r = 0, g = 0, b = 0;
    double brightness() const { return (r + g + b) / 3.0; }
    double blueness() const { return b - r; }
};

class SampleScenesTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-samples-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        scene = (dir / "scene.korvane").string();
        fs::copy_file(fs::path(KORVANE_SOURCE_DIR) / "resources/samples/Alpine Lake.korvane", scene);
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int status = cli::runCommandLine(args, out, err);
        EXPECT_EQ(status, 0) << err.str();
        return status;
    }
    Bitmap render(const std::string& name) {
        const std::string png = (dir / (name + ".png")).string();
        run({"render", scene, "-o", png, "--quality", "1", "--width", std::to_string(kWidth), "--height",
             std::to_string(kHeight), "--threads", "2"});
        ImageDecodeResult decoded = readImageFile(png);
        EXPECT_TRUE(decoded.bitmap) << decoded.error;
        return decoded.bitmap ? *decoded.bitmap : Bitmap();
    }
    static Rgb at(const Bitmap& image, int x, int y) {
        const uint8_t* p = image.pixel(x, y);
        return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
    }
    // Mean colour of rows [y0, y1).
    static Rgb rows(const Bitmap& image, int y0, int y1) {
        Rgb sum;
        for (int y = y0; y < y1; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const Rgb c = at(image, x, y);
                sum.r += c.r, sum.g += c.g, sum.b += c.b;
            }
        }
        const double n = double(y1 - y0) * image.width();
        return {sum.r / n, sum.g / n, sum.b / n};
    }

    fs::path dir;
    std::string scene;
};

TEST_F(SampleScenesTest, TheSkyIsBlueAndNothingRendersAsABlackHole) {
    const Bitmap image = render("full");
    ASSERT_EQ(image.width(), kWidth);
    ASSERT_EQ(image.height(), kHeight);
    // The mountain fills the middle of the frame below the sky.
    Rgb ground;
    int count = 0;
    for (int y = kHeight * 11 / 20; y < kHeight * 3 / 4; ++y) {
        for (int x = kWidth / 3; x < kWidth * 2 / 3; ++x, ++count) {
            const Rgb c = at(image, x, y);
            ground.r += c.r, ground.g += c.g, ground.b += c.b;
        }
    }
    const Rgb top = rows(image, 0, 4);
    EXPECT_GT(top.blueness(), 0.05);
    EXPECT_GT(top.blueness(), ground.blueness() / count + 0.05);
    EXPECT_GT(top.brightness(), 0.5);
    int black = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) black += at(image, x, y).brightness() < 0.01;
    EXPECT_EQ(black, 0);
}

TEST_F(SampleScenesTest, TheLakeIsDarkerAndBluerThanTheLandItCovers) {
    const Bitmap withWater = render("water");
    run({"set", scene, "water.active=false"});
    const Bitmap dry = render("dry");
    // The pixels the water changes are the lake; compare them with the same pixels dry.
    Rgb wet, land;
    int count = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb a = at(withWater, x, y), b = at(dry, x, y);
            if (std::abs(a.brightness() - b.brightness()) + std::abs(a.blueness() - b.blueness()) < 0.05)
                continue;
            ++count;
            wet.r += a.r, wet.g += a.g, wet.b += a.b;
            land.r += b.r, land.g += b.g, land.b += b.b;
        }
    }
    ASSERT_GT(count, kWidth * kHeight / 10) << "the lake covers a good part of the view";
    EXPECT_GT(wet.blueness() / count, land.blueness() / count + 0.05);
    EXPECT_LT(wet.brightness(), land.brightness());
}

TEST_F(SampleScenesTest, FogBrightensTheDistanceMoreThanTheForeground) {
    const Bitmap foggy = render("fog");
    run({"set", scene, "fog.active=false", "fog.hazeActive=false"});
    const Bitmap clear = render("clear");
    // The horizon lies in the upper part of the frame; the bottom rows are the nearest ground.
    const int horizonBand0 = kHeight / 5, horizonBand1 = kHeight / 2;
    const double distantGain =
        rows(foggy, horizonBand0, horizonBand1).brightness() - rows(clear, horizonBand0, horizonBand1).brightness();
    const double nearGain =
        rows(foggy, kHeight - 6, kHeight).brightness() - rows(clear, kHeight - 6, kHeight).brightness();
    EXPECT_GT(distantGain, 0.02);
    EXPECT_GT(distantGain, nearGain);
}

}  // namespace
}  // namespace korvane
