// The scene's document archive: what a round trip keeps, the defaults that let older files open,
// the order of the written keys, and damaged scene files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "foundation/archive/BinaryPropertyList.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

using plist::Value;
using Entries = std::vector<std::pair<std::string, Value>>;

constexpr const char* kTestLayerClass = "ArchiveTestLayer";

// A layer with two keys of its own beside the base layer's scene reference.
class ArchiveTestLayer final : public BaseSceneLayer {
public:
    using BaseSceneLayer::BaseSceneLayer;

    std::string label;
    float weight = 0;
    // The scene reference as it was right after the base class decoded it.
    Scene* sceneWhileDecoding = nullptr;

    std::string archiveClassName() const override { return kTestLayerClass; }
    std::shared_ptr<BaseSceneLayer> copy() const override {
        auto layer = std::make_shared<ArchiveTestLayer>();
        layer->label = label;
        layer->weight = weight;
        return layer;
    }
    void encode(KeyedArchiver& coder) const override {
        BaseSceneLayer::encode(coder);
        coder.encodeString("label", label);
        coder.encodeFloat("weight", weight);
    }
    void decode(KeyedUnarchiver& coder) override {
        BaseSceneLayer::decode(coder);
        sceneWhileDecoding = scene();
        label = coder.decodeString("label").value_or("");
        weight = coder.decodeFloat("weight");
    }
};

// Stands in for a Scene written by an older or a foreign writer: the archive says "Scene", the keys
// are whatever the test writes.
class SceneWriter final : public Archivable {
public:
    explicit SceneWriter(std::function<void(KeyedArchiver&)> write) : write_(std::move(write)) {}
    std::string archiveClassName() const override { return "Scene"; }
    void encode(KeyedArchiver& coder) const override { write_(coder); }
    void decode(KeyedUnarchiver&) override {}

private:
    std::function<void(KeyedArchiver&)> write_;
};

class SceneArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registerSceneClasses();
        SceneLayerRegistry::shared().registerLayerClass<ArchiveTestLayer>(kTestLayerClass);
    }

    std::shared_ptr<ArchiveTestLayer> addLayer(Scene& scene, const std::string& label, float weight) {
        auto layer = std::make_shared<ArchiveTestLayer>(&scene);
        layer->label = label;
        layer->weight = weight;
        scene.addLayer(layer);
        return layer;
    }

    static std::shared_ptr<Scene> decodeScene(std::span<const uint8_t> bytes, std::string* error = nullptr) {
        std::string reason;
        auto scene = KeyedUnarchiver::unarchiveRoot<Scene>(bytes, "scene", &reason);
        EXPECT_TRUE(scene) << reason;
        if (error) *error = reason;
        return scene;
    }

    static std::string rejection(std::span<const uint8_t> bytes) {
        std::string reason;
        auto scene = KeyedUnarchiver::unarchiveRoot<Scene>(bytes, "scene", &reason);
        EXPECT_EQ(scene, nullptr);
        EXPECT_FALSE(reason.empty());
        return reason;
    }

    // A scene with every archived value away from its default.
    static void setEverything(Scene& scene) {
        scene.setSize({25, 12.5});
        scene.setMaxTerrainHeight(7.5f);
        scene.setSizeOverflow(50);  // not archived
        scene.setFarDepthOfField(true);
        scene.setFarDepthOfFieldStart(3.25f);
        scene.setFarDepthOfFieldBias(0.75f);
        scene.setFarDepthOfFieldMaximumStrength(30);
        scene.setNearDepthOfField(true);
        scene.setNearDepthOfFieldEnd(1.25f);
        scene.setNearDepthOfFieldBias(2.5f);
        scene.setNearDepthOfFieldMaximumStrength(6);
        scene.setBloomFilter(true);
        scene.setBloomRadius(3);
        scene.setBloomIntensity(0.9f);
        scene.setDepthTint(true);
        scene.setDepthTintStart(9);
        scene.setDepthTintBias(0.6f);
        scene.setDepthTintOpacity(0.45f);
        scene.setDepthTintColor(Color::calibratedRGB(0.1, 0.2, 0.3, 0.4));
        scene.setVibranceFilter(true);
        scene.setVibranceStrength(0.8f);
    }
};

