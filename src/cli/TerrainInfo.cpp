#include "cli/TerrainInfo.h"

#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane::cli {

namespace {

void writePoint(JsonWriter& w, const char* key, Point point) {
    w.key(key);
    w.beginArray();
    w.value(point.x);
    w.value(point.y);
    w.endArray();
}

void writeTerrain(JsonWriter& w, const TerrainLayer& terrain) {
    const Bitmap* heightmap = terrain.heightmapImageRep();
    w.key("heightmapSize");
    w.beginArray();
    w.value(heightmap ? heightmap->width() : 0);
    w.value(heightmap ? heightmap->height() : 0);
    w.endArray();
    w.key("borderMode");
    w.value(static_cast<int>(terrain.borderMode()));
    w.key("smoothingFactor");
    w.value(terrain.smoothingFactor());
    const TerrainLayer::HeightStatistics heights = terrain.heightStatistics();
    w.key("minHeight");
    w.value(heights.minimum);
    w.key("maxHeight");
    w.value(heights.maximum);
    w.key("meanHeight");
    w.value(heights.mean);
}

void writeCamera(JsonWriter& w, const CameraLayer& camera) {
    w.key("cameraType");
    w.value(camera.cameraType());
    writePoint(w, "fromPoint", camera.fromPoint());
    w.key("fromPointHeight");
    w.value(camera.fromPointHeight());
    writePoint(w, "toPoint", camera.toPoint());
    w.key("toPointHeight");
    w.value(camera.toPointHeight());
    w.key("focal");
    w.value(camera.focal());
    w.key("angle");
    w.value(camera.angle());
    w.key("maxAngle");
    w.value(camera.maxAngle());
    w.key("scale");
    w.value(camera.scale());
}

}  // namespace

void writeTerrainAndCameraInfo(const BaseSceneLayer& layer, JsonWriter& w) {
    if (const auto* terrain = dynamic_cast<const TerrainLayer*>(&layer)) writeTerrain(w, *terrain);
    if (const auto* camera = dynamic_cast<const CameraLayer*>(&layer)) writeCamera(w, *camera);
}

}  // namespace korvane::cli
