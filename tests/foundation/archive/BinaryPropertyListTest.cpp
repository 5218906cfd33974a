#include "foundation/archive/BinaryPropertyList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

namespace korvane::plist {
namespace {

std::vector<uint8_t> hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void putBigEndian(std::vector<uint8_t>& out, uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

// A hand-assembled file: encoded objects laid out after the magic, then the offset table and a
// trailer whose fields a test may overwrite to describe something the bytes do not hold.
struct RawFile {
    std::vector<std::vector<uint8_t>> objects = {};
    int offsetSize = 1;
    int refSize = 1;
    std::optional<uint64_t> objectCount = {};  // defaults to objects.size()
    uint64_t top = 0;
    std::optional<uint64_t> offsetTableOffset = {};
    std::vector<uint64_t> offsets = {};  // defaults to where the objects were laid out

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out = hex("62 70 6C 69 73 74 30 30");  // bplist00
        std::vector<uint64_t> laidOut;
        for (const auto& object : objects) {
            laidOut.push_back(out.size());
            out.insert(out.end(), object.begin(), object.end());
        }
        const uint64_t tableOffset = out.size();
        for (uint64_t offset : offsets.empty() ? laidOut : offsets) putBigEndian(out, offset, offsetSize);
        out.insert(out.end(), 6, 0);
        out.push_back(uint8_t(offsetSize));
        out.push_back(uint8_t(refSize));
        putBigEndian(out, objectCount.value_or(objects.size()), 8);
        putBigEndian(out, top, 8);
        putBigEndian(out, offsetTableOffset.value_or(tableOffset), 8);
        return out;
    }
};

// The encoded bytes of the root of a file holding a single object.
std::vector<uint8_t> soleObject(const Value& value) {
    const std::vector<uint8_t> file = writeBinary(value);
    uint64_t tableOffset = 0;
    for (size_t i = file.size() - 8; i < file.size(); ++i) tableOffset = (tableOffset << 8) | file[i];
    return std::vector<uint8_t>(file.begin() + 8, file.begin() + static_cast<ptrdiff_t>(tableOffset));
}

Document parsed(const std::vector<uint8_t>& bytes) {
    ParseResult result = parseBinary(bytes);
    EXPECT_TRUE(result.document) << result.error;
    return result.document ? std::move(*result.document) : Document();
}

std::string parseError(const std::vector<uint8_t>& bytes, const Limits& limits = {}) {
    ParseResult result = parseBinary(bytes, limits);
    if (result.document) return "(parsed)";
    return result.error;
}

const Object& valueFor(const Document& document, const Object& dictionary, std::string_view key) {
    static const Object kMissing;
    std::optional<uint32_t> index = document.lookup(dictionary, key);
    EXPECT_TRUE(index) << "missing key " << key;
    return index ? document.object(*index) : kMissing;
}

// A tree holding every kind, some strings repeated, a nested container with more than 15 entries.
Value sampleTree() {
    std::vector<Value> many;
    for (int i = 0; i < 20; ++i) many.push_back(Value::integer(i * 1000));
    return Value::dictionary({
        {"$archiver", Value::string("NSKeyedArchiver")},
        {"$version", Value::integer(100000)},
        {"$top", Value::dictionary({{"root", Value::uid(1)}})},
        {"nothing", Value()},
        {"yes", Value::boolean(true)},
        {"no", Value::boolean(false)},
        {"count", Value::integer(-2)},
        {"scale", Value::real(1.5)},
        {"tenth", Value::real(0.1)},
        {"title", Value::string("Gr\xC3\xBC\xC3\x9F"
                                "e \xF0\x9F\x98\x80")},
        {"bytes", Value::data({0, 1, 2, 0xFF})},
        {"many", Value::array(std::move(many))},
        {"again", Value::string("NSKeyedArchiver")},
    });
}

// ---------------------------------------------------------------------------------------------
// Writing: byte-level facts

TEST(BinaryPropertyListWrite, SmallestFileIsMagicObjectOffsetTableAndTrailer) {
    EXPECT_EQ(writeBinary(Value::boolean(true)), hex("62 70 6C 69 73 74 30 30  09  08"
                                                     "00 00 00 00 00 00 01 01  00 00 00 00 00 00 00 01"
                                                     "00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 09"));
}

TEST(BinaryPropertyListWrite, ScalarsUseTheSmallestDocumentedWidth) {
    EXPECT_EQ(soleObject(Value()), hex("00"));
    EXPECT_EQ(soleObject(Value::boolean(false)), hex("08"));
    EXPECT_EQ(soleObject(Value::uid(1)), hex("80 01"));
    EXPECT_EQ(soleObject(Value::uid(300)), hex("81 01 2C"));
    EXPECT_EQ(soleObject(Value::uid(70000)), hex("83 00 01 11 70"));
    EXPECT_EQ(soleObject(Value::integer(0)), hex("10 00"));
    EXPECT_EQ(soleObject(Value::integer(255)), hex("10 FF"));
    EXPECT_EQ(soleObject(Value::integer(256)), hex("11 01 00"));
    EXPECT_EQ(soleObject(Value::integer(100000)), hex("12 00 01 86 A0"));
    EXPECT_EQ(soleObject(Value::integer(int64_t(1) << 32)), hex("13 00 00 00 01 00 00 00 00"));
}

TEST(BinaryPropertyListWrite, NegativeIntegersAreEightByteTwosComplement) {
    EXPECT_EQ(soleObject(Value::integer(-2)), hex("13 FF FF FF FF FF FF FF FE"));
    EXPECT_EQ(soleObject(Value::integer(-1)), hex("13 FF FF FF FF FF FF FF FF"));
}

TEST(BinaryPropertyListWrite, RealsTakeFourBytesOnlyWhenFloatHoldsThemExactly) {
    EXPECT_EQ(soleObject(Value::real(1.5)), hex("22 3F C0 00 00"));
    EXPECT_EQ(soleObject(Value::real(100000)), hex("22 47 C3 50 00"));
    EXPECT_EQ(soleObject(Value::real(0.1)), hex("23 3F B9 99 99 99 99 99 9A"));
    EXPECT_EQ(soleObject(Value::real(1e39)), hex("23 48 07 82 87 F4 9C 4A 1D"));
    EXPECT_EQ(soleObject(Value::real(-0.0)), hex("22 80 00 00 00"));
    EXPECT_EQ(soleObject(Value::real(std::numeric_limits<double>::quiet_NaN())).size(), 9u);
}

TEST(BinaryPropertyListWrite, StringsAreAsciiWhenPossibleElseUtf16BigEndian) {
    EXPECT_EQ(soleObject(Value::string("abc")), hex("53 61 62 63"));
    EXPECT_EQ(soleObject(Value::string("\xC3\xA9")), hex("61 00 E9"));                // é
    EXPECT_EQ(soleObject(Value::string("\xF0\x9F\x98\x80")), hex("62 D8 3D DE 00"));  // U+1F600
    EXPECT_EQ(soleObject(Value::string("a\xFF")), hex("62 00 61 FF FD"));  // invalid UTF-8 → U+FFFD
}

TEST(BinaryPropertyListWrite, CountsFromFifteenFollowAsAnIntegerObject) {
    EXPECT_EQ(soleObject(Value::data(std::vector<uint8_t>(14, 7)))[0], 0x4E);
    const std::vector<uint8_t> fifteen = soleObject(Value::data(std::vector<uint8_t>(15, 7)));
    EXPECT_EQ(std::vector<uint8_t>(fifteen.begin(), fifteen.begin() + 3), hex("4F 10 0F"));
    const std::vector<uint8_t> large = soleObject(Value::string(std::string(300, 'x')));
    EXPECT_EQ(std::vector<uint8_t>(large.begin(), large.begin() + 4), hex("5F 11 01 2C"));
}

TEST(BinaryPropertyListWrite, RepeatedStringsAreStoredOnce) {
    std::vector<Value> objects;
    for (int i = 0; i < 3; ++i) {
        objects.push_back(Value::dictionary({{"$class", Value::uid(2)}, {"name", Value::string("$class")}}));
    }
    const std::vector<uint8_t> file = writeBinary(Value::array(std::move(objects)));
    const std::string text(file.begin(), file.end());
    size_t occurrences = 0;
    for (size_t at = text.find("$class"); at != std::string::npos; at = text.find("$class", at + 1)) {
        ++occurrences;
    }
    EXPECT_EQ(occurrences, 1u);
    // Root array, three dictionaries, "$class", "name" and three UIDs.
    EXPECT_EQ(parsed(file).objectCount(), 9u);
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST(BinaryPropertyListRoundTrip, EveryKindReadsBackAsWritten) {
    const Document doc = parsed(writeBinary(sampleTree()));
    const Object& root = doc.object(doc.topIndex());
    ASSERT_EQ(root.kind, Kind::Dictionary);
    EXPECT_EQ(valueFor(doc, root, "$archiver").string, "NSKeyedArchiver");
    EXPECT_EQ(valueFor(doc, root, "$version").integer, 100000);
    const Object& top = valueFor(doc, root, "$top");
    EXPECT_EQ(valueFor(doc, top, "root").kind, Kind::Uid);
    EXPECT_EQ(valueFor(doc, top, "root").uid, 1u);
    EXPECT_EQ(valueFor(doc, root, "nothing").kind, Kind::Null);
    EXPECT_TRUE(valueFor(doc, root, "yes").boolean);
    EXPECT_EQ(valueFor(doc, root, "no").kind, Kind::Boolean);
    EXPECT_FALSE(valueFor(doc, root, "no").boolean);
    EXPECT_EQ(valueFor(doc, root, "count").integer, -2);
    EXPECT_EQ(valueFor(doc, root, "scale").real, 1.5);
    EXPECT_EQ(valueFor(doc, root, "tenth").real, 0.1);
    EXPECT_EQ(valueFor(doc, root, "title").string,
              "Gr\xC3\xBC\xC3\x9F"
              "e \xF0\x9F\x98\x80");
    EXPECT_EQ(valueFor(doc, root, "bytes").data, (std::vector<uint8_t>{0, 1, 2, 0xFF}));
    const Object& many = valueFor(doc, root, "many");
    ASSERT_EQ(many.kind, Kind::Array);
    ASSERT_EQ(many.items.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(doc.object(many.items[i]).integer, i * 1000);
    EXPECT_EQ(doc.lookup(root, "$archiver"), doc.lookup(root, "again"));  // one shared string object
    EXPECT_FALSE(doc.lookup(root, "absent"));
    EXPECT_FALSE(doc.lookup(many, "$archiver"));  // not a dictionary
}

TEST(BinaryPropertyListRoundTrip, MoreThan256ObjectsUseTwoByteReferences) {
    std::vector<Value> items;
    for (int i = 0; i < 300; ++i) items.push_back(Value::integer(i));
    items.push_back(Value::data(std::vector<uint8_t>(70000, 0xAB)));
    const std::vector<uint8_t> file = writeBinary(Value::array(std::move(items)));
    EXPECT_EQ(file[file.size() - 25], 2);  // reference size
    EXPECT_EQ(file[file.size() - 26], 4);  // offsets beyond 65535 need 4 bytes
    const Document doc = parsed(file);
    const Object& root = doc.object(doc.topIndex());
    ASSERT_EQ(root.items.size(), 301u);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(doc.object(root.items[i]).integer, i);
    EXPECT_EQ(doc.object(root.items[300]).data, std::vector<uint8_t>(70000, 0xAB));
}

TEST(BinaryPropertyListRoundTrip, ExtremeNumbersSurvive) {
    for (int64_t n : {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), int64_t(-1),
                      int64_t(0), int64_t(65535), int64_t(65536)}) {
        const Document doc = parsed(writeBinary(Value::integer(n)));
        EXPECT_EQ(doc.object(0).integer, n);
    }
    for (double d : {1.5, 0.1, -0.0, 1e39, -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::denorm_min()}) {
        const Document doc = parsed(writeBinary(Value::real(d)));
        EXPECT_EQ(doc.object(0).real, d);
        EXPECT_EQ(std::signbit(doc.object(0).real), std::signbit(d));
    }
    EXPECT_TRUE(std::isnan(parsed(writeBinary(Value::real(std::nan("")))).object(0).real));
    EXPECT_EQ(parsed(writeBinary(Value::uid(UINT32_MAX))).object(0).uid, UINT32_MAX);
}

TEST(BinaryPropertyListRoundTrip, NonAsciiStringsOfEveryLengthSurvive) {
    for (size_t repeat : {1, 14, 15, 200}) {
        std::string text;
        for (size_t i = 0; i < repeat; ++i) text += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8C\x8D";  // é € 🌍
        const Document doc = parsed(writeBinary(Value::string(text)));
        EXPECT_EQ(doc.object(0).string, text);
    }
}

// ---------------------------------------------------------------------------------------------
// Reading hand-built files

TEST(BinaryPropertyListRead, ReadsEveryIntegerWidthAndKeepsLow64BitsOfSixteen) {
    RawFile file{.objects = {hex("10 FF"), hex("11 FF FE"), hex("12 FF FF FF FD"),
                             hex("13 FF FF FF FF FF FF FF FC"),
                             hex("14 00 00 00 00 00 00 00 01  80 00 00 00 00 00 00 05")}};
    const Document doc = parsed(file.bytes());
    EXPECT_EQ(doc.object(0).integer, 0xFF);
    EXPECT_EQ(doc.object(1).integer, 0xFFFE);
    EXPECT_EQ(doc.object(2).integer, 0xFFFFFFFD);
    EXPECT_EQ(doc.object(3).integer, -4);
    EXPECT_EQ(doc.object(4).integer, std::numeric_limits<int64_t>::min() + 5);
}

TEST(BinaryPropertyListRead, ReadsUidsOfOneToEightBytesUpToUint32Max) {
    RawFile file{.objects = {hex("80 07"), hex("82 01 00 00"), hex("87 00 00 00 00 FF FF FF FF")}};
    const Document doc = parsed(file.bytes());
    EXPECT_EQ(doc.object(0).uid, 7u);
    EXPECT_EQ(doc.object(1).uid, 0x10000u);
    EXPECT_EQ(doc.object(2).uid, UINT32_MAX);
    EXPECT_EQ(parseError(RawFile{.objects = {hex("87 00 00 00 01 00 00 00 00")}}.bytes()),
              "UID above UINT32_MAX");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("88 00 00 00 00 00 00 00 00 01")}}.bytes()),
              "invalid UID width");
}

