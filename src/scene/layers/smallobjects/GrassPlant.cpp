#include "scene/layers/smallobjects/GrassPlant.h"

#include <cmath>
#include <numbers>

#include "foundation/Random.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/smallobjects/SmallObjectMaterials.h"

namespace korvane {

namespace {

constexpr Size kGrassSize{0.02, 0.02};
constexpr Size kBladeSize{0.015, 0.025};
// Blades whose two base ends differ by this much in height stand on a cliff and are not placed.
constexpr float kCliffHeight = 0.5f;
// Blades are sunk this far so that their base never floats above the terrain.
constexpr float kBaseSink = 0.001f;
// The top of a blade leans this far (in 1/200 of a unit per axis) towards its facing direction.
constexpr float kLeanDivisor = 200.0f;
constexpr int kAttemptsPerBlade = 50;

constexpr GrassPlantTraits kGrassPlant{"GrassPlant", "", "", "", kGrassSize, kBladeSize};

}  // namespace

GrassPlant::GrassPlant() : GrassPlant(kGrassPlant) {}

GreenGrassPlant::GreenGrassPlant()
    : GrassPlant({"GreenGrassPlant", "Green Grass", "GreenGrass.png", "GreenGrassAlpha.png", kGrassSize, kBladeSize}) {}
GreenGrassPlant2::GreenGrassPlant2()
    : GrassPlant({"GreenGrassPlant2", "Green Grass 2", "GreenGrass2.png", "GreenGrass2Alpha.png", kGrassSize,
                  kBladeSize}) {}
GreenGrassPlant3::GreenGrassPlant3()
    : GrassPlant({"GreenGrassPlant3", "Green Grass 3", "GreenGrass3.png", "GreenGrass3Alpha.png", kGrassSize,
                  kBladeSize}) {}
YellowGrassPlant::YellowGrassPlant()
    : GrassPlant({"YellowGrassPlant", "Yellow Grass", "YellowGrass.png", "YellowGrassAlpha.png", kGrassSize,
                  kBladeSize}) {}
IcyGrassPlant::IcyGrassPlant()
    : GrassPlant({"IcyGrassPlant", "Icy Grass", "IcyGrass.png", "IcyGrassAlpha.png", kGrassSize, kBladeSize}) {}
DesertGrassPlant::DesertGrassPlant()
    : GrassPlant({"DesertGrassPlant", "Desert Grass", "DesertGrass.png", "DesertGrassAlpha.png", kGrassSize,
                  kBladeSize}) {}
DesertGrassPlant2::DesertGrassPlant2()
    : GrassPlant({"DesertGrassPlant2", "Desert Grass 2", "DesertGrass2.png", "DesertGrass2Alpha.png", kGrassSize,
                  kBladeSize}) {}
DaisyGrassPlant::DaisyGrassPlant()
    : GrassPlant({"DaisyGrassPlant", "Daisies & Grass", "DaisyGrass.png", "DaisyGrassAlpha.png", kGrassSize,
                  kBladeSize}) {}
SmallWheatPlant::SmallWheatPlant()
    : GrassPlant({"SmallWheatPlant", "Small Wheat", "Wheat.png", "WheatAlpha.png", {0.01, 0.01}, {0.0015, 0.025}}) {}
LargeWheatPlant::LargeWheatPlant()
    : GrassPlant({"LargeWheatPlant", "Large Wheat", "Wheat.png", "WheatAlpha.png", {0.03, 0.03}, {0.003, 0.05}}) {}

void GrassPlant::prepareForRenderer(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi) return;
    // Image textures are sent on top of whatever the parameter map holds; start it empty so that the
    // layer appended before leaves nothing behind in them.
    yi->paramsClearAll();
    yMaterial_ = plantMaterial(traits_.diffuseTextureFileName, traits_.transparencyTextureFileName, 0.0f)
                     ->appendToRenderer(renderer);
}

void GrassPlant::placeSmallObject(int count, const Rect& cell, float strength, const Scene& scene,
                                  BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi || count <= 0) return;

    const float scale = strength * 0.9f + 0.1f;
    const float halfWidth = static_cast<float>(traits_.basePlantSize.width) * scale;
    const float bladeHeight = static_cast<float>(traits_.basePlantSize.height) * scale;

    unsigned int meshId = 0;
    yi->startTriMesh(meshId, 0, 0, false, true, 0);
    int placed = 0;
    const int attemptsAllowed = kAttemptsPerBlade * count;
    for (int attempt = 0; attempt < attemptsAllowed && placed < count; ++attempt) {
        const int q1 = randomInt();
        const int q2 = randomInt();
        const int q3 = randomInt();
        const double px = cell.origin.x + (q2 % 10000) / 10000.0 * cell.size.width;
        const double py = cell.origin.y + (q3 % 10000) / 10000.0 * cell.size.height;
        const float theta = static_cast<float>((q1 % 1000) / 1000.0 * 2.0 * std::numbers::pi);
        const float c = std::cos(theta);
        const float s = std::sin(theta);
        const Point p1{px - halfWidth * c, py - halfWidth * s};
        const Point p2{px + halfWidth * c, py + halfWidth * s};
        bool water1 = false;
        bool water2 = false;
        const float z1 = scene.highestTerrainElevationAtScenePoint(p1, false, &water1) - kBaseSink;
        const float z2 = scene.highestTerrainElevationAtScenePoint(p2, false, &water2) - kBaseSink;
        // A blade on a cliff is retried; one on water is left out but counts towards the cell.
        if (!(std::fabs(z1 - z2) < kCliffHeight)) continue;
        if (!water1 && !water2) {
            const double leanX = s / kLeanDivisor;
            const double leanY = c / kLeanDivisor;
            const int k0 = yi->addVertex(p1.x, p1.y, z1);
            const int k1 = yi->addVertex(p2.x, p2.y, z2);
            const int k2 = yi->addVertex(p2.x + leanX, p2.y + leanY, z2 + bladeHeight);
            const int k3 = yi->addVertex(p1.x + leanX, p1.y + leanY, z1 + bladeHeight);
            const int uv0 = yi->addUV(0, 0);
            const int uv1 = yi->addUV(1, 0);
            const int uv2 = yi->addUV(1, 1);
            const int uv3 = yi->addUV(0, 1);
            yi->addTriangle(k0, k1, k2, uv0, uv1, uv2, yMaterial_);
            yi->addTriangle(k2, k3, k0, uv2, uv3, uv0, yMaterial_);
        }
        ++placed;
    }
    yi->endTriMesh();
}

}  // namespace korvane
