#pragma once

#include <memory>
#include <vector>

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

class QListWidget;
class QPushButton;

namespace korvane {

class BaseSheet;
class Cloud;
class CloudsLayer;
class EditCloudLayerSceneView;

// The editor of the clouds layer: the clouds on the map, to place and resize with the mouse, and at
// the side the list of clouds with add, duplicate, remove and the cloud sheet. The list and the map
// share one selection; the commands act on the cloud selected last. Main thread.
class EditCloudLayerViewController final : public BaseSplittedEditLayerViewController {
    Q_OBJECT
public:
    EditCloudLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                 QWidget* parent = nullptr);

    EditCloudLayerSceneView* sceneView() const { return sceneView_; }
    QListWidget* cloudsList() const { return list_; }

    // The selected clouds in list order, and the one selected last (null when none is).
    std::vector<std::shared_ptr<Cloud>> selectedClouds() const;
    std::shared_ptr<Cloud> lastSelectedCloud() const;
    // Makes the cloud the selection, or adds it to the selection; null clears it (unless extending).
    void selectCloud(const std::shared_ptr<Cloud>& cloud, bool extendSelection = false);

    // A new default cloud, selected.
    void addCloud();
    // A copy of the cloud selected last (with its own noise texture), added and selected.
    void duplicateCloud();
    // Removes the cloud selected last.
    void removeCloud();
    // Opens "Edit Cloud" on the cloud selected last; returns the sheet (null when none is selected).
    BaseSheet* editCloud();

private:
    CloudsLayer& cloudsLayer() const;
    // Rebuilds the list when the layer's clouds changed, keeping the selection of the clouds that stay.
    void reloadList();
    void selectionChanged();

    EditCloudLayerSceneView* sceneView_;
    QListWidget* list_;
    QPushButton* duplicateButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    // The clouds the list shows, row by row.
    std::vector<std::shared_ptr<Cloud>> listedClouds_;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
