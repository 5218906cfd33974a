#include "app/editors/sky/EditFogLayerViewController.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSlider>

#include "app/editors/sky/BoundControls.h"
#include "app/editors/sky/LayerEditorLayout.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

EditFogLayerViewController::EditFogLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                                       QWidget* parent)
    : BaseEditLayerViewController(std::move(layer), document, parent),
      controls_(new BoundControls(this, [this] { valueChanged(); })),
      previewView_(new ExpandableRenderPreviewView) {
    previewView_->setObjectName(QStringLiteral("FogPreview"));
    FogLayer& fog = fogLayer();
    auto* form = new QFormLayout;
    controls_->addBool(form, QStringLiteral("Ground fog"), "active", [&fog] { return fog.active(); },
                       [&fog](bool v) { fog.setActive(v); });
    fogControls_ = {
        controls_->addFloat(form, QStringLiteral("Density:"), "density", 0.0f, 0.2f, 200, 3,
                            [&fog] { return fog.density(); }, [&fog](float v) { fog.setDensity(v); }),
        controls_->addFloat(form, QStringLiteral("Height:"), "height", 0.0f, 5.0f, 100, 2,
                            [&fog] { return fog.height(); }, [&fog](float v) { fog.setHeight(v); }),
        controls_->addFloat(form, QStringLiteral("Scatter:"), "scatter", 0.0f, 2.0f, 100, 2,
                            [&fog] { return fog.scatter(); }, [&fog](float v) { fog.setScatter(v); }),
    };
    controls_->addBool(form, QStringLiteral("Haze"), "hazeActive", [&fog] { return fog.hazeActive(); },
                       [&fog](bool v) { fog.setHazeActive(v); });
    hazeControls_ = {
        controls_->addFloat(form, QStringLiteral("Haze Strength:"), "hazeStrength", 0.0f, 5.0f, 100, 2,
                            [&fog] { return fog.hazeStrength(); }, [&fog](float v) { fog.setHazeStrength(v); }),
        controls_->addFloat(form, QStringLiteral("Haze Distance:"), "hazeDistance", 0.0f, 100.0f, 200, 1,
                            [&fog] { return fog.hazeDistance(); }, [&fog](float v) { fog.setHazeDistance(v); }),
    };
    layOutLayerEditor(this, QStringLiteral("Fog & Haze"), form, previewView_);

    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &scene(), [this](const Notification&) {
                                                  controls_->refresh();
                                                  updateEnabledControls();
                                              });
    updateEnabledControls();
    valueChanged();
}

FogLayer& EditFogLayerViewController::fogLayer() const { return static_cast<FogLayer&>(*layer()); }

void EditFogLayerViewController::updateEnabledControls() {
    for (QWidget* control : fogControls_) control->setEnabled(fogLayer().active());
    for (QWidget* control : hazeControls_) control->setEnabled(fogLayer().hazeActive());
}

std::vector<std::shared_ptr<BaseSceneLayer>> EditFogLayerViewController::layersToPreview() const {
    auto terrain = std::make_shared<TerrainLayer>();
    auto texture = std::make_shared<TerrainTextureLayer>(nullptr, terrain);
    return {sharedLayer(), terrain, texture};
}

void EditFogLayerViewController::valueChanged() {
    updateEnabledControls();
    previewView_->setLayersToPreview(layersToPreview());
}

void EditFogLayerViewController::viewControllerWillHide() { previewView_->abortRendering(); }

}  // namespace korvane
