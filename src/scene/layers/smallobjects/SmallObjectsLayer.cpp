#include "scene/layers/smallobjects/SmallObjectsLayer.h"

#include <algorithm>
#include <cmath>

#include "foundation/GeometryUtilities.h"
#include "foundation/Random.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

// The density map has the heightmap's resolution: 1024 pixels per 10 scene units.
constexpr double kPixelsPerSceneUnit = 1024.0 / 10.0;
// Objects keep full density within this distance of the eye and thin out as its inverse beyond.
constexpr float kFullDensityDistance = 3.0f;
constexpr float kMinimumAttenuation = 0.25f;
// The small previews (detailsMode 1) place a quarter of the objects.
constexpr double kPreviewDensityFactor = 0.25;

int mapSide(double sceneSide) {
    const double pixels = std::floor(sceneSide * kPixelsPerSceneUnit);
    // Sides beyond the decoders' limit are not worth a map (and could not be allocated).
    if (!(pixels > 0) || pixels > 1 << 20) return 0;
    return static_cast<int>(pixels);
}

// Draws `from` into `to` unscaled with its lower-left drawing corner at (ox, oy) of `to`'s drawing
// frame, whose origin is the bitmap's lower-left corner (the last stored row).
void drawMap(const Bitmap& from, Bitmap& to, int ox, int oy) {
    for (int r = 0; r < from.height(); ++r) {
        const int drawingRow = from.height() - 1 - r;
        const int targetRow = to.height() - 1 - (oy + drawingRow);
        if (targetRow < 0 || targetRow >= to.height()) continue;
        const int firstColumn = std::max(0, -ox);
        const int lastColumn = std::min(from.width(), to.width() - ox);
        if (firstColumn >= lastColumn) continue;
        std::copy(from.row(r) + firstColumn, from.row(r) + lastColumn, to.row(targetRow) + ox + firstColumn);
    }
}

}  // namespace

SmallObjectsLayer::SmallObjectsLayer(Scene* scene) : BaseSceneLayer(scene) {
    sceneSizeDidChange(Size{}, scene ? scene->size() : Size{});
}

int SmallObjectsLayer::mapWidthForSceneWidth(double sceneWidth) { return mapSide(sceneWidth); }

std::shared_ptr<BaseSceneLayer> SmallObjectsLayer::copy() const {
    return copyInto(std::make_shared<SmallObjectsLayer>());
}

std::shared_ptr<BaseSceneLayer> SmallObjectsLayer::copyInto(std::shared_ptr<SmallObjectsLayer> layer) const {
    layer->map_ = map_;
    layer->kind_ = kind_;
    return layer;
}

void SmallObjectsLayer::setBaseSmallObjectClass(const SmallObjectClass* kind) {
    willChange(KeyValueChangeKind::Setting, {}, "baseSmallObjectClass");
    willChange(KeyValueChangeKind::Setting, {}, "name");
    kind_ = kind;
    didChange(KeyValueChangeKind::Setting, {}, "name");
    didChange(KeyValueChangeKind::Setting, {}, "baseSmallObjectClass");
    postSceneDidChange();
}

std::string SmallObjectsLayer::kindName() const { return kind_ ? kind_->name() : "none"; }

void SmallObjectsLayer::endMapChange() { postSceneDidChange(); }

void SmallObjectsLayer::sceneSizeDidChange(Size, Size toSize) {
    auto map = std::make_shared<Bitmap>(mapSide(toSize.width), mapSide(toSize.height), PixelFormat::Gray8);
    if (map_ && !map_->empty() && !map->empty()) {
        const Rect placed = GeometryUtilities::centerRect(
            Rect{{0, 0}, {static_cast<double>(map_->width()), static_cast<double>(map_->height())}},
            Rect{{0, 0}, {static_cast<double>(map->width()), static_cast<double>(map->height())}});
        drawMap(*map_, *map, static_cast<int>(std::floor(placed.origin.x)),
                static_cast<int>(std::floor(placed.origin.y)));
    }
    map_ = std::move(map);
}

