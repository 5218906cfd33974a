#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "foundation/archive/Archivable.h"
#include "foundation/archive/ArchiveValue.h"
#include "foundation/archive/BinaryPropertyList.h"

namespace korvane {

class ArchiveClassRegistry;

// Writes an object graph as a keyed archive (binary property list, "NSKeyedArchiver" layout).
// Every object is stored once under its identity and referenced wherever it occurs again, so
// back-references (a layer's `scene`) and shared bitmaps survive a round trip as one object.
class KeyedArchiver {
public:
    // The complete archive of `root` under the root key. Class chains come from the registry.
    static std::vector<uint8_t> archivedData(const Archivable& root);
    static std::vector<uint8_t> archivedData(const Archivable& root, const ArchiveClassRegistry& registry);

    // Inline scalars.
    void encodeBool(const std::string& key, bool value);
    void encodeInt32(const std::string& key, int32_t value);
    void encodeInt64(const std::string& key, int64_t value);
    void encodeFloat(const std::string& key, float value);
    void encodeDouble(const std::string& key, double value);
    void encodeBytes(const std::string& key, std::span<const uint8_t> bytes);
    // Geometry, stored as string objects.
    void encodePoint(const std::string& key, Point point);
    void encodeSize(const std::string& key, Size size);
    // Object values, stored by reference. A null object writes the null reference.
    void encodeObject(const std::string& key, const Archivable* object);
    void encodeObject(const std::string& key, const std::shared_ptr<Archivable>& object) {
        encodeObject(key, object.get());
    }
    void encodeString(const std::string& key, const std::string& value);
    void encodeData(const std::string& key, std::span<const uint8_t> data);
    void encodeColor(const std::string& key, const Color& color);
    void encodeBitmap(const std::string& key, const std::shared_ptr<const Bitmap>& bitmap);
    // A list of model objects (any shared_ptr to an Archivable subclass).
    template <class T>
    void encodeObjects(const std::string& key, const std::vector<std::shared_ptr<T>>& objects) {
        std::vector<const Archivable*> items;
        items.reserve(objects.size());
        for (const auto& object : objects) items.push_back(object.get());
        encodeObjectList(key, items);
    }
    void encodeObjectList(const std::string& key, const std::vector<const Archivable*>& objects);
    // Lists, dictionaries and other object values.
    void encodeValue(const std::string& key, const ArchiveValue& value);

private:
    using Entries = std::vector<std::pair<std::string, plist::Value>>;

    explicit KeyedArchiver(const ArchiveClassRegistry& registry);
    void put(const std::string& key, plist::Value value);
    uint64_t reserveUid();
    uint64_t uidOfObject(const Archivable* object);
    uint64_t uidOfString(const std::string& value);
    uint64_t uidOfData(std::span<const uint8_t> data);
    uint64_t uidOfColor(const Color& color);
    uint64_t uidOfBitmap(const Bitmap* bitmap);
    uint64_t uidOfList(const std::vector<uint64_t>& items, const char* className);
    uint64_t uidOfValue(const ArchiveValue& value);
    uint64_t uidOfClass(const std::string& className, const std::vector<std::string>& chain);
    uint64_t uidOfBuiltinClass(const std::string& className);
    plist::Value finishObject(uint64_t classUid, Entries entries);

    const ArchiveClassRegistry& registry_;
    std::vector<plist::Value> objects_;
    std::vector<Entries> entryStack_;
    std::map<const void*, uint64_t> objectUids_;
    std::map<std::string, uint64_t> stringUids_;
    std::map<std::string, uint64_t> classUids_;
};

}  // namespace korvane
