#include "scene/layers/smallobjects/SmallRock.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "foundation/Random.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/smallobjects/SmallObjectMaterials.h"

namespace korvane {

namespace {

// The base ring of a rock reaches this far below the ground, so that no gap shows on slopes.
constexpr float kSkirtDepth = 0.1f;
// Rock normals are averaged over faces within this angle.
constexpr double kRockSmoothingAngle = 30.0;
// Radial jitter of ring points: a factor between 1 − kJitter and 1 + kJitter.
constexpr float kJitter = 0.35f;

RockMaterialRecipe marble(double r1, double g1, double b1, double r2, double g2, double b2) {
    return {true, Color::calibratedRGB(r1, g1, b1, 1), Color::calibratedRGB(r2, g2, b2, 1), 0.0f};
}

const RockMaterialRecipe kGrayMarble = marble(0.8, 0.8, 0.8, 0.4, 0.4, 0.4);
const RockMaterialRecipe kWhiteMarble = marble(1, 1, 1, 0.6, 0.6, 0.6);
const RockMaterialRecipe kBlackMarble = marble(0.5, 0.5, 0.5, 0.1, 0.1, 0.1);
const RockMaterialRecipe kRedMarble = marble(0.7, 0.5, 0.4, 0.5, 0.4, 0.3);
const RockMaterialRecipe kDarkRedMarble = marble(0.5, 0.2, 0.1, 0.2, 0.1, 0);
const RockMaterialRecipe kSandMarble = marble(0.8, 0.75, 0.5, 0.6, 0.55, 0.2);
const RockMaterialRecipe kClearWhite{false, Color::calibratedRGB(1, 1, 1, 1), Color{}, 0.8f};

// The three shapes: the standard dome, a flat wide one and a small one.
SmallRockTraits standard(const char* className, const char* name, std::optional<RockMaterialRecipe> material) {
    return {className, name, std::move(material), 0.0075f, 0.11f, 0.0075f, 10, 6};
}
SmallRockTraits flat(const char* className, const char* name, RockMaterialRecipe material) {
    return {className, name, std::move(material), 0.015f, 0.2f, 0.0035f, 6, 3};
}
SmallRockTraits small(const char* className, const char* name, RockMaterialRecipe material) {
    return {className, name, std::move(material), 0.0035f, 0.04f, 0.003f, 4, 3};
}

// A ring point's radial jitter from one draw of the generator, between 0.65 and 1.35.
float jitter(int q) { return ((q % 2000) / -1000.0f + 1.0f) * kJitter + 1.0f; }

}  // namespace

SmallRock::SmallRock() : SmallRock(standard("SmallRock", "", std::nullopt)) {}
GraySmallRock::GraySmallRock() : SmallRock(standard("GraySmallRock", "Gray Rocks", kGrayMarble)) {}
FlatGraySmallRock::FlatGraySmallRock()
    : GraySmallRock(flat("FlatGraySmallRock", "Flat Gray Rocks", kGrayMarble)) {}
SmallGraySmallRock::SmallGraySmallRock()
    : GraySmallRock(small("SmallGraySmallRock", "Small Gray Rocks", kGrayMarble)) {}
WhiteSmallRock::WhiteSmallRock() : SmallRock(standard("WhiteSmallRock", "White Rocks", kWhiteMarble)) {}
BlackSmallRock::BlackSmallRock() : SmallRock(standard("BlackSmallRock", "Black Rocks", kBlackMarble)) {}
FlatBlackSmallRock::FlatBlackSmallRock()
    : BlackSmallRock(flat("FlatBlackSmallRock", "Flat Black Rocks", kBlackMarble)) {}
SmallBlackSmallRock::SmallBlackSmallRock()
    : BlackSmallRock(small("SmallBlackSmallRock", "Small Black Rocks", kBlackMarble)) {}
RedSmallRock::RedSmallRock() : SmallRock(standard("RedSmallRock", "Red Rocks", kRedMarble)) {}
FlatRedSmallRock::FlatRedSmallRock() : RedSmallRock(flat("FlatRedSmallRock", "Flat Red Rocks", kRedMarble)) {}
SmallRedSmallRock::SmallRedSmallRock()
    : RedSmallRock(small("SmallRedSmallRock", "Small Red Rocks", kRedMarble)) {}
DarkRedSmallRock::DarkRedSmallRock()
    : SmallRock(standard("DarkRedSmallRock", "Dark Red Rocks", kDarkRedMarble)) {}
SandSmallRock::SandSmallRock() : SmallRock(standard("SandSmallRock", "Sand Rocks", kSandMarble)) {}
DiamondSmallRock::DiamondSmallRock() : SmallRock(standard("DiamondSmallRock", "Diamonds", kClearWhite)) {}

void SmallRock::prepareForRenderer(BaseRenderer& renderer) {
    if (!smallObjectInterface(renderer)) return;
    if (std::shared_ptr<DiffuseMaterial> rockMaterial = material()) yMaterial_ = rockMaterial->appendToRenderer(renderer);
}

void SmallRock::beginPlacingSmallObjects(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi) return;
    unsigned int meshId = 0;
    meshOpen_ = yi->startTriMesh(meshId, 0, 0, false, true, 0);
}

