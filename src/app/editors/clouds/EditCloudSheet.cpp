#include "app/editors/clouds/EditCloudSheet.h"

#include <algorithm>
#include <cmath>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/editors/sky/BoundControls.h"
#include "app/render/RenderPreviewView.h"
#include "scene/Scene.h"
#include "scene/layers/LayerEditingGeometry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/Cloud.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {

namespace {
constexpr int kPreviewWidth = 260;
constexpr int kPreviewHeight = 195;
// The preview's eye stands off the cloud's south-west corner, this many times the cloud's largest
// extent away from its middle, low enough to see the band from below its top.
constexpr double kEyeDistanceFactor = 1.6;
constexpr float kEyeHeightFactor = 0.5f;
constexpr int kEdgeSoft = 0;
constexpr int kEdgeHard = 1;
}  // namespace

EditCloudSheet::EditCloudSheet(std::shared_ptr<Cloud> cloud, Scene& scene, QWidget* parent)
    : BaseSheet(parent), cloud_(std::move(cloud)), scene_(scene), initialValues_(currentValues()) {}

EditCloudSheet::~EditCloudSheet() = default;

QString EditCloudSheet::title() const { return QStringLiteral("Edit Cloud"); }

EditCloudSheet::Values EditCloudSheet::currentValues() const {
    const Cloud& c = *cloud_;
    const auto& texture = c.cloudsTexture();
    return {c.density(),  c.cover(),    c.sharpness(), c.heightAboveGround(), c.height(), c.edgeMode(),
            texture ? texture->size() : 0.0f, texture ? texture->depth() : 0};
}

void EditCloudSheet::restore(const Values& values) {
    Cloud& c = *cloud_;
    // Only what changed is put back, so a sheet opened and cancelled announces nothing.
    if (c.density() != values.density) c.setDensity(values.density);
    if (c.cover() != values.cover) c.setCover(values.cover);
    if (c.sharpness() != values.sharpness) c.setSharpness(values.sharpness);
    if (c.heightAboveGround() != values.heightAboveGround) c.setHeightAboveGround(values.heightAboveGround);
    if (c.height() != values.height) c.setHeight(values.height);
    if (c.edgeMode() != values.edgeMode) c.setEdgeMode(values.edgeMode);
    if (const auto& texture = c.cloudsTexture();
        texture && (texture->size() != values.noiseSize || texture->depth() != values.noiseDepth)) {
        texture->setSize(values.noiseSize);
        texture->setDepth(values.noiseDepth);
        scene_.postSceneDidChangeNotification();
    }
}

void EditCloudSheet::buildInterface() {
    controls_ = new BoundControls(this, [this] { valueChanged(); });
    Cloud& c = *cloud_;
    auto* form = new QFormLayout;
    controls_->addFloat(form, tr("Density:"), "density", 0.0f, 1.0f, 100, 2, [&c] { return c.density(); },
                        [&c](float v) { c.setDensity(v); });
    controls_->addFloat(form, tr("Cover:"), "cover", 0.0f, 1.0f, 100, 2, [&c] { return c.cover(); },
                        [&c](float v) { c.setCover(v); });
    controls_->addFloat(form, tr("Edge Sharpness:"), "sharpness", 0.0f, 1.0f, 100, 2, [&c] { return c.sharpness(); },
                        [&c](float v) { c.setSharpness(v); });
    const float heightRange = std::max(10.0f, scene_.maxTerrainHeight() * 2.0f);
    controls_->addFloat(form, tr("Height Above Ground:"), "heightAboveGround", 0.0f, heightRange, 200, 2,
                        [&c] { return c.heightAboveGround(); }, [&c](float v) { c.setHeightAboveGround(v); });
    controls_->addFloat(form, tr("Thickness:"), "height", 0.1f, 10.0f, 99, 1, [&c] { return c.height(); },
                        [&c](float v) { c.setHeight(v); });
    controls_->addTagged(form, tr("Edges:"), "edgeMode",
                         {{kEdgeSoft, tr("Soft, rounded")}, {kEdgeHard, tr("Hard, box-shaped")}},
                         [&c] { return c.edgeMode(); }, [&c](int v) { c.setEdgeMode(v); });
    // The noise is the cloud's own texture; its setters announce nothing, valueChanged does.
    controls_->addFloat(form, tr("Noise Size:"), "noiseSize", 0.5f, 20.0f, 195, 1,
                        [&c] { return c.cloudsTexture() ? c.cloudsTexture()->size() : 0.0f; },
                        [&c](float v) {
                            if (c.cloudsTexture()) c.cloudsTexture()->setSize(v);
                        });
    controls_->addFloat(form, tr("Noise Detail:"), "noiseDepth", 0.0f, 8.0f, 8, 0,
                        [&c] { return c.cloudsTexture() ? float(c.cloudsTexture()->depth()) : 0.0f; },
                        [&c](float v) {
                            if (c.cloudsTexture()) c.cloudsTexture()->setDepth(int(std::lround(v)));
                        });

    previewView_ = new RenderPreviewView;
    previewView_->setObjectName(QStringLiteral("CloudPreview"));
    previewView_->setLightSamples(kPreviewLightSamples);
    previewView_->setVolumeAccuracy(kPreviewVolumeAccuracy);
    previewView_->setDrawGrayBackground(true);
    previewView_->setFixedSize(kPreviewWidth, kPreviewHeight);

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addLayout(form, 1);
    row->addWidget(previewView_, 0, Qt::AlignTop);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditCloudSheet::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditCloudSheet::cancel);
    layout->addWidget(buttons);
}

void EditCloudSheet::sheetDidAppear() { previewCloud(); }

std::vector<std::shared_ptr<BaseSceneLayer>> EditCloudSheet::layersToPreview() const {
    auto clouds = std::make_shared<CloudsLayer>();
    clouds->addCloud(cloud_->copy());
    const Rect footprint = LayerEditingGeometry::footprintRect(cloud_->boundingBox());
    const Point middle{footprint.origin.x + footprint.size.width / 2, footprint.origin.y + footprint.size.height / 2};
    const double distance = kEyeDistanceFactor * std::max({footprint.size.width, footprint.size.height, 1.0});
    auto camera = std::make_shared<CameraLayer>();
    camera->setFromPoint({middle.x - distance * M_SQRT1_2, middle.y + distance * M_SQRT1_2});
    camera->setFromPointHeight(cloud_->heightAboveGround() * kEyeHeightFactor);
    camera->setToPoint(middle);
    camera->setToPointHeight(cloud_->heightAboveGround() + cloud_->height() / 2);
    auto terrain = std::make_shared<TerrainLayer>();
    auto texture = std::make_shared<TerrainTextureLayer>(nullptr, terrain);
    return {clouds, camera, terrain, texture};
}

void EditCloudSheet::previewCloud() {
    if (!previewView_) return;
    previewView_->abortRendering();
    previewView_->setLayersToPreview(layersToPreview());
}

void EditCloudSheet::valueChanged() {
    previewCloud();
    scene_.postSceneDidChangeNotification();
}

void EditCloudSheet::ok() {
    if (closed_) return;
    closed_ = true;
    if (previewView_) previewView_->abortRenderingAndHideProgressIndicator();
    close();
    deleteLater();
}

void EditCloudSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    if (previewView_) previewView_->abortRenderingAndHideProgressIndicator();
    restore(initialValues_);
    close();
    deleteLater();
}

void EditCloudSheet::reject() { cancel(); }

BaseSheet* openCloudSheet(std::shared_ptr<Cloud> cloud, Scene& scene, QWidget* window) {
    auto* sheet = new EditCloudSheet(std::move(cloud), scene, window);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
