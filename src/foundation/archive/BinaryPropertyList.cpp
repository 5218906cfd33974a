#include "foundation/archive/BinaryPropertyList.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace korvane::plist {

Value::Value() = default;

Value Value::boolean(bool b) {
    Value v(Kind::Boolean);
    v.boolean_ = b;
    return v;
}

Value Value::integer(int64_t i) {
    Value v(Kind::Integer);
    v.integer_ = i;
    return v;
}

Value Value::real(double d) {
    Value v(Kind::Real);
    v.real_ = d;
    return v;
}

Value Value::string(std::string utf8) {
    Value v(Kind::String);
    v.string_ = std::move(utf8);
    return v;
}

Value Value::data(std::vector<uint8_t> bytes) {
    Value v(Kind::Data);
    v.data_ = std::move(bytes);
    return v;
}

Value Value::uid(uint64_t uid) {
    Value v(Kind::Uid);
    v.uid_ = uid;
    return v;
}

Value Value::array(std::vector<Value> items) {
    Value v(Kind::Array);
    v.items_ = std::move(items);
    return v;
}

Value Value::dictionary(std::vector<std::pair<std::string, Value>> entries) {
    Value v(Kind::Dictionary);
    v.entries_ = std::move(entries);
    return v;
}

namespace {

constexpr std::string_view kMagic = "bplist00";
constexpr size_t kTrailerSize = 32;

// Object markers: the high nibble is the type, the low nibble a width or a count.
constexpr uint8_t kNull = 0x00;
constexpr uint8_t kFalse = 0x08;
constexpr uint8_t kTrue = 0x09;
constexpr uint8_t kInteger = 0x1;
constexpr uint8_t kReal = 0x2;
constexpr uint8_t kData = 0x4;
constexpr uint8_t kAsciiString = 0x5;
constexpr uint8_t kUtf16String = 0x6;
constexpr uint8_t kUid = 0x8;
constexpr uint8_t kArray = 0xA;
constexpr uint8_t kSet = 0xC;
constexpr uint8_t kDictionary = 0xD;
// A low nibble of 0xF means the count follows as an integer object.
constexpr uint8_t kExtendedCount = 0xF;

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Number of bytes (1, 2, 4 or 8) needed to hold value unsigned.
int widthFor(uint64_t value) {
    if (value <= 0xFF) return 1;
    if (value <= 0xFFFF) return 2;
    if (value <= 0xFFFFFFFFu) return 4;
    return 8;
}

uint64_t readBigEndian(const uint8_t* p, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
    return value;
}

// ---------------------------------------------------------------------------------------------
// Writing

class Writer {
public:
    std::vector<uint8_t> write(const Value& root) {
        add(&root);
        // Breadth-first: the table grows while it is walked, so no recursion is needed.
        for (size_t i = 0; i < table_.size(); ++i) {
            const Value* v = table_[i].value;
            if (!v) continue;
            std::vector<uint32_t> refs;
            if (v->kind() == Kind::Array) {
                for (const Value& item : v->items()) refs.push_back(add(&item));
            } else if (v->kind() == Kind::Dictionary) {
                for (const auto& entry : v->entries()) refs.push_back(addString(entry.first));
                for (const auto& entry : v->entries()) refs.push_back(add(&entry.second));
            }
            table_[i].refs = std::move(refs);
        }

        refSize_ = widthFor(table_.size() - 1);
        out_.assign(kMagic.begin(), kMagic.end());
        std::vector<uint64_t> offsets;
        offsets.reserve(table_.size());
        for (const Entry& entry : table_) {
            offsets.push_back(out_.size());
            if (entry.value) {
                writeValue(*entry.value, entry.refs);
            } else {
                writeString(entry.text);
            }
        }

        const uint64_t offsetTableOffset = out_.size();
        const int offsetSize = widthFor(offsetTableOffset);
        for (uint64_t offset : offsets) putBigEndian(offset, offsetSize);
        out_.insert(out_.end(), 6, 0);  // unused bytes and sort version
        out_.push_back(static_cast<uint8_t>(offsetSize));
        out_.push_back(static_cast<uint8_t>(refSize_));
        putBigEndian(table_.size(), 8);
        putBigEndian(0, 8);  // the root is always object 0
        putBigEndian(offsetTableOffset, 8);
        return std::move(out_);
    }

private:
    // A table entry is either a node of the tree or a (deduplicated) string, which may be a key.
    struct Entry {
        const Value* value = nullptr;
        std::string_view text;
        std::vector<uint32_t> refs;
    };

    uint32_t add(const Value* v) {
        if (v->kind() == Kind::String) return addString(v->asString());
        table_.push_back(Entry{v, {}, {}});
        return static_cast<uint32_t>(table_.size() - 1);
    }