TEST(BinaryPropertyListRead, ReadsFourByteRealsSetsAndNonMinimalCounts) {
    RawFile file{.objects = {hex("22 3F C0 00 00"), hex("C2 00 02"), hex("5F 10 03 61 62 63")}};
    const Document doc = parsed(file.bytes());
    EXPECT_EQ(doc.object(0).real, 1.5);
    EXPECT_EQ(doc.object(1).kind, Kind::Array);
    EXPECT_EQ(doc.object(1).items, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(doc.object(2).string, "abc");
}

TEST(BinaryPropertyListRead, LookupSkipsKeysThatAreNotStrings) {
    // {5: "a", "k": 5}: the integer key must not match anything, the string key must.
    RawFile file{.objects = {hex("D2 01 02 03 01"), hex("10 05"), hex("51 6B"), hex("51 61")}};
    const Document doc = parsed(file.bytes());
    EXPECT_EQ(doc.lookup(doc.object(0), "k"), 1u);
    EXPECT_FALSE(doc.lookup(doc.object(0), "a"));
    EXPECT_EQ(doc.object(0).keys, (std::vector<uint32_t>{1, 2}));
}

TEST(BinaryPropertyListRead, RejectsWidthsAndTypesOutsideTheFormat) {
    EXPECT_EQ(parseError(RawFile{.objects = {hex("15 00 00")}}.bytes()), "invalid integer width");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("21 00 00")}}.bytes()), "invalid real width");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("33 00 00 00 00 00 00 00 00")}}.bytes()),
              "unsupported object type");  // dates have no place in an archive's container
    EXPECT_EQ(parseError(RawFile{.objects = {hex("0F")}}.bytes()), "unsupported object type");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("5F 23 00 00 00 00 00 00 00 03 61 62 63")}}.bytes()),
              "invalid count");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("52 61 C3")}}.bytes()), "non-ASCII byte in ASCII string");
}

