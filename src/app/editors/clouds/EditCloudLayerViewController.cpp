#include "app/editors/clouds/EditCloudLayerViewController.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/editors/clouds/EditCloudLayerSceneView.h"
#include "app/editors/clouds/EditCloudSheet.h"
#include "app/shell/AppResources.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/clouds/Cloud.h"
#include "scene/layers/clouds/CloudsLayer.h"

namespace korvane {

EditCloudLayerViewController::EditCloudLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                           MyDocument* document, QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      sceneView_(new EditCloudLayerSceneView(scene(), static_cast<CloudsLayer&>(*layer))),
      list_(new QListWidget) {
    sceneView_->setClickHandler(
        [this](const std::shared_ptr<Cloud>& cloud, bool extend) { selectCloud(cloud, extend); });
    sceneView_->setOpenHandler([this](const std::shared_ptr<Cloud>& cloud) {
        selectCloud(cloud);
        editCloud();
    });

    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* title = new QLabel(QStringLiteral("Clouds"));
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(title);
    list_->setObjectName(QStringLiteral("CloudsList"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(24, 24));
    column->addWidget(list_, 1);
    auto* add = new QPushButton(korvaneIcon("AddMeshToolbarIcon"), QStringLiteral("New Cloud"));
    add->setObjectName(QStringLiteral("NewCloud"));
    duplicateButton_ = new QPushButton(QStringLiteral("Duplicate"));
    duplicateButton_->setObjectName(QStringLiteral("DuplicateCloud"));
    removeButton_ = new QPushButton(QStringLiteral("Remove"));
    removeButton_->setObjectName(QStringLiteral("RemoveCloud"));
    editButton_ = new QPushButton(QStringLiteral("Edit Cloud…"));
    editButton_->setObjectName(QStringLiteral("EditCloud"));
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(add);
    listButtons->addWidget(duplicateButton_);
    column->addLayout(listButtons);
    auto* cloudButtons = new QHBoxLayout;
    cloudButtons->addWidget(removeButton_);
    cloudButtons->addWidget(editButton_);
    column->addLayout(cloudButtons);
    auto* hint = new QLabel(QStringLiteral("Drag a cloud to move it, its corners to resize it."));
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: palette(mid);"));
    column->addWidget(hint);

    connect(add, &QPushButton::clicked, this, &EditCloudLayerViewController::addCloud);
    connect(duplicateButton_, &QPushButton::clicked, this, &EditCloudLayerViewController::duplicateCloud);
    connect(removeButton_, &QPushButton::clicked, this, &EditCloudLayerViewController::removeCloud);
    connect(editButton_, &QPushButton::clicked, this, &EditCloudLayerViewController::editCloud);
    connect(list_, &QListWidget::itemSelectionChanged, this, &EditCloudLayerViewController::selectionChanged);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { editCloud(); });
    setPanes(sceneView_, side);

    sceneDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                              &scene(), [this](const Notification&) { reloadList(); });
    reloadList();
    selectionChanged();
}

CloudsLayer& EditCloudLayerViewController::cloudsLayer() const { return static_cast<CloudsLayer&>(*layer()); }

void EditCloudLayerViewController::reloadList() {
    const auto& clouds = cloudsLayer().clouds();
    if (clouds == listedClouds_) return;
    const std::vector<std::shared_ptr<Cloud>> selected = selectedClouds();
    const std::shared_ptr<Cloud> current = lastSelectedCloud();
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        listedClouds_ = clouds;
        for (const auto& cloud : listedClouds_) {
            new QListWidgetItem(korvaneIcon(cloud->icon()), QString::fromStdString(cloud->name()), list_);
        }
        for (int row = 0; row < static_cast<int>(listedClouds_.size()); ++row) {
            const auto& cloud = listedClouds_[row];
            if (cloud == current) list_->setCurrentRow(row, QItemSelectionModel::Select);
            else if (std::find(selected.begin(), selected.end(), cloud) != selected.end()) list_->item(row)->setSelected(true);
        }
    }
    selectionChanged();
}

std::vector<std::shared_ptr<Cloud>> EditCloudLayerViewController::selectedClouds() const {
    std::vector<std::shared_ptr<Cloud>> selected;
    for (int row = 0; row < list_->count() && row < static_cast<int>(listedClouds_.size()); ++row) {
        if (list_->item(row)->isSelected()) selected.push_back(listedClouds_[row]);
    }
    return selected;
}

std::shared_ptr<Cloud> EditCloudLayerViewController::lastSelectedCloud() const {
    // The list's current row is the row clicked last; it counts only while it is selected.
    const int row = list_->currentRow();
    if (row >= 0 && row < static_cast<int>(listedClouds_.size()) && list_->item(row)->isSelected()) {
        return listedClouds_[row];
    }
    const auto selected = selectedClouds();
    return selected.empty() ? nullptr : selected.back();
}

void EditCloudLayerViewController::selectCloud(const std::shared_ptr<Cloud>& cloud, bool extendSelection) {
    const auto found = std::find(listedClouds_.begin(), listedClouds_.end(), cloud);
    if (!cloud || found == listedClouds_.end()) {
        if (!extendSelection) list_->clearSelection();
        return;
    }
    const int row = static_cast<int>(found - listedClouds_.begin());
    list_->setCurrentRow(row, extendSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
}

void EditCloudLayerViewController::selectionChanged() {
    const bool hasSelection = lastSelectedCloud() != nullptr;
    duplicateButton_->setEnabled(hasSelection);
    removeButton_->setEnabled(hasSelection);
    editButton_->setEnabled(hasSelection);
    sceneView_->setSelectedClouds(selectedClouds());
}

void EditCloudLayerViewController::addCloud() {
    const std::shared_ptr<Cloud> cloud = cloudsLayer().addNewCloud();
    reloadList();
    selectCloud(cloud);
}

void EditCloudLayerViewController::duplicateCloud() {
    const std::shared_ptr<Cloud> original = lastSelectedCloud();
    if (!original) return;
    const std::shared_ptr<Cloud> copy = original->copy();
    cloudsLayer().addCloud(copy);
    reloadList();
    selectCloud(copy);
}

void EditCloudLayerViewController::removeCloud() {
    const std::shared_ptr<Cloud> cloud = lastSelectedCloud();
    if (!cloud) return;
    cloudsLayer().removeCloud(cloud);
    reloadList();
}

BaseSheet* EditCloudLayerViewController::editCloud() {
    const std::shared_ptr<Cloud> cloud = lastSelectedCloud();
    if (!cloud) return nullptr;
    return openCloudSheet(cloud, scene(), window());
}

}  // namespace korvane