void SmallRock::endPlacingSmallObjects(BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    camera_.reset();
    cameraScene_ = nullptr;
    if (!yi || !meshOpen_) return;
    meshOpen_ = false;
    yi->endTriMesh();
    yi->smoothMesh(0, kRockSmoothingAngle);
}

void SmallRock::placeSmallObject(int count, const Rect& cell, float, const Scene& scene, BaseRenderer& renderer) {
    yafaray::yafrayInterface_t* yi = smallObjectInterface(renderer);
    if (!yi) return;
    if (!camera_ || cameraScene_ != &scene) {
        camera_ = std::make_unique<SmallObjectsCamera>(scene);
        cameraScene_ = &scene;
    }
    const float sceneHeight = static_cast<float>(scene.size().height);
    const float bw = traits_.baseSize;
    const float bh = traits_.baseSize;
    const int mode = renderer.detailsMode();
    constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

    std::vector<int> previousVertices, previousUVs, currentVertices, currentUVs;
    std::vector<float> groundHeights, cosines, sines;
    for (int rock = 0; rock < count; ++rock) {
        const int q1 = randomInt();
        const int q2 = randomInt();
        const float uOffset = (q1 % 500) / 100.0f;
        const float vOffset = (q2 % 500) / 100.0f;
        const int q3 = randomInt();
        const int q4 = randomInt();
        const float px = static_cast<float>(cell.origin.x + (q3 % 10000) / 10000.0 * cell.size.width);
        const float py = static_cast<float>(cell.origin.y + (q4 % 10000) / 10000.0 * cell.size.height);
        const float centreHeight = scene.highestTerrainElevationAtScenePoint({px, py}, false);

        // Fewer vertices far from the eye, and fewer still in the preview modes.
        float detail = camera_->distanceFromPointInScene(px, sceneHeight - py);
        if (mode == 2) detail *= 0.5f;
        if (mode == 1) detail /= 5.0f;
        // The camera's weight lies in 0…1; anything else would ask for absurd vertex counts.
        if (!(detail >= 0.0f)) detail = 0.0f;
        if (detail > 1.0f) detail = 1.0f;
        const int ringSize = static_cast<int>(traits_.maxXYVertices * detail + 3);
        const int levels = static_cast<int>(detail * traits_.maxZVertices + 1);

        previousVertices.assign(ringSize, 0);
        previousUVs.assign(ringSize, 0);
        groundHeights.assign(ringSize, 0.0f);
        // Every level of the rock turns through the same angles.
        cosines.resize(ringSize);
        sines.resize(ringSize);
        for (int k = 0; k < ringSize; ++k) {
            const float theta = kTwoPi * (static_cast<float>(k) / ringSize);
            cosines[k] = std::cos(theta);
            sines[k] = std::sin(theta);
        }
        for (int k = 0; k < ringSize; ++k) {
            const float t = static_cast<float>(k) / ringSize;
            const float rho = jitter(randomInt());
            const float x = px + cosines[k] * bw * rho;
            const float y = py + sines[k] * bh * rho;
            groundHeights[k] = scene.highestTerrainElevationAtScenePoint({x, y}, false);
            previousVertices[k] = yi->addVertex(x, y, groundHeights[k] - kSkirtDepth);
            previousUVs[k] = yi->addUV(t / 80 + uOffset, rho / 200 + 0.01f + vOffset - 0.25f);
        }
        currentVertices.assign(ringSize, 0);
        currentUVs.assign(ringSize, 0);
        for (int j = 1; j <= levels; ++j) {
            const float rise = static_cast<float>(j) / levels;
            // The ring shrinks to a point at the top level.
            const float w = 1.0f - rise * rise * rise;
            const float lift = static_cast<float>(j) / (levels + 1) * traits_.height;
            for (int k = 0; k < ringSize; ++k) {
                const float t = static_cast<float>(k) / ringSize;
                const float rho = jitter(randomInt());
                currentVertices[k] = yi->addVertex(px + cosines[k] * bw * w * rho, py + sines[k] * bh * w * rho,
                                                   groundHeights[k] * w + (1 - w) * centreHeight + lift);
                currentUVs[k] = yi->addUV(t / 80 + uOffset, rho / 200 + w / 100 + vOffset);
            }
            for (int k = 0; k < ringSize; ++k) {
                const int next = (k + 1) % ringSize;
                yi->addTriangle(previousVertices[k], previousVertices[next], currentVertices[k], previousUVs[k],
                                previousUVs[next], currentUVs[k], yMaterial_);
                yi->addTriangle(previousVertices[next], currentVertices[next], currentVertices[k],
                                previousUVs[next], currentUVs[next], currentUVs[k], yMaterial_);
            }
            std::swap(previousVertices, currentVertices);
            std::swap(previousUVs, currentUVs);
        }
    }
}

std::shared_ptr<DiffuseMaterial> SmallRock::material() const {
    return traits_.material ? rockMaterial(*traits_.material) : nullptr;
}

Bitmap SmallRock::iconImage() const {
    std::shared_ptr<DiffuseMaterial> rockMaterial = material();
    return rockMaterial ? rockMaterial->icon() : Bitmap{};
}

Point SmallRock::randomPointForPoint(Point p, float range) {
    const int qx = randomInt();
    const int qy = randomInt();
    return {p.x + (1.0 - (qx % 1000) / 500.0) * range, p.y + (1.0 - (qy % 1000) / 500.0) * range};
}

}  // namespace korvane