// ---------------------------------------------------------------------------------------------
// Hostile input

TEST(BinaryPropertyListHostile, EveryTruncationFailsWithAReason) {
    const std::vector<uint8_t> file = writeBinary(sampleTree());
    for (size_t length = 0; length < file.size(); ++length) {
        ParseResult result = parseBinary(std::span(file.data(), length));
        EXPECT_FALSE(result.document) << "prefix of " << length << " bytes parsed";
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(BinaryPropertyListHostile, RandomAndMutatedBytesNeverMisbehave) {
    std::mt19937 random(20240601);
    const std::vector<uint8_t> valid = writeBinary(sampleTree());
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = hex("62 70 6C 69 73 74 30 30");
        const size_t length = random() % 120;
        for (size_t i = 0; i < length; ++i) bytes.push_back(uint8_t(random()));
        ParseResult result = parseBinary(bytes);
        EXPECT_TRUE(result.document || !result.error.empty());

        std::vector<uint8_t> mutated = valid;
        for (int flips = 1 + int(random() % 4); flips > 0; --flips) {
            mutated[8 + random() % (mutated.size() - 8)] = uint8_t(random());
        }
        result = parseBinary(mutated);
        EXPECT_TRUE(result.document || !result.error.empty());
    }
}

TEST(BinaryPropertyListHostile, TrailerClaimingTwoToTheFortyObjectsIsRejected) {
    RawFile file{.objects = {hex("09")}, .objectCount = uint64_t(1) << 40};
    EXPECT_EQ(parseError(file.bytes()), "too many objects");
    Limits unlimited{.maxBytes = SIZE_MAX, .maxObjects = SIZE_MAX};
    EXPECT_EQ(parseError(file.bytes(), unlimited), "object count exceeds file size");
}

TEST(BinaryPropertyListHostile, TrailerFieldsAreValidated) {
    EXPECT_EQ(parseError(hex("62 70 6C 69 73 74 30 31 09 08")), "not a binary property list");
    EXPECT_EQ(parseError(hex("62 70 6C 69 73 74 30 30 09 08")), "truncated trailer");
    std::vector<uint8_t> zeroOffsetSize = RawFile{.objects = {hex("09")}}.bytes();
    zeroOffsetSize[zeroOffsetSize.size() - 26] = 0;
    EXPECT_EQ(parseError(zeroOffsetSize), "invalid offset or reference size");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .refSize = 9}.bytes()),
              "invalid offset or reference size");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .objectCount = 0}.bytes()), "empty object table");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .top = 1}.bytes()), "top object out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .offsetTableOffset = 10}.bytes()),
              "offset table out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .offsetTableOffset = UINT64_MAX - 3}.bytes()),
              "offset table out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .offsets = {9}}.bytes()),
              "object offset out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}, .offsets = {3}}.bytes()),
              "object offset out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}}.bytes(), Limits{.maxBytes = 41}), "file too large");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("09")}}.bytes(), Limits{.maxObjects = 0}),
              "too many objects");
}

