// The material and texture sheets through their widgets: the preset menu, the bound controls, the
// preview they render, and the texture sheet's write-back into the material.
#include <algorithm>

#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/texture/EditTerrainTextureLayerViewController.h"
#include "app/render/RenderPreviewView.h"
#include "app/sheets/SheetControls.h"
#include "app/sheets/material/ColorWell.h"
#include "app/sheets/material/EditMaterialSheet.h"
#include "app/sheets/material/EditTextureSheet.h"
#include "foundation/NotificationCenter.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/preview/MaterialPreviewLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"
#include "scene/shaders/MixShader.h"
#include "scene/shaders/TextureMapperShader.h"

namespace korvane {
namespace {

class MaterialSheetTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        window.resize(900, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        material = std::make_shared<DiffuseMaterial>();
        material->setName("Roof");
        changes = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                          &scene, [this](const Notification&) { ++sceneChanges; });
    }

    EditMaterialSheet* openSheet() {
        EditMaterialSheet* sheet = openEditMaterialSheet(material, scene, &window);
        QCoreApplication::processEvents();
        return sheet;
    }

    template <class W>
    static W* child(QWidget* parent, const char* name) {
        W* widget = parent->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // The material and the camera height the preview shows.
    static std::pair<std::shared_ptr<BaseMaterial>, float> previewed(const RenderPreviewView* view) {
        std::shared_ptr<BaseMaterial> shown;
        float eyeHeight = -1;
        for (const auto& layer : view->layersToPreview()) {
            if (auto preview = std::dynamic_pointer_cast<MaterialPreviewLayer>(layer)) shown = preview->material();
            if (auto camera = std::dynamic_pointer_cast<CameraLayer>(layer)) eyeHeight = camera->fromPointHeight();
        }
        return {shown, eyeHeight};
    }

    // Chooses the pop-up item carrying `tag` as the user would.
    static void chooseTag(QComboBox* popUp, int tag) {
        const int index = popUp->findData(tag);
        ASSERT_GE(index, 0);
        popUp->setCurrentIndex(index);
        Q_EMIT popUp->activated(index);
        QCoreApplication::processEvents();
    }

    QWidget window;
    Scene scene;
    std::shared_ptr<DiffuseMaterial> material;
    int sceneChanges = 0;
    NotificationObservation changes;
};

TEST_F(MaterialSheetTest, ThePresetMenuListsTheFortySevenPresetsAlphabeticallyAfterAssignPreset) {
    EditMaterialSheet* sheet = openSheet();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Edit Material"));
    QComboBox* presets = sheet->presetsPopup();
    ASSERT_EQ(presets->count(), 48);
    EXPECT_EQ(presets->itemText(0), QStringLiteral("Assign Preset…"));
    EXPECT_EQ(presets->iconSize(), QSize(14, 14));
    std::vector<std::string> titles;
    for (int i = 1; i < presets->count(); ++i) {
        titles.push_back(presets->itemText(i).toStdString());
        EXPECT_FALSE(presets->itemIcon(i).isNull()) << titles.back();
    }
    EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end()));
    EXPECT_EQ(titles.front(), "Bright Rocks");
    EXPECT_EQ(titles.back(), "Wet Mud");
    sheet->finish();
}

TEST_F(MaterialSheetTest, APresetAndEveryControlEditTheMaterialInPlaceAndRenderTheSwatch) {
    EditMaterialSheet* sheet = openSheet();
    // The sheet shows the caller's own material on the swatch, from the material sheet's height.
    EXPECT_EQ(previewed(sheet->renderPreviewView()).first, material);
    EXPECT_FLOAT_EQ(previewed(sheet->renderPreviewView()).second, 1.25f);
    EXPECT_EQ(sheet->renderPreviewView()->lightSamples(), 10);

    QComboBox* presets = sheet->presetsPopup();
    const int snow = presets->findText(QStringLiteral("Snow"));
    ASSERT_GT(snow, 0);
    const int before = sceneChanges;
    presets->setCurrentIndex(snow);
    Q_EMIT presets->activated(snow);
    EXPECT_GT(sceneChanges, before);
    EXPECT_EQ(presets->currentIndex(), 0);  // back to its title, ready for the next choice
    EXPECT_EQ(material->diffuseShader(), nullptr);
    EXPECT_FLOAT_EQ(material->spectacularReflect(), 0.3f);
    EXPECT_EQ(material->name(), "Roof");
    // The controls show the preset's values.
    EXPECT_NEAR(floatValue(child<QSlider>(sheet, "bumpStrength")), 0.2f, 1e-4f);
    EXPECT_NEAR(floatValue(child<QSlider>(sheet, "spectacularReflect")), 0.3f, 1e-4f);

    setFloatValue(child<QSlider>(sheet, "transparency"), 0.4f);
    EXPECT_NEAR(material->transparency(), 0.4f, 1e-4f);
    setFloatValue(child<QSlider>(sheet, "transmitFilter"), 0.25f);
    EXPECT_NEAR(material->transmitFilter(), 0.25f, 1e-4f);
    child<ColorWell>(sheet, "color")->chooseColor(Color::calibratedRGB(0.2, 0.4, 0.6));
    EXPECT_EQ(material->color(), Color::calibratedRGB(0.2, 0.4, 0.6));
    child<QCheckBox>(sheet, "useMirrorShader")->setChecked(true);
    EXPECT_TRUE(material->useMirrorShader());
    EXPECT_EQ(previewed(sheet->renderPreviewView()).first, material);
    sheet->finish();
}

