// Binary property lists (bplist00): the container under the keyed archiver.
//
// Writing takes a value tree and produces a complete file. Reading produces a flat object table,
// never a tree: containers hold indexes into the table, so files that share objects, contain cycles
// or nest deeply cost nothing extra to read. Every function here is pure and may be called from any
// thread; results are owned by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::plist {

enum class Kind { Null, Boolean, Integer, Real, String, Data, Uid, Array, Dictionary };

// A node of a tree to be written. Accessors return a default value when the kind differs.
class Value {
public:
    Value();  // Null
    static Value boolean(bool b);
    static Value integer(int64_t i);
    // Written as a 4-byte float when the value survives float conversion exactly, else 8 bytes.
    static Value real(double d);
    // UTF-8 text; invalid UTF-8 sequences are written as U+FFFD.
    static Value string(std::string utf8);
    static Value data(std::vector<uint8_t> bytes);
    // Written in the smallest of 1/2/4/8 bytes. Readers (this one included) reject values above UINT32_MAX.
    static Value uid(uint64_t uid);
    static Value array(std::vector<Value> items);
    static Value dictionary(std::vector<std::pair<std::string, Value>> entries);  // key order kept

    Kind kind() const { return kind_; }
    bool asBool() const { return boolean_; }
    int64_t asInteger() const { return integer_; }
    double asReal() const { return real_; }
    const std::string& asString() const { return string_; }
    const std::vector<uint8_t>& asData() const { return data_; }
    uint64_t asUid() const { return uid_; }
    const std::vector<Value>& items() const { return items_; }
    const std::vector<std::pair<std::string, Value>>& entries() const { return entries_; }

private:
    explicit Value(Kind kind) : kind_(kind) {}

    Kind kind_ = Kind::Null;
    bool boolean_ = false;
    int64_t integer_ = 0;
    double real_ = 0;
    uint64_t uid_ = 0;
    std::string string_;
    std::vector<uint8_t> data_;
    std::vector<Value> items_;
    std::vector<std::pair<std::string, Value>> entries_;
};

// Serialises a tree as a complete bplist00 file; the root is object 0. Identical strings (dictionary
// keys like "$class" as well as values) are stored once. Strings are ASCII when possible, else UTF-16BE.
// Integers: non-negative in the smallest width of 1/2/4/8 bytes, negative as 8-byte two's complement.
std::vector<uint8_t> writeBinary(const Value& root);

// One entry of a parsed object table; only the fields of its kind are set.
struct Object {
    Kind kind = Kind::Null;
    bool boolean = false;
    int64_t integer = 0;  // 8-byte ints are signed; 16-byte ints: the low 64 bits
    double real = 0;
    std::string string;  // UTF-8 (UTF-16 converted; invalid surrogates make the file invalid)
    std::vector<uint8_t> data;
    uint64_t uid = 0;
    std::vector<uint32_t>
        items;  // Array (and Set, read as an array): object indexes; Dictionary: value indexes
    std::vector<uint32_t> keys;  // Dictionary: key object indexes, parallel to items
};

struct Limits {
    size_t maxBytes = 1u << 30;     // input size
    size_t maxObjects = 4'000'000;  // entries in the bplist object table
};

// A parsed file: every reference inside it is a valid index into its object table.
class Document {
public:
    size_t objectCount() const { return objects_.size(); }
    // The object at index (< objectCount()); an out-of-range index gives a shared Null object.
    const Object& object(uint32_t index) const;
    uint32_t topIndex() const { return top_; }
    // The value index for a key in a dictionary object; non-string keys are skipped. nullopt if absent
    // or if the object is not a dictionary.
    std::optional<uint32_t> lookup(const Object& dictionary, std::string_view key) const;

private:
    friend struct DocumentBuilder;
    std::vector<Object> objects_;
    uint32_t top_ = 0;
};

struct ParseResult {
    std::optional<Document> document;
    std::string error;  // a short reason when document is empty ("truncated trailer", ...)
};

// Parses a bplist00 file. Hostile input is expected: any violation fails the whole parse with a
// reason, nothing is read out of bounds and allocations stay proportional to the input.
ParseResult parseBinary(std::span<const uint8_t> bytes, const Limits& limits = {});

}  // namespace korvane::plist