TEST(BinaryPropertyListHostile, ReferencesOutOfRangeAreRejected) {
    EXPECT_EQ(parseError(RawFile{.objects = {hex("A2 00 01")}}.bytes()), "object reference out of range");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("D1 00 05"), hex("09")}}.bytes()),
              "object reference out of range");
    RawFile wide{.objects = {hex("A1 00 01"), hex("09")}, .refSize = 2};
    EXPECT_TRUE(parseBinary(wide.bytes()).document);
    wide.objects[0] = hex("A1 01 00");
    EXPECT_EQ(parseError(wide.bytes()), "object reference out of range");
}

TEST(BinaryPropertyListHostile, TenMillionElementCountInATinyFileIsRejectedBeforeAllocating) {
    const std::vector<uint8_t> tenMillion = hex("12 00 98 96 80");
    for (uint8_t marker : {0x4F, 0x5F, 0x6F, 0xAF, 0xCF, 0xDF}) {
        RawFile file{.objects = {concat(concat({marker}, tenMillion), std::vector<uint8_t>(50, 0))}};
        ASSERT_LT(file.bytes().size(), 100u);
        EXPECT_EQ(parseError(file.bytes()), "truncated object") << "marker " << int(marker);
    }
    RawFile huge{.objects = {hex("4F 13 FF FF FF FF FF FF FF FF 00")}};
    EXPECT_EQ(parseError(huge.bytes()), "truncated object");
}

