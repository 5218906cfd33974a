#include "app/editors/texture/EditTerrainTextureLayerViewController.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/sheets/MapFilterSheets.h"
#include "app/sheets/material/EditMaterialSheet.h"
#include "app/shell/AppResources.h"
#include "app/views/BaseEditMapSceneView.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"

namespace korvane {

namespace {
const char* const kBaseMapPlaceholder =
    "The Base Texture Map cannot be edited since it is shown everywhere on the terrain. Use the \"New Material "
    "Layer\" button to the right to add an additional material layer or use the \"Edit Material\" button to edit the "
    "base material.";
constexpr int kPresetBarHeight = 30;
}  // namespace

Bitmap* SelectedMaterialMapEditTarget::imageRepToEdit() { return map_ ? map_->maskImageRep().get() : nullptr; }
void SelectedMaterialMapEditTarget::didStartImageRepEdit() {
    if (map_) map_->startMaskChange();
}
void SelectedMaterialMapEditTarget::didEndImageRepEdit() {
    if (map_) map_->endMaskChange();
}
UndoManager* SelectedMaterialMapEditTarget::undoManager() {
    if (!map_ || !map_->terrainTextureLayer() || !map_->terrainTextureLayer()->scene()) return nullptr;
    return map_->terrainTextureLayer()->scene()->undoManager();
}

MaterialMapsList::MaterialMapsList(TerrainTextureLayer& layer, QWidget* parent) : QListWidget(parent), layer_(layer) {
    setObjectName(QStringLiteral("MaterialMapsList"));
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(32, 32));
}

bool MaterialMapsList::acceptsMove(int from, int to) { return from > 0 && to > 0; }

bool MaterialMapsList::moveRow(int from, int to) {
    const auto& maps = layer_.materialMaps();
    if (!acceptsMove(from, to) || from >= static_cast<int>(maps.size())) return false;
    const auto map = maps[from];
    layer_.moveMaterialMap(map, to);
    return true;
}

int MaterialMapsList::dropRow(const QPoint& position) const {
    const QModelIndex index = indexAt(position);
    if (!index.isValid()) return count();
    const QRect rect = visualRect(index);
    return position.y() < rect.center().y() ? index.row() : index.row() + 1;
}

void MaterialMapsList::startDrag(Qt::DropActions supportedActions) {
    if (currentRow() <= 0) return;  // the base map stays where it is
    QListWidget::startDrag(supportedActions);
}

void MaterialMapsList::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsMove(currentRow(), dropRow(event->position().toPoint()))) event->acceptProposedAction();
    else event->ignore();
}

void MaterialMapsList::dropEvent(QDropEvent* event) {
    // The layer reorders its stack; the list is rebuilt from it when the scene announces the change.
    if (moveRow(currentRow(), dropRow(event->position().toPoint()))) event->acceptProposedAction();
    else event->ignore();
}

EditTerrainTextureLayerViewController::EditTerrainTextureLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                                             MyDocument* document, QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      sceneView_(new BaseEditMapSceneView(scene(), target_, false)),
      list_(new MaterialMapsList(static_cast<TerrainTextureLayer&>(*layer))) {
    sceneView_->setObjectName(QStringLiteral("EditTerrainTextureLayerSceneView"));
    sceneView_->setOverlayPlaceholderText(QString::fromUtf8(kBaseMapPlaceholder));

    // The presets pull-down sits in the map view's bottom bar.
    presetButton_ = new QToolButton;
    presetButton_->setObjectName(QStringLiteral("ApplyMaterialPreset"));
    presetButton_->setText(QStringLiteral("Apply Material Preset…"));
    presetButton_->setPopupMode(QToolButton::InstantPopup);
    auto* presets = new QMenu(presetButton_);
    presets->addAction(QStringLiteral("Apply Preset…"))->setEnabled(false);
    const auto dictionaries = TerrainTextureLayer::presetDictionaries();
    for (int i = 0; i < static_cast<int>(dictionaries.size()); ++i) {
        presets->addAction(QString::fromStdString(dictionaries[i].name), this, [this, i] { applyPreset(i); });
    }
    presetButton_->setMenu(presets);

    auto* mapArea = new QWidget;
    auto* mapColumn = new QVBoxLayout(mapArea);
    mapColumn->setContentsMargins(0, 0, 0, 0);
    mapColumn->setSpacing(0);
    mapColumn->addWidget(sceneView_, 1);
    auto* presetBar = new QWidget;
    presetBar->setFixedHeight(kPresetBarHeight);
    auto* presetRow = new QHBoxLayout(presetBar);
    presetRow->setContentsMargins(4, 2, 4, 2);
    presetRow->addWidget(presetButton_);
    presetRow->addStretch(1);
    mapColumn->addWidget(presetBar);

    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* title = new QLabel(QStringLiteral("Material Layers"));
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(title);
    column->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(korvaneIcon("AddMeshToolbarIcon"), QStringLiteral("New Material Layer"));
    add->setObjectName(QStringLiteral("NewMaterialLayer"));
    removeButton_ = new QPushButton(QStringLiteral("Remove"));
    removeButton_->setObjectName(QStringLiteral("RemoveMaterialLayer"));
    buttons->addWidget(add);
    buttons->addWidget(removeButton_);
    column->addLayout(buttons);
    editMaterialButton_ = new QPushButton(QStringLiteral("Edit Material…"));
    editMaterialButton_->setObjectName(QStringLiteral("EditMaterial"));
    column->addWidget(editMaterialButton_);
    connect(editMaterialButton_, &QPushButton::clicked, this, &EditTerrainTextureLayerViewController::editMaterial);
    auto* fills = new QLabel(QStringLiteral("Automatic Fill"));
    fills->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(fills);
    steepnessButton_ = new QPushButton(QStringLiteral("Fill by Steepness…"));
    heightButton_ = new QPushButton(QStringLiteral("Fill by Height…"));
    column->addWidget(steepnessButton_);
    column->addWidget(heightButton_);
    connect(add, &QPushButton::clicked, this, &EditTerrainTextureLayerViewController::addMaterialMap);
    connect(removeButton_, &QPushButton::clicked, this, &EditTerrainTextureLayerViewController::removeMaterialMap);
    connect(steepnessButton_, &QPushButton::clicked, this, &EditTerrainTextureLayerViewController::autoFillSteepness);
    connect(heightButton_, &QPushButton::clicked, this, &EditTerrainTextureLayerViewController::autoFillHeight);
    connect(list_, &QListWidget::currentRowChanged, this, &EditTerrainTextureLayerViewController::selectionChanged);
    setPanes(mapArea, side);

    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &scene(), [this](const Notification&) { reloadList(); });
    reloadList();
}