    uint32_t addString(std::string_view text) {
        auto [it, inserted] = strings_.try_emplace(text, static_cast<uint32_t>(table_.size()));
        if (inserted) table_.push_back(Entry{nullptr, text, {}});
        return it->second;
    }

    void putBigEndian(uint64_t value, int width) {
        for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) out_.push_back(uint8_t(value >> shift));
    }

    void putUnsigned(uint64_t value) { putScalar(kInteger, value, widthFor(value)); }

    void putHeader(uint8_t type, uint64_t count) {
        if (count < kExtendedCount) {
            out_.push_back(uint8_t((type << 4) | count));
        } else {
            out_.push_back(uint8_t((type << 4) | kExtendedCount));
            putUnsigned(count);
        }
    }

    void putScalar(uint8_t type, uint64_t bits, int width) {
        out_.push_back(uint8_t((type << 4) | std::countr_zero(unsigned(width))));
        putBigEndian(bits, width);
    }

    void putRefs(const std::vector<uint32_t>& refs) {
        for (uint32_t ref : refs) putBigEndian(ref, refSize_);
    }

    void writeValue(const Value& v, const std::vector<uint32_t>& refs) {
        switch (v.kind()) {
            case Kind::Null:
                out_.push_back(kNull);
                break;
            case Kind::Boolean:
                out_.push_back(v.asBool() ? kTrue : kFalse);
                break;
            case Kind::Integer:
                if (v.asInteger() >= 0) putUnsigned(uint64_t(v.asInteger()));
                if (v.asInteger() < 0) putScalar(kInteger, uint64_t(v.asInteger()), 8);
                break;
            case Kind::Real:
                writeReal(v.asReal());
                break;
            case Kind::String:
                writeString(v.asString());
                break;
            case Kind::Data:
                putHeader(kData, v.asData().size());
                out_.insert(out_.end(), v.asData().begin(), v.asData().end());
                break;
            case Kind::Uid:
                // The UID marker's low nibble is the width minus one, unlike other scalars.
                out_.push_back(uint8_t((kUid << 4) | (widthFor(v.asUid()) - 1)));
                putBigEndian(v.asUid(), widthFor(v.asUid()));
                break;
            case Kind::Array:
                putHeader(kArray, refs.size());
                putRefs(refs);
                break;
            case Kind::Dictionary:
                putHeader(kDictionary, refs.size() / 2);
                putRefs(refs);
                break;
        }
    }

    void writeReal(double d) {
        // Casting an out-of-range finite double to float is undefined, so range-check first.
        const bool fitsFloat = std::isinf(d) || (std::isfinite(d) && std::fabs(d) <= FLT_MAX &&
                                                 static_cast<double>(static_cast<float>(d)) == d);
        if (fitsFloat) {
            putScalar(kReal, std::bit_cast<uint32_t>(static_cast<float>(d)), 4);
        } else {
            putScalar(kReal, std::bit_cast<uint64_t>(d), 8);
        }
    }

    void writeString(std::string_view text) {
        bool ascii = true;
        for (unsigned char c : text) ascii = ascii && c < 0x80;
        if (ascii) {
            putHeader(kAsciiString, text.size());
            out_.insert(out_.end(), text.begin(), text.end());
            return;
        }
        std::vector<uint16_t> units;
        for (size_t i = 0; i < text.size();) {
            char32_t c = decodeUtf8(text, i);
            if (c >= 0x10000) {
                c -= 0x10000;
                units.push_back(uint16_t(0xD800 + (c >> 10)));
                units.push_back(uint16_t(0xDC00 + (c & 0x3FF)));
            } else {
                units.push_back(uint16_t(c));
            }
        }
        putHeader(kUtf16String, units.size());
        for (uint16_t unit : units) putBigEndian(unit, 2);
    }

    // Decodes the code point at text[i] and advances i; malformed sequences give U+FFFD.
    static char32_t decodeUtf8(std::string_view text, size_t& i) {
        const unsigned char lead = text[i++];
        if (lead < 0x80) return lead;
        int extra;
        char32_t c;
        char32_t minimum;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            return kReplacementCharacter;
        }
        for (int k = 0; k < extra; ++k) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                return kReplacementCharacter;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
        }
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacementCharacter;
        return c;
    }

    std::vector<Entry> table_;
    std::unordered_map<std::string_view, uint32_t> strings_;
    std::vector<uint8_t> out_;
    int refSize_ = 1;
};

void appendUtf8(std::string& out, char32_t c) {
    constexpr uint8_t kLeadBits[] = {0x00, 0xC0, 0xE0, 0xF0};
    const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += char(kLeadBits[extra] | (c >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) out += char(0x80 | ((c >> (6 * k)) & 0x3F));
}

}  // namespace

std::vector<uint8_t> writeBinary(const Value& root) {
    return Writer().write(root);
}

