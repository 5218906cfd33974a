#include "app/editors/lighting/EditLightingLayerViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/editors/lighting/BaseEditLightSheet.h"
#include "app/editors/lighting/EditLightingLayerSceneView.h"
#include "app/shell/AppResources.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"

namespace korvane {

namespace {
constexpr const char* kLightsKey = "lights";
}  // namespace

EditLightingLayerViewController::EditLightingLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                                 MyDocument* document, QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      sceneView_(new EditLightingLayerSceneView(scene(), static_cast<LightingLayer&>(*layer))) {
    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* title = new QLabel(QStringLiteral("Lights"));
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(title);
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("LightsList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(24, 24));
    column->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout;
    addButton_ = new QToolButton;
    addButton_->setObjectName(QStringLiteral("addLight"));
    addButton_->setText(QStringLiteral("Add Light"));
    addButton_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(addButton_);
    const std::pair<int, const char*> kinds[] = {{kAddDirectionalLightTag, "Directional Light"},
                                                 {kAddPointLightTag, "Point Light"}};
    for (const auto& [tag, text] : kinds) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setData(tag);
        connect(action, &QAction::triggered, this, [this, tag = tag] { addLight(tag); });
    }
    addButton_->setMenu(menu);
    removeButton_ = new QPushButton(QStringLiteral("Remove"));
    removeButton_->setObjectName(QStringLiteral("removeLight"));
    editButton_ = new QPushButton(QStringLiteral("Edit…"));
    editButton_->setObjectName(QStringLiteral("editLight"));
    buttons->addWidget(addButton_);
    buttons->addWidget(removeButton_);
    buttons->addWidget(editButton_);
    buttons->addStretch(1);
    column->addLayout(buttons);
    setPanes(sceneView_, side);

    connect(removeButton_, &QPushButton::clicked, this,
            &EditLightingLayerViewController::removeSelectedLight);
    connect(editButton_, &QPushButton::clicked, this, &EditLightingLayerViewController::editSelectedLight);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            &EditLightingLayerViewController::editSelectedLight);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            &EditLightingLayerViewController::validateButtons);
    connect(sceneView_, &EditLightingLayerSceneView::lightGrabbed, this,
            [this](int row) { list_->setCurrentRow(row); });
    reloadList();
    startObservingLights();
}

EditLightingLayerViewController::~EditLightingLayerViewController() {
    stopObservingLights();
    if (openSheet_) openSheet_->setDelegate(nullptr);
}

LightingLayer& EditLightingLayerViewController::lightingLayer() const {
    return static_cast<LightingLayer&>(*layer());
}

void EditLightingLayerViewController::startObservingLights() {
    if (lightsObservation_) return;
    lightsObservation_ = lightingLayer().addObserver(kLightsKey, [this](const KeyValueChange&) {
        reloadList();
        sceneView_->updateView();
    });
}

void EditLightingLayerViewController::stopObservingLights() {
    if (!lightsObservation_) return;
    lightingLayer().removeObserver(*lightsObservation_);
    lightsObservation_.reset();
}

void EditLightingLayerViewController::viewControllerWillShow() {
    // The list may have changed while the editor was hidden.
    reloadList();
    startObservingLights();
}

void EditLightingLayerViewController::viewControllerDidHide() {
    stopObservingLights();
}

void EditLightingLayerViewController::reloadList() {
    const std::shared_ptr<BaseLight> selected = selectedLight();
    const QSignalBlocker blocker(list_);
    list_->clear();
    int selectedRow = -1;
    for (const std::shared_ptr<BaseLight>& light : lightingLayer().lights()) {
        new QListWidgetItem(korvaneIcon(light->userIcon()), QString::fromStdString(light->userName()), list_);
        if (light == selected) selectedRow = list_->count() - 1;
    }
    if (selectedRow >= 0) list_->setCurrentRow(selectedRow);
    validateButtons();
}

std::shared_ptr<BaseLight> EditLightingLayerViewController::selectedLight() const {
    // One light is selected at most; it is the one the commands act on.
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return nullptr;
    const int row = list_->row(selected.back());
    const LightingLayer::LightList& lights = lightingLayer().lights();
    return row >= 0 && row < static_cast<int>(lights.size()) ? lights[row] : nullptr;
}

void EditLightingLayerViewController::validateButtons() {
    const std::shared_ptr<BaseLight> light = selectedLight();
    removeButton_->setEnabled(light && light->canBeDeleted());
    editButton_->setEnabled(light != nullptr);
}

void EditLightingLayerViewController::addLight(int tag) {
    std::shared_ptr<BaseLight> light;
    if (tag == kAddDirectionalLightTag) {
        light = std::make_shared<DirectionalLight>(&lightingLayer());
    } else if (tag == kAddPointLightTag) {
        light = std::make_shared<PointLight>(&lightingLayer());
    } else {
        return;
    }
    lightingLayer().addLight(light);
    reloadList();
    list_->setCurrentRow(list_->count() - 1);
}

void EditLightingLayerViewController::removeSelectedLight() {
    const std::shared_ptr<BaseLight> light = selectedLight();
    if (!light || !light->canBeDeleted()) return;
    lightingLayer().removeLight(light);
    reloadList();
}

BaseEditLightSheet* EditLightingLayerViewController::editSelectedLight() {
    const std::shared_ptr<BaseLight> light = selectedLight();
    if (!light) return nullptr;
    BaseEditLightSheet* sheet = openEditLightSheet(light, window());
    if (sheet) sheet->setDelegate(this);
    openSheet_ = sheet;
    return sheet;
}

void EditLightingLayerViewController::sheetWillClose(BaseSheet&) {
    reloadList();
    sceneView_->updateView();
}

}  // namespace korvane