TEST(BinaryPropertyListHostile, OffsetsSharingOneLargeObjectAreRejected) {
    // 200 table entries all pointing at the same 1000-byte blob would decode to 200 KB.
    RawFile file{.objects = {concat(hex("4F 11 03 E8"), std::vector<uint8_t>(1000, 1))}, .offsetSize = 1};
    file.objectCount = 200;
    file.offsets.assign(200, 8);
    EXPECT_EQ(parseError(file.bytes()), "overlapping objects");
    // Sharing a scalar costs nothing and is tolerated.
    RawFile scalars{.objects = {hex("A2 01 02"), hex("10 05")}, .offsets = {8, 11, 11}};
    scalars.objectCount = 3;
    EXPECT_TRUE(parseBinary(scalars.bytes()).document);
}

TEST(BinaryPropertyListHostile, SelfContainingAndCyclicContainersParseAsATable) {
    const Document self = parsed(RawFile{.objects = {hex("A1 00")}}.bytes());
    EXPECT_EQ(self.object(0).items, std::vector<uint32_t>{0});
    const Document cycle =
        parsed(RawFile{.objects = {hex("D1 02 01"), hex("D1 02 00"), hex("51 70")}}.bytes());
    EXPECT_EQ(cycle.lookup(cycle.object(0), "p"), 1u);
    EXPECT_EQ(cycle.lookup(cycle.object(1), "p"), 0u);
}

