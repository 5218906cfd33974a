#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "foundation/archive/ArchiveClassRegistry.h"
#include "foundation/archive/BinaryPropertyList.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"

namespace korvane {
namespace {

// ---------------------------------------------------------------------------------------------
// Model classes of the tests

// Every value kind the archiver writes, each under its own key.
class Sampler final : public Archivable {
public:
    bool flag = false;
    int32_t count = 0;
    int64_t big = 0;
    float ratio = 0;
    double precise = 0;
    double exactInFloat = 0;  // a double that a float holds exactly, so it is stored in four bytes
    std::vector<uint8_t> bytes;
    Point point;
    Size size;
    std::optional<std::string> text;
    std::optional<std::string> dollar;  // stored under the key "$escaped"
    std::optional<std::vector<uint8_t>> data;
    std::optional<Color> translucent;
    std::optional<Color> opaque;
    std::shared_ptr<Bitmap> heights;
    std::shared_ptr<Bitmap> mask;
    std::shared_ptr<Bitmap> image;
    ArchiveValue value;
    std::vector<std::shared_ptr<Archivable>> children;

    std::string archiveClassName() const override { return "Sampler"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeBool("flag", flag);
        coder.encodeInt32("count", count);
        coder.encodeInt64("big", big);
        coder.encodeFloat("ratio", ratio);
        coder.encodeDouble("precise", precise);
        coder.encodeDouble("exactInFloat", exactInFloat);
        coder.encodeBytes("bytes", bytes);
        coder.encodePoint("point", point);
        coder.encodeSize("size", size);
        if (text) coder.encodeString("text", *text);
        if (dollar) coder.encodeString("$escaped", *dollar);
        if (data) coder.encodeData("data", *data);
        if (translucent) coder.encodeColor("translucent", *translucent);
        if (opaque) coder.encodeColor("opaque", *opaque);
        coder.encodeBitmap("heights", heights);
        coder.encodeBitmap("mask", mask);
        coder.encodeBitmap("image", image);
        coder.encodeValue("value", value);
        coder.encodeObjects("children", children);
    }
    void decode(KeyedUnarchiver& coder) override {
        flag = coder.decodeBool("flag");
        count = coder.decodeInt32("count");
        big = coder.decodeInt64("big");
        ratio = coder.decodeFloat("ratio");
        precise = coder.decodeDouble("precise");
        exactInFloat = coder.decodeDouble("exactInFloat");
        bytes = coder.decodeBytes("bytes");
        point = coder.decodePoint("point");
        size = coder.decodeSize("size");
        text = coder.decodeString("text");
        dollar = coder.decodeString("$escaped");
        data = coder.decodeData("data");
        translucent = coder.decodeColor("translucent");
        opaque = coder.decodeColor("opaque");
        heights = coder.decodeBitmap("heights");
        mask = coder.decodeBitmap("mask");
        image = coder.decodeBitmap("image");
        value = coder.decodeValue("value");
        children = coder.decodeObjectList("children");
    }
};

// A tree node with a non-owning back-reference to its parent and a reference to any other object.
class Node : public Archivable {
public:
    Node() = default;
    explicit Node(std::string name) : name(std::move(name)) {}

    std::string name;
    Node* parent = nullptr;
    std::weak_ptr<Archivable> favourite;
    std::vector<std::shared_ptr<Node>> children;
    std::shared_ptr<Bitmap> bitmap;

    std::string archiveClassName() const override { return "Node"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeString("name", name);
        coder.encodeObject("parent", parent);
        coder.encodeObject("favourite", favourite.lock());
        coder.encodeObjects("children", children);
        coder.encodeBitmap("bitmap", bitmap);
    }
    void decode(KeyedUnarchiver& coder) override {
        name = coder.decodeString("name").value_or("");
        // The parent is still being decoded; the archive keeps it alive until the root is returned.
        parent = coder.decodeObjectOfClass<Node>("parent").get();
        favourite = coder.decodeObject("favourite");
        children = coder.decodeObjects<Node>("children");
        bitmap = coder.decodeBitmap("bitmap");
    }

    std::shared_ptr<Node> addChild(std::shared_ptr<Node> child) {
        child->parent = this;
        children.push_back(child);
        return child;
    }
};

class SpecialNode final : public Node {
public:
    using Node::Node;
    std::string archiveClassName() const override { return "SpecialNode"; }
};

// Writes and reads whatever the test asks for.
class Scripted final : public Archivable {
public:
    std::function<void(KeyedArchiver&)> onEncode;
    static inline std::function<void(KeyedUnarchiver&)> onDecode;

    std::string archiveClassName() const override { return "Scripted"; }
    void encode(KeyedArchiver& coder) const override {
        if (onEncode) onEncode(coder);
    }
    void decode(KeyedUnarchiver& coder) override {
        if (onDecode) onDecode(coder);
    }
};

// The classes of the hand-written example archive that python builds below.
class DemoChild;
class Demo final : public Archivable {
public:
    float scale = 0;
    bool visible = false;
    int32_t count = 0;
    Point origin;
    std::optional<Color> tint;
    std::optional<std::string> title;
    std::vector<std::shared_ptr<DemoChild>> children;

