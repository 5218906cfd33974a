// Damaged and malicious keyed archives: each must fail with a message (or, where the format allows
// it, decode), quickly and without touching memory it does not own. The sanitizer build runs these.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "foundation/ImageCodecs.h"
#include "foundation/archive/ArchiveClassRegistry.h"
#include "foundation/archive/BinaryPropertyList.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"

namespace korvane {
namespace {

using plist::Value;
using Entries = std::vector<std::pair<std::string, Value>>;

// A short, non-owning text of a decoded value (hostile files make cycles, so nothing is kept).
std::string describe(const ArchiveValue& value) {
    struct Describer {
        std::string operator()(std::monostate) const { return "none"; }
        std::string operator()(bool b) const { return b ? "YES" : "NO"; }
        std::string operator()(int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return std::to_string(d); }
        std::string operator()(const std::string& s) const { return "'" + s + "'"; }
        std::string operator()(const ArchiveData& d) const { return "data" + std::to_string(d.size()); }
        std::string operator()(const std::shared_ptr<Archivable>& o) const {
            return o ? o->archiveClassName() : "null";
        }
        std::string operator()(const Color&) const { return "colour"; }
        std::string operator()(const std::shared_ptr<Bitmap>& b) const {
            return b ? "bitmap" : "null bitmap";
        }
        std::string operator()(const ArchiveArray& array) const {
            std::string text = "[";
            for (size_t i = 0; i < array.size(); ++i) text += (i ? " " : "") + describe(array[i]);
            return text + "]";
        }
        std::string operator()(const ArchiveDictionary& dictionary) const {
            std::string text = "{";
            for (const auto& [key, item] : dictionary) text += key + ":" + describe(item) + " ";
            return text + "}";
        }
    };
    return std::visit(Describer{}, value.storage());
}

// Reads one key along each of the unarchiver's paths. What it read is recorded as plain facts;
// references are not kept, since a hostile file can make any object refer to any other.
class Holder final : public Archivable {
public:
    // Written.
    std::string name;
    std::vector<std::shared_ptr<Archivable>> items;
    ArchiveValue value;
    std::shared_ptr<Archivable> next;
    std::shared_ptr<Bitmap> bitmap;
    std::optional<Color> colour;
    Size size;

    // Read.
    std::optional<std::string> readName;
    size_t readItemCount = 0;
    std::string readValue;
    bool readNext = false;
    std::optional<Color> readColour;
    size_t readDistinctBitmaps = 0;  // among the elements of a list value

