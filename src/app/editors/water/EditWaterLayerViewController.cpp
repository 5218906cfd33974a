#include "app/editors/water/EditWaterLayerViewController.h"

#include <algorithm>
#include <cmath>

#include <QFormLayout>
#include <QMenu>
#include <QToolButton>

#include "app/editors/sky/BoundControls.h"
#include "app/editors/sky/LayerEditorLayout.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {

namespace {
constexpr const char* kAssignPresetTitle = "Assign Preset…";
// The level slider reaches the scene's highest terrain, and at least this far.
constexpr float kMinimumLevelRange = 1.0f;
}  // namespace

EditWaterLayerViewController::EditWaterLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                           MyDocument* document, QWidget* parent)
    : BaseEditLayerViewController(std::move(layer), document, parent),
      controls_(new BoundControls(this, [this] { valueChanged(); })),
      previewView_(new ExpandableRenderPreviewView) {
    previewView_->setObjectName(QStringLiteral("WaterPreview"));
    WaterLayer& water = waterLayer();
    auto* form = new QFormLayout;

    presetButton_ = new QToolButton;
    presetButton_->setObjectName(QStringLiteral("WaterPresets"));
    presetButton_->setText(QString::fromUtf8(kAssignPresetTitle));
    presetButton_->setPopupMode(QToolButton::InstantPopup);
    auto* presets = new QMenu(presetButton_);
    presets->addAction(QString::fromUtf8(kAssignPresetTitle))->setEnabled(false);
    for (const WaterPresetDictionary& preset : WaterLayer::presetDictionaries()) {
        QAction* item = presets->addAction(QString::fromStdString(preset.name));
        const std::string key = preset.presetKey;
        item->setData(QString::fromStdString(key));
        connect(item, &QAction::triggered, this, [this, key] { applyPreset(key); });
    }
    presetButton_->setMenu(presets);
    form->addRow(QStringLiteral("Preset:"), presetButton_);

    controls_->addBool(form, QStringLiteral("Water"), "active", [&water] { return water.active(); },
                       [&water](bool v) { water.setActive(v); });
    const float levelRange = std::max(kMinimumLevelRange, scene().maxTerrainHeight());
    // Steps of a hundredth, so that the level shows as it is stored.
    const int levelSteps = static_cast<int>(std::lround(levelRange * 100.0f));
    controls_->addFloat(form, QStringLiteral("Water Level:"), "height", 0.0f, levelRange, levelSteps, 2,
                        [&water] { return water.height(); }, [&water](float v) { water.setHeight(v); });
    controls_->addFloat(form, QStringLiteral("Absorption:"), "absorbtion", 0.0f, 1.0f, 100, 2,
                        [&water] { return water.absorbtion(); }, [&water](float v) { water.setAbsorbtion(v); });
    controls_->addFloat(form, QStringLiteral("Waves Height:"), "wavesHeight", 0.0f, 1.5f, 150, 2,
                        [&water] { return water.wavesHeight(); }, [&water](float v) { water.setWavesHeight(v); });
    controls_->addFloat(form, QStringLiteral("Waves Twirl:"), "wavesTwirl", 0.0f, 3.0f, 150, 2,
                        [&water] { return water.wavesTwirl(); }, [&water](float v) { water.setWavesTwirl(v); });
    controls_->addFloat(form, QStringLiteral("Waves Size:"), "wavesSize", 0.0f, 600.0f, 120, 0,
                        [&water] { return water.wavesSize(); }, [&water](float v) { water.setWavesSize(v); });
    controls_->addFloat(form, QStringLiteral("Index of Refraction:"), "IOR", 1.0f, 2.5f, 150, 2,
                        [&water] { return water.IOR(); }, [&water](float v) { water.setIOR(v); });
    controls_->addColor(form, QStringLiteral("Water Color:"), "waterColor", [&water] { return water.waterColor(); },
                        [&water](std::optional<Color> c) { water.setWaterColor(c); });
    controls_->addColor(form, QStringLiteral("Mirror Color:"), "mirrorColor",
                        [&water] { return water.mirrorColor(); },
                        [&water](std::optional<Color> c) { water.setMirrorColor(c); });
    layOutLayerEditor(this, QStringLiteral("Water"), form, previewView_);

    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &scene(), [this](const Notification&) { controls_->refresh(); });
    valueChanged();
}

WaterLayer& EditWaterLayerViewController::waterLayer() const { return static_cast<WaterLayer&>(*layer()); }

std::vector<std::shared_ptr<BaseSceneLayer>> EditWaterLayerViewController::layersToPreview() const {
    auto terrain = std::make_shared<TerrainLayer>();
    auto texture = std::make_shared<TerrainTextureLayer>(nullptr, terrain);
    return {sharedLayer(), terrain, texture};
}

void EditWaterLayerViewController::valueChanged() { previewView_->setLayersToPreview(layersToPreview()); }

void EditWaterLayerViewController::applyPreset(const std::string& presetKey) {
    for (const WaterPresetDictionary& preset : WaterLayer::presetDictionaries()) {
        if (preset.presetKey != presetKey) continue;
        waterLayer().configureWithPresetDictionary(preset);
        controls_->refresh();
        valueChanged();
        return;
    }
}

void EditWaterLayerViewController::viewControllerWillHide() { previewView_->abortRendering(); }

}  // namespace korvane