// Post-processing defaults of a new scene, for comparisons.
void expectPostProcessDefaults(const Scene& decoded, bool far, bool near, bool bloom, bool tint,
                               bool vibrance) {
    const Scene fresh;
    if (far) {
        EXPECT_EQ(decoded.farDepthOfField(), fresh.farDepthOfField());
        EXPECT_EQ(decoded.farDepthOfFieldStart(), fresh.farDepthOfFieldStart());
        EXPECT_EQ(decoded.farDepthOfFieldBias(), fresh.farDepthOfFieldBias());
        EXPECT_EQ(decoded.farDepthOfFieldMaximumStrength(), fresh.farDepthOfFieldMaximumStrength());
    }
    if (near) {
        EXPECT_EQ(decoded.nearDepthOfField(), fresh.nearDepthOfField());
        EXPECT_EQ(decoded.nearDepthOfFieldEnd(), fresh.nearDepthOfFieldEnd());
        EXPECT_EQ(decoded.nearDepthOfFieldBias(), fresh.nearDepthOfFieldBias());
        EXPECT_EQ(decoded.nearDepthOfFieldMaximumStrength(), fresh.nearDepthOfFieldMaximumStrength());
    }
    if (bloom) {
        EXPECT_FALSE(decoded.bloomFilter());
        EXPECT_EQ(decoded.bloomRadius(), 8.0f);
        EXPECT_EQ(decoded.bloomIntensity(), 0.4f);
    }
    if (tint) {
        EXPECT_EQ(decoded.depthTint(), fresh.depthTint());
        EXPECT_EQ(decoded.depthTintStart(), fresh.depthTintStart());
        EXPECT_EQ(decoded.depthTintBias(), fresh.depthTintBias());
        EXPECT_EQ(decoded.depthTintOpacity(), fresh.depthTintOpacity());
        EXPECT_EQ(decoded.depthTintColor(), fresh.depthTintColor());
    }
    if (vibrance) {
        EXPECT_EQ(decoded.vibranceFilter(), fresh.vibranceFilter());
        EXPECT_EQ(decoded.vibranceStrength(), fresh.vibranceStrength());
    }
}

// The $objects table of a hand-made scene archive; UIDs are indexes into it.
class ArchiveBuilder {
public:
    ArchiveBuilder() { objects_.push_back(Value::string("$null")); }
    uint64_t reserve() {
        objects_.emplace_back();
        return objects_.size() - 1;
    }
    void set(uint64_t uid, Value value) { objects_[uid] = std::move(value); }
    uint64_t add(Value value) {
        uint64_t uid = reserve();
        set(uid, std::move(value));
        return uid;
    }
    uint64_t classUid(const std::string& name) {
        if (auto it = classes_.find(name); it != classes_.end()) return it->second;
        uint64_t uid = add(Value::dictionary({{"$classname", Value::string(name)}}));
        classes_[name] = uid;
        return uid;
    }
    Value instance(const std::string& className, Entries entries) {
        entries.insert(entries.begin(), {"$class", Value::uid(classUid(className))});
        return Value::dictionary(std::move(entries));
    }
    Value list(const std::vector<uint64_t>& uids) {
        std::vector<Value> refs;
        for (uint64_t uid : uids) refs.push_back(Value::uid(uid));
        return instance("NSMutableArray", {{"NS.objects", Value::array(std::move(refs))}});
    }
    std::vector<uint8_t> bytes(uint64_t root = 1) const {
        return plist::writeBinary(
            Value::dictionary({{"$archiver", Value::string("NSKeyedArchiver")},
                               {"$version", Value::integer(100000)},
                               {"$top", Value::dictionary({{"root", Value::uid(root)}})},
                               {"$objects", Value::array(objects_)}}));
    }

private:
    std::vector<Value> objects_;
    std::map<std::string, uint64_t> classes_;
};

