// libFuzzer target: arbitrary bytes into KeyedUnarchiver::unarchive with the scene's classes
// registered, plus one layer class that reads every kind of value, so that each decoding path of the
// unarchiver is reached from inside a scene. Any crash, sanitizer report, leak or broken invariant
// (a root together with an error, a layer of the decoded scene pointing elsewhere) is a finding.
//
// With KORVANE_FUZZ_WRITE_SEEDS=<directory> the binary writes its seed archives there and exits:
//   KORVANE_FUZZ_WRITE_SEEDS=bench/fuzz/corpus build-fuzz/bench/fuzz/unarchiver_fuzzer
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"

namespace {

using namespace korvane;

constexpr const char* kFuzzLayerClass = "FuzzLayer";

// Walks a decoded value so that every part of it is touched.
size_t visit(const ArchiveValue& value) {
    size_t count = 1;
    if (const auto* array = value.get<ArchiveArray>()) {
        for (const ArchiveValue& item : *array) count += visit(item);
    } else if (const auto* dictionary = value.get<ArchiveDictionary>()) {
        for (const auto& [key, item] : *dictionary) count += key.size() + visit(item);
    } else if (const auto* bitmap = value.get<std::shared_ptr<Bitmap>>()) {
        if (*bitmap && (*bitmap)->data()) count += (*bitmap)->data()[(*bitmap)->sizeInBytes() - 1];
    } else if (const auto* object = value.get<std::shared_ptr<Archivable>>()) {
        if (*object) count += (*object)->archiveClassName().size();
    }
    return count;
}

// A layer with one key of every kind. What it decodes is kept only as plain values: a hostile file
// can make any object refer to any other, and an owning reference would turn that into a leak.
class FuzzLayer final : public BaseSceneLayer {
public:
    using BaseSceneLayer::BaseSceneLayer;

    bool flag = false;
    int32_t count = 0;
    int64_t wide = 0;
    float ratio = 0;
    double precise = 0;
    std::vector<uint8_t> bytes;
    Point point;
    Size size;
    std::optional<std::string> text;
    std::optional<std::vector<uint8_t>> data;
    std::optional<Color> colour;
    std::shared_ptr<Bitmap> bitmap;
    ArchiveValue value;                     // written only
    const Archivable* other = nullptr;      // written only
    std::vector<const Archivable*> others;  // written only
    size_t decodedSummary = 0;

    std::string archiveClassName() const override { return kFuzzLayerClass; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<FuzzLayer>(); }

    void encode(KeyedArchiver& coder) const override {
        BaseSceneLayer::encode(coder);
        coder.encodeBool("flag", flag);
        coder.encodeInt32("count", count);
        coder.encodeInt64("wide", wide);
        coder.encodeFloat("ratio", ratio);
        coder.encodeDouble("precise", precise);
        coder.encodeBytes("bytes", bytes);
        coder.encodePoint("point", point);
        coder.encodeSize("size", size);
        if (text) coder.encodeString("text", *text);
        if (data) coder.encodeData("data", *data);
        if (colour) coder.encodeColor("colour", *colour);
        coder.encodeBitmap("bitmap", bitmap);
        coder.encodeValue("value", value);
        coder.encodeObject("other", other);
        coder.encodeObjectList("others", others);
        coder.encodeString("$dollar", "escaped");
    }

