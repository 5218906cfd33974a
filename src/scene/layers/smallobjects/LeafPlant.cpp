#include "scene/layers/smallobjects/LeafPlant.h"

#include <algorithm>
#include <cmath>

#include "foundation/Random.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/smallobjects/SmallObjectMaterials.h"

namespace korvane {

namespace {

constexpr float kLeafHalfSide = 0.01f;
constexpr float kLeafTranslucency = 0.5f;
// A leaf lies flat only where its four corners are this level (against their highest one).
constexpr float kLevelTolerance = 0.003f;
// Each leaf floats a little above the ground, by a random amount up to kLiftRange beyond kMinimumLift,
// so that overlapping leaves do not fight for the same depth.
constexpr float kLiftRange = 0.001f;
constexpr float kMinimumLift = 0.000175f;
constexpr int kAttemptsPerLeaf = 25;

}  // namespace

void LeafPlant::prepareForRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi) return;
    // As for grass: the image textures must not inherit the previous layer's parameters.
    yi->paramsClearAll();
    yLeafMaterial_ = plantMaterial("Leaf1.png", "Leaf1Alpha.png", kLeafTranslucency)->appendToRenderer(renderer);
}

void LeafPlant::placeSmallObject(int count, const Rect& cell, float, const Scene& scene, BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi || count <= 0) return;

    unsigned int meshId = 0;
    yi->startTriMesh(meshId, 0, 0, false, true, 0);
    int placed = 0;
    const int attemptsAllowed = kAttemptsPerLeaf * count;
    for (int attempt = 0; attempt < attemptsAllowed && placed < count; ++attempt) {
        const int q1 = randomInt();
        const int q2 = randomInt();
        const double cx = cell.origin.x + (q1 % 10000) / 10000.0 * cell.size.width;
        const double cy = cell.origin.y + (q2 % 10000) / 10000.0 * cell.size.height;
        const int q3 = randomInt();
        const float lift = static_cast<float>((q3 % 1000) / 1000.0 * kLiftRange + kMinimumLift);
        const double x0 = cx - kLeafHalfSide, x1 = cx + kLeafHalfSide;
        const double y0 = cy - kLeafHalfSide, y1 = cy + kLeafHalfSide;
        // Leaves float on water: the surface counts.
        const float zA = scene.highestTerrainElevationAtScenePoint({x0, y0}, true) + lift;
        const float zB = scene.highestTerrainElevationAtScenePoint({x1, y0}, true) + lift;
        const float zC = scene.highestTerrainElevationAtScenePoint({x1, y1}, true) + lift;
        const float zD = scene.highestTerrainElevationAtScenePoint({x0, y1}, true) + lift;
        const float highest = std::max({zA, zB, zC, zD});
        if (!(std::fabs(highest - (zA + zB + zC + zD) / 4) < kLevelTolerance)) continue;
        const int k0 = yi->addVertex(x0, y0, highest);
        const int k1 = yi->addVertex(x1, y0, highest);
        const int k2 = yi->addVertex(x1, y1, highest);
        const int k3 = yi->addVertex(x0, y1, highest);
        const int uv0 = yi->addUV(0, 0);
        const int uv1 = yi->addUV(1, 0);
        const int uv2 = yi->addUV(1, 1);
        const int uv3 = yi->addUV(0, 1);
        yi->addTriangle(k0, k1, k2, uv0, uv1, uv2, yLeafMaterial_);
        yi->addTriangle(k0, k2, k3, uv0, uv2, uv3, yLeafMaterial_);
        ++placed;
    }
    yi->endTriMesh();
}

Point LeafPlant::randomPointForPoint(Point p, float range) {
    const int qx = randomInt();
    const int qy = randomInt();
    return {p.x + (1.0 - (qx % 1000) / 500.0) * range, p.y + (1.0 - (qy % 1000) / 500.0) * range};
}

}  // namespace korvane
