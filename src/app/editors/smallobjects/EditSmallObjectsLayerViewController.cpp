#include "app/editors/smallobjects/EditSmallObjectsLayerViewController.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/sheets/MapFilterSheets.h"
#include "app/shell/AppResources.h"
#include "app/views/BaseEditMapSceneView.h"
#include "scene/Scene.h"
#include "scene/layers/smallobjects/BaseSmallObject.h"
#include "scene/layers/smallobjects/ResourcePaths.h"
#include "scene/layers/smallobjects/SmallObjectsLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

Bitmap* SmallObjectsMapEditTarget::imageRepToEdit() { return layer_.mapImageRep().get(); }
void SmallObjectsMapEditTarget::didStartImageRepEdit() { layer_.startMapChange(); }
void SmallObjectsMapEditTarget::didEndImageRepEdit() { layer_.endMapChange(); }
UndoManager* SmallObjectsMapEditTarget::undoManager() { return layer_.scene() ? layer_.scene()->undoManager() : nullptr; }

namespace {
// The kind's picture: a plant's own texture from the resources, else the layer's icon.
QIcon iconForKind(const SmallObjectClass& kind) {
    const std::string icon = kind.icon();
    if (!icon.empty()) {
        if (std::optional<std::string> path = resourcePath("plants/" + icon)) return QIcon(QString::fromStdString(*path));
    }
    return korvaneIcon("RocksLayerIcon");
}
}  // namespace

EditSmallObjectsLayerViewController::EditSmallObjectsLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                                         MyDocument* document, QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      target_(static_cast<SmallObjectsLayer&>(*layer)),
      sceneView_(new BaseEditMapSceneView(scene(), target_, false)),
      kindsList_(new QListWidget) {
    sceneView_->setObjectName(QStringLiteral("EditSmallObjectsLayerSceneView"));
    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* title = new QLabel(QStringLiteral("Kind"));
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(title);
    kindsList_->setIconSize(QSize(40, 40));
    kindsList_->setObjectName(QStringLiteral("SmallObjectKinds"));
    const auto kinds = smallObjectsLayer().allSmallObjectClasses();
    for (const SmallObjectClass* kind : kinds) {
        auto* item = new QListWidgetItem(iconForKind(*kind), QString::fromStdString(kind->name()), kindsList_);
        if (kind == smallObjectsLayer().baseSmallObjectClass()) kindsList_->setCurrentItem(item);
    }
    connect(kindsList_, &QListWidget::currentRowChanged, this, [this, kinds](int row) {
        if (row >= 0 && row < static_cast<int>(kinds.size()) && kinds[row] != smallObjectsLayer().baseSmallObjectClass()) {
            smallObjectsLayer().setBaseSmallObjectClass(kinds[row]);
        }
    });
    column->addWidget(kindsList_, 1);
    auto* fills = new QLabel(QStringLiteral("Automatic Fill"));
    fills->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(fills);
    auto* steepness = new QPushButton(QStringLiteral("Fill by Steepness…"));
    auto* height = new QPushButton(QStringLiteral("Fill by Height…"));
    connect(steepness, &QPushButton::clicked, this, &EditSmallObjectsLayerViewController::autoFillSteepness);
    connect(height, &QPushButton::clicked, this, &EditSmallObjectsLayerViewController::autoFillHeight);
    column->addWidget(steepness);
    column->addWidget(height);
    setPanes(sceneView_, side);
}

SmallObjectsLayer& EditSmallObjectsLayerViewController::smallObjectsLayer() const {
    return static_cast<SmallObjectsLayer&>(*layer());
}

void EditSmallObjectsLayerViewController::autoFillSteepness() {
    const auto terrains = scene().layersOfClass<TerrainLayer>();
    if (terrains.empty() || !target_.imageRepToEdit()) return;
    openSteepnessAutoFillSheet(target_, *terrains.back(), this, window());
}

void EditSmallObjectsLayerViewController::autoFillHeight() {
    const auto terrains = scene().layersOfClass<TerrainLayer>();
    if (terrains.empty() || !target_.imageRepToEdit()) return;
    openHeightAutoFillSheet(target_, *terrains.back(), this, window());
}

void EditSmallObjectsLayerViewController::autoFillSheetAlteredBitmapImageRep() {
    smallObjectsLayer().startMapChange();
    sceneView_->updateView();
    smallObjectsLayer().endMapChange();
}

}  // namespace korvane