TEST_F(MaterialSheetTest, ChoosingCloudsForAMaterialWithoutBumpShaderInstallsADefaultCloudsTexture) {
    ASSERT_EQ(material->bumpShader(), nullptr);
    EditMaterialSheet* sheet = openSheet();
    child<QPushButton>(sheet, "editBumpShader")->click();
    EditTextureSheet* textures = sheet->openTextureSheet();
    ASSERT_NE(textures, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(textures->windowTitle(), QStringLiteral("Edit Texture"));
    EXPECT_EQ(textures->textureTypePopup()->currentData().toInt(), -1);
    EXPECT_EQ(textures->currentTextureView(), nullptr);

    chooseTag(textures->textureTypePopup(), EditTextureSheet::kClouds);
    auto mapper = std::dynamic_pointer_cast<TextureMapperShader>(material->bumpShader());
    ASSERT_NE(mapper, nullptr);
    auto clouds = std::dynamic_pointer_cast<CloudsTexture>(mapper->texture());
    ASSERT_NE(clouds, nullptr);
    EXPECT_FLOAT_EQ(clouds->size(), 50.0f);
    EXPECT_EQ(clouds->depth(), 2);
    ASSERT_NE(textures->currentTextureView(), nullptr);
    EXPECT_TRUE(textures->currentTextureView()->isVisible());
    EXPECT_FLOAT_EQ(previewed(textures->renderPreviewView()).second, 1.5f);

    // The clouds view edits that very texture.
    setFloatValue(textures->currentTextureView()->findChild<QSlider*>(QStringLiteral("size")), 300.0f);
    EXPECT_FLOAT_EQ(clouds->size(), 300.0f);
    QComboBox* bias = textures->currentTextureView()->findChild<QComboBox*>(QStringLiteral("bias"));
    bias->setCurrentIndex(bias->findData(2));
    EXPECT_EQ(clouds->bias(), 2);

    // The kind it already has keeps the texture and its values.
    chooseTag(textures->textureTypePopup(), EditTextureSheet::kClouds);
    EXPECT_EQ(mapper->texture(), clouds);
    EXPECT_FLOAT_EQ(clouds->size(), 300.0f);
    // Another kind replaces it inside the same shader.
    chooseTag(textures->textureTypePopup(), EditTextureSheet::kWood);
    EXPECT_EQ(material->bumpShader(), mapper);
    EXPECT_NE(std::dynamic_pointer_cast<WoodTexture>(mapper->texture()), nullptr);
    // None takes the shader away from the material.
    chooseTag(textures->textureTypePopup(), EditTextureSheet::kNoTexture);
    EXPECT_EQ(material->bumpShader(), nullptr);
    EXPECT_EQ(textures->currentTextureView(), nullptr);

    // Closing the texture sheet renders the material sheet's swatch again.
    sheet->renderPreviewView()->setLayersToPreview({});
    textures->finish();
    EXPECT_EQ(sheet->openTextureSheet(), nullptr);
    EXPECT_EQ(previewed(sheet->renderPreviewView()).first, material);
    sheet->finish();
}

TEST_F(MaterialSheetTest, AShaderOfAnotherKindIsShownWithoutTextureAndNeverReplaced) {
    const auto mix = std::make_shared<MixShader>();
    material->setMirrorShader(mix);
    EditMaterialSheet* sheet = openSheet();
    sheet->editMirrorShader();
    EditTextureSheet* textures = sheet->openTextureSheet();
    ASSERT_NE(textures, nullptr);
    QCoreApplication::processEvents();
    // Merely opening the sheet leaves the shader where it is.
    EXPECT_EQ(material->mirrorShader(), mix);
    EXPECT_EQ(textures->textureTypePopup()->currentData().toInt(), -1);
    chooseTag(textures->textureTypePopup(), EditTextureSheet::kMarble);
    EXPECT_EQ(material->mirrorShader(), mix);
    textures->finish();
    sheet->finish();
}

TEST_F(MaterialSheetTest, TheTextureEditorOpensTheSheetOnTheSelectedMapsMaterial) {
    MyDocument document;
    const auto layer = document.scene().layersOfClass<TerrainTextureLayer>().front();
    std::unique_ptr<EditTerrainTextureLayerViewController> editor(
        static_cast<EditTerrainTextureLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
            "EditTerrainTextureLayerViewController", layer, &document, nullptr)));
    editor->show();
    editor->addMaterialMap();
    const auto map = layer->materialMaps().back();
    ASSERT_TRUE(editor->editMaterialButton()->isEnabled());
    editor->editMaterialButton()->click();
    QCoreApplication::processEvents();
    auto* sheet = editor->findChild<EditMaterialSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->diffuseMaterial(), map->material());
    sheet->finish();
}

}  // namespace
}  // namespace korvane