void SmallObjectsLayer::setScene(Scene* scene) {
    BaseSceneLayer::setScene(scene);
    if (!scene) return;
    const Size size = scene->size();
    if (!map_ || map_->width() != mapSide(size.width) || map_->height() != mapSide(size.height)) {
        sceneSizeDidChange(Size{}, size);
    }
}

void SmallObjectsLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!kind_ || !map_ || !scene() || !smallObjectInterface(renderer)) return;
    const Scene& scene = *this->scene();
    const SmallObjectsCamera camera(scene);
    std::unique_ptr<BaseSmallObject> object = kind_->create();
    object->prepareForRenderer(renderer);
    object->beginPlacingSmallObjects(renderer);

    const double sceneWidth = scene.size().width;
    const double sceneHeight = scene.size().height;
    const int width = map_->width();
    const int height = map_->height();
    const double cellWidth = sceneWidth / width;
    const double cellHeight = sceneHeight / height;
    const Size objectSize = object->size();
    const double cellCapacity = std::min(cellHeight / objectSize.height, cellWidth / objectSize.width);
    const double modeFactor = renderer.detailsMode() == 1 ? kPreviewDensityFactor : 1.0;
    const Point eye = camera.fromPoint();
    const float eyeX = static_cast<float>(eye.x);
    const float eyeY = static_cast<float>(eye.y);

    // Rows are visited from the last row of the data to the first.
    for (int i = 0; i < height; ++i) {
        const uint8_t* samples = map_->row(height - 1 - i);
        const double y = static_cast<double>(height - i) / height * sceneHeight;
        for (int c = 0; c < width; ++c) {
            if (samples[c] == 0) continue;
            const float density = samples[c] / 255.0f;
            const double x = static_cast<double>(c) / width * sceneWidth;
            // The camera's eye is a plan point: plan y runs the other way.
            const float dx = static_cast<float>(x) - eyeX;
            const float dy = static_cast<float>(sceneHeight - y) - eyeY;
            const float distance = std::sqrt(dx * dx + dy * dy);
            const float attenuation =
                std::clamp(1.0f / (distance / kFullDensityDistance), kMinimumAttenuation, 1.0f);
            double amount = cellCapacity * attenuation * density * modeFactor;
            if (amount < 1) {
                const int q = randomInt();
                amount = amount > (q % 10000) / 10000.0 ? 1 : 0;
            }
            const int count = static_cast<int>(std::floor(amount));
            if (count > 0) {
                object->placeSmallObject(count, Rect{{x, y}, {cellWidth, cellHeight}}, density, scene, renderer);
            }
        }
    }
    object->endPlacingSmallObjects(renderer);
}

double SmallObjectsLayer::meanDensity() const {
    if (!map_ || map_->empty()) return 0.0;
    uint64_t sum = 0;
    const uint8_t* data = map_->data();
    for (size_t i = 0; i < map_->sizeInBytes(); ++i) sum += data[i];
    return static_cast<double>(sum) / 255.0 / static_cast<double>(map_->sizeInBytes());
}

void SmallObjectsLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeBitmap("mapImageRep", map_);
    if (kind_) coder.encodeString("baseSmallObjectClass", kind_->className);
}

void SmallObjectsLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    map_ = coder.decodeBitmap("mapImageRep");
    // A density map must be 8-bit grey; anything else (a damaged or foreign file) starts empty.
    if (map_ && map_->format() != PixelFormat::Gray8) map_.reset();
    std::optional<std::string> kindName = coder.decodeString("baseSmallObjectClass");
    kind_ = kindName ? smallObjectClassNamed(*kindName) : nullptr;
    if (!map_) {
        const Scene* scene = this->scene();
        sceneSizeDidChange(Size{}, scene ? scene->size() : Size{});
    }
}

}  // namespace korvane