    std::string archiveClassName() const override { return "Holder"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeString("name", name);
        coder.encodeObjects("items", items);
        coder.encodeValue("value", value);
        coder.encodeObject("next", next);
        coder.encodeBitmap("bitmap", bitmap);
        if (colour) coder.encodeColor("colour", *colour);
        coder.encodeSize("size", size);
    }
    void decode(KeyedUnarchiver& coder) override {
        readName = coder.decodeString("name");
        readItemCount = coder.decodeObjectList("items").size();
        ArchiveValue decoded = coder.decodeValue("value");
        readValue = describe(decoded);
        if (const ArchiveArray* list = decoded.get<ArchiveArray>()) {
            std::set<const Bitmap*> distinct;
            for (const ArchiveValue& item : *list) {
                if (auto bitmap = item.get<std::shared_ptr<Bitmap>>()) distinct.insert(bitmap->get());
            }
            readDistinctBitmaps = distinct.size();
        }
        readNext = coder.decodeObject("next") != nullptr;
        bitmap = coder.decodeBitmap("bitmap");
        readColour = coder.decodeColor("colour");
        size = coder.decodeSize("size");
    }
};

const ArchiveClassRegistry& registry() {
    static ArchiveClassRegistry registry;
    static bool registered = (registry.registerClass<Holder>("Holder", "NSObject"), true);
    (void)registered;
    return registry;
}

UnarchiveResult decode(std::span<const uint8_t> bytes) {
    return KeyedUnarchiver::unarchive(bytes, registry(), KeyedUnarchiver::Limits{});
}

// The file must fail as a whole: no root, a message, and the message holds `reason` when given.
void expectRejected(std::span<const uint8_t> bytes, const std::string& reason = {}) {
    UnarchiveResult result = decode(bytes);
    EXPECT_EQ(result.root, nullptr);
    EXPECT_FALSE(result.error.empty());
    if (!reason.empty()) {
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
    }
}

std::shared_ptr<Holder> expectDecoded(std::span<const uint8_t> bytes) {
    UnarchiveResult result = decode(bytes);
    EXPECT_EQ(result.error, "");
    auto holder = std::dynamic_pointer_cast<Holder>(result.root);
    EXPECT_NE(holder, nullptr);
    return holder;
}

// Milliseconds `run` takes.
double millisecondsOf(const std::function<void()>& run) {
    auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Far above what these inputs need when the work is proportional, far below what the multiplied
// work would take (minutes to hours), even under the sanitizers.
constexpr double kQuickMilliseconds = 20'000;

// ---------------------------------------------------------------------------------------------
// Archives built as property-list trees

// The $objects table of an archive under construction; UIDs are indexes into it.
class ArchiveBuilder {
public:
    ArchiveBuilder() { objects_.push_back(Value::string("$null")); }

    uint64_t add(Value value) {
        objects_.push_back(std::move(value));
        return objects_.size() - 1;
    }
    uint64_t reserve() { return add(Value()); }
    void set(uint64_t uid, Value value) { objects_[uid] = std::move(value); }

    // One descriptor per class name, with a two-entry chain.
    uint64_t classUid(const std::string& name) {
        if (auto it = classes_.find(name); it != classes_.end()) return it->second;
        uint64_t uid = add(Value::dictionary(
            {{"$classname", Value::string(name)},
             {"$classes", Value::array({Value::string(name), Value::string("NSObject")})}}));
        classes_[name] = uid;
        return uid;
    }
    Value instance(const std::string& className, Entries entries) {
        entries.insert(entries.begin(), {"$class", Value::uid(classUid(className))});
        return Value::dictionary(std::move(entries));
    }
    // The UID is taken before the descriptor is added, so the first object made is UID 1.
    uint64_t object(const std::string& className, Entries entries) {
        uint64_t uid = reserve();
        set(uid, instance(className, std::move(entries)));
        return uid;
    }
    Value listValue(const std::vector<uint64_t>& uids) {
        std::vector<Value> refs;
        for (uint64_t uid : uids) refs.push_back(Value::uid(uid));
        return instance("NSMutableArray", {{"NS.objects", Value::array(std::move(refs))}});
    }
    uint64_t list(const std::vector<uint64_t>& uids) {
        uint64_t uid = reserve();
        set(uid, listValue(uids));
        return uid;
    }

    Entries fileEntries(uint64_t root = 1) const {
        return {{"$version", Value::integer(100000)},
                {"$archiver", Value::string("NSKeyedArchiver")},
                {"$top", Value::dictionary({{"root", Value::uid(root)}})},
                {"$objects", Value::array(objects_)}};
    }
    std::vector<uint8_t> bytes(uint64_t root = 1) const {
        return plist::writeBinary(Value::dictionary(fileEntries(root)));
    }
    // The file with one top-level entry replaced (or removed, when `value` is empty).
    std::vector<uint8_t> bytesWith(const std::string& key, std::optional<Value> value) const {
        Entries entries;
        for (auto& entry : fileEntries()) {
            if (entry.first != key) {
                entries.push_back(std::move(entry));
            } else if (value) {
                entries.emplace_back(key, *value);
            }
        }
        return plist::writeBinary(Value::dictionary(std::move(entries)));
    }

private:
    std::vector<Value> objects_;
    std::map<std::string, uint64_t> classes_;
};

// A root Holder (UID 1) with the given keys.
ArchiveBuilder holderArchive(Entries entries) {
    ArchiveBuilder builder;
    uint64_t root = builder.reserve();
    builder.set(root, builder.instance("Holder", std::move(entries)));
    return builder;
}

// A realistic archive: nested holders, a list, a dictionary value, a colour and a bitmap.
std::vector<uint8_t> realArchive() {
    auto root = std::make_shared<Holder>();
    root->name = "root";
    root->colour = Color::calibratedRGB(0.2, 0.4, 0.6, 0.8);
    root->size = {512, 256};
    Bitmap bitmap(8, 8, PixelFormat::Gray16);
    for (int i = 0; i < 64; ++i) bitmap.setGray16(i % 8, i / 8, uint16_t(i * 1000));
    root->bitmap = std::make_shared<Bitmap>(bitmap);
    for (int i = 0; i < 3; ++i) {
        auto child = std::make_shared<Holder>();
        child->name = "child " + std::to_string(i);
        child->bitmap = root->bitmap;
        root->items.push_back(child);
    }
    root->value = ArchiveValue(ArchiveDictionary{
        {"list", ArchiveValue(ArchiveArray{ArchiveValue(1), ArchiveValue("two"), ArchiveValue(3.5)})},
        {"flag", ArchiveValue(true)}});
    root->next = root->items[0];
    return KeyedArchiver::archivedData(*root, registry());
}

// ---------------------------------------------------------------------------------------------
// Files assembled byte by byte

// A bplist00 file written object by object, for shapes the writer never produces: one object
// referenced any number of times, duplicate keys, counts that claim more than the file holds.
class RawPlist {
public:
    uint32_t string(const std::string& ascii) {
        return add(header(0x5, ascii.size()), {}, {ascii.begin(), ascii.end()});
    }
    uint32_t data(const std::vector<uint8_t>& bytes) { return add(header(0x4, bytes.size()), {}, bytes); }
    uint32_t integer(int64_t value) { return add({0x13}, {}, bigEndian(uint64_t(value), 8)); }
    uint32_t uid(uint32_t value) { return add({0x83}, {}, bigEndian(value, 4)); }
    // An array of the given references; `claimedCount` writes another count than the one present.
    uint32_t array(std::vector<uint32_t> refs, std::optional<uint64_t> claimedCount = {}) {
        std::vector<uint8_t> head = header(0xA, claimedCount.value_or(refs.size()));
        return add(std::move(head), std::move(refs), {});
    }
    uint32_t dictionary(const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
        std::vector<uint32_t> refs;
        for (const auto& entry : entries) refs.push_back(entry.first);
        for (const auto& entry : entries) refs.push_back(entry.second);
        return add(header(0xD, entries.size()), std::move(refs), {});
    }
    // A dictionary of string keys.
    uint32_t record(const std::vector<std::pair<std::string, uint32_t>>& entries) {
        std::vector<std::pair<uint32_t, uint32_t>> refs;
        for (const auto& [key, value] : entries) refs.emplace_back(string(key), value);
        return dictionary(refs);
    }

    // The keyed-archive frame around an $objects table of object indexes; the root is UID 1.
    std::vector<uint8_t> archive(std::vector<uint32_t> objects) {
        uint32_t top = record({{"$archiver", string("NSKeyedArchiver")},
                               {"$version", integer(100000)},
                               {"$top", record({{"root", uid(1)}})},
                               {"$objects", array(std::move(objects))}});
        return bytes(top);
    }

    std::vector<uint8_t> bytes(uint32_t top) const {
        const size_t refSize = entries_.size() < 0x100 ? 1 : entries_.size() < 0x10000 ? 2 : 4;
        std::vector<uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<uint64_t> offsets;
        for (const Entry& entry : entries_) {
            offsets.push_back(out.size());
            out.insert(out.end(), entry.head.begin(), entry.head.end());
            for (uint32_t ref : entry.refs) {
                for (size_t shift = refSize; shift-- > 0;) out.push_back(uint8_t(ref >> (8 * shift)));
            }
            out.insert(out.end(), entry.tail.begin(), entry.tail.end());
        }
        const uint64_t tableOffset = out.size();
        for (uint64_t offset : offsets) append(out, bigEndian(offset, 8));
        out.insert(out.end(), 6, 0);
        out.push_back(8);
        out.push_back(uint8_t(refSize));
        append(out, bigEndian(entries_.size(), 8));
        append(out, bigEndian(top, 8));
        append(out, bigEndian(tableOffset, 8));
        return out;
    }

private:
    struct Entry {
        std::vector<uint8_t> head;
        std::vector<uint32_t> refs;
        std::vector<uint8_t> tail;
    };
    static std::vector<uint8_t> bigEndian(uint64_t value, size_t width) {
        std::vector<uint8_t> bytes;
        for (size_t shift = width; shift-- > 0;) bytes.push_back(uint8_t(value >> (8 * shift)));
        return bytes;
    }
    static void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    static std::vector<uint8_t> header(uint8_t type, uint64_t count) {
        if (count < 15) return {uint8_t(type << 4 | count)};
        std::vector<uint8_t> head = {uint8_t(type << 4 | 0xF), 0x13};
        append(head, bigEndian(count, 8));
        return head;
    }
    uint32_t add(std::vector<uint8_t> head, std::vector<uint32_t> refs, std::vector<uint8_t> tail) {
        entries_.push_back({std::move(head), std::move(refs), std::move(tail)});
        return uint32_t(entries_.size() - 1);
    }

    std::vector<Entry> entries_;
};

// ---------------------------------------------------------------------------------------------
// Not an archive at all

TEST(HostileArchiveFile, EveryTruncationOfARealArchiveFails) {
    const std::vector<uint8_t> bytes = realArchive();
    ASSERT_NE(expectDecoded(bytes), nullptr);
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        expectRejected(std::span(bytes.data(), length));
    }
}

TEST(HostileArchiveFile, RandomBytesFail) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes(random() % 600);
        for (uint8_t& byte : bytes) byte = uint8_t(random());
        if (round % 2 == 0 && bytes.size() >= 8) std::copy_n("bplist00", 8, bytes.begin());
        expectRejected(bytes);
    }
}

