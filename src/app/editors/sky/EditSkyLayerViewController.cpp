#include "app/editors/sky/EditSkyLayerViewController.h"

#include <QFormLayout>

#include "app/editors/sky/BoundControls.h"
#include "app/editors/sky/LayerEditorLayout.h"
#include "app/render/ExpandableRenderPreviewView.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/SunLight.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

namespace {
// The preview's camera looks at the middle of the little landscape from a height that shows
// mostly sky, through a wide lens.
constexpr float kPreviewLookAtHeight = 1.8f;
constexpr Point kPreviewLookAtPoint{5.0, 5.0};
constexpr float kPreviewFocal = 0.6f;
// The preview's sun: high, and off to the side so that its glow and the horizon both show.
constexpr float kPreviewSunX = 0.45f;
constexpr float kPreviewSunY = 0.35f;
}  // namespace

EditSkyLayerViewController::EditSkyLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                                       QWidget* parent)
    : BaseEditLayerViewController(std::move(layer), document, parent),
      controls_(new BoundControls(this, [this] { valueChanged(); })),
      previewView_(new ExpandableRenderPreviewView) {
    previewView_->setObjectName(QStringLiteral("SkyPreview"));
    SkyLayer& sky = skyLayer();
    auto* form = new QFormLayout;
    controls_->addFloat(form, QStringLiteral("Turbidity:"), "turbidity", 1.0f, 20.0f, 190, 1,
                        [&sky] { return sky.turbidity(); }, [&sky](float v) { sky.setTurbidity(v); });
    controls_->addFloat(form, QStringLiteral("Horizon Brightness:"), "horizonBrightness", -5.0f, 10.0f, 150, 1,
                        [&sky] { return sky.horizonBrightness(); }, [&sky](float v) { sky.setHorizonBrightness(v); });
    controls_->addFloat(form, QStringLiteral("Horizon Luminance:"), "horizonLuminance", -5.0f, 10.0f, 150, 1,
                        [&sky] { return sky.horizonLuminance(); }, [&sky](float v) { sky.setHorizonLuminance(v); });
    controls_->addFloat(form, QStringLiteral("Circumsolar Intensity:"), "circumsolarIntensity", 0.0f, 60.0f, 120, 1,
                        [&sky] { return sky.circumsolarIntensity(); },
                        [&sky](float v) { sky.setCircumsolarIntensity(v); });
    controls_->addFloat(form, QStringLiteral("Circumsolar Width:"), "circumsolarWidth", 0.0f, 60.0f, 120, 1,
                        [&sky] { return sky.circumsolarWidth(); }, [&sky](float v) { sky.setCircumsolarWidth(v); });
    controls_->addFloat(form, QStringLiteral("Backscattered Light:"), "backscatteredLight", -5.0f, 10.0f, 150, 1,
                        [&sky] { return sky.backscatteredLight(); }, [&sky](float v) { sky.setBackscatteredLight(v); });
    controls_->addBool(form, QStringLiteral("The sky lights the scene"), "useBackgroundAsLightSource",
                       [&sky] { return sky.useBackgroundAsLightSource(); },
                       [&sky](bool v) { sky.setUseBackgroundAsLightSource(v); });
    controls_->addBool(form, QStringLiteral("Night sky"), "night", [&sky] { return sky.night(); },
                       [&sky](bool v) { sky.setNight(v); });
    layOutLayerEditor(this, QStringLiteral("Sky"), form, previewView_);

    // Values changed elsewhere (a revert of the document, another window) show at once.
    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &scene(), [this](const Notification&) { controls_->refresh(); });
    valueChanged();
}

SkyLayer& EditSkyLayerViewController::skyLayer() const { return static_cast<SkyLayer&>(*layer()); }

std::vector<std::shared_ptr<BaseSceneLayer>> EditSkyLayerViewController::layersToPreview() const {
    auto camera = std::make_shared<CameraLayer>();
    camera->setToPointHeight(kPreviewLookAtHeight);
    camera->setToPoint(kPreviewLookAtPoint);
    camera->setFocal(kPreviewFocal);
    auto terrain = std::make_shared<TerrainLayer>();
    auto texture = std::make_shared<TerrainTextureLayer>(nullptr, terrain);
    auto lighting = std::make_shared<LightingLayer>();
    lighting->sunLight()->setDirection({double(kPreviewSunX), double(kPreviewSunY)});
    return {sharedLayer(), camera, terrain, texture, lighting};
}

void EditSkyLayerViewController::valueChanged() { previewView_->setLayersToPreview(layersToPreview()); }

void EditSkyLayerViewController::viewControllerWillHide() { previewView_->abortRendering(); }

}  // namespace korvane