    std::string archiveClassName() const override { return "Demo"; }
    void encode(KeyedArchiver&) const override {}
    void decode(KeyedUnarchiver& coder) override;
};

class DemoChild final : public Archivable {
public:
    std::optional<std::string> name;
    Demo* parent = nullptr;

    std::string archiveClassName() const override { return "DemoChild"; }
    void encode(KeyedArchiver&) const override {}
    void decode(KeyedUnarchiver& coder) override {
        name = coder.decodeString("name");
        parent = coder.decodeObjectOfClass<Demo>("parent").get();
    }
};

void Demo::decode(KeyedUnarchiver& coder) {
    scale = coder.decodeFloat("scale");
    visible = coder.decodeBool("visible");
    count = coder.decodeInt32("count");
    origin = coder.decodePoint("origin");
    tint = coder.decodeColor("tint");
    title = coder.decodeString("title");
    children = coder.decodeObjects<DemoChild>("children");
}

const ArchiveClassRegistry& testRegistry() {
    static ArchiveClassRegistry registry;
    static bool registered = [] {
        registry.registerClass<Sampler>("Sampler", "NSObject");
        registry.registerClass<Node>("Node", "NSObject");
        registry.registerClass<SpecialNode>("SpecialNode", "Node");
        registry.registerClass<Scripted>("Scripted", "NSObject");
        registry.registerClass<Demo>("Demo", "NSObject");
        registry.registerClass<DemoChild>("DemoChild", "NSObject");
        return true;
    }();
    (void)registered;
    return registry;
}

// ---------------------------------------------------------------------------------------------
// Helpers

std::vector<uint8_t> archive(const Archivable& root) {
    return KeyedArchiver::archivedData(root, testRegistry());
}

UnarchiveResult unarchive(std::span<const uint8_t> bytes) {
    return KeyedUnarchiver::unarchive(bytes, testRegistry(), KeyedUnarchiver::Limits{});
}

template <class T>
std::shared_ptr<T> roundTrip(const Archivable& root) {
    UnarchiveResult result = unarchive(archive(root));
    EXPECT_EQ(result.error, "");
    auto typed = std::dynamic_pointer_cast<T>(result.root);
    EXPECT_NE(typed, nullptr);
    return typed;
}

// Archives a Scripted root that writes with `write`, then decodes the file running `read` inside
// the root's decode.
UnarchiveResult writeThenRead(std::function<void(KeyedArchiver&)> write,
                              std::function<void(KeyedUnarchiver&)> read) {
    Scripted root;
    root.onEncode = std::move(write);
    std::vector<uint8_t> bytes = archive(root);
    Scripted::onDecode = std::move(read);
    UnarchiveResult result = unarchive(bytes);
    Scripted::onDecode = nullptr;
    return result;
}

// The raw structure of an archive, for checks of what was written.
class ArchiveView {
public:
    explicit ArchiveView(const std::vector<uint8_t>& bytes) {
        plist::ParseResult parsed = plist::parseBinary(bytes);
        EXPECT_TRUE(parsed.document) << parsed.error;
        if (parsed.document) document_ = std::move(*parsed.document);
    }
    const plist::Document& document() const { return document_; }
    const plist::Object& top() const { return document_.object(document_.topIndex()); }
    const plist::Object* member(const plist::Object& dictionary, std::string_view key) const {
        auto index = document_.lookup(dictionary, key);
        return index ? &document_.object(*index) : nullptr;
    }
    const plist::Object& objects() const {
        static const plist::Object kNone;
        const plist::Object* objects = member(top(), "$objects");
        return objects ? *objects : kNone;
    }
    size_t objectCount() const { return objects().items.size(); }
    const plist::Object& entry(uint64_t uid) const {
        static const plist::Object kNone;
        return uid < objectCount() ? document_.object(objects().items[uid]) : kNone;
    }
    uint64_t rootUid() const {
        const plist::Object* topKeys = member(top(), "$top");
        const plist::Object* root = topKeys ? member(*topKeys, "root") : nullptr;
        return root ? root->uid : 0;
    }
    // The "$classname" of the descriptor an object's "$class" points to; empty for anything else.
    std::string className(const plist::Object& object) const {
        const plist::Object* classRef = member(object, "$class");
        if (!classRef || classRef->kind != plist::Kind::Uid) return {};
        const plist::Object* name = member(entry(classRef->uid), "$classname");
        return name && name->kind == plist::Kind::String ? name->string : std::string();
    }
    std::vector<std::string> strings(const plist::Object& array) const {
        std::vector<std::string> result;
        for (uint32_t index : array.items) result.push_back(document_.object(index).string);
        return result;
    }

private:
    plist::Document document_;
};

std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A canonical text of a value, so that two values compare by their whole contents.
std::string describe(const ArchiveValue& value) {
    struct Describer {
        std::string operator()(std::monostate) const { return "none"; }
        std::string operator()(bool b) const { return b ? "YES" : "NO"; }
        std::string operator()(int64_t i) const { return "int " + std::to_string(i); }
        std::string operator()(double d) const { return "real " + number(d); }
        std::string operator()(const std::string& s) const { return "'" + s + "'"; }
        std::string operator()(const ArchiveData& d) const {
            std::string text = "data<";
            for (uint8_t byte : d) text += std::to_string(byte) + " ";
            return text + ">";
        }
        std::string operator()(const std::shared_ptr<Archivable>& o) const {
            return o ? "object " + o->archiveClassName() : "null object";
        }
        std::string operator()(const Color& c) const {
            return "colour " + number(c.red) + " " + number(c.green) + " " + number(c.blue) + " " +
                   number(c.alpha);
        }
        std::string operator()(const std::shared_ptr<Bitmap>& b) const {
            return b ? "bitmap " + std::to_string(b->width()) + "x" + std::to_string(b->height())
                     : "null bitmap";
        }
        std::string operator()(const ArchiveArray& array) const {
            std::string text = "[";
            for (const ArchiveValue& item : array) text += describe(item) + ", ";
            return text + "]";
        }
        std::string operator()(const ArchiveDictionary& dictionary) const {
            std::string text = "{";
            for (const auto& [key, item] : dictionary) text += key + ": " + describe(item) + ", ";
            return text + "}";
        }
    };
    return std::visit(Describer{}, value.storage());
}

Bitmap gray16Pattern() {
    Bitmap bitmap(7, 5, PixelFormat::Gray16);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x)
            bitmap.setGray16(x, y, uint16_t((x * 9973 + y * 31337) & 0xFFFF));
    }
    bitmap.setGray16(0, 0, 0);
    bitmap.setGray16(6, 4, 65535);
    bitmap.setGray16(3, 2, 0x0102);  // the two bytes differ, so a byte-order slip shows
    return bitmap;
}