TEST(BinaryPropertyListHostile, DeepNestingParsesWithoutRecursion) {
    RawFile file{.offsetSize = 4, .refSize = 4};
    constexpr uint32_t kDepth = 200000;
    for (uint32_t i = 0; i < kDepth; ++i) {
        std::vector<uint8_t> array{0xA1};
        putBigEndian(array, std::min(i + 1, kDepth - 1), 4);
        file.objects.push_back(array);
    }
    const Document doc = parsed(file.bytes());
    EXPECT_EQ(doc.objectCount(), kDepth);
    EXPECT_EQ(doc.object(kDepth - 1).items, std::vector<uint32_t>{kDepth - 1});
}

TEST(BinaryPropertyListHostile, UnpairedSurrogatesMakeTheFileInvalid) {
    EXPECT_EQ(parseError(RawFile{.objects = {hex("61 D8 3D")}}.bytes()), "invalid UTF-16 string");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("61 DE 00")}}.bytes()), "invalid UTF-16 string");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("62 D8 3D 00 41")}}.bytes()), "invalid UTF-16 string");
    EXPECT_EQ(parseError(RawFile{.objects = {hex("62 DE 00 D8 3D")}}.bytes()), "invalid UTF-16 string");
    EXPECT_EQ(parsed(RawFile{.objects = {hex("62 D8 3D DE 00")}}.bytes()).object(0).string,
              "\xF0\x9F\x98\x80");
}

// ---------------------------------------------------------------------------------------------
// Interoperability with python3's plistlib

bool havePlistlib() {
    return std::system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0;
}

std::filesystem::path scratchPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("korvane-bplist-" + std::to_string(getpid()) + "-" + name);
}

