#pragma once

#include <QPushButton>

#include "app/views/BaseEditMapSceneView.h"
#include "editing/TerrainLayerEditing.h"

namespace korvane {

class TerrainLayer;

// The terrain editor's map: paints the heightmap, recolours only what a brush changed, and carries
// the terrain's whole-map commands in its bottom bar ("Fractal Terrain…", "Erode…", "Scene Size…",
// "Border & Smoothing…", "Load Image…", "Save Image…"). Main thread.
class EditTerrainLayerSceneView final : public BaseEditMapSceneView {
    Q_OBJECT
public:
    static constexpr int kBottomBarHeight = 30;

    // The layer must outlive the view.
    EditTerrainLayerSceneView(Scene& scene, TerrainLayer& layer, QWidget* parent = nullptr);

    bool needsToUpdateTerrainHeightmapLayerEachRedraw() const override { return true; }
    int bottomSpacingForOptionButtons() const override { return kBottomBarHeight; }

    void openFractalFilterSheet();
    void openErodeFilterSheet();
    void openSceneSizeSheet();
    void openBorderOptions();
    void loadImage();
    void saveImage();
    // The file halves of Load Image… and Save Image…, for the dialogs and the tests; false with a
    // reason naming the file when it fails.
    bool loadImageFromFile(const QString& path, QString* error);
    bool saveImageToFile(const QString& path, QString* error);

    QPushButton* bottomBarButton(const QString& title) const;

protected:
    // The heightmap is the picture itself: no map is drawn over it.
    void drawEditedMap(QPainter&) override {}

private:
    // The target is made before the painting view that refers to it.
    EditTerrainLayerSceneView(Scene& scene, TerrainLayer& layer, std::unique_ptr<TerrainLayerEditTarget> target,
                              QWidget* parent);

    TerrainLayer& layer_;
    std::unique_ptr<TerrainLayerEditTarget> target_;
};

}  // namespace korvane
