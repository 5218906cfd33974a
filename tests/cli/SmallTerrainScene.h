#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "scene/Scene.h"
#include "scene/SceneFile.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

// Writes a small scene for render tests to `path`: a 2 × 2 terrain with a hill in the middle, the
// camera looking across it towards the horizon, the sun and a sky. `configure` may change the scene
// before it is saved.
inline void writeSmallTerrainScene(const std::string& path, const std::function<void(Scene&)>& configure = {},
                                   bool withCamera = true) {
    auto scene = std::make_shared<Scene>();
    scene->setSize({2.0, 2.0});
    scene->setMaxTerrainHeight(0.5f);
    auto terrain = std::make_shared<TerrainLayer>(scene.get());
    Bitmap* heightmap = terrain->heightmapImageRep();
    for (int y = 0; y < heightmap->height(); ++y) {
        for (int x = 0; x < heightmap->width(); ++x) {
            const double dx = x / double(heightmap->width()) - 0.5,
                         dy = y / double(heightmap->height()) - 0.5;
            heightmap->setGray16(x, y, uint16_t(65535 * std::exp(-12 * (dx * dx + dy * dy))));
        }
    }
    scene->addLayer(terrain);
    scene->addLayer(std::make_shared<LightingLayer>(scene.get()));
    scene->addLayer(std::make_shared<SkyLayer>(scene.get()));
    if (withCamera) {
        auto camera = std::make_shared<CameraLayer>(scene.get());
        camera->setFromPoint({0.1, 0.1});
        camera->setFromPointHeight(0.3f);
        camera->setToPoint({1.0, 1.0});
        camera->setToPointHeight(0.1f);
        scene->addLayer(camera);
    }
    if (configure) configure(*scene);
    std::string error;
    EXPECT_TRUE(writeSceneFile(*scene, path, &error)) << error;
}

}  // namespace korvane
