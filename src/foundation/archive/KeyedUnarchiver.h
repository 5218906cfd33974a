#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "foundation/archive/Archivable.h"
#include "foundation/archive/ArchiveValue.h"
#include "foundation/archive/BinaryPropertyList.h"

namespace korvane {

class ArchiveClassRegistry;

// What unarchiving produced: the root object, or an error a user can read ("unknown class 'X'"),
// and the values that were repaired on the way ("scene size {-5, 10} is outside 0.1–100; using
// {0.1, 10}"), each distinct message once, in the order met.
struct UnarchiveResult {
    std::shared_ptr<Archivable> root;
    std::string error;
    std::vector<std::string> repairs;
};

// Reads a keyed archive written by KeyedArchiver (or by the platform's archiver) back into model
// objects. Built for hostile input: only registered classes are instantiated, every reference is
// bounds-checked, nesting and total work are capped, and any violation fails the whole archive with
// a message. A value of the wrong kind for a key reads as the key's absent value.
class KeyedUnarchiver {
public:
    struct Limits {
        size_t maxBytes = size_t{1} << 30;
        size_t maxObjects = 4'000'000;
        int maxDepth = 100;
    };

    // Decodes the archive's root object. Any thread; the objects returned belong to the caller.
    static UnarchiveResult unarchive(std::span<const uint8_t> bytes);
    static UnarchiveResult unarchive(std::span<const uint8_t> bytes, const ArchiveClassRegistry& registry,
                                     const Limits& limits);
    // The root as a T, or nullptr with an error naming the class that was expected.
    // The repairs go into `repairs` when it is non-null.
    template <class T>
    static std::shared_ptr<T> unarchiveRoot(std::span<const uint8_t> bytes, const std::string& expectedClass,
                                            std::string* error, std::vector<std::string>* repairs = nullptr) {
        UnarchiveResult result = unarchive(bytes);
        auto root = std::dynamic_pointer_cast<T>(result.root);
        if (error) *error = result.error;
        if (repairs) *repairs = std::move(result.repairs);
        if (!root && result.error.empty() && error) *error = "the root object is not a " + expectedClass;
        return root;
    }

    // The accessors read keys of the object being decoded (inside Archivable::decode). A number
    // accessor meeting a value of another kind (a string where a number belongs) or a number that
    // is not finite reads the key's absent value and records a repair naming the class and key.
    bool containsValue(const std::string& key) const;
    bool decodeBool(const std::string& key);
    int32_t decodeInt32(const std::string& key);
    int64_t decodeInt64(const std::string& key);
    float decodeFloat(const std::string& key);    // non-finite numbers read as 0
    double decodeDouble(const std::string& key);  // non-finite numbers read as 0
    std::vector<uint8_t> decodeBytes(const std::string& key);
    Point decodePoint(const std::string& key);
    Size decodeSize(const std::string& key);
    std::optional<std::string> decodeString(const std::string& key);
    std::optional<std::vector<uint8_t>> decodeData(const std::string& key);
    std::optional<Color> decodeColor(const std::string& key);
    // A bitmap that is stored but damaged fails the whole archive; with `damage` non-null it gives
    // instead a flat (zero) Gray8 bitmap of the size its header claims (null when even that cannot
    // be read) and the reason in *damage, so the caller can keep the rest and say what was lost.
    std::shared_ptr<Bitmap> decodeBitmap(const std::string& key, std::string* damage = nullptr);
    // A model object; while it is still being decoded (a back-reference) the same, partly decoded
    // object is returned.
    std::shared_ptr<Archivable> decodeObject(const std::string& key);
    template <class T>
    std::shared_ptr<T> decodeObjectOfClass(const std::string& key) {
        return std::dynamic_pointer_cast<T>(decodeObject(key));
    }
    // A list of model objects; elements that are none or not a T are left out.
    template <class T>
    std::vector<std::shared_ptr<T>> decodeObjects(const std::string& key) {
        std::vector<std::shared_ptr<T>> result;
        for (const auto& object : decodeObjectList(key)) {
            if (auto typed = std::dynamic_pointer_cast<T>(object)) result.push_back(std::move(typed));
        }
        return result;
    }
    std::vector<std::shared_ptr<Archivable>> decodeObjectList(const std::string& key);
    ArchiveValue decodeValue(const std::string& key);

    // Fails the whole archive (a model class rejecting data it cannot use). The first reason wins.
    void failWithError(const std::string& reason);
    // Records that a model class repaired a value it read (clamped it into range, replaced a damaged
    // image); the message says what and how. A message already recorded is not repeated.
    void reportRepair(const std::string& message);
    const std::vector<std::string>& repairs() const { return repairs_; }
    bool failed() const { return !error_.empty(); }

private:
    KeyedUnarchiver(const plist::Document& document, const ArchiveClassRegistry& registry,
                    const Limits& limits);
    const plist::Object* valueForKey(const std::string& key) const;
    const plist::Object* entry(uint64_t uid);
    const plist::Object* resolve(const plist::Object* value);
    const plist::Object* resolvedValueForKey(const std::string& key) { return resolve(valueForKey(key)); }
    std::optional<std::string_view> classNameOf(const plist::Object& object);
    const plist::Object* member(const plist::Object& dictionary, std::string_view key);
    std::optional<std::string> stringFrom(const plist::Object* object);
    std::optional<std::vector<uint8_t>> dataFrom(const plist::Object* object);
    std::optional<Color> colorFrom(const plist::Object* object, int depth);
    std::shared_ptr<Archivable> objectAt(uint64_t uid);
    std::shared_ptr<Bitmap> bitmapAt(uint64_t uid, std::string* damage);
    // Whether object (the value of key) is a usable number; a value of another kind, or a number
    // that is not finite, is recorded as a repair and gives false. An absent value gives false.
    bool acceptsNumber(const plist::Object* object, const std::string& key);
    std::vector<uint64_t> listItems(const plist::Object* list);
    ArchiveValue valueAt(uint64_t uid);
    bool spend(size_t work);
    bool spendBytes(size_t bytes);

    const plist::Document& document_;
    const ArchiveClassRegistry& registry_;
    Limits limits_;
    std::vector<uint32_t> objects_;  // $objects: archive identity (UID) → property-list object index
    const plist::Object* current_ = nullptr;
    int depth_ = 0;
    size_t workLeft_ = 0;
    size_t bytesLeft_ = 0;
    std::string error_;
    std::vector<std::string> repairs_;
    std::map<uint64_t, std::shared_ptr<Archivable>> decodedObjects_;
    std::map<const plist::Object*, std::shared_ptr<Bitmap>> decodedBitmaps_;  // by TIFF data
    std::set<uint64_t> containersInProgress_;
};

}  // namespace korvane