// ---------------------------------------------------------------------------------------------
// Reading

// Fills a Document's private table; only the parser constructs documents.
struct DocumentBuilder {
    static Document make(std::vector<Object> objects, uint32_t top) {
        Document document;
        document.objects_ = std::move(objects);
        document.top_ = top;
        return document;
    }
};

const Object& Document::object(uint32_t index) const {
    static const Object kOutOfRange;
    return index < objects_.size() ? objects_[index] : kOutOfRange;
}

std::optional<uint32_t> Document::lookup(const Object& dictionary, std::string_view key) const {
    if (dictionary.kind != Kind::Dictionary) return std::nullopt;
    for (size_t i = 0; i < dictionary.keys.size() && i < dictionary.items.size(); ++i) {
        const Object& k = object(dictionary.keys[i]);
        if (k.kind == Kind::String && k.string == key) return dictionary.items[i];
    }
    return std::nullopt;
}

namespace {

// Parses one object at a time from the object area [8, areaEnd). Every read is bounded by areaEnd,
// and every allocation is preceded by a check that the bytes it stands for are present.
class Reader {
public:
    Reader(std::span<const uint8_t> bytes, size_t areaEnd, size_t refSize, uint64_t objectCount)
        : bytes_(bytes), areaEnd_(areaEnd), refSize_(refSize), objectCount_(objectCount) {}

    const std::string& error() const { return error_; }

    bool parse(size_t offset, Object& out) {
        pos_ = offset;
        const uint8_t marker = bytes_[pos_++];
        const uint8_t type = marker >> 4;
        const uint8_t low = marker & 0x0F;
        switch (type) {
            case 0x0:
                if (marker == kNull) return out.kind = Kind::Null, true;
                if (marker == kFalse || marker == kTrue) {
                    out.kind = Kind::Boolean;
                    out.boolean = marker == kTrue;
                    return true;
                }
                return fail("unsupported object type");
            case kInteger: {
                if (low > 4) return fail("invalid integer width");
                const size_t width = size_t(1) << low;
                if (!have(width)) return false;
                // Shifting drops the high bytes, so a 16-byte integer keeps its low 64 bits; an
                // 8-byte one is two's complement.
                out.kind = Kind::Integer;
                out.integer = int64_t(readBigEndian(&bytes_[pos_], width));
                return true;
            }
            case kReal:
                if (low != 2 && low != 3) return fail("invalid real width");
                if (!have(size_t(1) << low)) return false;
                out.kind = Kind::Real;
                if (low == 2) out.real = std::bit_cast<float>(uint32_t(readBigEndian(&bytes_[pos_], 4)));
                if (low == 3) out.real = std::bit_cast<double>(readBigEndian(&bytes_[pos_], 8));
                return true;
            case kUid: {
                const size_t width = size_t(low) + 1;
                if (width > 8) return fail("invalid UID width");
                if (!have(width)) return false;
                out.kind = Kind::Uid;
                out.uid = readBigEndian(&bytes_[pos_], width);
                if (out.uid > UINT32_MAX) return fail("UID above UINT32_MAX");
                return true;
            }
            case kData: {
                size_t count;
                if (!readCount(low, 1, count)) return false;
                out.kind = Kind::Data;
                out.data.assign(&bytes_[pos_], &bytes_[pos_] + count);
                return true;
            }
            case kAsciiString: {
                size_t count;
                if (!readCount(low, 1, count)) return false;
                for (size_t i = 0; i < count; ++i) {
                    if (bytes_[pos_ + i] >= 0x80) return fail("non-ASCII byte in ASCII string");
                }
                out.kind = Kind::String;
                out.string.assign(reinterpret_cast<const char*>(&bytes_[pos_]), count);
                return true;
            }
            case kUtf16String: {
                size_t count;
                if (!readCount(low, 2, count)) return false;
                out.kind = Kind::String;
                return decodeUtf16(count, out.string);
            }
            case kArray:
            case kSet: {
                size_t count;
                if (!readCount(low, refSize_, count)) return false;
                out.kind = Kind::Array;
                return readRefs(count, out.items);
            }
            case kDictionary: {
                size_t count;
                if (!readCount(low, 2 * refSize_, count)) return false;
                out.kind = Kind::Dictionary;
                return readRefs(count, out.keys) && readRefs(count, out.items);
            }
            default:
                return fail("unsupported object type");
        }
    }

private:
    bool fail(const char* reason) {
        error_ = reason;
        return false;
    }

    // Whether n more bytes lie inside the object area.
    bool have(size_t n) { return n <= areaEnd_ - pos_ ? true : fail("truncated object"); }