Bitmap gray8Pattern() {
    Bitmap bitmap(9, 4, PixelFormat::Gray8);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) bitmap.setGray8(x, y, uint8_t(x * 29 + y * 71));
    }
    return bitmap;
}

// Colour under zero and partial alpha: a premultiplying codec would lose or round these.
Bitmap rgbaPattern() {
    Bitmap bitmap(6, 3, PixelFormat::RGBA8);
    for (size_t i = 0; i < bitmap.sizeInBytes(); ++i) bitmap.data()[i] = uint8_t(i * 37 + 11);
    uint8_t* clear = bitmap.pixel(1, 1);
    clear[0] = 200, clear[1] = 100, clear[2] = 50, clear[3] = 0;
    uint8_t* half = bitmap.pixel(2, 2);
    half[0] = 255, half[1] = 3, half[2] = 129, half[3] = 128;
    return bitmap;
}

bool havePlistlib() {
    return std::system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0;
}

// Runs a python3 script with one argument; its standard output, or nullopt when it failed.
std::optional<std::string> runPython(const std::string& script, const std::string& argument) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("korvane-keyed-" + std::to_string(getpid()) + ".py");
    std::ofstream(path) << script;
    FILE* pipe = popen(("python3 '" + path.string() + "' '" + argument + "'").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    std::filesystem::remove(path);
    if (status != 0) return std::nullopt;
    return output;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST(KeyedArchiveRoundTrip, EveryScalarAndStringKindReadsBackAsWritten) {
    Sampler sampler;
    sampler.flag = true;
    sampler.count = -123456;
    sampler.big = -(int64_t{1} << 53) - 7;  // beyond what a double holds exactly
    sampler.ratio = 0.1f;
    sampler.precise = 0.1;
    sampler.exactInFloat = 1.5;
    sampler.bytes = {0, 1, 0x80, 0xFF};
    sampler.point = {-10.25, 1e-7};
    sampler.size = {1920, 1080.5};
    sampler.text =
        "Gr\xC3\xBC\xC3\x9F"
        "e, \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8C\x84";  // Grüße, 日本 🌄
    sampler.dollar = "kept apart from $class";
    sampler.data = std::vector<uint8_t>{0, 0, 7, 0};

    std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->flag);
    EXPECT_EQ(decoded->count, -123456);
    EXPECT_EQ(decoded->big, -(int64_t{1} << 53) - 7);
    EXPECT_EQ(decoded->ratio, 0.1f);
    EXPECT_EQ(decoded->precise, 0.1);
    EXPECT_EQ(decoded->exactInFloat, 1.5);
    EXPECT_EQ(decoded->bytes, sampler.bytes);
    EXPECT_EQ(decoded->point, sampler.point);
    EXPECT_EQ(decoded->size, sampler.size);
    EXPECT_EQ(decoded->text, sampler.text);
    EXPECT_EQ(decoded->dollar, sampler.dollar);
    EXPECT_EQ(decoded->data, sampler.data);
}

TEST(KeyedArchiveRoundTrip, LargestAndSmallestIntegersSurvive) {
    Sampler sampler;
    sampler.count = std::numeric_limits<int32_t>::min();
    sampler.big = std::numeric_limits<int64_t>::max();
    std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->count, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(decoded->big, std::numeric_limits<int64_t>::max());

    sampler.count = std::numeric_limits<int32_t>::max();
    sampler.big = std::numeric_limits<int64_t>::min();
    decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->count, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(decoded->big, std::numeric_limits<int64_t>::min());
}

