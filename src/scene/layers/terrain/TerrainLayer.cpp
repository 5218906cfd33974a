#include "scene/layers/terrain/TerrainLayer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>

#include "foundation/ImageCodecs.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "raytracer/interface.h"
#include "scene/BaseRenderer.h"
#include "scene/CheckedValue.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/layers/terrain/HeightmapSampler.h"
#include "scene/layers/terrain/TerrainLayerQuadTreeNode.h"
#include "scene/layers/terrain/TerrainMaterialSource.h"

namespace korvane {

namespace {

constexpr const char* kHeightmapKey = "pngHeightmapData";
constexpr const char* kBorderModeKey = "borderMode";
constexpr const char* kSmoothingFactorKey = "smoothingFactor";
constexpr ValueRange kSmoothingFactorRange{0, 180};  // an angle in degrees

// A damaged heightmap whose size cannot be read is replaced by a flat map of a 10 × 10 scene.
constexpr int kFlatMapSide = 1024;
// The ground skirt lies just below the lowest terrain.
constexpr double kSkirtHeight = -1.0;
// Detail of the triangulation for each renderer detail mode.
constexpr int kDetailForSmallPreviews = 0;
constexpr int kDetailForPreviewRenders = 50;
constexpr int kDetailForFullRenders = 100;

void logLine(const char* line) {
    std::cout << line << std::endl;
}

std::unique_ptr<Bitmap> blankHeightmap(Size sceneSize) {
    const HeightmapPixelSize pixels = heightmapPixelSizeForSceneSize(sceneSize);
    if (pixels.width == 0 || pixels.height == 0) return nullptr;
    return std::make_unique<Bitmap>(pixels.width, pixels.height, PixelFormat::Gray16);
}

// Up to two source pixels (with their weights) that cover each target pixel along one axis when an
// old map is placed unscaled at an offset, in drawing coordinates (origin at the first column and
// the last row). A half-pixel offset blends neighbours.
struct Tap {
    int index = -1;
    float weight = 0;
};
std::vector<std::array<Tap, 2>> placementTaps(int newCount, int oldCount) {
    const double offset = newCount > oldCount ? (newCount - oldCount) / 2.0 : 0.0;
    const int whole = static_cast<int>(std::floor(offset));
    const bool half = offset != whole;
    std::vector<std::array<Tap, 2>> taps(static_cast<size_t>(newCount));
    auto tap = [oldCount](int index, float weight) {
        return index >= 0 && index < oldCount ? Tap{index, weight} : Tap{};
    };
    for (int n = 0; n < newCount; ++n) {
        if (half) {
            taps[n] = {tap(n - whole - 1, 0.5f), tap(n - whole, 0.5f)};
        } else {
            taps[n] = {tap(n - whole, 1.0f), Tap{}};
        }
    }
    return taps;
}

// Copies `from` into `to` without scaling, placed as the re-cut rule says.
void placeHeightmap(const Bitmap& from, Bitmap& to) {
    const auto columns = placementTaps(to.width(), from.width());
    const auto rows = placementTaps(to.height(), from.height());
    for (int row = 0; row < to.height(); ++row) {
        // Rows are placed in drawing coordinates, which count from the last row in memory.
        const auto& rowTaps = rows[static_cast<size_t>(to.height() - 1 - row)];
        for (int column = 0; column < to.width(); ++column) {
            float value = 0;
            for (const Tap& r : rowTaps) {
                if (r.index < 0) continue;
                const int fromRow = from.height() - 1 - r.index;
                for (const Tap& c : columns[static_cast<size_t>(column)]) {
                    if (c.index >= 0) value += r.weight * c.weight * from.gray16(c.index, fromRow);
                }
            }
            to.setGray16(column, row, static_cast<uint16_t>(std::lround(std::clamp(value, 0.0f, 65535.0f))));
        }
    }
}

// Draws a Gray16 picture into the heightmap scaled to its size, the picture's first (top) row
// becoming the heightmap's last row, the top of the plan view. Bilinear between pixel centres;
// equal sizes copy every sample exactly.
void drawScaledFlipped(const Bitmap& picture, Bitmap& heightmap) {
    const int pw = picture.width(), ph = picture.height();
    const double sx = double(pw) / heightmap.width(), sy = double(ph) / heightmap.height();
    for (int row = 0; row < heightmap.height(); ++row) {
        const double fy = std::clamp((heightmap.height() - 1 - row + 0.5) * sy - 0.5, 0.0, double(ph - 1));
        const int y0 = static_cast<int>(fy), y1 = std::min(y0 + 1, ph - 1);
        const double ty = fy - y0;
        for (int column = 0; column < heightmap.width(); ++column) {
            const double fx = std::clamp((column + 0.5) * sx - 0.5, 0.0, double(pw - 1));
            const int x0 = static_cast<int>(fx), x1 = std::min(x0 + 1, pw - 1);
            const double tx = fx - x0;
            const double top = picture.gray16(x0, y0) * (1 - tx) + picture.gray16(x1, y0) * tx;
            const double bottom = picture.gray16(x0, y1) * (1 - tx) + picture.gray16(x1, y1) * tx;
            heightmap.setGray16(column, row,
                                static_cast<uint16_t>(std::lround(top * (1 - ty) + bottom * ty)));
        }
    }
}

// The flat black ground around the scene, from (−o, −o) to (Ws + o, Hs + o) just below the terrain.
void appendGroundSkirt(BaseRenderer& renderer, yafaray::yafrayInterface_t& yi, Size sceneSize,
                       float sizeOverflow) {
    const double o = static_cast<int>(sizeOverflow);
    DiffuseMaterial skirtMaterial;
    skirtMaterial.setColor(Color::calibratedRGB(0, 0, 0));
    const yafaray::material_t* black = skirtMaterial.appendToRenderer(renderer);
    unsigned int meshID = 0;
    yi.startTriMesh(meshID, 8, 12, false, true, 0);
    const double ws = sceneSize.width, hs = sceneSize.height;
    const std::array<std::array<double, 2>, 4> corners = {
        {{ws + o, -o}, {-o, -o}, {-o, hs + o}, {ws + o, hs + o}}};
    std::array<int, 4> vertices{}, uvs{};
    for (size_t i = 0; i < corners.size(); ++i) {
        vertices[i] = yi.addVertex(corners[i][0], corners[i][1], kSkirtHeight);
        uvs[i] =
            yi.addUV(static_cast<float>(corners[i][0] / ws), 1.0f - static_cast<float>(corners[i][1] / hs));
    }
    yi.addTriangle(vertices[0], vertices[1], vertices[2], uvs[0], uvs[1], uvs[2], black);
    yi.addTriangle(vertices[2], vertices[3], vertices[0], uvs[2], uvs[3], uvs[0], black);
    yi.endTriMesh();
}

}  // namespace

TerrainLayer::TerrainLayer(Scene* scene) : BaseSceneLayer(scene) {
    sceneSizeDidChange(Size{}, scene ? scene->size() : Size{});
    smoothingFactor_ = kDefaultSmoothingFactor;
}

TerrainLayer::~TerrainLayer() {
    // Undo steps that would call back into this layer go with it.
    if (Scene* owner = scene(); owner && owner->undoManager())
        owner->undoManager()->removeAllActionsWithTarget(this);
}

std::shared_ptr<BaseSceneLayer> TerrainLayer::copy() const {
    auto layer = std::make_shared<TerrainLayer>();
    if (heightmap_) layer->setHeightmapImageRep(*heightmap_);
    layer->setBorderMode(borderMode_);
    layer->setSmoothingFactor(smoothingFactor_);
    return layer;
}

void TerrainLayer::replaceHeightmap(std::unique_ptr<Bitmap> bitmap) {
    heightmap_ = std::move(bitmap);
}

void TerrainLayer::setHeightmapImageRep(const Bitmap& bitmap) {
    if (Scene* owner = scene(); owner && owner->undoManager() && heightmap_) {
        // The replaced bitmap itself is the undo; a render still reading it keeps it alive.
        std::shared_ptr<const Bitmap> previous = heightmap_;
        owner->undoManager()->registerUndo(this, [this, previous] { setHeightmapImageRep(*previous); });
    }
    replaceHeightmap(std::make_unique<Bitmap>(bitmap));
    postSceneDidChange();
}

void TerrainLayer::startHeightmapChange() {
    heightmapForUndo_ = heightmap_ ? std::make_unique<Bitmap>(*heightmap_) : nullptr;
}

void TerrainLayer::endHeightmapChange() {
    std::shared_ptr<const Bitmap> snapshot = std::move(heightmapForUndo_);
    Scene* owner = scene();
    if (!owner) return;
    if (!snapshot) {
        owner->postSceneDidChangeNotification();
        return;
    }
    owner->postSceneDidChangeNotification(this, [this, snapshot] { setHeightmapImageRep(*snapshot); });
}

void TerrainLayer::setBorderMode(int32_t mode) {
    borderMode_ = mode;
    postSceneDidChange();
}

void TerrainLayer::setSmoothingFactor(float degrees) {
    smoothingFactor_ = degrees;
    postSceneDidChange();
}

float TerrainLayer::interpolatedValueFromBitmapData(const uint16_t* samples, Size bitmapSize, float x,
                                                    float y) {
    return korvane::interpolatedValueFromBitmapData(samples, bitmapSize, x, y);
}

float TerrainLayer::heightAtScenePoint(Point groundPoint) const {
    const Scene* owner = scene();
    std::shared_ptr<const Bitmap> heightmap = heightmap_;
    if (!owner || !heightmap) return 0.0f;
    const Size sceneSize = owner->size();
    const float px = static_cast<float>(groundPoint.x / sceneSize.width * heightmap->width());
    const float py = static_cast<float>(groundPoint.y / sceneSize.height * heightmap->height());
    return interpolatedValueFromBitmap(*heightmap, px, py) * owner->maxTerrainHeight();
}

const yafaray::material_t* TerrainLayer::materialFromLayerForRenderer(BaseRenderer& renderer) const {
    const Scene* owner = scene();
    if (!owner) return nullptr;
    for (size_t i = 0; i < owner->layers().size(); ++i) {
        auto* source = dynamic_cast<TerrainMaterialSource*>(owner->layers()[i].get());
        if (source && source->terrainLayer() == this)
            return source->createTerrainMaterialForRenderer(renderer);
    }
    return nullptr;
}

void TerrainLayer::sceneSizeDidChange(Size, Size toSize) {
    std::unique_ptr<Bitmap> recut = blankHeightmap(toSize);
    if (recut && heightmap_) placeHeightmap(*heightmap_, *recut);
    replaceHeightmap(std::move(recut));
}

void TerrainLayer::setScene(Scene* newScene) {
    Scene* oldScene = scene();
    const Size fromSize = oldScene ? oldScene->size() : Size{};
    // Undo steps registered in another scene's manager cannot apply here.
    if (oldScene && oldScene != newScene && oldScene->undoManager()) {
        oldScene->undoManager()->removeAllActionsWithTarget(this);
    }
    BaseSceneLayer::setScene(newScene);
    sceneSizeDidChange(fromSize, newScene ? newScene->size() : Size{});
}

void TerrainLayer::appendToRenderer(BaseRenderer& renderer) {
    logLine("Begin Append Terrain Layer");
    // The build keeps the heightmap it started with, even if an edit replaces the layer's bitmap.
    std::shared_ptr<const Bitmap> heightmap = heightmap_;
    Scene* owner = scene();
    yafaray::yafrayInterface_t* yi = renderer.yafrayinterface();
    if (!renderer.isYafarayRenderer() || !yi || !owner || !heightmap) return;
    // Smaller maps are outside what the sampler supports.
    if (heightmap->width() < 8 || heightmap->height() < 8) return;
    const Size sceneSize = owner->size();
    const Size bitmapSize{double(heightmap->width()), double(heightmap->height())};
    const auto* samples = reinterpret_cast<const uint16_t*>(heightmap->data());
    std::vector<std::shared_ptr<CameraLayer>> cameras = owner->layersOfClass<CameraLayer>();

    logLine("Terrain Layer Quad Tree");
    auto root = std::make_unique<TerrainLayerQuadTreeNode>(*this);
    const int mode = renderer.detailsMode();
    const int detail = mode == 1   ? kDetailForSmallPreviews
                       : mode == 2 ? kDetailForPreviewRenders
                                   : kDetailForFullRenders;
    root->resetDetailSplitCount();

    // Without a camera the eye stands at plan (0, 0), the bitmap's last row.
    const Point eye = cameras.empty() ? Point{} : cameras.back()->fromPoint();
    const Point cameraOnBitmap{eye.x / sceneSize.width * bitmapSize.width,
                               (sceneSize.height - eye.y) / sceneSize.height * bitmapSize.height};
    root->splitTraverse(samples, bitmapSize, Rect{{0, 0}, bitmapSize}, detail, cameraOnBitmap);

    logLine("Terrain Layer Material");
    const yafaray::material_t* material = materialFromLayerForRenderer(renderer);
    logLine("Building Tri Mesh");
    unsigned int meshID = 0;
    yi->startTriMesh(meshID, 0, 0, false, true, 0);
    const Rect sceneRect{{0, 0}, sceneSize};
    root->appendVerticesToRenderer(*yi, material, samples, bitmapSize, sceneSize, sceneRect);
    root->appendTrianglesToRenderer(*yi, material, samples, bitmapSize, sceneSize, sceneRect);
    yi->endTriMesh();
    logLine("Smoothing Tri Mesh");
    yi->smoothMesh(0, smoothingFactor_);
    root.reset();

    appendGroundSkirt(renderer, *yi, sceneSize, owner->sizeOverflow());
}

bool TerrainLayer::importHeightmap(std::span<const uint8_t> imageBytes, std::string* error) {
    if (!heightmap_) {
        if (error) *error = "the scene has no area, so the terrain has no heightmap to draw into";
        return false;
    }
    ImageDecodeResult decoded = decodeImageAsGray16(imageBytes);
    if (!decoded.bitmap || decoded.bitmap->empty()) {
        if (error) *error = decoded.error.empty() ? "the image holds no pixels" : decoded.error;
        return false;
    }
    startHeightmapChange();
    drawScaledFlipped(*decoded.bitmap, *heightmap_);
    endHeightmapChange();
    return true;
}

std::vector<uint8_t> TerrainLayer::exportHeightmapPng() const {
    if (!heightmap_) return {};
    const Bitmap& map = *heightmap_;
    Bitmap flipped(map.width(), map.height(), PixelFormat::Gray16);
    for (int row = 0; row < map.height(); ++row) {
        std::copy_n(map.row(map.height() - 1 - row), map.bytesPerRow(), flipped.row(row));
    }
    return encodePng(flipped);
}

TerrainLayer::HeightStatistics TerrainLayer::heightStatistics() const {
    const Scene* owner = scene();
    if (!heightmap_ || heightmap_->empty()) return {};
    const auto* samples = reinterpret_cast<const uint16_t*>(heightmap_->data());
    const size_t count = static_cast<size_t>(heightmap_->width()) * heightmap_->height();
    uint16_t lowest = 65535, highest = 0;
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        lowest = std::min(lowest, samples[i]);
        highest = std::max(highest, samples[i]);
        sum += samples[i];
    }
    const float scale = (owner ? owner->maxTerrainHeight() : 4.0f) / 65535.0f;
    return {lowest * scale, highest * scale, static_cast<float>(sum / double(count) * scale)};
}

void TerrainLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    if (heightmap_) coder.encodeData(kHeightmapKey, encodePng(*heightmap_));
    coder.encodeInt32(kBorderModeKey, borderMode_);
    coder.encodeFloat(kSmoothingFactorKey, smoothingFactor_);
}

void TerrainLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    // The stored bitmap keeps its own pixel size; it is not re-cut to the scene's size.
    std::optional<std::vector<uint8_t>> png = coder.decodeData(kHeightmapKey);
    if (!png) {
        coder.failWithError("the terrain layer has no heightmap (its pngHeightmapData is missing)");
        return;
    }
    ImageDecodeResult decoded = decodeImageAsGray16(*png);
    if (!decoded.bitmap || decoded.bitmap->empty()) {
        // The rest of the document is worth keeping: the map becomes flat, at the size its header
        // claims where that can still be read, and the user is told. The file stays as it is
        // until the document is saved.
        const auto size = claimedImageSize(*png);
        const int width = size ? size->first : kFlatMapSide, height = size ? size->second : kFlatMapSide;
        coder.reportRepair("the terrain heightmap is damaged (" +
                           (decoded.error.empty() ? std::string("it holds no pixels") : decoded.error) +
                           "); it is replaced by a flat one of " + std::to_string(width) + " × " +
                           std::to_string(height) + " pixels");
        decoded.bitmap = Bitmap(width, height, PixelFormat::Gray16);
    }
    replaceHeightmap(std::make_unique<Bitmap>(std::move(*decoded.bitmap)));
    // A mode outside the three has always been built as a sloped apron; it becomes one, so the
    // terrain looks as it did.
    const double mode = coder.decodeInt32(kBorderModeKey);
    borderMode_ = static_cast<int32_t>(replacedValue(
        coder, "terrain border mode", mode, {kBorderLoweredToZero, kBorderExtendedEdge}, kBorderSlopedApron));
    smoothingFactor_ = coder.containsValue(kSmoothingFactorKey)
                           ? decodeCheckedFloat(coder, kSmoothingFactorKey, "terrain smoothing factor",
                                                kSmoothingFactorRange)
                           : kDefaultSmoothingFactor;
}

}  // namespace korvane
