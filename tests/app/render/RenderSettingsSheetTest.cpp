// Before any Qt header: the ray tracer's headers use the word emit, which Qt defines as a macro.
#include "renderer/YafarayRenderer.h"

#include "app/render/RenderSettingsSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <gtest/gtest.h>


namespace korvane {
namespace {

constexpr const char* kKey = "fullRenderSettings";

struct RecordingDelegate final : RenderSettingsSheetDelegate {
    void renderSettingsChanged() override { ++changes; }
    void sheetWillClose(BaseSheet&) override { ++closes; }
    int changes = 0;
    int closes = 0;
};

class RenderSettingsSheetTest : public testing::Test {
protected:
    void SetUp() override {
        stored = YafarayRenderer::updateSettingsInDictionary(nullptr, 3, true);
        stored["rendererOutputSizeWidth"] = 640;
        stored["rendererOutputSizeHeight"] = 480;
        stored["yafarayRendererType"] = 0;
        UserDefaults::standard().setDictionary(kKey, stored);
        sheetObject = std::make_unique<RenderSettingsSheet>(kKey);
        sheetObject->setDelegate(&delegate);
    }
    void TearDown() override { UserDefaults::standard().removeObjectForKey(kKey); }

    template <class T>
    T* control(const char* name) {
        T* found = sheet().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    int64_t storedInt(const char* key) { return UserDefaults::standard().dictionaryForKey(kKey).at(key).toInteger(); }

    DefaultsDictionary stored;
    RecordingDelegate delegate;
    std::unique_ptr<RenderSettingsSheet> sheetObject;
    RenderSettingsSheet& sheet() { return *sheetObject; }
};

TEST_F(RenderSettingsSheetTest, ResetRendererRuleAndConfirmStoreTheEditedDictionary) {
    EXPECT_EQ(sheet().title(), "Render Settings");
    auto* presets = control<QComboBox>("outputSizePresets");
    ASSERT_EQ(presets->count(), 16);
    EXPECT_EQ(presets->itemText(0), "Output Size Presets…");
    auto* model = qobject_cast<QStandardItemModel*>(presets->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->item(0)->isEnabled()) << "the title item cannot be chosen";
    EXPECT_EQ(presets->itemText(12), "1920 x 1080 (16:9)");

    EXPECT_EQ(control<QSpinBox>("width")->value(), 640);
    sheet().resetToDefaults(1);
    EXPECT_EQ(sheet().editedSettings().at("yafarayPathSamples").toInteger(), 3);
    EXPECT_EQ(sheet().editedSettings().at("yafarayAAPasses").toInteger(), 1);
    EXPECT_EQ(control<QSpinBox>("width")->value(), 320) << "the reset forces the output size too";
    EXPECT_EQ(control<QSlider>("yafarayLightSamples")->value(), 3);

    auto* renderer = control<QComboBox>("renderer");
    auto* pathSamples = control<QSlider>("yafarayPathSamples");
    auto* bounces = control<QSlider>("yafarayPathBounces");
    auto* lightSamples = control<QSlider>("yafarayLightSamples");
    EXPECT_FALSE(pathSamples->isEnabled()) << "direct lighting has no path samples";
    EXPECT_TRUE(lightSamples->isEnabled());
    renderer->setCurrentIndex(renderer->findData(1));
    EXPECT_TRUE(pathSamples->isEnabled());
    EXPECT_TRUE(bounces->isEnabled());
    EXPECT_FALSE(lightSamples->isEnabled());

    sheet().chooseOutputSizePreset(11);  // "1920 x 1080 (16:9)"
    EXPECT_EQ(control<QSpinBox>("height")->value(), 1080);
    control<QSpinBox>("width")->setValue(1000);
    EXPECT_EQ(storedInt("rendererOutputSizeWidth"), 640) << "nothing is stored before confirming";

    // The film's highlight roll-off is on at every level and can be switched off.
    auto* filmic = control<QCheckBox>("yafarayFilmicToneMapping");
    EXPECT_TRUE(filmic->isChecked());
    filmic->setChecked(false);
    // The denoiser follows the level: off after the reset to level 1 (the preview's level).
    auto* denoise = control<QCheckBox>("yafarayDenoise");
    EXPECT_FALSE(denoise->isChecked());
    denoise->setChecked(true);

    sheet().changeSettings();
    EXPECT_EQ(storedInt("yafarayFilmicToneMapping"), 0);
    EXPECT_EQ(storedInt("yafarayDenoise"), 1);
    EXPECT_EQ(storedInt("rendererOutputSizeWidth"), 1000);
    EXPECT_EQ(storedInt("rendererOutputSizeHeight"), 1080);
    EXPECT_EQ(storedInt("yafarayRendererType"), 1);
    EXPECT_EQ(storedInt("yafarayPathSamples"), 3);
    EXPECT_EQ(delegate.changes, 1);
    EXPECT_EQ(delegate.closes, 1);
}

TEST_F(RenderSettingsSheetTest, CancelStoresNothing) {
    sheet().resetToDefaults(5);
    control<QComboBox>("renderer")->setCurrentIndex(1);
    control<QSpinBox>("height")->setValue(77);
    sheet().cancel();
    EXPECT_TRUE(UserDefaults::standard().dictionaryForKey(kKey) == stored);
    EXPECT_EQ(delegate.changes, 0);
    EXPECT_EQ(delegate.closes, 1);
}

}  // namespace
}  // namespace korvane