TEST(KeyedArchiveRoundTrip, ColoursKeepTheirAlphaWhetherOrNotItIsOne) {
    Sampler sampler;
    sampler.translucent = Color::calibratedRGB(0.1, 0.25, 1.0 / 3.0, 0.75);
    sampler.opaque = Color::calibratedRGB(1, 0.5, 0, 1);
    std::vector<uint8_t> bytes = archive(sampler);

    // Alpha appears in the component text only when it is not 1.
    ArchiveView view(bytes);
    std::vector<std::string> componentTexts;
    for (uint64_t uid = 1; uid < view.objectCount(); ++uid) {
        const plist::Object& entry = view.entry(uid);
        if (view.className(entry) != "NSColor") continue;
        const plist::Object* rgb = view.member(entry, "NSRGB");
        ASSERT_NE(rgb, nullptr);
        componentTexts.emplace_back(rgb->data.begin(), rgb->data.end());
    }
    EXPECT_EQ(componentTexts.size(), 2u);
    EXPECT_NE(std::find(componentTexts.begin(), componentTexts.end(), std::string("1 0.5 0\0", 8)),
              componentTexts.end());

    UnarchiveResult result = unarchive(bytes);
    auto decoded = std::dynamic_pointer_cast<Sampler>(result.root);
    ASSERT_NE(decoded, nullptr) << result.error;
    EXPECT_EQ(decoded->translucent, sampler.translucent);
    EXPECT_EQ(decoded->opaque, sampler.opaque);
}

TEST(KeyedArchiveRoundTrip, BitmapsOfEveryModelFormatAreBitExact) {
    Sampler sampler;
    sampler.heights = std::make_shared<Bitmap>(gray16Pattern());
    sampler.mask = std::make_shared<Bitmap>(gray8Pattern());
    sampler.image = std::make_shared<Bitmap>(rgbaPattern());
    std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    ASSERT_NE(decoded->heights, nullptr);
    ASSERT_NE(decoded->mask, nullptr);
    ASSERT_NE(decoded->image, nullptr);
    EXPECT_EQ(decoded->heights->format(), PixelFormat::Gray16);
    EXPECT_TRUE(*decoded->heights == *sampler.heights);
    EXPECT_EQ(decoded->mask->format(), PixelFormat::Gray8);
    EXPECT_TRUE(*decoded->mask == *sampler.mask);
    EXPECT_EQ(decoded->image->format(), PixelFormat::RGBA8);
    EXPECT_TRUE(*decoded->image == *sampler.image);
}

TEST(KeyedArchiveRoundTrip, NestedListsAndDictionariesKeepKindsAndOrder) {
    auto child = std::make_shared<Node>("inside");
    ArchiveDictionary inner = {{"z", ArchiveValue(1)}, {"a", ArchiveValue(2)}};  // not sorted: order is kept
    ArchiveArray list = {ArchiveValue(int64_t{-1}), ArchiveValue("two"),
                         ArchiveValue(ArchiveArray{ArchiveValue(3.5), ArchiveValue(false), ArchiveValue()}),
                         ArchiveValue(ArchiveDictionary{}), ArchiveValue(ArchiveArray{})};
    ArchiveDictionary root = {
        {"name", ArchiveValue("x")},
        {"count", ArchiveValue(int64_t{1} << 40)},
        {"pi", ArchiveValue(3.14159)},
        {"yes", ArchiveValue(true)},
        {"blob", ArchiveValue(ArchiveData{9, 0, 9})},
        {"list", ArchiveValue(std::move(list))},
        {"inner", ArchiveValue(std::move(inner))},
        {"colour", ArchiveValue(Color::calibratedRGB(0.25, 0.5, 0.75, 0.5))},
        {"node", ArchiveValue(std::shared_ptr<Archivable>(child))},
        {"bitmap", ArchiveValue(std::make_shared<Bitmap>(gray8Pattern()))},
        {"nothing", ArchiveValue()},
        {"$dollar", ArchiveValue("keys of a dictionary are not escaped")},
    };
    Sampler sampler;
    sampler.value = ArchiveValue(std::move(root));

    std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(describe(decoded->value), describe(sampler.value));
    const ArchiveDictionary* entries = decoded->value.get<ArchiveDictionary>();
    ASSERT_NE(entries, nullptr);
    const auto& bitmap = (*entries)[9].second.get<std::shared_ptr<Bitmap>>();
    ASSERT_TRUE(bitmap && *bitmap);
    EXPECT_TRUE(**bitmap == gray8Pattern());
}

TEST(KeyedArchiveRoundTrip, TopLevelValuesOfEveryPlainKind) {
    for (const ArchiveValue& value :
         {ArchiveValue(true), ArchiveValue(int64_t{-5}), ArchiveValue(2.5), ArchiveValue("text"),
          ArchiveValue(ArchiveData{1, 2}), ArchiveValue(Color::calibratedWhite(0.5)), ArchiveValue()}) {
        Sampler sampler;
        sampler.value = value;
        std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(describe(decoded->value), describe(value));
    }
}

TEST(KeyedArchiveRoundTrip, ObjectListsKeepOrderAndClasses) {
    Sampler sampler;
    for (const char* name : {"first", "second", "third"})
        sampler.children.push_back(std::make_shared<Node>(name));
    sampler.children.push_back(std::make_shared<SpecialNode>("fourth"));
    std::shared_ptr<Sampler> decoded = roundTrip<Sampler>(sampler);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->children.size(), 4u);
    std::vector<std::string> names;
    for (const auto& child : decoded->children) names.push_back(std::dynamic_pointer_cast<Node>(child)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_NE(std::dynamic_pointer_cast<SpecialNode>(decoded->children[3]), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<SpecialNode>(decoded->children[0]), nullptr);
}