TEST(HostileArchiveFile, FlippedBytesOfARealArchiveDecodeOrFailCleanly) {
    const std::vector<uint8_t> original = realArchive();
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = original;
        for (int flips = 1 + round % 4; flips > 0; --flips) {
            bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
        }
        UnarchiveResult result = decode(bytes);
        // One or the other, never both or neither.
        EXPECT_NE(result.root == nullptr, result.error.empty()) << result.error;
    }
}

TEST(HostileArchiveFile, PropertyListsThatAreNotArchivesFail) {
    expectRejected(plist::writeBinary(Value::string("NSKeyedArchiver")), "not a keyed archive");
    expectRejected(plist::writeBinary(Value::array({Value::integer(100000)})), "not a keyed archive");
    expectRejected(plist::writeBinary(Value::dictionary({{"root", Value::uid(1)}})), "not a keyed archive");
    ArchiveBuilder builder = holderArchive({});
    // The table of an archive as the whole file.
    expectRejected(plist::writeBinary(Value::array({Value::dictionary(builder.fileEntries())})));
}

TEST(HostileArchiveFile, WrongArchiverOrVersionFails) {
    ArchiveBuilder builder = holderArchive({});
    ASSERT_NE(expectDecoded(builder.bytes()), nullptr);
    expectRejected(builder.bytesWith("$archiver", Value::string("NSArchiver")), "not a keyed archive");
    expectRejected(builder.bytesWith("$archiver", Value::integer(1)), "not a keyed archive");
    expectRejected(builder.bytesWith("$archiver", std::nullopt), "not a keyed archive");
    expectRejected(builder.bytesWith("$version", Value::integer(100001)), "version");
    expectRejected(builder.bytesWith("$version", Value::string("100000")), "version");
    expectRejected(builder.bytesWith("$version", Value::real(100000)), "version");
    expectRejected(builder.bytesWith("$version", std::nullopt), "version");
}

