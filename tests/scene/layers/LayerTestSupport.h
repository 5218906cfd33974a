#pragma once

// What the layer tests share: a ray-tracing renderer that records the parameter stream, archive
// writers that leave keys out, and flat terrain and water stand-ins for height queries.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RecordingInterface.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane::testing {

// A YafarayRenderer as the layers see it, handing out a recording interface.
class RecordingRenderer final : public BaseRenderer {
public:
    explicit RecordingRenderer(std::shared_ptr<const Scene> scene = nullptr) {
        if (scene) renderScene(std::move(scene), nullptr);
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    int rendererType() const override { return type; }
    int lightSamples() const override { return samples; }
    void setUseBackgroundAsLightSource(bool value) override { useBackground = value; }

    std::vector<std::string>& calls() { return recorder.calls; }

    mutable RecordingInterface recorder;
    int type = 0;
    int samples = 7;
    std::optional<bool> useBackground;
};

// A renderer that is not a ray tracer: layers must append nothing to it, although it hands out an
// interface.
class ForeignRenderer final : public BaseRenderer {
public:
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    mutable RecordingInterface recorder;
};

// Writes an object under a registered class name with only the keys the test gives, like a file
// from an older version.
class PartialWriter final : public Archivable {
public:
    PartialWriter(std::string className, std::function<void(KeyedArchiver&)> write)
        : className_(std::move(className)), write_(std::move(write)) {}
    std::string archiveClassName() const override { return className_; }
    void encode(KeyedArchiver& coder) const override { write_(coder); }
    void decode(KeyedUnarchiver&) override {}

private:
    std::string className_;
    std::function<void(KeyedArchiver&)> write_;
};

// Archives the object and reads it back as a T (null when that fails).
template <class T>
std::shared_ptr<T> roundTrip(const Archivable& object) {
    registerSceneClasses();
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(object);
    return std::dynamic_pointer_cast<T>(KeyedUnarchiver::unarchive(bytes).root);
}

// A terrain of one height everywhere.
class FlatTerrain final : public BaseSceneLayer {
public:
    explicit FlatTerrain(float height) : height_(height) {}
    std::string archiveClassName() const override { return "FlatTerrain"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<FlatTerrain>(height_); }
    std::optional<float> terrainElevationAtScenePoint(Point) const override { return height_; }

private:
    float height_;
};

// The lines recorded from the first paramsClearAll up to and including the first creating call.
inline std::vector<std::string> recordedSince(const std::vector<std::string>& calls, size_t from) {
    return std::vector<std::string>(calls.begin() + static_cast<long>(from), calls.end());
}

}  // namespace korvane::testing