// Runs a python3 script and returns its standard output, or nullopt if it failed.
std::optional<std::string> runPython(const std::string& script, const std::string& argument = "") {
    const std::filesystem::path path = scratchPath("script.py");
    std::ofstream(path) << script;
    FILE* pipe = popen(("python3 '" + path.string() + "' '" + argument + "'").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    std::filesystem::remove(path);
    if (status != 0) return std::nullopt;
    return output;
}

TEST(BinaryPropertyListPlistlib, ReadsAFileWrittenByPlistlib) {
    if (!havePlistlib()) GTEST_SKIP() << "python3 with plistlib is not available";
    const std::optional<std::string> output = runPython(R"(
import plistlib
from plistlib import UID
value = {
    '$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': UID(1)},
    '$objects': ['$null', {'$class': UID(300), 'scale': 1.5, 'count': -2, 'visible': True},
                 'gr\u00fc\u00dfe \U0001f600', b'\x00\x01\x02', list(range(20)), UID(70000)],
    'huge': 2**64 - 1,
}
print(plistlib.dumps(value, fmt=plistlib.FMT_BINARY).hex())
)");
    ASSERT_TRUE(output);
    const Document doc = parsed(hex(*output));
    const Object& root = doc.object(doc.topIndex());
    EXPECT_EQ(valueFor(doc, root, "$archiver").string, "NSKeyedArchiver");
    EXPECT_EQ(valueFor(doc, root, "$version").integer, 100000);
    EXPECT_EQ(valueFor(doc, valueFor(doc, root, "$top"), "root").uid, 1u);
    EXPECT_EQ(valueFor(doc, root, "huge").integer, -1);  // low 64 bits of a 16-byte integer
    const Object& objects = valueFor(doc, root, "$objects");
    ASSERT_EQ(objects.items.size(), 6u);
    EXPECT_EQ(doc.object(objects.items[0]).string, "$null");
    const Object& archived = doc.object(objects.items[1]);
    EXPECT_EQ(valueFor(doc, archived, "$class").uid, 300u);
    EXPECT_EQ(valueFor(doc, archived, "scale").real, 1.5);
    EXPECT_EQ(valueFor(doc, archived, "count").integer, -2);
    EXPECT_TRUE(valueFor(doc, archived, "visible").boolean);
    EXPECT_EQ(doc.object(objects.items[2]).string,
              "gr\xC3\xBC\xC3\x9F"
              "e \xF0\x9F\x98\x80");
    EXPECT_EQ(doc.object(objects.items[3]).data, (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(doc.object(objects.items[4]).items.size(), 20u);
    EXPECT_EQ(doc.object(doc.object(objects.items[4]).items[19]).integer, 19);
    EXPECT_EQ(doc.object(objects.items[5]).uid, 70000u);
}

TEST(BinaryPropertyListPlistlib, PlistlibReadsAFileWeWrite) {
    if (!havePlistlib()) GTEST_SKIP() << "python3 with plistlib is not available";
    std::vector<Value> uids;
    for (uint64_t uid : {0ull, 1ull, 300ull, 70000ull, 4294967295ull}) uids.push_back(Value::uid(uid));
    std::vector<Value> many;
    for (int i = 0; i < 300; ++i) many.push_back(Value::integer(i));
    const Value tree = Value::dictionary({
        {"uids", Value::array(std::move(uids))},
        {"numbers",
         Value::array({Value::integer(-2), Value::integer(100000), Value::real(1.5), Value::real(0.1)})},
        {"text", Value::string("gr\xC3\xBC\xC3\x9F"
                               "e \xF0\x9F\x98\x80")},
        {"bytes", Value::data({0, 0xFF})},
        {"flags", Value::array({Value::boolean(true), Value::boolean(false), Value()})},
        {"many", Value::array(std::move(many))},
    });
    const std::filesystem::path path = scratchPath("ours.plist");
    const std::vector<uint8_t> bytes = writeBinary(tree);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::optional<std::string> output = runPython(R"(
import plistlib, sys
with open(sys.argv[1], 'rb') as f:
    value = plistlib.load(f)
many = value.pop('many')
print(ascii(value), many == list(range(300)))
)",
                                                        path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(output);
    EXPECT_EQ(*output,
              "{'uids': [UID(0), UID(1), UID(300), UID(70000), UID(4294967295)], "
              "'numbers': [-2, 100000, 1.5, 0.1], 'text': 'gr\\xfc\\xdfe \\U0001f600', "
              "'bytes': b'\\x00\\xff', 'flags': [True, False, None]} True\n");
}

}  // namespace
}  // namespace korvane::plist