TEST(HostileArchiveFile, MissingOrDamagedTablesFail) {
    ArchiveBuilder builder = holderArchive({});
    expectRejected(builder.bytesWith("$objects", std::nullopt), "damaged");
    expectRejected(builder.bytesWith("$objects", Value::array({})), "damaged");
    expectRejected(builder.bytesWith("$objects", Value::dictionary({{"0", Value::string("$null")}})),
                   "damaged");
    expectRejected(builder.bytesWith("$top", std::nullopt), "damaged");
    expectRejected(builder.bytesWith("$top", Value::array({Value::uid(1)})), "damaged");
    expectRejected(builder.bytesWith("$top", Value::dictionary({{"other", Value::uid(1)}})), "damaged");
    expectRejected(builder.bytesWith("$top", Value::dictionary({{"root", Value::integer(1)}})), "damaged");
    expectRejected(builder.bytesWith("$top", Value::dictionary({{"root", Value::uid(0)}})), "damaged");
    expectRejected(builder.bytes(/*root=*/1000), "outside");
    expectRejected(builder.bytes(/*root=*/2), "damaged");  // the descriptor, not an object
}

TEST(HostileArchiveFile, ObjectTableMustStartWithNull) {
    for (Value first : {Value::string("null"), Value::integer(0), Value(), Value::string("")}) {
        ArchiveBuilder builder = holderArchive({});
        builder.set(0, first);
        expectRejected(builder.bytes(), "$null");
    }
}

TEST(HostileArchiveFile, RootThatIsAPlainValueFails) {
    ArchiveBuilder builder;
    builder.add(Value::string("a string, not an object"));
    expectRejected(builder.bytes(), "damaged");
    ArchiveBuilder list;
    list.list({});
    expectRejected(list.bytes(), "damaged");
}

// ---------------------------------------------------------------------------------------------
// Classes

TEST(HostileArchiveClasses, UnknownClassesFailWithTheirName) {
    ArchiveBuilder root;
    root.object("Mystery", {});
    expectRejected(root.bytes(), "'Mystery'");

    ArchiveBuilder catchAll;
    catchAll.object("NSObject", {});
    expectRejected(catchAll.bytes(), "'NSObject'");

    ArchiveBuilder nested = holderArchive({});
    uint64_t intruder = nested.object("Intruder", {});
    nested.set(1, nested.instance("Holder", {{"items", Value::uid(nested.list({intruder}))}}));
    expectRejected(nested.bytes(), "'Intruder'");

    ArchiveBuilder inValue = holderArchive({});
    uint64_t smuggled = inValue.object("Smuggled", {});
    inValue.set(1, inValue.instance("Holder", {{"value", Value::uid(inValue.list({smuggled}))}}));
    expectRejected(inValue.bytes(), "'Smuggled'");

    ArchiveBuilder asNext = holderArchive({});
    uint64_t stranger = asNext.object("Stranger", {});
    asNext.set(1, asNext.instance("Holder", {{"next", Value::uid(stranger)}}));
    expectRejected(asNext.bytes(), "'Stranger'");
}

TEST(HostileArchiveClasses, ClassChainInTheFileIsNotTrusted) {
    // Claims to be a Holder subclass; only the class name counts, and it is unknown.
    ArchiveBuilder builder;
    builder.add(Value::dictionary({{"$class", Value::uid(2)}}));
    builder.add(Value::dictionary(
        {{"$classname", Value::string("Impostor")},
         {"$classes",
          Value::array({Value::string("Impostor"), Value::string("Holder"), Value::string("NSObject")})}}));
    expectRejected(builder.bytes(), "'Impostor'");
}

TEST(HostileArchiveClasses, DescriptorWithoutClassChainIsAccepted) {
    ArchiveBuilder builder;
    builder.add(Value::dictionary({{"$class", Value::uid(2)}, {"name", Value::uid(3)}}));
    builder.add(Value::dictionary({{"$classname", Value::string("Holder")}}));
    builder.add(Value::string("no chain"));
    std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->readName, "no chain");
}

TEST(HostileArchiveClasses, ClassReferenceToSomethingElseFails) {
    const std::vector<Value> notDescriptors = {
        Value::string("Holder"),
        Value::integer(3),
        Value::dictionary({{"$classname", Value::integer(7)}}),
        Value::dictionary({{"name", Value::string("Holder")}}),
        Value::array({Value::string("Holder")}),
    };
    for (const Value& target : notDescriptors) {
        ArchiveBuilder builder;
        builder.add(Value::dictionary({{"$class", Value::uid(2)}}));
        builder.add(target);
        expectRejected(builder.bytes(), "class");
    }
    for (Value classRef :
         {Value::uid(0), Value::uid(1), Value::uid(500), Value::integer(2), Value::string("Holder")}) {
        ArchiveBuilder builder;
        builder.add(Value::dictionary({{"$class", classRef}}));
        builder.add(Value::dictionary({{"$classname", Value::string("Holder")}}));
        expectRejected(builder.bytes());
    }
}

// ---------------------------------------------------------------------------------------------
// References

TEST(HostileArchiveReferences, ReferencesOutsideTheObjectTableFail) {
    for (const char* key : {"next", "name", "value", "bitmap", "colour", "size", "items"}) {
        SCOPED_TRACE(key);
        ArchiveBuilder builder = holderArchive({{key, Value::uid(4000)}});
        expectRejected(builder.bytes(), "outside the object table");
    }
    ArchiveBuilder inList = holderArchive({});
    inList.set(1, inList.instance("Holder", {{"items", Value::uid(inList.list({4000}))}}));
    expectRejected(inList.bytes(), "outside the object table");

    ArchiveBuilder inValue = holderArchive({});
    inValue.set(1, inValue.instance("Holder", {{"value", Value::uid(inValue.list({1, 4000}))}}));
    expectRejected(inValue.bytes(), "outside the object table");

    ArchiveBuilder inKeys = holderArchive({});
    uint64_t dictionary = inKeys.object("NSDictionary", {{"NS.keys", Value::array({Value::uid(4000)})},
                                                         {"NS.objects", Value::array({Value::uid(0)})}});
    inKeys.set(1, inKeys.instance("Holder", {{"value", Value::uid(dictionary)}}));
    expectRejected(inKeys.bytes(), "outside the object table");
}