    // Reads a container's element count from the marker's low nibble (or the integer object that
    // follows it) and checks that count elements of elementSize bytes are present and, together with
    // everything read so far, do not claim more bytes than the object area holds. The second check
    // stops a file whose offsets all point at one large object from multiplying its size in memory.
    bool readCount(uint8_t low, size_t elementSize, size_t& count) {
        uint64_t value = low;
        if (low == kExtendedCount) {
            if (!have(1)) return false;
            const uint8_t marker = bytes_[pos_++];
            if ((marker >> 4) != kInteger || (marker & 0x0F) > 3) return fail("invalid count");
            const size_t width = size_t(1) << (marker & 0x0F);
            if (!have(width)) return false;
            value = readBigEndian(&bytes_[pos_], width);
            pos_ += width;
        }
        if (value > (areaEnd_ - pos_) / elementSize) return fail("truncated object");
        const size_t payload = size_t(value) * elementSize;
        if (payload > areaEnd_ - kMagic.size() - consumed_) return fail("overlapping objects");
        consumed_ += payload;
        count = size_t(value);
        return true;
    }

    bool readRefs(size_t count, std::vector<uint32_t>& out) {
        out.reserve(count);
        for (size_t i = 0; i < count; ++i, pos_ += refSize_) {
            const uint64_t ref = readBigEndian(&bytes_[pos_], refSize_);
            if (ref >= objectCount_) return fail("object reference out of range");
            out.push_back(uint32_t(ref));
        }
        return true;
    }

    bool decodeUtf16(size_t count, std::string& out) {
        out.reserve(count * 2);
        for (size_t i = 0; i < count; ++i) {
            char32_t c = char32_t(readBigEndian(&bytes_[pos_ + 2 * i], 2));
            if (c >= 0xDC00 && c <= 0xDFFF) return fail("invalid UTF-16 string");
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 1 == count) return fail("invalid UTF-16 string");
                const char32_t low = char32_t(readBigEndian(&bytes_[pos_ + 2 * ++i], 2));
                if (low < 0xDC00 || low > 0xDFFF) return fail("invalid UTF-16 string");
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(out, c);
        }
        return true;
    }

    std::span<const uint8_t> bytes_;
    size_t areaEnd_;
    size_t refSize_;
    uint64_t objectCount_;
    size_t pos_ = 0;
    size_t consumed_ = 0;
    std::string error_;
};

ParseResult failure(std::string reason) {
    return ParseResult{std::nullopt, std::move(reason)};
}

}  // namespace

ParseResult parseBinary(std::span<const uint8_t> bytes, const Limits& limits) {
    if (bytes.size() > limits.maxBytes) return failure("file too large");
    if (bytes.size() < kMagic.size() || std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) {
        return failure("not a binary property list");
    }
    // The smallest file holds the magic, one 1-byte object, a 1-byte offset table and the trailer.
    if (bytes.size() < kMagic.size() + 2 + kTrailerSize) return failure("truncated trailer");

    const uint8_t* trailer = bytes.data() + bytes.size() - kTrailerSize;
    const size_t offsetSize = trailer[6];
    const size_t refSize = trailer[7];
    const uint64_t objectCount = readBigEndian(trailer + 8, 8);
    const uint64_t topIndex = readBigEndian(trailer + 16, 8);
    const uint64_t offsetTableOffset = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) {
        return failure("invalid offset or reference size");
    }
    if (objectCount == 0) return failure("empty object table");
    if (objectCount > limits.maxObjects) return failure("too many objects");
    // Each object needs at least its marker byte and its offset table entry.
    const size_t body = bytes.size() - kMagic.size() - kTrailerSize;
    if (objectCount > body / (1 + offsetSize)) return failure("object count exceeds file size");
    if (objectCount > UINT32_MAX) return failure("too many objects");  // indexes are 32-bit
    if (topIndex >= objectCount) return failure("top object out of range");
    const size_t tableSize = size_t(objectCount) * offsetSize;
    if (offsetTableOffset < kMagic.size() + 1 ||
        offsetTableOffset > bytes.size() - kTrailerSize - tableSize) {
        return failure("offset table out of range");
    }

    const size_t areaEnd = size_t(offsetTableOffset);
    std::vector<Object> objects(static_cast<size_t>(objectCount));
    Reader reader(bytes, areaEnd, refSize, objectCount);
    // Every object is parsed exactly once, in table order; containers only record indexes.
    for (size_t i = 0; i < objects.size(); ++i) {
        const uint64_t offset = readBigEndian(bytes.data() + areaEnd + i * offsetSize, offsetSize);
        if (offset < kMagic.size() || offset >= areaEnd) return failure("object offset out of range");
        if (!reader.parse(size_t(offset), objects[i])) return failure(reader.error());
    }
    return ParseResult{DocumentBuilder::make(std::move(objects), uint32_t(topIndex)), {}};
}

}  // namespace korvane::plist