bool havePlistlib() {
    return std::system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0;
}

// ---------------------------------------------------------------------------------------------
// Round trip

TEST_F(SceneArchiveTest, RoundTripKeepsLayersInOrderAndEveryArchivedValue) {
    Scene scene;
    addLayer(scene, "ground", 1.5f);
    addLayer(scene, "water", -2);
    addLayer(scene, "trees", 0.25f);
    setEverything(scene);

    std::shared_ptr<Scene> decoded = decodeScene(KeyedArchiver::archivedData(scene));
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->layers().size(), 3u);
    std::vector<std::string> labels;
    for (const auto& layer : decoded->layers()) {
        auto typed = std::dynamic_pointer_cast<ArchiveTestLayer>(layer);
        ASSERT_NE(typed, nullptr);
        labels.push_back(typed->label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"ground", "water", "trees"}));
    EXPECT_EQ(std::dynamic_pointer_cast<ArchiveTestLayer>(decoded->layers()[1])->weight, -2.0f);

    EXPECT_EQ(decoded->size(), (Size{25, 12.5}));
    EXPECT_EQ(decoded->maxTerrainHeight(), 7.5f);
    EXPECT_EQ(decoded->sizeOverflow(), 200.0f);
    EXPECT_EQ(decoded->undoManager(), nullptr);
    EXPECT_TRUE(decoded->farDepthOfField());
    EXPECT_EQ(decoded->farDepthOfFieldStart(), 3.25f);
    EXPECT_EQ(decoded->farDepthOfFieldBias(), 0.75f);
    EXPECT_EQ(decoded->farDepthOfFieldMaximumStrength(), 30.0f);
    EXPECT_TRUE(decoded->nearDepthOfField());
    EXPECT_EQ(decoded->nearDepthOfFieldEnd(), 1.25f);
    EXPECT_EQ(decoded->nearDepthOfFieldBias(), 2.5f);
    EXPECT_EQ(decoded->nearDepthOfFieldMaximumStrength(), 6.0f);
    EXPECT_TRUE(decoded->bloomFilter());
    EXPECT_EQ(decoded->bloomRadius(), 3.0f);
    EXPECT_EQ(decoded->bloomIntensity(), 0.9f);
    EXPECT_TRUE(decoded->depthTint());
    EXPECT_EQ(decoded->depthTintStart(), 9.0f);
    EXPECT_EQ(decoded->depthTintBias(), 0.6f);
    EXPECT_EQ(decoded->depthTintOpacity(), 0.45f);
    EXPECT_EQ(decoded->depthTintColor(), Color::calibratedRGB(0.1, 0.2, 0.3, 0.4));
    EXPECT_TRUE(decoded->vibranceFilter());
    EXPECT_EQ(decoded->vibranceStrength(), 0.8f);
}

TEST_F(SceneArchiveTest, DecodedLayersReferToTheDecodedSceneItself) {
    Scene scene;
    addLayer(scene, "a", 1);
    addLayer(scene, "b", 2);
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);

    // The scene is stored once, however many layers refer to it.
    plist::ParseResult parsed = plist::parseBinary(bytes);
    ASSERT_TRUE(parsed.document);
    const plist::Document& document = *parsed.document;
    const plist::Object& objects =
        document.object(*document.lookup(document.object(document.topIndex()), "$objects"));
    std::map<std::string, int> instances;
    for (uint32_t index : objects.items) {
        const plist::Object& object = document.object(index);
        auto classRef = document.lookup(object, "$class");
        if (!classRef) continue;
        const plist::Object& descriptor = document.object(objects.items.at(document.object(*classRef).uid));
        ++instances[document.object(*document.lookup(descriptor, "$classname")).string];
    }
    EXPECT_EQ(instances["Scene"], 1);
    EXPECT_EQ(instances[kTestLayerClass], 2);

    std::shared_ptr<Scene> decoded = decodeScene(bytes);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->layers().size(), 2u);
    for (const auto& layer : decoded->layers()) {
        EXPECT_EQ(layer->scene(), decoded.get());
        // Already while the layer decoded, before the scene had its layer list.
        EXPECT_EQ(std::dynamic_pointer_cast<ArchiveTestLayer>(layer)->sceneWhileDecoding, decoded.get());
    }
}

