#pragma once

#include <memory>
#include <vector>

#include <QListWidget>

namespace korvane {

class BaseSceneLayer;

// The editor's list of the scene's layers ("functions"), sorted by orderForFunctionsList, each row
// with the layer's icon and name on a background of its own drawing. Several rows may be selected.
// Main thread.
class EditViewFunctionsList : public QListWidget {
    Q_OBJECT
public:
    explicit EditViewFunctionsList(QWidget* parent = nullptr);

    // Shows these layers in list order, keeping the selection of layers that remain.
    void setLayers(const std::vector<std::shared_ptr<BaseSceneLayer>>& layers);
    const std::vector<std::shared_ptr<BaseSceneLayer>>& layers() const { return layers_; }
    // The layer of a row.
    std::shared_ptr<BaseSceneLayer> layerAt(int row) const;
    // The selected layers in list order, and the one selected last (the current row when it is
    // selected), or null.
    std::vector<std::shared_ptr<BaseSceneLayer>> selectedLayers() const;
    std::shared_ptr<BaseSceneLayer> lastSelectedLayer() const;
    // Selects only this layer (nothing when it is not listed).
    void selectLayer(const BaseSceneLayer* layer);

private:
    std::vector<std::shared_ptr<BaseSceneLayer>> layers_;
};

}  // namespace korvane
