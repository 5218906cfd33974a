#include "foundation/archive/KeyedArchiver.h"

#include "foundation/ImageCodecs.h"
#include "foundation/archive/ArchiveClassRegistry.h"
#include "foundation/archive/ArchiveFormat.h"

namespace korvane {

namespace fmt = archive_format;

namespace {

// Class chains of the platform classes the archive uses for its values.
std::vector<std::string> builtinChain(const std::string& name) {
    if (name == "NSMutableArray") return {"NSMutableArray", "NSArray", "NSObject"};
    if (name == "NSMutableDictionary") return {"NSMutableDictionary", "NSDictionary", "NSObject"};
    if (name == "NSBitmapImageRep") return {"NSBitmapImageRep", "NSImageRep", "NSObject"};
    return {name, "NSObject"};
}

}  // namespace

KeyedArchiver::KeyedArchiver(const ArchiveClassRegistry& registry) : registry_(registry) {
    objects_.push_back(plist::Value::string(std::string(fmt::kNullString)));
}

std::vector<uint8_t> KeyedArchiver::archivedData(const Archivable& root) {
    return archivedData(root, ArchiveClassRegistry::shared());
}

std::vector<uint8_t> KeyedArchiver::archivedData(const Archivable& root,
                                                 const ArchiveClassRegistry& registry) {
    KeyedArchiver archiver(registry);
    uint64_t rootUid = archiver.uidOfObject(&root);
    std::vector<std::pair<std::string, plist::Value>> top;
    top.emplace_back(std::string(fmt::kRootKey), plist::Value::uid(rootUid));
    std::vector<std::pair<std::string, plist::Value>> file;
    file.emplace_back("$version", plist::Value::integer(fmt::kArchiveVersion));
    file.emplace_back("$archiver", plist::Value::string(std::string(fmt::kArchiverName)));
    file.emplace_back("$top", plist::Value::dictionary(std::move(top)));
    file.emplace_back("$objects", plist::Value::array(std::move(archiver.objects_)));
    return plist::writeBinary(plist::Value::dictionary(std::move(file)));
}

void KeyedArchiver::put(const std::string& key, plist::Value value) {
    entryStack_.back().emplace_back(fmt::escapeKey(key), std::move(value));
}

void KeyedArchiver::encodeBool(const std::string& key, bool value) {
    put(key, plist::Value::boolean(value));
}
void KeyedArchiver::encodeInt32(const std::string& key, int32_t value) {
    put(key, plist::Value::integer(value));
}
void KeyedArchiver::encodeInt64(const std::string& key, int64_t value) {
    put(key, plist::Value::integer(value));
}
void KeyedArchiver::encodeFloat(const std::string& key, float value) {
    put(key, plist::Value::real(value));
}
void KeyedArchiver::encodeDouble(const std::string& key, double value) {
    put(key, plist::Value::real(value));
}

void KeyedArchiver::encodeBytes(const std::string& key, std::span<const uint8_t> bytes) {
    put(key, plist::Value::data({bytes.begin(), bytes.end()}));
}

void KeyedArchiver::encodePoint(const std::string& key, Point point) {
    put(key, plist::Value::uid(uidOfString(fmt::formatPair(point.x, point.y))));
}

void KeyedArchiver::encodeSize(const std::string& key, Size size) {
    put(key, plist::Value::uid(uidOfString(fmt::formatPair(size.width, size.height))));
}

void KeyedArchiver::encodeObject(const std::string& key, const Archivable* object) {
    put(key, plist::Value::uid(uidOfObject(object)));
}

void KeyedArchiver::encodeString(const std::string& key, const std::string& value) {
    put(key, plist::Value::uid(uidOfString(value)));
}

void KeyedArchiver::encodeData(const std::string& key, std::span<const uint8_t> data) {
    put(key, plist::Value::uid(uidOfData(data)));
}

void KeyedArchiver::encodeColor(const std::string& key, const Color& color) {
    put(key, plist::Value::uid(uidOfColor(color)));
}

void KeyedArchiver::encodeBitmap(const std::string& key, const std::shared_ptr<const Bitmap>& bitmap) {
    put(key, plist::Value::uid(uidOfBitmap(bitmap.get())));
}

void KeyedArchiver::encodeObjectList(const std::string& key, const std::vector<const Archivable*>& objects) {
    std::vector<uint64_t> uids;
    uids.reserve(objects.size());
    for (const Archivable* object : objects) uids.push_back(uidOfObject(object));
    put(key, plist::Value::uid(uidOfList(uids, "NSMutableArray")));
}

void KeyedArchiver::encodeValue(const std::string& key, const ArchiveValue& value) {
    // Numbers inside a value are NSNumbers, stored by reference as bare numbers.
    put(key, plist::Value::uid(uidOfValue(value)));
}

uint64_t KeyedArchiver::reserveUid() {
    objects_.push_back(plist::Value::string(std::string(fmt::kNullString)));
    return objects_.size() - 1;
}

plist::Value KeyedArchiver::finishObject(uint64_t classUid, Entries entries) {
    entries.insert(entries.begin(), {"$class", plist::Value::uid(classUid)});
    return plist::Value::dictionary(std::move(entries));
}

uint64_t KeyedArchiver::uidOfObject(const Archivable* object) {
    if (!object) return 0;
    if (auto it = objectUids_.find(object); it != objectUids_.end()) return it->second;
    // The index is taken before the fields are written, so a back-reference met while encoding
    // them (a layer's scene) resolves to this entry instead of recursing.
    uint64_t uid = reserveUid();
    objectUids_[object] = uid;
    entryStack_.emplace_back();
    object->encode(*this);
    Entries entries = std::move(entryStack_.back());
    entryStack_.pop_back();
    std::string className = object->archiveClassName();
    uint64_t classUid = uidOfClass(className, registry_.classChain(className));
    objects_[uid] = finishObject(classUid, std::move(entries));
    return uid;
}

uint64_t KeyedArchiver::uidOfString(const std::string& value) {
    // Strings are immutable values: equal strings share one entry.
    if (auto it = stringUids_.find(value); it != stringUids_.end()) return it->second;
    uint64_t uid = reserveUid();
    objects_[uid] = plist::Value::string(value);
    stringUids_[value] = uid;
    return uid;
}

uint64_t KeyedArchiver::uidOfData(std::span<const uint8_t> data) {
    uint64_t uid = reserveUid();
    objects_[uid] = plist::Value::data({data.begin(), data.end()});
    return uid;
}

uint64_t KeyedArchiver::uidOfColor(const Color& color) {
    uint64_t uid = reserveUid();
    Entries entries;
    entries.emplace_back("NSColorSpace", plist::Value::integer(1));  // calibrated RGB
    entries.emplace_back("NSRGB", plist::Value::data(fmt::formatRgbComponents(color)));
    objects_[uid] = finishObject(uidOfBuiltinClass("NSColor"), std::move(entries));
    return uid;
}

uint64_t KeyedArchiver::uidOfBitmap(const Bitmap* bitmap) {
    if (!bitmap) return 0;
    if (auto it = objectUids_.find(bitmap); it != objectUids_.end()) return it->second;
    uint64_t uid = reserveUid();
    objectUids_[bitmap] = uid;
    uint64_t tiffUid = uidOfData(encodeTiff(*bitmap));
    Entries entries;
    entries.emplace_back("NSTIFFRepresentation", plist::Value::uid(tiffUid));
    objects_[uid] = finishObject(uidOfBuiltinClass("NSBitmapImageRep"), std::move(entries));
    return uid;
}

uint64_t KeyedArchiver::uidOfList(const std::vector<uint64_t>& items, const char* className) {
    uint64_t uid = reserveUid();
    std::vector<plist::Value> refs;
    refs.reserve(items.size());
    for (uint64_t item : items) refs.push_back(plist::Value::uid(item));
    Entries entries;
    entries.emplace_back("NS.objects", plist::Value::array(std::move(refs)));
    objects_[uid] = finishObject(uidOfBuiltinClass(className), std::move(entries));
    return uid;
}

uint64_t KeyedArchiver::uidOfValue(const ArchiveValue& value) {
    struct Visitor {
        KeyedArchiver& self;
        uint64_t bare(plist::Value v) {
            uint64_t uid = self.reserveUid();
            self.objects_[uid] = std::move(v);
            return uid;
        }
        uint64_t operator()(std::monostate) { return 0; }
        uint64_t operator()(bool b) { return bare(plist::Value::boolean(b)); }
        uint64_t operator()(int64_t i) { return bare(plist::Value::integer(i)); }
        uint64_t operator()(double d) { return bare(plist::Value::real(d)); }
        uint64_t operator()(const std::string& s) { return self.uidOfString(s); }
        uint64_t operator()(const ArchiveData& d) { return self.uidOfData(d); }
        uint64_t operator()(const std::shared_ptr<Archivable>& o) { return self.uidOfObject(o.get()); }
        uint64_t operator()(const Color& c) { return self.uidOfColor(c); }
        uint64_t operator()(const std::shared_ptr<Bitmap>& b) { return self.uidOfBitmap(b.get()); }
        uint64_t operator()(const ArchiveArray& array) {
            std::vector<uint64_t> items;
            for (const ArchiveValue& item : array) items.push_back(self.uidOfValue(item));
            return self.uidOfList(items, "NSMutableArray");
        }
        uint64_t operator()(const ArchiveDictionary& dictionary) {
            std::vector<plist::Value> keys, values;
            for (const auto& [key, item] : dictionary) {
                keys.push_back(plist::Value::uid(self.uidOfString(key)));
                values.push_back(plist::Value::uid(self.uidOfValue(item)));
            }
            uint64_t uid = self.reserveUid();
            Entries entries;
            entries.emplace_back("NS.keys", plist::Value::array(std::move(keys)));
            entries.emplace_back("NS.objects", plist::Value::array(std::move(values)));
            self.objects_[uid] =
                self.finishObject(self.uidOfBuiltinClass("NSMutableDictionary"), std::move(entries));
            return uid;
        }
    };
    return std::visit(Visitor{*this}, value.storage());
}

uint64_t KeyedArchiver::uidOfBuiltinClass(const std::string& className) {
    return uidOfClass(className, builtinChain(className));
}

uint64_t KeyedArchiver::uidOfClass(const std::string& className, const std::vector<std::string>& chain) {
    // One descriptor per class, shared by every instance.
    if (auto it = classUids_.find(className); it != classUids_.end()) return it->second;
    std::vector<plist::Value> classes;
    for (const std::string& name : chain) classes.push_back(plist::Value::string(name));
    Entries entries;
    entries.emplace_back("$classes", plist::Value::array(std::move(classes)));
    entries.emplace_back("$classname", plist::Value::string(className));
    uint64_t uid = reserveUid();
    objects_[uid] = plist::Value::dictionary(std::move(entries));
    classUids_[className] = uid;
    return uid;
}

}  // namespace korvane