TEST_F(SceneArchiveTest, KeysAreWrittenInTheDocumentedOrder) {
    Scene scene;
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    plist::ParseResult parsed = plist::parseBinary(bytes);
    ASSERT_TRUE(parsed.document) << parsed.error;
    const plist::Document& document = *parsed.document;
    const plist::Object& top = document.object(document.topIndex());
    const plist::Object& objects = document.object(*document.lookup(top, "$objects"));
    const plist::Object& topKeys = document.object(*document.lookup(top, "$top"));
    const uint64_t rootUid = document.object(*document.lookup(topKeys, "root")).uid;
    const plist::Object& root = document.object(objects.items.at(rootUid));
    ASSERT_EQ(root.kind, plist::Kind::Dictionary);

    std::vector<std::string> keys;
    for (uint32_t key : root.keys) keys.push_back(document.object(key).string);
    const std::vector<std::string> expected = {
        "$class",
        "layers",
        "size",
        "maxTerrainHeight",
        "farDepthOfField",
        "farDepthOfFieldStart",
        "farDepthOfFieldBias",
        "farDepthOfFieldMaximumStrength",
        "nearDepthOfField",
        "nearDepthOfFieldEnd",
        "nearDepthOfFieldBias",
        "nearDepthOfFieldMaximumStrength",
        "bloomFilter",
        "bloomRadius",
        "bloomIntensity",
        "depthTint",
        "depthTintStart",
        "depthTintBias",
        "depthTintOpacity",
        "depthTintColor",
        "vibranceFilter",
        "vibranceStrength",
    };
    EXPECT_EQ(keys, expected);
    // sizeOverflow and the undo manager are not archived.
    EXPECT_FALSE(document.lookup(root, "sizeOverflow"));
}

TEST_F(SceneArchiveTest, ArchiveWithoutBloomButWithDepthTintKeepsBloomDefaults) {
    SceneWriter writer([](KeyedArchiver& coder) {
        coder.encodeObjectList("layers", {});
        coder.encodeSize("size", {4, 3});
        coder.encodeFloat("maxTerrainHeight", 2);
        coder.encodeBool("depthTint", true);
        coder.encodeFloat("depthTintStart", 11);
        coder.encodeFloat("depthTintBias", 0.5f);
        coder.encodeFloat("depthTintOpacity", 0.7f);
        coder.encodeColor("depthTintColor", Color::calibratedRGB(1, 0, 0.5));
    });
    std::shared_ptr<Scene> decoded = decodeScene(KeyedArchiver::archivedData(writer));
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->layers().empty());
    EXPECT_EQ(decoded->size(), (Size{4, 3}));
    EXPECT_EQ(decoded->maxTerrainHeight(), 2.0f);
    expectPostProcessDefaults(*decoded, true, true, /*bloom=*/true, false, true);
    EXPECT_TRUE(decoded->depthTint());
    EXPECT_EQ(decoded->depthTintStart(), 11.0f);
    EXPECT_EQ(decoded->depthTintBias(), 0.5f);
    EXPECT_EQ(decoded->depthTintOpacity(), 0.7f);
    EXPECT_EQ(decoded->depthTintColor(), Color::calibratedRGB(1, 0, 0.5));
}

TEST_F(SceneArchiveTest, GroupSwitchPresentReadsItsValuesWithoutFurtherDefaults) {
    // Inside a present group, a missing value reads as the absent value 0, not the default.
    SceneWriter writer([](KeyedArchiver& coder) {
        coder.encodeBool("farDepthOfField", false);
        coder.encodeBool("vibranceFilter", true);
    });
    std::shared_ptr<Scene> decoded = decodeScene(KeyedArchiver::archivedData(writer));
    ASSERT_NE(decoded, nullptr);
    EXPECT_FALSE(decoded->farDepthOfField());
    EXPECT_EQ(decoded->farDepthOfFieldStart(), 0.0f);
    EXPECT_EQ(decoded->farDepthOfFieldMaximumStrength(), 0.0f);
    EXPECT_TRUE(decoded->vibranceFilter());
    EXPECT_EQ(decoded->vibranceStrength(), 0.0f);
    expectPostProcessDefaults(*decoded, false, true, true, true, false);
}