TerrainTextureLayer& EditTerrainTextureLayerViewController::textureLayer() const {
    return static_cast<TerrainTextureLayer&>(*layer());
}

void EditTerrainTextureLayerViewController::reloadList() {
    const auto& maps = textureLayer().materialMaps();
    QStringList names;
    for (const auto& map : maps) names.append(QString::fromStdString(map->name()));
    QStringList listed;
    for (int row = 0; row < list_->count(); ++row) listed.append(list_->item(row)->text());
    const auto selected = target_.materialMap();
    if (names != listed || list_->count() != static_cast<int>(maps.size())) {
        const QSignalBlocker blocker(list_);
        list_->clear();
        for (int i = 0; i < static_cast<int>(maps.size()); ++i) {
            auto* item = new QListWidgetItem(korvaneIcon("TerrainTexturesLayerIcon"), names[i], list_);
            if (i == 0) item->setFlags(item->flags() & ~Qt::ItemIsDragEnabled);
        }
    }
    int row = selected ? textureLayer().indexOfMaterialMap(selected.get()) : -1;
    if (row < 0 && !maps.empty()) row = static_cast<int>(maps.size()) - 1;
    {
        const QSignalBlocker blocker(list_);
        list_->setCurrentRow(row);
    }
    selectionChanged();
}

void EditTerrainTextureLayerViewController::selectionChanged() {
    const auto& maps = textureLayer().materialMaps();
    const int row = list_->currentRow();
    target_.setMaterialMap(row >= 0 && row < static_cast<int>(maps.size()) ? maps[row] : nullptr);
    const bool hasMask = target_.imageRepToEdit() != nullptr;
    removeButton_->setEnabled(row > 0);
    editMaterialButton_->setEnabled(target_.materialMap() && target_.materialMap()->material());
    steepnessButton_->setEnabled(hasMask);
    heightButton_->setEnabled(hasMask);
    sceneView_->updateView();
}

void EditTerrainTextureLayerViewController::addMaterialMap() {
    const auto map = textureLayer().addNewMaterialMap();
    target_.setMaterialMap(map);
    reloadList();
}

void EditTerrainTextureLayerViewController::removeMaterialMap() {
    const auto map = target_.materialMap();
    if (!map || textureLayer().indexOfMaterialMap(map.get()) <= 0) return;
    target_.setMaterialMap(nullptr);
    textureLayer().removeMaterialMap(map);
    reloadList();
}

void EditTerrainTextureLayerViewController::applyPreset(int index) {
    const auto dictionaries = TerrainTextureLayer::presetDictionaries();
    if (index < 0 || index >= static_cast<int>(dictionaries.size())) return;
    target_.setMaterialMap(nullptr);
    textureLayer().configureWithPresetDictionary(dictionaries[index]);
    reloadList();
}

void EditTerrainTextureLayerViewController::autoFillSteepness() {
    const TerrainLayer* terrain = textureLayer().terrainLayer();
    if (!terrain || !target_.imageRepToEdit()) return;
    openSteepnessAutoFillSheet(target_, *terrain, this, window());
}

void EditTerrainTextureLayerViewController::autoFillHeight() {
    const TerrainLayer* terrain = textureLayer().terrainLayer();
    if (!terrain || !target_.imageRepToEdit()) return;
    openHeightAutoFillSheet(target_, *terrain, this, window());
}

void EditTerrainTextureLayerViewController::editMaterial() {
    const auto map = target_.materialMap();
    if (!map || !map->material()) return;
    openEditMaterialSheet(map->material(), scene(), window());
}

void EditTerrainTextureLayerViewController::autoFillSheetAlteredBitmapImageRep() {
    sceneView_->updateView();
    scene().postSceneDidChangeNotification();
}

}  // namespace korvane