TEST(KeyedArchiveRoundTrip, DollarKeysAreWrittenWithOneMoreDollar) {
    Sampler sampler;
    sampler.dollar = "value";
    ArchiveView view(archive(sampler));
    const plist::Object& root = view.entry(view.rootUid());
    EXPECT_NE(view.member(root, "$$escaped"), nullptr);
    EXPECT_EQ(view.member(root, "$escaped"), nullptr);
    EXPECT_EQ(view.className(root), "Sampler");
}

TEST(KeyedArchiveRoundTrip, LargeHonestArchiveStaysWithinTheReadingLimits) {
    // Many small objects sharing one long (deduplicated) name, and a heightmap that compresses
    // poorly: the limits that stop hostile files must not refuse this.
    constexpr int kNodes = 30'000;
    Node root("root");
    const std::string sharedName(200, 'n');
    for (int i = 0; i < kNodes; ++i) root.addChild(std::make_shared<Node>(sharedName));
    Bitmap heights(512, 512, PixelFormat::Gray16);
    uint32_t state = 12345;
    for (int y = 0; y < heights.height(); ++y) {
        for (int x = 0; x < heights.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            heights.setGray16(x, y, uint16_t(state >> 16));
        }
    }
    root.bitmap = std::make_shared<Bitmap>(heights);

    std::shared_ptr<Node> decoded = roundTrip<Node>(root);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->children.size(), size_t(kNodes));
    EXPECT_EQ(decoded->children.back()->name, sharedName);
    ASSERT_NE(decoded->bitmap, nullptr);
    EXPECT_TRUE(*decoded->bitmap == heights);
}

// ---------------------------------------------------------------------------------------------
// Identity

TEST(KeyedArchiveIdentity, SharedObjectsAndBitmapsDecodeToOneInstance) {
    auto root = std::make_shared<Node>("root");
    auto a = root->addChild(std::make_shared<Node>("a"));
    auto b = root->addChild(std::make_shared<Node>("b"));
    auto shared = std::make_shared<Bitmap>(gray8Pattern());
    a->bitmap = shared;
    b->bitmap = shared;
    root->favourite = b;  // b is referenced from the list and from the root
    a->favourite = a;     // an object referring to itself
    std::vector<uint8_t> bytes = archive(*root);

    // Written once each: three nodes, one bitmap.
    ArchiveView view(bytes);
    int nodes = 0, bitmaps = 0;
    for (uint64_t uid = 1; uid < view.objectCount(); ++uid) {
        std::string name = view.className(view.entry(uid));
        nodes += name == "Node";
        bitmaps += name == "NSBitmapImageRep";
    }
    EXPECT_EQ(nodes, 3);
    EXPECT_EQ(bitmaps, 1);

    UnarchiveResult result = unarchive(bytes);
    auto decoded = std::dynamic_pointer_cast<Node>(result.root);
    ASSERT_NE(decoded, nullptr) << result.error;
    ASSERT_EQ(decoded->children.size(), 2u);
    const auto& da = decoded->children[0];
    const auto& db = decoded->children[1];
    EXPECT_EQ(decoded->favourite.lock(), db);
    EXPECT_EQ(da->favourite.lock(), da);
    ASSERT_NE(da->bitmap, nullptr);
    EXPECT_EQ(da->bitmap, db->bitmap);
    EXPECT_TRUE(*da->bitmap == *shared);
}

TEST(KeyedArchiveIdentity, BackReferencesResolveToTheObjectBeingDecoded) {
    auto root = std::make_shared<Node>("root");
    auto middle = root->addChild(std::make_shared<Node>("middle"));
    middle->addChild(std::make_shared<Node>("leaf"));
    root->addChild(std::make_shared<Node>("other"));

    std::shared_ptr<Node> decoded = roundTrip<Node>(*root);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->parent, nullptr);
    ASSERT_EQ(decoded->children.size(), 2u);
    for (const auto& child : decoded->children) EXPECT_EQ(child->parent, decoded.get());
    ASSERT_EQ(decoded->children[0]->children.size(), 1u);
    EXPECT_EQ(decoded->children[0]->children[0]->parent, decoded->children[0].get());
    EXPECT_EQ(decoded->children[0]->children[0]->name, "leaf");
}

TEST(KeyedArchiveIdentity, ClassDescriptorIsStoredOnceWithTheClassChain) {
    Node root("root");
    for (int i = 0; i < 3; ++i) root.addChild(std::make_shared<SpecialNode>("special"));
    root.addChild(std::make_shared<Node>("plain"));
    std::vector<uint8_t> bytes = archive(root);
    ArchiveView view(bytes);

    std::map<std::string, int> descriptors;
    std::map<std::string, std::vector<std::string>> chains;
    std::set<uint64_t> specialClassUids;
    for (uint64_t uid = 1; uid < view.objectCount(); ++uid) {
        const plist::Object& entry = view.entry(uid);
        if (const plist::Object* name = view.member(entry, "$classname")) {
            ++descriptors[name->string];
            const plist::Object* classes = view.member(entry, "$classes");
            ASSERT_NE(classes, nullptr);
            chains[name->string] = view.strings(*classes);
        } else if (view.className(entry) == "SpecialNode") {
            specialClassUids.insert(view.member(entry, "$class")->uid);
        }
    }
    EXPECT_EQ(descriptors["SpecialNode"], 1);
    EXPECT_EQ(descriptors["Node"], 1);
    EXPECT_EQ(descriptors["NSMutableArray"], 1);
    EXPECT_EQ(specialClassUids.size(), 1u);
    EXPECT_EQ(chains["SpecialNode"], (std::vector<std::string>{"SpecialNode", "Node", "NSObject"}));
    EXPECT_EQ(chains["Node"], (std::vector<std::string>{"Node", "NSObject"}));
    EXPECT_EQ(chains["NSMutableArray"], (std::vector<std::string>{"NSMutableArray", "NSArray", "NSObject"}));

    std::shared_ptr<Node> decoded = roundTrip<Node>(root);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->children.size(), 4u);
    EXPECT_NE(std::dynamic_pointer_cast<SpecialNode>(decoded->children[2]), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<SpecialNode>(decoded->children[3]), nullptr);
}

