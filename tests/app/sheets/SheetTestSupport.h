#pragma once

#include <cmath>
#include <memory>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QWidget>

#include "editing/EditMapSceneController.h"
#include "editing/MapSamples.h"
#include "editing/TerrainLayerEditing.h"
#include "foundation/UndoManager.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::test {

// A small scene (2 × 2 units, a 204 × 204 heightmap) whose terrain is a hill on a raised floor, with
// an undo manager grouping by event as in the application, and a shown window for the sheets.
class SheetTest : public testing::Test {
protected:
    void SetUp() override {
        undo = std::make_shared<UndoManager>();
        scene.setUndoManager(undo);
        scene.setSize({2.0, 2.0});
        terrain = std::make_shared<TerrainLayer>(&scene);
        scene.addLayer(terrain);
        Bitmap& map = heightmap();
        const double cx = map.width() / 2.0, cy = map.height() / 2.0, spread = map.width() / 4.0;
        for (int y = 0; y < map.height(); ++y) {
            for (int x = 0; x < map.width(); ++x) {
                const double r2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (spread * spread);
                writeFractionTruncated(map, x, y, static_cast<float>(0.1 + 0.85 * std::exp(-r2)));
            }
        }
        target = std::make_unique<TerrainLayerEditTarget>(*terrain);
        delegate = std::make_unique<EditMapFilterDelegate>(*target);
        window.resize(640, 480);
        window.show();
        QCoreApplication::processEvents();
        undo->removeAllActions();
    }

    Bitmap& heightmap() { return *terrain->heightmapImageRep(); }

    // Lets the event loop run a turn, as between two user actions (the undo manager closes its group).
    static void nextEvent() { QCoreApplication::processEvents(); }

    Scene scene;
    std::shared_ptr<UndoManager> undo;
    std::shared_ptr<TerrainLayer> terrain;
    std::unique_ptr<TerrainLayerEditTarget> target;
    std::unique_ptr<EditMapFilterDelegate> delegate;
    QWidget window;
};

}  // namespace korvane::test