TEST_F(SceneArchiveTest, ZeroOrMissingMaxTerrainHeightDecodesAsFour) {
    SceneWriter zero([](KeyedArchiver& coder) { coder.encodeFloat("maxTerrainHeight", 0); });
    std::shared_ptr<Scene> decoded = decodeScene(KeyedArchiver::archivedData(zero));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->maxTerrainHeight(), 4.0f);

    SceneWriter empty([](KeyedArchiver&) {});
    decoded = decodeScene(KeyedArchiver::archivedData(empty));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->maxTerrainHeight(), 4.0f);
    EXPECT_EQ(decoded->size(), (Size{0, 0}));  // an absent size is 0 × 0, not the new-scene default
    EXPECT_TRUE(decoded->layers().empty());
    expectPostProcessDefaults(*decoded, true, true, true, true, true);

    Scene scene;
    scene.setMaxTerrainHeight(0);
    decoded = decodeScene(KeyedArchiver::archivedData(scene));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->maxTerrainHeight(), 4.0f);
}

TEST_F(SceneArchiveTest, LayerArchivedOnItsOwnDoesNotKeepAReferenceToAFreedScene) {
    // Archiving a layer stores its scene too; decoding it makes a scene that nothing keeps.
    Scene scene;
    auto layer = addLayer(scene, "alone", 3);
    UnarchiveResult result = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(*layer));
    ASSERT_EQ(result.error, "");
    auto decoded = std::dynamic_pointer_cast<ArchiveTestLayer>(result.root);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->label, "alone");
    EXPECT_EQ(decoded->scene(), nullptr);
}