TEST(KeyedArchiveIdentity, FileHasTheArchiverHeaderAndNullFirst) {
    ArchiveView view(archive(Node("root")));
    const plist::Object* archiver = view.member(view.top(), "$archiver");
    const plist::Object* version = view.member(view.top(), "$version");
    ASSERT_NE(archiver, nullptr);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(archiver->string, "NSKeyedArchiver");
    EXPECT_EQ(version->integer, 100000);
    EXPECT_EQ(view.entry(0).string, "$null");
    EXPECT_EQ(view.rootUid(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Decoding absent keys and values of the wrong kind

TEST(KeyedArchiveDecoding, AbsentKeysReadAsZeroNoOrNone) {
    bool ran = false;
    UnarchiveResult result = writeThenRead([](KeyedArchiver&) {},
                                           [&](KeyedUnarchiver& coder) {
                                               ran = true;
                                               EXPECT_FALSE(coder.containsValue("missing"));
                                               EXPECT_FALSE(coder.decodeBool("missing"));
                                               EXPECT_EQ(coder.decodeInt32("missing"), 0);
                                               EXPECT_EQ(coder.decodeInt64("missing"), 0);
                                               EXPECT_EQ(coder.decodeFloat("missing"), 0.0f);
                                               EXPECT_EQ(coder.decodeDouble("missing"), 0.0);
                                               EXPECT_TRUE(coder.decodeBytes("missing").empty());
                                               EXPECT_EQ(coder.decodePoint("missing"), Point{});
                                               EXPECT_EQ(coder.decodeSize("missing"), Size{});
                                               EXPECT_FALSE(coder.decodeString("missing"));
                                               EXPECT_FALSE(coder.decodeData("missing"));
                                               EXPECT_FALSE(coder.decodeColor("missing"));
                                               EXPECT_EQ(coder.decodeBitmap("missing"), nullptr);
                                               EXPECT_EQ(coder.decodeObject("missing"), nullptr);
                                               EXPECT_TRUE(coder.decodeObjectList("missing").empty());
                                               EXPECT_TRUE(coder.decodeValue("missing").isNone());
                                           });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result.error, "");
    EXPECT_NE(result.root, nullptr);
}

TEST(KeyedArchiveDecoding, NullReferencesAreStoredKeysWithNoValue) {
    UnarchiveResult result = writeThenRead(
        [](KeyedArchiver& coder) {
            coder.encodeObject("object", nullptr);
            coder.encodeBitmap("bitmap", nullptr);
            coder.encodeString("dollarNull", "$null");  // the archive's nil marker reads as none
        },
        [](KeyedUnarchiver& coder) {
            EXPECT_TRUE(coder.containsValue("object"));
            EXPECT_EQ(coder.decodeObject("object"), nullptr);
            EXPECT_EQ(coder.decodeBitmap("bitmap"), nullptr);
            EXPECT_FALSE(coder.decodeString("dollarNull"));
        });
    EXPECT_EQ(result.error, "");
}

TEST(KeyedArchiveDecoding, ValuesOfTheWrongKindReadAsAbsentWithoutFailing) {
    auto node = std::make_shared<Node>("n");
    UnarchiveResult result = writeThenRead(
        [&](KeyedArchiver& coder) {
            coder.encodeString("text", "12.5");
            coder.encodeInt32("number", 7);
            coder.encodeObject("layer", node.get());
            coder.encodeColor("colour", Color::calibratedRGB(1, 0, 0));
            coder.encodeBitmap("bitmap", std::make_shared<Bitmap>(gray8Pattern()));
            coder.encodeValue("list", ArchiveValue(ArchiveArray{ArchiveValue(1)}));
        },
        [](KeyedUnarchiver& coder) {
            EXPECT_EQ(coder.decodeFloat("text"), 0.0f);
            EXPECT_EQ(coder.decodeInt32("text"), 0);
            EXPECT_FALSE(coder.decodeBool("text"));
            EXPECT_EQ(coder.decodeObject("number"), nullptr);
            EXPECT_EQ(coder.decodeObject("text"), nullptr);
            EXPECT_EQ(coder.decodeObject("colour"), nullptr);
            EXPECT_EQ(coder.decodeObject("bitmap"), nullptr);
            EXPECT_EQ(coder.decodeObject("list"), nullptr);
            EXPECT_FALSE(coder.decodeColor("layer"));
            EXPECT_FALSE(coder.decodeColor("number"));
            EXPECT_FALSE(coder.decodeColor("text"));
            EXPECT_FALSE(coder.decodeString("number"));
            EXPECT_FALSE(coder.decodeString("layer"));
            EXPECT_FALSE(coder.decodeData("text"));
            EXPECT_TRUE(coder.decodeBytes("number").empty());
            EXPECT_EQ(coder.decodeBitmap("layer"), nullptr);
            EXPECT_EQ(coder.decodeBitmap("text"), nullptr);
            EXPECT_EQ(coder.decodeBitmap("colour"), nullptr);
            EXPECT_TRUE(coder.decodeObjectList("text").empty());
            EXPECT_TRUE(coder.decodeObjectList("layer").empty());
            EXPECT_TRUE(coder.decodeObjectList("number").empty());
            EXPECT_EQ(coder.decodePoint("number"), Point{});
            EXPECT_EQ(coder.decodeSize("layer"), Size{});
            EXPECT_EQ(coder.decodeObjectOfClass<Scripted>("layer"), nullptr);  // a Node, not a Scripted
            // The object read with the wrong type is still the node for the right one.
            auto asNode = coder.decodeObjectOfClass<Node>("layer");
            ASSERT_NE(asNode, nullptr);
            EXPECT_EQ(asNode->name, "n");
        });
    EXPECT_EQ(result.error, "");
    EXPECT_NE(result.root, nullptr);
}

TEST(KeyedArchiveDecoding, NumbersConvertBetweenStoredKinds) {
    UnarchiveResult result = writeThenRead(
        [](KeyedArchiver& coder) {
            coder.encodeFloat("real", 2.75f);
            coder.encodeDouble("negativeReal", -2.75);
            coder.encodeInt64("wide", int64_t{1} << 40);
            coder.encodeInt64("wideNegative", -(int64_t{1} << 40));
            coder.encodeBool("yes", true);
            coder.encodeInt32("three", 3);
            coder.encodeDouble("huge", 1e19);
            coder.encodeDouble("hugeNegative", -1e19);
            coder.encodeDouble("twoToThe63", 9223372036854775808.0);
        },
        [](KeyedUnarchiver& coder) {
            EXPECT_EQ(coder.decodeInt32("real"), 2);
            EXPECT_EQ(coder.decodeInt32("negativeReal"), -2);
            EXPECT_EQ(coder.decodeInt32("wide"), std::numeric_limits<int32_t>::max());
            EXPECT_EQ(coder.decodeInt32("wideNegative"), std::numeric_limits<int32_t>::min());
            EXPECT_EQ(coder.decodeInt32("yes"), 1);
            EXPECT_EQ(coder.decodeFloat("yes"), 1.0f);
            EXPECT_EQ(coder.decodeDouble("three"), 3.0);
            EXPECT_TRUE(coder.decodeBool("three"));
            EXPECT_TRUE(coder.decodeBool("real"));
            EXPECT_EQ(coder.decodeInt64("real"), 2);
            // Reals beyond the integer range clamp to its ends.
            EXPECT_EQ(coder.decodeInt64("huge"), std::numeric_limits<int64_t>::max());
            EXPECT_EQ(coder.decodeInt64("twoToThe63"), std::numeric_limits<int64_t>::max());
            EXPECT_EQ(coder.decodeInt64("hugeNegative"), std::numeric_limits<int64_t>::min());
            EXPECT_EQ(coder.decodeInt32("huge"), std::numeric_limits<int32_t>::max());
        });
    EXPECT_EQ(result.error, "");
}

TEST(KeyedArchiveDecoding, NonFiniteNumbersReadAsZero) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    UnarchiveResult result = writeThenRead(
        [&](KeyedArchiver& coder) {
            coder.encodeFloat("infinity", std::numeric_limits<float>::infinity());
            coder.encodeDouble("nan", nan);
            coder.encodeDouble("negativeInfinity", -inf);
            coder.encodeDouble("beyondFloat", 1e300);
            coder.encodePoint("point", Point{nan, inf});
            coder.encodeString("hugeText", "{1e999, -5}");
            coder.encodeValue("list", ArchiveValue(ArchiveArray{ArchiveValue(nan), ArchiveValue(-inf)}));
        },
        [](KeyedUnarchiver& coder) {
            EXPECT_EQ(coder.decodeFloat("infinity"), 0.0f);
            EXPECT_EQ(coder.decodeDouble("infinity"), 0.0);
            EXPECT_EQ(coder.decodeFloat("nan"), 0.0f);
            EXPECT_EQ(coder.decodeDouble("nan"), 0.0);
            EXPECT_EQ(coder.decodeDouble("negativeInfinity"), 0.0);
            EXPECT_EQ(coder.decodeInt32("nan"), 0);
            EXPECT_EQ(coder.decodeInt64("negativeInfinity"), 0);
            // Finite as a double, infinite once narrowed to float.
            EXPECT_EQ(coder.decodeDouble("beyondFloat"), 1e300);
            EXPECT_EQ(coder.decodeFloat("beyondFloat"), 0.0f);
            EXPECT_EQ(coder.decodePoint("point"), (Point{0, 0}));
            EXPECT_EQ(coder.decodePoint("hugeText"), (Point{0, -5}));
            EXPECT_EQ(describe(coder.decodeValue("list")), "[real 0, real 0, ]");
        });
    EXPECT_EQ(result.error, "");
}

TEST(KeyedArchiveDecoding, ModelClassCanFailTheWholeArchiveAndTheFirstReasonWins) {
    UnarchiveResult result = writeThenRead([](KeyedArchiver&) {},
                                           [](KeyedUnarchiver& coder) {
                                               coder.failWithError("the heightmap is missing");
                                               coder.failWithError("a later reason");
                                               EXPECT_TRUE(coder.failed());
                                               // Once failed, every key reads as absent.
                                               EXPECT_FALSE(coder.containsValue("anything"));
                                           });
    EXPECT_EQ(result.root, nullptr);
    EXPECT_EQ(result.error, "the heightmap is missing");
}

TEST(KeyedArchiveDecoding, SharedRegistryRejectsClassesRegisteredElsewhere) {
    // The shared registry knows none of these test classes: the name is the reason.
    std::string error;
    std::vector<uint8_t> bytes = archive(Node("root"));
    EXPECT_EQ(KeyedUnarchiver::unarchiveRoot<Node>(bytes, "node", &error), nullptr);
    EXPECT_NE(error.find("'Node'"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------------------------
// Interoperability with python3's plistlib

TEST(KeyedArchiveInterop, HandWrittenPlatformArchiveDecodes) {
    if (!havePlistlib()) GTEST_SKIP() << "python3 with plistlib is not available";
    // The example archive of the format notes: a Demo root with two children pointing back at it.
    const std::string script = R"PY(
import plistlib, sys
from plistlib import UID
objects = [
    "$null",
    {"$class": UID(13), "children": UID(2), "scale": 1.5, "visible": True, "count": -2,
     "origin": UID(9), "tint": UID(10), "title": UID(12)},
    {"$class": UID(8), "NS.objects": [UID(3), UID(6)]},
    {"$class": UID(5), "parent": UID(1), "name": UID(4)},
    "a",
    {"$classname": "DemoChild", "$classes": ["DemoChild", "NSObject"]},
    {"$class": UID(5), "parent": UID(1), "name": UID(7)},
    "b",
    {"$classname": "NSMutableArray", "$classes": ["NSMutableArray", "NSArray", "NSObject"]},
    "{10, 20.5}",
    {"$class": UID(11), "NSColorSpace": 1, "NSRGB": b"1 0.5 0 0.75\x00"},
    {"$classname": "NSColor", "$classes": ["NSColor", "NSObject"]},
    "Scene",
    {"$classname": "Demo", "$classes": ["Demo", "NSObject"]},
]
archive = {"$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {"root": UID(1)},
           "$objects": objects}
with open(sys.argv[1], "wb") as f:
    plistlib.dump(archive, f, fmt=plistlib.FMT_BINARY, sort_keys=False)
)PY";
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("korvane-demo-" + std::to_string(getpid()) + ".plist");
    ASSERT_TRUE(runPython(script, path.string()));
    std::vector<uint8_t> bytes = readFile(path);
    std::filesystem::remove(path);

    UnarchiveResult result = unarchive(bytes);
    auto demo = std::dynamic_pointer_cast<Demo>(result.root);
    ASSERT_NE(demo, nullptr) << result.error;
    EXPECT_EQ(demo->scale, 1.5f);
    EXPECT_TRUE(demo->visible);
    EXPECT_EQ(demo->count, -2);
    EXPECT_EQ(demo->origin, (Point{10, 20.5}));
    EXPECT_EQ(demo->tint, Color::calibratedRGB(1, 0.5, 0, 0.75));
    EXPECT_EQ(demo->title, "Scene");
    ASSERT_EQ(demo->children.size(), 2u);
    EXPECT_EQ(demo->children[0]->name, "a");
    EXPECT_EQ(demo->children[1]->name, "b");
    EXPECT_EQ(demo->children[0]->parent, demo.get());
    EXPECT_EQ(demo->children[1]->parent, demo.get());
}

TEST(KeyedArchiveInterop, PlistlibReadsTheArchiverOutputWithItsReferences) {
    if (!havePlistlib()) GTEST_SKIP() << "python3 with plistlib is not available";
    Node root("root");
    root.addChild(std::make_shared<SpecialNode>("child"));
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("korvane-node-" + std::to_string(getpid()) + ".plist");
    std::vector<uint8_t> bytes = archive(root);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // Follows the references as plain UIDs: root → children → child → parent must be the root.
    const std::string script = R"PY(
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    archive = plistlib.load(f)
objects = archive["$objects"]
root_uid = archive["$top"]["root"]
root = objects[root_uid.data]
children = objects[root["children"].data]["NS.objects"]
child = objects[children[0].data]
descriptor = objects[child["$class"].data]
print(archive["$archiver"], archive["$version"], objects[root["$class"].data]["$classname"],
      objects[child["name"].data], child["parent"].data == root_uid.data, ",".join(descriptor["$classes"]))
)PY";
    std::optional<std::string> output = runPython(script, path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(output);
    EXPECT_EQ(*output, "NSKeyedArchiver 100000 Node child True SpecialNode,Node,NSObject\n");
}

}  // namespace
}  // namespace korvane