TEST(HostileArchiveReferences, SelfContainingListsFail) {
    // As a list of objects.
    ArchiveBuilder objects = holderArchive({});
    uint64_t list = objects.reserve();
    objects.set(list, objects.listValue({list}));
    objects.set(1, objects.instance("Holder", {{"items", Value::uid(list)}}));
    expectRejected(objects.bytes(), "contains itself");

    // As a generic value.
    ArchiveBuilder value = holderArchive({});
    list = value.reserve();
    value.set(list, value.listValue({list}));
    value.set(1, value.instance("Holder", {{"value", Value::uid(list)}}));
    expectRejected(value.bytes(), "contains itself");

    // A dictionary holding itself.
    ArchiveBuilder dictionary = holderArchive({});
    uint64_t self = dictionary.reserve();
    uint64_t key = dictionary.add(Value::string("me"));
    dictionary.set(
        self, dictionary.instance("NSMutableDictionary", {{"NS.keys", Value::array({Value::uid(key)})},
                                                          {"NS.objects", Value::array({Value::uid(self)})}}));
    dictionary.set(1, dictionary.instance("Holder", {{"value", Value::uid(self)}}));
    expectRejected(dictionary.bytes(), "contains itself");
}

TEST(HostileArchiveReferences, MutualCycleBetweenTwoListsFails) {
    ArchiveBuilder builder = holderArchive({});
    uint64_t first = builder.reserve();
    uint64_t second = builder.reserve();
    builder.set(first, builder.listValue({second}));
    builder.set(second, builder.listValue({first}));
    builder.set(1, builder.instance("Holder", {{"value", Value::uid(first)}}));
    expectRejected(builder.bytes(), "contains itself");
}

TEST(HostileArchiveReferences, SharedListThatIsNotACycleDecodes) {
    ArchiveBuilder builder = holderArchive({});
    uint64_t number = builder.add(Value::integer(1));
    uint64_t inner = builder.list({number});
    uint64_t outer = builder.list({inner, inner});
    builder.set(1, builder.instance("Holder", {{"value", Value::uid(outer)},
                                               {"items", Value::uid(builder.list({1, 1}))}}));
    std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->readValue, "[[1] [1]]");
    EXPECT_EQ(holder->readItemCount, 2u);  // the root itself, twice
}

