#include "foundation/archive/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/ImageCodecs.h"
#include "foundation/archive/ArchiveClassRegistry.h"
#include "foundation/archive/ArchiveFormat.h"

namespace korvane {

namespace fmt = archive_format;
using plist::Kind;
using plist::Object;

namespace {

// Platform classes whose archived form we read as values; a typed decode that meets one of them
// where it expects a model object reads the key as absent rather than failing the archive.
bool isValueClass(std::string_view name) {
    static const std::set<std::string, std::less<>> names = {
        "NSArray",     "NSMutableArray",  "NSSet",    "NSMutableSet",  "NSDictionary", "NSMutableDictionary",
        "NSString",    "NSMutableString", "NSData",   "NSMutableData", "NSColor",      "NSBitmapImageRep",
        "NSImage",     "NSNull",          "NSNumber", "NSValue",       "NSDate",       "NSURL",
        "NSColorSpace"};
    return names.find(name) != names.end();
}

bool isListClass(std::string_view name) {
    return name == "NSArray" || name == "NSMutableArray" || name == "NSSet" || name == "NSMutableSet";
}

bool isDictionaryClass(std::string_view name) {
    return name == "NSDictionary" || name == "NSMutableDictionary";
}

std::optional<double> numberOf(const Object* object) {
    if (!object) return std::nullopt;
    switch (object->kind) {
        case Kind::Boolean:
            return object->boolean ? 1.0 : 0.0;
        case Kind::Integer:
            return static_cast<double>(object->integer);
        case Kind::Real:
            return std::isfinite(object->real) ? object->real : 0.0;
        default:
            return std::nullopt;
    }
}

template <class Int>
Int clampedInteger(const Object* object) {
    if (!object) return 0;
    if (object->kind == Kind::Integer) {
        return static_cast<Int>(std::clamp<int64_t>(object->integer, std::numeric_limits<Int>::min(),
                                                    std::numeric_limits<Int>::max()));
    }
    std::optional<double> number = numberOf(object);
    if (!number) return 0;
    // The limits are compared as powers of two, which a double holds exactly: the largest value
    // (2^63 - 1 for 64 bits) is not, and converting a double at or above 2^63 is undefined.
    const double truncated = std::trunc(*number);
    const double upperBound = -static_cast<double>(std::numeric_limits<Int>::min());
    if (truncated >= upperBound) return std::numeric_limits<Int>::max();
    if (truncated <= static_cast<double>(std::numeric_limits<Int>::min())) {
        return std::numeric_limits<Int>::min();
    }
    return static_cast<Int>(truncated);
}

// The reading budget, in bytes: strings and data copied out of the file, plus kEntryCost for each
// entry of every dictionary read (each key an object decodes is a scan of its dictionary). An honest
// file reads each of its parts about once; one that makes thousands of objects share one huge record,
// string or colour is stopped after a few multiples of its own size.
constexpr size_t kReadBudgetPerFileByte = 8;
constexpr size_t kReadBudgetFloor = size_t{8} << 20;
constexpr size_t kEntryCost = 4;

Color cmykToRgb(double c, double m, double y, double k, double a) {
    return Color::calibratedRGB((1 - c) * (1 - k), (1 - m) * (1 - k), (1 - y) * (1 - k), a);
}

}  // namespace

namespace {

UnarchiveResult refused(std::string reason) {
    UnarchiveResult result;
    result.error = std::move(reason);
    return result;
}

}  // namespace

UnarchiveResult KeyedUnarchiver::unarchive(std::span<const uint8_t> bytes) {
    return unarchive(bytes, ArchiveClassRegistry::shared(), Limits{});
}

UnarchiveResult KeyedUnarchiver::unarchive(std::span<const uint8_t> bytes,
                                           const ArchiveClassRegistry& registry, const Limits& limits) {
    if (bytes.size() > limits.maxBytes) return refused("the file is too large to be a scene");
    plist::ParseResult parsed = plist::parseBinary(bytes, plist::Limits{limits.maxBytes, limits.maxObjects});
    if (!parsed.document) return refused("not a keyed archive (" + parsed.error + ")");
    const plist::Document& document = *parsed.document;

    const Object& top = document.object(document.topIndex());
    auto field = [&](std::string_view key) -> const Object* {
        auto index = document.lookup(top, key);
        return index ? &document.object(*index) : nullptr;
    };
    const Object* archiver = field("$archiver");
    if (top.kind != Kind::Dictionary || !archiver || archiver->kind != Kind::String ||
        archiver->string != fmt::kArchiverName) {
        return refused("not a keyed archive");
    }
    const Object* version = field("$version");
    if (!version || version->kind != Kind::Integer || version->integer != fmt::kArchiveVersion) {
        return refused("unsupported keyed archive version");
    }
    const Object* objects = field("$objects");
    const Object* topKeys = field("$top");
    if (!objects || objects->kind != Kind::Array || objects->items.empty() || !topKeys ||
        topKeys->kind != Kind::Dictionary) {
        return refused("damaged keyed archive (no object table)");
    }
    const Object& null = document.object(objects->items.front());
    if (null.kind != Kind::String || null.string != fmt::kNullString) {
        return refused("damaged keyed archive (object table does not start with $null)");
    }
    auto rootIndex = document.lookup(*topKeys, fmt::kRootKey);
    if (!rootIndex || document.object(*rootIndex).kind != Kind::Uid) {
        return refused("damaged keyed archive (no root object)");
    }

    KeyedUnarchiver unarchiver(document, registry, limits);
    unarchiver.objects_ = objects->items;
    // Generous for any real scene (each object is decoded once; lists are read a few times), yet a
    // file that shares one huge list among thousands of objects cannot make us work forever.
    unarchiver.workLeft_ = 16 * unarchiver.objects_.size() + 1'000'000;
    unarchiver.bytesLeft_ = kReadBudgetPerFileByte * bytes.size() + kReadBudgetFloor;
    std::shared_ptr<Archivable> root = unarchiver.objectAt(document.object(*rootIndex).uid);
    if (unarchiver.failed()) return refused(unarchiver.error_);
    if (!root) return refused("damaged keyed archive (the root is not a model object)");
    return {std::move(root), {}, std::move(unarchiver.repairs_)};
}

KeyedUnarchiver::KeyedUnarchiver(const plist::Document& document, const ArchiveClassRegistry& registry,
                                 const Limits& limits)
    : document_(document), registry_(registry), limits_(limits) {}

void KeyedUnarchiver::failWithError(const std::string& reason) {
    if (error_.empty()) error_ = reason.empty() ? "damaged keyed archive" : reason;
}

void KeyedUnarchiver::reportRepair(const std::string& message) {
    // A hostile file may repeat one bad value in every object; a handful of messages say enough.
    constexpr size_t kMostRepairs = 100;
    if (repairs_.size() >= kMostRepairs || std::find(repairs_.begin(), repairs_.end(), message) != repairs_.end())
        return;
    repairs_.push_back(message);
}

bool KeyedUnarchiver::spend(size_t work) {
    if (failed()) return false;
    if (work > workLeft_) {
        failWithError("damaged keyed archive (too many references)");
        return false;
    }
    workLeft_ -= work;
    return true;
}

bool KeyedUnarchiver::spendBytes(size_t bytes) {
    if (failed()) return false;
    if (bytes > bytesLeft_) {
        failWithError("damaged keyed archive (too much shared data)");
        return false;
    }
    bytesLeft_ -= bytes;
    return true;
}

const Object* KeyedUnarchiver::valueForKey(const std::string& key) const {
    if (!current_ || failed()) return nullptr;
    auto index = document_.lookup(*current_, fmt::escapeKey(key));
    return index ? &document_.object(*index) : nullptr;
}

const Object* KeyedUnarchiver::member(const Object& dictionary, std::string_view key) {
    auto index = document_.lookup(dictionary, key);
    return index ? &document_.object(*index) : nullptr;
}

const Object* KeyedUnarchiver::entry(uint64_t uid) {
    if (uid == 0 || failed()) return nullptr;
    if (uid >= objects_.size()) {
        failWithError("damaged keyed archive (reference " + std::to_string(uid) +
                      " outside the object table)");
        return nullptr;
    }
    const Object& object = document_.object(objects_[uid]);
    if (object.kind == Kind::String && object.string == fmt::kNullString) return nullptr;
    return &object;
}

const Object* KeyedUnarchiver::resolve(const Object* value) {
    if (value && value->kind == Kind::Uid) return entry(value->uid);
    return value;
}

std::optional<std::string_view> KeyedUnarchiver::classNameOf(const Object& object) {
    if (object.kind != Kind::Dictionary || !spendBytes(kEntryCost * object.keys.size())) return std::nullopt;
    const Object* classRef = member(object, "$class");
    if (!classRef) return std::nullopt;
    const Object* descriptor = classRef->kind == Kind::Uid ? entry(classRef->uid) : nullptr;
    const Object* name =
        descriptor && descriptor->kind == Kind::Dictionary ? member(*descriptor, "$classname") : nullptr;
    if (!name || name->kind != Kind::String) {
        failWithError("damaged keyed archive (an object's class is not a class description)");
        return std::nullopt;
    }
    return std::string_view(name->string);
}

bool KeyedUnarchiver::containsValue(const std::string& key) const {
    return valueForKey(key) != nullptr;
}

bool KeyedUnarchiver::acceptsNumber(const Object* object, const std::string& key) {
    if (!object) return false;
    const char* problem = nullptr;
    if (object->kind == Kind::Real && std::isnan(object->real)) problem = "is not a number";
    else if (object->kind == Kind::Real && !std::isfinite(object->real)) problem = "is infinite";
    else if (!numberOf(object)) problem = object->kind == Kind::String ? "holds a string where a number belongs"
                                                                       : "holds something other than a number";
    if (!problem) return true;
    const std::optional<std::string_view> owner = current_ ? classNameOf(*current_) : std::nullopt;
    reportRepair((owner ? std::string(*owner) + " " : std::string()) + "'" + key + "' " + problem + "; it is ignored");
    return false;
}

bool KeyedUnarchiver::decodeBool(const std::string& key) {
    const Object* object = resolvedValueForKey(key);
    return acceptsNumber(object, key) && *numberOf(object) != 0;
}

int32_t KeyedUnarchiver::decodeInt32(const std::string& key) {
    const Object* object = resolvedValueForKey(key);
    return acceptsNumber(object, key) ? clampedInteger<int32_t>(object) : 0;
}

int64_t KeyedUnarchiver::decodeInt64(const std::string& key) {
    const Object* object = resolvedValueForKey(key);
    return acceptsNumber(object, key) ? clampedInteger<int64_t>(object) : 0;
}

float KeyedUnarchiver::decodeFloat(const std::string& key) {
    double value = decodeDouble(key);
    float narrowed = static_cast<float>(value);
    return std::isfinite(narrowed) ? narrowed : 0.0f;
}

double KeyedUnarchiver::decodeDouble(const std::string& key) {
    const Object* object = resolvedValueForKey(key);
    return acceptsNumber(object, key) ? *numberOf(object) : 0.0;
}

std::vector<uint8_t> KeyedUnarchiver::decodeBytes(const std::string& key) {
    return dataFrom(valueForKey(key)).value_or(std::vector<uint8_t>{});
}

Point KeyedUnarchiver::decodePoint(const std::string& key) {
    std::optional<std::string> text = decodeString(key);
    if (!text) return {};
    auto [x, y] = fmt::parsePair(*text);
    return {x, y};
}

Size KeyedUnarchiver::decodeSize(const std::string& key) {
    std::optional<std::string> text = decodeString(key);
    if (!text) return {};
    auto [width, height] = fmt::parsePair(*text);
    return {width, height};
}

std::optional<std::string> KeyedUnarchiver::stringFrom(const Object* object) {
    object = resolve(object);
    if (!object) return std::nullopt;
    if (object->kind == Kind::String) {
        if (!spendBytes(object->string.size())) return std::nullopt;
        return object->string;
    }
    std::optional<std::string_view> name = classNameOf(*object);
    if (name == "NSString" || name == "NSMutableString") {
        const Object* inner = member(*object, "NS.string");
        if (inner && inner->kind == Kind::String && spendBytes(inner->string.size())) return inner->string;
        const Object* bytes = member(*object, "NS.bytes");
        if (bytes && bytes->kind == Kind::Data && spendBytes(bytes->data.size())) {
            return std::string(bytes->data.begin(), bytes->data.end());
        }
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> KeyedUnarchiver::dataFrom(const Object* object) {
    object = resolve(object);
    if (!object) return std::nullopt;
    if (object->kind == Kind::Data) {
        if (!spendBytes(object->data.size())) return std::nullopt;
        return object->data;
    }
    std::optional<std::string_view> name = classNameOf(*object);
    if (name == "NSData" || name == "NSMutableData") {
        for (std::string_view key : {"NS.data", "NS.bytes"}) {
            const Object* inner = member(*object, key);
            if (inner && inner->kind == Kind::Data && spendBytes(inner->data.size())) return inner->data;
        }
    }
    return std::nullopt;
}

std::optional<std::string> KeyedUnarchiver::decodeString(const std::string& key) {
    return stringFrom(valueForKey(key));
}

std::optional<std::vector<uint8_t>> KeyedUnarchiver::decodeData(const std::string& key) {
    return dataFrom(valueForKey(key));
}

std::optional<Color> KeyedUnarchiver::decodeColor(const std::string& key) {
    return colorFrom(resolvedValueForKey(key), 0);
}

std::optional<Color> KeyedUnarchiver::colorFrom(const Object* object, int depth) {
    if (!object || depth > 4 || classNameOf(*object) != "NSColor") return std::nullopt;
    auto components = [&](std::string_view key) -> std::vector<double> {
        std::optional<std::vector<uint8_t>> text = dataFrom(member(*object, key));
        return text ? fmt::parseComponents(*text) : std::vector<double>{};
    };
    // Newer writers store every component with alpha in NSComponents; the legacy keys follow.
    if (std::vector<double> c = components("NSComponents"); !c.empty()) {
        if (c.size() == 4) return Color::calibratedRGB(c[0], c[1], c[2], c[3]);
        if (c.size() == 2) return Color::calibratedWhite(c[0], c[1]);
        if (c.size() == 5) return cmykToRgb(c[0], c[1], c[2], c[3], c[4]);
    }
    int space = clampedInteger<int32_t>(resolve(member(*object, "NSColorSpace")));
    if (space == 1 || space == 2) {
        std::vector<double> c = components("NSRGB");
        c.resize(std::max<size_t>(c.size(), 3), 0.0);
        return Color::calibratedRGB(c[0], c[1], c[2], c.size() > 3 ? c[3] : 1.0);
    }
    if (space == 3 || space == 4) {
        std::vector<double> c = components("NSWhite");
        c.resize(std::max<size_t>(c.size(), 1), 0.0);
        return Color::calibratedWhite(c[0], c.size() > 1 ? c[1] : 1.0);
    }
    if (space == 5) {
        std::vector<double> c = components("NSCMYK");
        if (c.empty()) c = components("NSCYMK");
        c.resize(std::max<size_t>(c.size(), 4), 0.0);
        return cmykToRgb(c[0], c[1], c[2], c[3], c.size() > 4 ? c[4] : 1.0);
    }
    if (space == 6) return colorFrom(resolve(member(*object, "NSColor")), depth + 1);
    return std::nullopt;
}

std::shared_ptr<Bitmap> KeyedUnarchiver::decodeBitmap(const std::string& key, std::string* damage) {
    const Object* value = valueForKey(key);
    if (!value || value->kind != Kind::Uid) return nullptr;
    return bitmapAt(value->uid, damage);
}

std::shared_ptr<Bitmap> KeyedUnarchiver::bitmapAt(uint64_t uid, std::string* damage) {
    const Object* object = entry(uid);
    if (!object || classNameOf(*object) != "NSBitmapImageRep") return nullptr;
    // Decoded once per TIFF: a rep stored once and referenced again shares its bitmap, and so do reps
    // of a hostile file that all point at one small file of a huge image.
    const Object* tiffObject = resolve(member(*object, "NSTIFFRepresentation"));
    if (!tiffObject) return nullptr;
    if (auto it = decodedBitmaps_.find(tiffObject); it != decodedBitmaps_.end()) return it->second;
    std::optional<std::vector<uint8_t>> tiff = dataFrom(tiffObject);
    if (!tiff) return nullptr;
    ImageDecodeResult decoded = decodeImage(*tiff);
    if (!decoded.bitmap && damage) {
        *damage = decoded.error;
        const std::optional<std::pair<int, int>> size = claimedImageSize(*tiff);
        if (!size) return nullptr;
        auto flat = std::make_shared<Bitmap>(size->first, size->second, PixelFormat::Gray8);
        decodedBitmaps_[tiffObject] = flat;
        return flat;
    }
    if (!decoded.bitmap) {
        failWithError("damaged bitmap in the archive (" + decoded.error + ")");
        return nullptr;
    }
    auto bitmap = std::make_shared<Bitmap>(std::move(*decoded.bitmap));
    decodedBitmaps_[tiffObject] = bitmap;
    return bitmap;
}

std::shared_ptr<Archivable> KeyedUnarchiver::decodeObject(const std::string& key) {
    const Object* value = valueForKey(key);
    if (!value || value->kind != Kind::Uid) return nullptr;
    return objectAt(value->uid);
}

std::shared_ptr<Archivable> KeyedUnarchiver::objectAt(uint64_t uid) {
    if (auto it = decodedObjects_.find(uid); it != decodedObjects_.end()) return it->second;
    const Object* object = entry(uid);
    if (!object || !spend(1)) return nullptr;
    std::optional<std::string_view> name = classNameOf(*object);
    if (!name) return nullptr;
    const std::string className(*name);
    if (!registry_.isRegistered(className)) {
        if (!isValueClass(className)) {
            failWithError("the archive contains an unknown class '" + className + "'");
        }
        return nullptr;
    }
    if (depth_ >= limits_.maxDepth) {
        failWithError("damaged keyed archive (objects nested too deeply)");
        return nullptr;
    }
    std::shared_ptr<Archivable> decoded = registry_.create(className);
    if (!decoded) return nullptr;
    // Registered before its fields are read, so back-references resolve to this very object.
    decodedObjects_[uid] = decoded;
    const Object* outer = current_;
    current_ = object;
    ++depth_;
    decoded->decode(*this);
    --depth_;
    current_ = outer;
    return failed() ? nullptr : decoded;
}

std::vector<uint64_t> KeyedUnarchiver::listItems(const Object* list) {
    std::vector<uint64_t> uids;
    if (!list) return uids;
    std::optional<std::string_view> name = classNameOf(*list);
    if (!name || !isListClass(*name)) return uids;
    const Object* items = member(*list, "NS.objects");
    if (!items || items->kind != Kind::Array || !spend(items->items.size())) return uids;
    uids.reserve(items->items.size());
    for (uint32_t index : items->items) {
        const Object& item = document_.object(index);
        if (item.kind == Kind::Uid) uids.push_back(item.uid);
    }
    return uids;
}

std::vector<std::shared_ptr<Archivable>> KeyedUnarchiver::decodeObjectList(const std::string& key) {
    std::vector<std::shared_ptr<Archivable>> objects;
    const Object* value = valueForKey(key);
    uint64_t listUid = value && value->kind == Kind::Uid ? value->uid : 0;
    for (uint64_t uid : listItems(resolve(value))) {
        if (uid == listUid) {
            failWithError("damaged keyed archive (a list contains itself)");
            return {};
        }
        if (auto object = objectAt(uid)) objects.push_back(std::move(object));
        if (failed()) return {};
    }
    return objects;
}

ArchiveValue KeyedUnarchiver::decodeValue(const std::string& key) {
    const Object* value = valueForKey(key);
    if (!value) return {};
    if (value->kind != Kind::Uid) {
        if (value->kind == Kind::Boolean) return value->boolean;
        if (value->kind == Kind::Integer) return value->integer;
        if (value->kind == Kind::Real) return numberOf(value).value_or(0.0);
        return {};
    }
    return valueAt(value->uid);
}

ArchiveValue KeyedUnarchiver::valueAt(uint64_t uid) {
    const Object* object = entry(uid);
    if (!object || !spend(1)) return {};
    switch (object->kind) {
        case Kind::Boolean:
            return object->boolean;
        case Kind::Integer:
            return object->integer;
        case Kind::Real:
            return numberOf(object).value_or(0.0);
        case Kind::String:
            return spendBytes(object->string.size()) ? ArchiveValue(object->string) : ArchiveValue();
        case Kind::Data:
            return spendBytes(object->data.size()) ? ArchiveValue(object->data) : ArchiveValue();
        case Kind::Dictionary:
            break;
        default:
            return {};
    }
    std::optional<std::string_view> name = classNameOf(*object);
    if (!name) return {};
    if (registry_.isRegistered(std::string(*name))) return objectAt(uid);
    if (*name == "NSColor") return colorFrom(object, 0).value_or(Color{});
    if (*name == "NSBitmapImageRep") return bitmapAt(uid, nullptr);
    if (*name == "NSString" || *name == "NSMutableString") return stringFrom(object).value_or("");
    if (*name == "NSData" || *name == "NSMutableData") return dataFrom(object).value_or(ArchiveData{});
    bool list = isListClass(*name), dictionary = isDictionaryClass(*name);
    if (!list && !dictionary) {
        if (!isValueClass(*name)) {
            failWithError("the archive contains an unknown class '" + std::string(*name) + "'");
        }
        return {};
    }
    // A container that contains itself, directly or through others, has no value.
    if (!containersInProgress_.insert(uid).second) {
        failWithError("damaged keyed archive (a list contains itself)");
        return {};
    }
    if (depth_ >= limits_.maxDepth) {
        failWithError("damaged keyed archive (lists nested too deeply)");
        return {};
    }
    ++depth_;
    ArchiveValue result;
    if (list) {
        ArchiveArray items;
        for (uint64_t item : listItems(object)) {
            items.push_back(valueAt(item));
            if (failed()) break;
        }
        result = std::move(items);
    } else {
        const Object* keys = member(*object, "NS.keys");
        const Object* values = member(*object, "NS.objects");
        ArchiveDictionary entries;
        if (keys && values && keys->kind == Kind::Array && values->kind == Kind::Array) {
            if (keys->items.size() != values->items.size()) {
                failWithError("damaged keyed archive (a dictionary's keys and values differ in number)");
            } else if (spend(keys->items.size())) {
                for (size_t i = 0; i < keys->items.size() && !failed(); ++i) {
                    const Object& keyRef = document_.object(keys->items[i]);
                    const Object& valueRef = document_.object(values->items[i]);
                    std::optional<std::string> keyText = stringFrom(&keyRef);
                    if (!keyText || valueRef.kind != Kind::Uid) continue;
                    entries.emplace_back(std::move(*keyText), valueAt(valueRef.uid));
                }
            }
        }
        result = std::move(entries);
    }
    --depth_;
    containersInProgress_.erase(uid);
    return failed() ? ArchiveValue{} : result;
}

}  // namespace korvane