TEST_F(SceneArchiveTest, PlistlibReadsTheSceneArchive) {
    if (!havePlistlib()) GTEST_SKIP() << "python3 with plistlib is not available";
    Scene scene;
    addLayer(scene, "ground", 1);
    addLayer(scene, "sky", 2);
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("korvane-scene-" + std::to_string(getpid()));
    const std::filesystem::path archivePath = base.string() + ".plist";
    const std::filesystem::path scriptPath = base.string() + ".py";
    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    std::ofstream(archivePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ofstream(scriptPath) << R"PY(
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    archive = plistlib.load(f)
objects = archive["$objects"]
root_uid = archive["$top"]["root"]
root = objects[root_uid.data]
layers = [objects[uid.data] for uid in objects[root["layers"].data]["NS.objects"]]
print(archive["$archiver"], archive["$version"], objects[root["$class"].data]["$classname"],
      len(layers), all(layer["scene"] == root_uid for layer in layers),
      ",".join(objects[layer["label"].data] for layer in layers))
)PY";
    FILE* pipe = popen(("python3 '" + scriptPath.string() + "' '" + archivePath.string() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    std::filesystem::remove(archivePath);
    std::filesystem::remove(scriptPath);
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(output, "NSKeyedArchiver 100000 Scene 2 True ground,sky\n");
}

// ---------------------------------------------------------------------------------------------
// Damaged scene files

TEST_F(SceneArchiveTest, EveryTruncationOfASceneArchiveFails) {
    Scene scene;
    addLayer(scene, "ground", 1);
    addLayer(scene, "water", 2);
    setEverything(scene);
    const std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    ASSERT_NE(decodeScene(bytes), nullptr);
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        rejection(std::span(bytes.data(), length));
    }
}

TEST_F(SceneArchiveTest, LayerListContainingItselfFails) {
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    uint64_t list = builder.reserve();
    builder.set(list, builder.list({list}));
    builder.set(root, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    EXPECT_NE(rejection(builder.bytes()).find("contains itself"), std::string::npos);
}

TEST_F(SceneArchiveTest, LayerListWithUnknownClassFailsWithItsName) {
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    uint64_t stranger = builder.reserve();
    builder.set(stranger, builder.instance("MysteryLayer", {}));
    uint64_t list = builder.add(builder.list({stranger}));
    builder.set(root, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    EXPECT_NE(rejection(builder.bytes()).find("'MysteryLayer'"), std::string::npos);
}

TEST_F(SceneArchiveTest, LayerListEntriesThatAreNotLayersAreLeftOut) {
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    uint64_t layer = builder.reserve();
    uint64_t text = builder.add(Value::string("not a layer"));
    builder.set(
        layer, builder.instance(kTestLayerClass, {{"scene", Value::uid(root)}, {"label", Value::uid(text)}}));
    uint64_t list = builder.add(builder.list({root, text, layer, 0, layer}));
    builder.set(root, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    std::shared_ptr<Scene> decoded = decodeScene(builder.bytes());
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->layers().size(), 2u);  // the same layer twice; the scene, the string and none left out
    EXPECT_EQ(decoded->layers()[0], decoded->layers()[1]);
    EXPECT_EQ(decoded->layers()[0]->scene(), decoded.get());
}

TEST_F(SceneArchiveTest, LayerReferringToAnotherSceneIsGivenTheDecodedScene) {
    // The layer's "scene" is a second Scene object whose own list holds the layer too.
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    uint64_t other = builder.reserve();
    uint64_t layer = builder.reserve();
    uint64_t list = builder.add(builder.list({layer}));
    builder.set(layer, builder.instance(kTestLayerClass, {{"scene", Value::uid(other)}}));
    builder.set(other, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    builder.set(root, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    std::shared_ptr<Scene> decoded = decodeScene(builder.bytes());
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->layers().size(), 1u);
    EXPECT_EQ(decoded->layers()[0]->scene(), decoded.get());
}

TEST_F(SceneArchiveTest, ValuesOfTheWrongKindDecodeAsAbsent) {
    Scene scene;
    auto layer = addLayer(scene, "x", 1);
    SceneWriter writer([&](KeyedArchiver& coder) {
        coder.encodeString("layers", "not a list");
        coder.encodeInt32("size", 5);
        coder.encodeString("maxTerrainHeight", "7");
        coder.encodeString("bloomFilter", "YES");  // present, so the group is read: as absent values
        coder.encodeObject("depthTint", layer.get());
        coder.encodeObject("depthTintColor", layer.get());
        coder.encodeColor("vibranceFilter", Color::calibratedRGB(1, 1, 1));
        coder.encodeSize("vibranceStrength", {1, 2});
    });
    std::string error;
    std::shared_ptr<Scene> decoded = decodeScene(KeyedArchiver::archivedData(writer), &error);
    ASSERT_NE(decoded, nullptr) << error;
    EXPECT_TRUE(decoded->layers().empty());
    EXPECT_EQ(decoded->size(), (Size{0, 0}));
    EXPECT_EQ(decoded->maxTerrainHeight(), 4.0f);
    EXPECT_FALSE(decoded->bloomFilter());
    EXPECT_EQ(decoded->bloomRadius(), 0.0f);
    EXPECT_FALSE(decoded->depthTint());
    EXPECT_EQ(decoded->depthTintColor(), Scene().depthTintColor());
    EXPECT_FALSE(decoded->vibranceFilter());
    EXPECT_EQ(decoded->vibranceStrength(), 0.0f);
}

// Decodes a scene written by `write` and returns what reading repaired.
std::vector<std::string> repairsOf(const std::function<void(KeyedArchiver&)>& write, std::shared_ptr<Scene>* scene) {
    SceneWriter writer(write);
    UnarchiveResult result = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(writer));
    EXPECT_TRUE(result.error.empty()) << result.error;
    *scene = std::dynamic_pointer_cast<Scene>(result.root);
    EXPECT_NE(*scene, nullptr);
    return result.repairs;
}

TEST_F(SceneArchiveTest, ValuesOutsideTheSettersRangesAreClampedAndReportedOnce) {
    struct Case {
        const char* stored;
        Size repaired;
        const char* message;
    };
    const Case cases[] = {
        {"{-5, 10}", {0.1, 10}, "scene size {-5, 10} is outside 0.1–100; using {0.1, 10}"},
        {"{0, 0}", {0.1, 0.1}, "scene size {0, 0} is outside 0.1–100; using {0.1, 0.1}"},
        {"{0.001, 0.001}", {0.1, 0.1}, "scene size {0.001, 0.001} is outside 0.1–100; using {0.1, 0.1}"},
        {"{100000, 100000}", {100, 100}, "scene size {1e+05, 1e+05} is outside 0.1–100; using {100, 100}"},
        {"{1e300, 1e300}", {100, 100}, "scene size {1e+300, 1e+300} is outside 0.1–100; using {100, 100}"},
        {"{nan, 3}", {10, 3}, "scene size {nan, 3} is outside 0.1–100; using {10, 3}"},
        {"{inf, -inf}", {100, 0.1}, "scene size {inf, -inf} is outside 0.1–100; using {100, 0.1}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        std::shared_ptr<Scene> scene;
        const auto repairs = repairsOf([&](KeyedArchiver& coder) { coder.encodeString("size", c.stored); }, &scene);
        ASSERT_TRUE(scene);
        EXPECT_EQ(scene->size(), c.repaired);
        EXPECT_EQ(repairs, std::vector<std::string>{c.message});
        // Saved again, the repaired value is what the file holds, and reading it repairs nothing.
        UnarchiveResult again = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(*scene));
        EXPECT_TRUE(again.repairs.empty());
    }

    std::shared_ptr<Scene> scene;
    const auto repairs = repairsOf(
        [](KeyedArchiver& coder) {
            coder.encodeString("size", "{20, 30}");
            coder.encodeFloat("maxTerrainHeight", 1e9f);
            coder.encodeBool("bloomFilter", true);
            coder.encodeString("bloomRadius", "12");  // a string where a number belongs
            coder.encodeDouble("bloomIntensity", std::nan(""));
            coder.encodeBool("depthTint", true);
            coder.encodeFloat("depthTintOpacity", 3);
        },
        &scene);
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->size(), (Size{20, 30}));
    EXPECT_EQ(scene->maxTerrainHeight(), 10000.0f);
    EXPECT_EQ(scene->bloomRadius(), 0.0f);
    EXPECT_EQ(scene->depthTintOpacity(), 1.0f);
    const std::vector<std::string> expected = {
        "scene maximum terrain height 1e+09 is outside 0.01–10000; using 10000",
        "Scene 'bloomIntensity' is not a number; it is ignored",
        "Scene 'bloomRadius' holds a string where a number belongs; it is ignored",
        "scene depth tint opacity 3 is outside 0–1; using 1",
    };
    EXPECT_EQ(repairs, expected);
}

TEST_F(SceneArchiveTest, LayerWhoseSceneIsNotASceneStillJoinsTheDecodedScene) {
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    uint64_t layer = builder.reserve();
    uint64_t number = builder.add(Value::integer(12));
    builder.set(layer, builder.instance(kTestLayerClass,
                                        {{"scene", Value::uid(number)}, {"weight", Value::uid(number)}}));
    uint64_t list = builder.add(builder.list({layer}));
    builder.set(root, builder.instance("Scene", {{"layers", Value::uid(list)}}));
    std::shared_ptr<Scene> decoded = decodeScene(builder.bytes());
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->layers().size(), 1u);
    EXPECT_EQ(decoded->layers()[0]->scene(), decoded.get());
    auto typed = std::dynamic_pointer_cast<ArchiveTestLayer>(decoded->layers()[0]);
    EXPECT_EQ(typed->sceneWhileDecoding, nullptr);
    EXPECT_EQ(typed->weight, 12.0f);  // a number stored by reference still reads as the number
}

}  // namespace
}  // namespace korvane