TEST(HostileArchiveReferences, ObjectsAreCheckedAtEveryUse) {
    // The same entry is read as a string, a list, a colour and an object: each use checks the kind.
    ArchiveBuilder builder = holderArchive({});
    uint64_t colour = builder.object("NSColor", {{"NSColorSpace", Value::integer(1)},
                                                 {"NSRGB", Value::data({'1', ' ', '0', ' ', '0', 0})}});
    builder.set(1, builder.instance("Holder", {{"name", Value::uid(colour)},
                                               {"items", Value::uid(colour)},
                                               {"colour", Value::uid(colour)},
                                               {"next", Value::uid(colour)},
                                               {"size", Value::uid(colour)}}));
    std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(holder->readName);
    EXPECT_EQ(holder->readItemCount, 0u);
    EXPECT_FALSE(holder->readNext);
    EXPECT_EQ(holder->size, Size{});
    EXPECT_EQ(holder->readColour, Color::calibratedRGB(1, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Sizes, depth and work

TEST(HostileArchiveLimits, ArrayClaimingTenMillionElementsFails) {
    RawPlist raw;
    uint32_t holderClass = raw.record({{"$classname", raw.string("Holder")}});
    uint32_t listClass = raw.record({{"$classname", raw.string("NSArray")}});
    uint32_t element = raw.uid(1);
    uint32_t claim = raw.array({element, element, element}, 10'000'000);
    uint32_t list = raw.record({{"$class", raw.uid(4)}, {"NS.objects", claim}});
    uint32_t root = raw.record({{"$class", raw.uid(2)}, {"items", raw.uid(3)}});
    std::vector<uint8_t> bytes;
    double ms = millisecondsOf([&] {
        bytes = raw.archive({raw.string("$null"), root, holderClass, list, listClass});
        expectRejected(bytes, "not a keyed archive");
    });
    EXPECT_LT(ms, kQuickMilliseconds);
    EXPECT_LT(bytes.size(), 1000u);
}

TEST(HostileArchiveLimits, RealTenMillionElementListFailsQuickly) {
    // Ten million references to the root in a 10 MB file: the list is read (40 MB of indexes), then
    // refused because it alone is more work than an object table of six entries can justify.
    RawPlist raw;
    uint32_t holderClass = raw.record({{"$classname", raw.string("Holder")}});
    uint32_t listClass = raw.record({{"$classname", raw.string("NSArray")}});
    uint32_t element = raw.uid(1);
    uint32_t many = raw.array(std::vector<uint32_t>(10'000'000, element));
    uint32_t list = raw.record({{"$class", raw.uid(4)}, {"NS.objects", many}});
    uint32_t root = raw.record({{"$class", raw.uid(2)}, {"items", raw.uid(3)}});
    const std::vector<uint8_t> bytes = raw.archive({raw.string("$null"), root, holderClass, list, listClass});
    ASSERT_GT(bytes.size(), 10'000'000u);
    double ms = millisecondsOf([&] { expectRejected(bytes, "too many references"); });
    EXPECT_LT(ms, kQuickMilliseconds);
}

TEST(HostileArchiveLimits, NestingBeyondTheDepthLimitFails) {
    const int depthLimit = KeyedUnarchiver::Limits{}.maxDepth;
    auto chainOfHolders = [](int length) {
        ArchiveBuilder builder;
        std::vector<uint64_t> holders;
        for (int i = 0; i < length; ++i) holders.push_back(builder.reserve());
        for (int i = 0; i < length; ++i) {
            Entries entries;
            if (i + 1 < length) entries.emplace_back("next", Value::uid(holders[i + 1]));
            builder.set(holders[i], builder.instance("Holder", std::move(entries)));
        }
        return builder.bytes(holders[0]);
    };
    EXPECT_NE(expectDecoded(chainOfHolders(depthLimit / 2)), nullptr);
    expectRejected(chainOfHolders(depthLimit + 50), "too deeply");

    auto nestedLists = [](int depth) {
        ArchiveBuilder builder = holderArchive({});
        uint64_t inner = builder.list({});
        for (int i = 1; i < depth; ++i) inner = builder.list({inner});
        builder.set(1, builder.instance("Holder", {{"value", Value::uid(inner)}}));
        return builder.bytes();
    };
    EXPECT_NE(expectDecoded(nestedLists(depthLimit / 2)), nullptr);
    expectRejected(nestedLists(depthLimit + 50), "too deeply");
    expectRejected(nestedLists(100'000), "too deeply");

    // Objects and lists nested in turn count towards the same limit.
    ArchiveBuilder mixed;
    uint64_t previous = 0;
    for (int i = 0; i < depthLimit; ++i) {
        uint64_t holder = mixed.reserve();
        Entries entries;
        if (previous) entries.emplace_back("value", Value::uid(mixed.list({previous})));
        mixed.set(holder, mixed.instance("Holder", std::move(entries)));
        previous = holder;
    }
    expectRejected(mixed.bytes(previous), "too deeply");
}

TEST(HostileArchiveLimits, DictionaryWithUnequalKeysAndObjectsFails) {
    ArchiveBuilder builder = holderArchive({});
    uint64_t key = builder.add(Value::string("k"));
    uint64_t dictionary =
        builder.object("NSDictionary", {{"NS.keys", Value::array({Value::uid(key), Value::uid(key)})},
                                        {"NS.objects", Value::array({Value::uid(key)})}});
    builder.set(1, builder.instance("Holder", {{"value", Value::uid(dictionary)}}));
    expectRejected(builder.bytes(), "differ in number");
}

TEST(HostileArchiveLimits, ManyObjectsSharingOneLargeListFailOrFinishQuickly) {
    // 20 000 holders each list the same 20 000 holders: 400 million reads if each were honoured.
    constexpr int kCount = 20'000;
    ArchiveBuilder builder;
    std::vector<uint64_t> holders;
    for (int i = 0; i < kCount; ++i) holders.push_back(builder.reserve());
    uint64_t list = builder.list(holders);
    for (uint64_t holder : holders)
        builder.set(holder, builder.instance("Holder", {{"items", Value::uid(list)}}));
    const std::vector<uint8_t> bytes = builder.bytes();
    UnarchiveResult result;
    double ms = millisecondsOf([&] { result = decode(bytes); });
    EXPECT_LT(ms, kQuickMilliseconds);
    EXPECT_NE(result.root == nullptr, result.error.empty());
}

TEST(HostileArchiveLimits, ValuesSharedManyTimesCannotMultiplyTheWork) {
    // A 1 MB string listed 100 000 times: 100 GB of copies if each were honoured.
    {
        RawPlist raw;
        uint32_t holderClass = raw.record({{"$classname", raw.string("Holder")}});
        uint32_t listClass = raw.record({{"$classname", raw.string("NSArray")}});
        uint32_t many = raw.array(std::vector<uint32_t>(100'000, raw.uid(5)));
        uint32_t list = raw.record({{"$class", raw.uid(4)}, {"NS.objects", many}});
        uint32_t root = raw.record({{"$class", raw.uid(2)}, {"value", raw.uid(3)}});
        const std::vector<uint8_t> bytes = raw.archive(
            {raw.string("$null"), root, holderClass, list, listClass, raw.string(std::string(1 << 20, 'x'))});
        double ms = millisecondsOf([&] { expectRejected(bytes, "too much shared data"); });
        EXPECT_LT(ms, kQuickMilliseconds);
    }
    // 50 000 holders that are one record, each reading the same 1 MB name and the same colour with
    // 1 MB of components: 100 GB of copies and scans.
    {
        RawPlist raw;
        constexpr uint32_t kHolders = 50'000;
        std::vector<uint32_t> objects = {raw.string("$null")};
        uint32_t holderClass = raw.record({{"$classname", raw.string("Holder")}});
        uint32_t listClass = raw.record({{"$classname", raw.string("NSArray")}});
        uint32_t colourClass = raw.record({{"$classname", raw.string("NSColor")}});
        std::vector<uint32_t> refs;
        for (uint32_t i = 0; i < kHolders; ++i) refs.push_back(raw.uid(8 + i));
        uint32_t root = raw.record({{"$class", raw.uid(2)}, {"items", raw.uid(3)}});
        uint32_t list = raw.record({{"$class", raw.uid(4)}, {"NS.objects", raw.array(refs)}});
        uint32_t colour =
            raw.record({{"$class", raw.uid(5)}, {"NSColorSpace", raw.integer(1)}, {"NSRGB", raw.uid(7)}});
        // Every holder points its colour at UID 8 + kHolders, the entry after the last holder.
        uint32_t shared =
            raw.record({{"$class", raw.uid(2)}, {"name", raw.uid(6)}, {"colour", raw.uid(8 + kHolders)}});
        objects.insert(objects.end(),
                       {root, holderClass, list, listClass, colourClass,
                        raw.string(std::string(1 << 20, 'n')), raw.data(std::vector<uint8_t>(1 << 20, ' '))});
        objects.insert(objects.end(), kHolders, shared);
        objects.push_back(colour);
        const std::vector<uint8_t> bytes = raw.archive(objects);
        UnarchiveResult result;
        double ms = millisecondsOf([&] { result = decode(bytes); });
        EXPECT_LT(ms, kQuickMilliseconds);
        EXPECT_EQ(result.root, nullptr);
        EXPECT_NE(result.error.find("too much shared data"), std::string::npos) << result.error;
    }
}

TEST(HostileArchiveLimits, ManyObjectsSharingOneHugeRecordFailQuickly) {
    // 50 000 holders are the same record of 200 000 entries; every key a holder reads scans it.
    RawPlist raw;
    constexpr uint32_t kHolders = 50'000;
    std::vector<uint32_t> objects = {raw.string("$null")};
    uint32_t holderClass = raw.record({{"$classname", raw.string("Holder")}});
    uint32_t listClass = raw.record({{"$classname", raw.string("NSArray")}});
    std::vector<uint32_t> refs;
    for (uint32_t i = 0; i < kHolders; ++i) refs.push_back(raw.uid(5 + i));
    uint32_t root = raw.record({{"$class", raw.uid(2)}, {"items", raw.uid(3)}});
    uint32_t list = raw.record({{"$class", raw.uid(4)}, {"NS.objects", raw.array(refs)}});
    uint32_t junkKey = raw.string("junk");
    uint32_t junkValue = raw.integer(0);
    std::vector<std::pair<uint32_t, uint32_t>> entries = {{raw.string("$class"), raw.uid(2)}};
    entries.insert(entries.end(), 200'000, {junkKey, junkValue});
    uint32_t shared = raw.dictionary(entries);
    objects.insert(objects.end(), {root, holderClass, list, listClass});
    objects.insert(objects.end(), kHolders, shared);
    const std::vector<uint8_t> bytes = raw.archive(objects);
    UnarchiveResult result;
    double ms = millisecondsOf([&] { result = decode(bytes); });
    EXPECT_LT(ms, kQuickMilliseconds);
    EXPECT_EQ(result.root, nullptr);
    EXPECT_NE(result.error.find("too much shared data"), std::string::npos) << result.error;
}

TEST(HostileArchiveLimits, SmallLimitsAreHonoured) {
    const std::vector<uint8_t> bytes = realArchive();
    KeyedUnarchiver::Limits tiny;
    tiny.maxBytes = bytes.size() - 1;
    UnarchiveResult result = KeyedUnarchiver::unarchive(bytes, registry(), tiny);
    EXPECT_EQ(result.root, nullptr);
    EXPECT_FALSE(result.error.empty());

    KeyedUnarchiver::Limits shallow;
    shallow.maxDepth = 1;  // the root alone; its children are one level too deep
    result = KeyedUnarchiver::unarchive(bytes, registry(), shallow);
    EXPECT_EQ(result.root, nullptr);
    EXPECT_NE(result.error.find("too deeply"), std::string::npos) << result.error;

    KeyedUnarchiver::Limits fewObjects;
    fewObjects.maxObjects = 5;
    result = KeyedUnarchiver::unarchive(bytes, registry(), fewObjects);
    EXPECT_EQ(result.root, nullptr);
    EXPECT_FALSE(result.error.empty());
}

// ---------------------------------------------------------------------------------------------
// Bitmaps and colours

TEST(HostileArchiveBitmaps, DamagedTiffFailsTheArchive) {
    Bitmap bitmap(16, 16, PixelFormat::Gray8);
    for (int i = 0; i < 256; ++i) bitmap.setGray8(i % 16, i / 16, uint8_t(i));
    const std::vector<uint8_t> tiff = encodeTiff(bitmap);
    ASSERT_FALSE(tiff.empty());

    std::vector<std::vector<uint8_t>> damaged;
    damaged.emplace_back(tiff.begin(), tiff.begin() + static_cast<ptrdiff_t>(tiff.size() / 2));  // cut short
    damaged.push_back({'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F});  // first directory far outside
    damaged.push_back({'I', 'I', 42, 0});
    damaged.push_back({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    std::vector<uint8_t> garbled = tiff;
    for (size_t i = 8; i < garbled.size(); i += 3) garbled[i] ^= 0x5A;
    damaged.push_back(garbled);

    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged TIFF " + std::to_string(i));
        ArchiveBuilder builder = holderArchive({});
        uint64_t data = builder.add(Value::data(damaged[i]));
        uint64_t rep = builder.object("NSBitmapImageRep", {{"NSTIFFRepresentation", Value::uid(data)}});
        builder.set(1, builder.instance("Holder", {{"bitmap", Value::uid(rep)}}));
        expectRejected(builder.bytes(), "bitmap");
    }
}

TEST(HostileArchiveBitmaps, TiffStoredInlineOrSharedDecodesOnce) {
    Bitmap bitmap(4, 4, PixelFormat::Gray16);
    bitmap.setGray16(1, 2, 0xBEEF);
    ArchiveBuilder builder = holderArchive({});
    uint64_t rep =
        builder.object("NSBitmapImageRep", {{"NSTIFFRepresentation", Value::data(encodeTiff(bitmap))}});
    uint64_t inValue = builder.list({rep, rep});
    builder.set(1, builder.instance("Holder", {{"bitmap", Value::uid(rep)}, {"value", Value::uid(inValue)}}));
    std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
    ASSERT_NE(holder, nullptr);
    ASSERT_NE(holder->bitmap, nullptr);
    EXPECT_TRUE(*holder->bitmap == bitmap);
    EXPECT_EQ(holder->readValue, "[bitmap bitmap]");
}

TEST(HostileArchiveBitmaps, BitmapRepsSharingOneTiffDecodeItOnce) {
    // Each rep is its own object, all point at the same large (but well compressed) image.
    const std::vector<uint8_t> tiff = encodeTiff(Bitmap(2048, 2048, PixelFormat::Gray8));
    ASSERT_FALSE(tiff.empty());
    ArchiveBuilder builder = holderArchive({});
    uint64_t data = builder.add(Value::data(tiff));
    std::vector<uint64_t> reps;
    for (int i = 0; i < 500; ++i) {
        reps.push_back(builder.object("NSBitmapImageRep", {{"NSTIFFRepresentation", Value::uid(data)}}));
    }
    builder.set(1, builder.instance("Holder", {{"value", Value::uid(builder.list(reps))}}));
    const std::vector<uint8_t> bytes = builder.bytes();
    UnarchiveResult result;
    double ms = millisecondsOf([&] { result = decode(bytes); });
    EXPECT_LT(ms, kQuickMilliseconds);
    auto holder = std::dynamic_pointer_cast<Holder>(result.root);
    ASSERT_NE(holder, nullptr) << result.error;
    EXPECT_EQ(holder->readDistinctBitmaps, 1u);
}

TEST(HostileArchiveColours, MalformedColoursReadAsAbsentOrClamped) {
    struct Case {
        Entries entries;
        std::optional<Color> expected;
    };
    auto text = [](const std::string& s) { return Value::data(std::vector<uint8_t>(s.begin(), s.end())); };
    std::vector<Case> cases = {
        {{{"NSColorSpace", Value::integer(1)}, {"NSRGB", text("nan inf -inf")}},
         Color::calibratedRGB(0, 0, 0)},
        {{{"NSColorSpace", Value::integer(1)}, {"NSRGB", text("5 -3 0.5 9")}},
         Color::calibratedRGB(1, 0, 0.5, 1)},
        {{{"NSColorSpace", Value::integer(2)}, {"NSRGB", text("")}}, Color::calibratedRGB(0, 0, 0)},
        {{{"NSColorSpace", Value::integer(1)}}, Color::calibratedRGB(0, 0, 0)},
        {{{"NSColorSpace", Value::integer(3)}, {"NSWhite", text("0.5")}}, Color::calibratedWhite(0.5)},
        {{{"NSColorSpace", Value::integer(4)}, {"NSWhite", text(std::string("0 0.25\0", 7))}},
         Color::calibratedWhite(0, 0.25)},
        {{{"NSColorSpace", Value::integer(5)}, {"NSCYMK", text("0 0 0 0 1")}}, Color::calibratedRGB(1, 1, 1)},
        {{{"NSColorSpace", Value::integer(99)}}, std::nullopt},
        {{{"NSColorSpace", Value::string("1")}, {"NSRGB", text("1 1 1")}}, std::nullopt},
        {{{"NSColorSpace", Value::integer(6)}}, std::nullopt},
        {{{"NSComponents", text("0.1 0.2 0.3 0.4")},
          {"NSColorSpace", Value::integer(1)},
          {"NSRGB", text("1 1 1")}},
         Color::calibratedRGB(0.1, 0.2, 0.3, 0.4)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("colour case " + std::to_string(i));
        ArchiveBuilder builder = holderArchive({});
        uint64_t colour = builder.object("NSColor", cases[i].entries);
        builder.set(1, builder.instance("Holder", {{"colour", Value::uid(colour)}}));
        std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->readColour, cases[i].expected);
    }
}

TEST(HostileArchiveColours, CatalogColoursPointingAtThemselvesEnd) {
    ArchiveBuilder builder = holderArchive({});
    uint64_t colour = builder.reserve();
    builder.set(colour, builder.instance("NSColor", {{"NSColorSpace", Value::integer(6)},
                                                     {"NSColor", Value::uid(colour)}}));
    builder.set(1,
                builder.instance("Holder", {{"colour", Value::uid(colour)}, {"value", Value::uid(colour)}}));
    std::shared_ptr<Holder> holder = expectDecoded(builder.bytes());
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(holder->readColour);
}

}  // namespace
}  // namespace korvane