    void decode(KeyedUnarchiver& coder) override {
        BaseSceneLayer::decode(coder);
        flag = coder.decodeBool("flag");
        count = coder.decodeInt32("count");
        wide = coder.decodeInt64("wide");
        ratio = coder.decodeFloat("ratio");
        precise = coder.decodeDouble("precise");
        bytes = coder.decodeBytes("bytes");
        point = coder.decodePoint("point");
        size = coder.decodeSize("size");
        text = coder.decodeString("text");
        data = coder.decodeData("data");
        colour = coder.decodeColor("colour");
        bitmap = coder.decodeBitmap("bitmap");
        decodedSummary = visit(coder.decodeValue("value"));
        decodedSummary += coder.decodeObject("other") != nullptr;
        decodedSummary += coder.decodeObjects<BaseSceneLayer>("others").size();
        decodedSummary += coder.decodeString("$dollar").value_or("").size();
        decodedSummary += coder.containsValue("missing");
        // The same keys read as the wrong kinds.
        // Summed as size_t: an int32 read at its limit must not overflow the harness's own arithmetic.
        decodedSummary += size_t(coder.decodeColor("bitmap").has_value()) + size_t(coder.decodeInt32("text")) +
                          coder.decodeObjectList("colour").size() + size_t(coder.decodeBitmap("value").use_count());
    }
};

// ---------------------------------------------------------------------------------------------
// Seeds

// Writes a Scene with whatever keys a seed needs, as an older or foreign writer would.
class SceneWriter final : public Archivable {
public:
    explicit SceneWriter(std::function<void(KeyedArchiver&)> write) : write_(std::move(write)) {}
    std::string archiveClassName() const override { return "Scene"; }
    void encode(KeyedArchiver& coder) const override { write_(coder); }
    void decode(KeyedUnarchiver&) override {}

private:
    std::function<void(KeyedArchiver&)> write_;
};

std::shared_ptr<Bitmap> patterned(int width, int height, PixelFormat format) {
    auto bitmap = std::make_shared<Bitmap>(width, height, format);
    for (size_t i = 0; i < bitmap->sizeInBytes(); ++i) bitmap->data()[i] = uint8_t(i * 53 + 7);
    return bitmap;
}

std::shared_ptr<FuzzLayer> fullLayer(Scene& scene, int variant) {
    auto layer = std::make_shared<FuzzLayer>(&scene);
    layer->flag = variant % 2 == 0;
    layer->count = -1000 * (variant + 1);
    layer->wide = (int64_t{1} << 40) + variant;
    layer->ratio = 0.1f * float(variant + 1);
    layer->precise = 1.0 / 3.0;
    layer->bytes = {0, 1, 2, uint8_t(variant)};
    layer->point = {-1.5, 2.25 * variant};
    layer->size = {640, 480};
    layer->text = variant ? "layer \xC3\xA9t\xC3\xA9" : "ground";
    layer->data = std::vector<uint8_t>{9, 8, 7};
    layer->colour = Color::calibratedRGB(0.25, 0.5, 0.75, variant ? 0.5 : 1.0);
    const PixelFormat formats[] = {PixelFormat::Gray16, PixelFormat::Gray8, PixelFormat::RGBA8};
    layer->bitmap = patterned(4, 3, formats[variant % 3]);
    layer->value = ArchiveValue(ArchiveDictionary{
        {"list", ArchiveValue(ArchiveArray{ArchiveValue(1), ArchiveValue("two"), ArchiveValue(3.5),
                                           ArchiveValue(true), ArchiveValue()})},
        {"colour", ArchiveValue(Color::calibratedWhite(0.5))},
        {"data", ArchiveValue(ArchiveData{1, 2, 3})},
        {"nested", ArchiveValue(ArchiveArray{ArchiveValue(ArchiveDictionary{{"k", ArchiveValue(-7)}})})}});
    layer->other = &scene;
    return layer;
}

void setPostProcessing(Scene& scene) {
    scene.setSize({12, 8});
    scene.setMaxTerrainHeight(6);
    scene.setFarDepthOfField(true);
    scene.setNearDepthOfField(true);
    scene.setBloomFilter(true);
    scene.setDepthTint(true);
    scene.setDepthTintColor(Color::calibratedRGB(0.2, 0.3, 0.4, 0.9));
    scene.setVibranceFilter(true);
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

int writeSeeds(const std::string& directory) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;

    Scene empty;
    seeds.emplace_back("scene-default.archive", KeyedArchiver::archivedData(empty));

    Scene full;
    setPostProcessing(full);
    auto first = fullLayer(full, 0);
    auto second = fullLayer(full, 1);
    second->bitmap = first->bitmap;  // a shared bitmap
    second->others = {first.get(), second.get()};
    full.addLayer(first);
    full.addLayer(second);
    seeds.emplace_back("scene-layers.archive", KeyedArchiver::archivedData(full));

    Scene repeated;
    auto once = fullLayer(repeated, 2);
    repeated.addLayer(once);
    repeated.addLayer(once);  // the same layer twice in the stack
    seeds.emplace_back("scene-repeated-layer.archive", KeyedArchiver::archivedData(repeated));

    SceneWriter older([](KeyedArchiver& coder) {
        coder.encodeObjectList("layers", {});
        coder.encodeSize("size", {3, 4});
        coder.encodeBool("depthTint", true);
        coder.encodeFloat("depthTintStart", 2);
        coder.encodeColor("depthTintColor", Color::calibratedRGB(1, 0, 0));
    });
    seeds.emplace_back("scene-depth-tint-only.archive", KeyedArchiver::archivedData(older));

    Scene owner;
    auto alone = fullLayer(owner, 1);
    owner.addLayer(alone);
    seeds.emplace_back("layer-root.archive", KeyedArchiver::archivedData(*alone));

    for (const auto& [name, bytes] : seeds) {
        const std::string path = directory + "/" + name;
        if (!writeFile(path, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        UnarchiveResult decoded = KeyedUnarchiver::unarchive(bytes);
        std::printf("%s (%zu bytes): %s\n", path.c_str(), bytes.size(),
                    decoded.root ? "decodes" : decoded.error.c_str());
        if (!decoded.root) return 1;
    }
    return 0;
}

// A broken invariant is a finding: the trap makes libFuzzer report it and keep the input.
void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    registerSceneClasses();
    SceneLayerRegistry::shared().registerLayerClass<FuzzLayer>(kFuzzLayerClass);
    if (const char* directory = std::getenv("KORVANE_FUZZ_WRITE_SEEDS")) std::exit(writeSeeds(directory));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UnarchiveResult result = KeyedUnarchiver::unarchive(std::span<const uint8_t>(data, size));
    check((result.root == nullptr) != result.error.empty(), "exactly one of a root and an error");
    if (auto scene = std::dynamic_pointer_cast<Scene>(result.root)) {
        for (const auto& layer : scene->layers()) {
            check(layer != nullptr, "no null layer");
            check(layer->scene() == scene.get(), "every layer belongs to the decoded scene");
        }
        (void)scene->highestTerrainElevationAtScenePoint({scene->size().width / 2, scene->size().height / 2},
                                                         true);
    } else if (auto layer = std::dynamic_pointer_cast<BaseSceneLayer>(result.root)) {
        // The scene decoded with a layer root is gone by now; a reference left to it would be read here.
        if (Scene* scene = layer->scene()) (void)scene->size();
    }
    return 0;
}
