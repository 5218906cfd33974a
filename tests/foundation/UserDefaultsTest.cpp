#include "foundation/SettingsUserDefaults.h"
#include "foundation/UserDefaults.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvane {

// Readable failure messages; internal linkage so other test files may print values their own way.
static void PrintTo(const DefaultsValue& value, std::ostream* out) {
    static constexpr const char* kKinds[] = {"bool", "integer", "double", "string", "dictionary"};
    *out << kKinds[static_cast<int>(value.type())] << " \"" << value.toString() << "\"";
}
namespace {

constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

// ---------------------------------------------------------------------------------------------------
// DefaultsValue conversions

TEST(DefaultsValueTest, BoolReadingFollowsThePlatformRules) {
    for (const char* text : {"YES", "yes", "true", "T", "1", "  +0042", "-7", "9 lives"}) {
        EXPECT_TRUE(DefaultsValue(text).toBool()) << text;
    }
    for (const char* text : {"NO", "no", "false", "0", "-000", "", "   ", "0x1", "maybe"}) {
        EXPECT_FALSE(DefaultsValue(text).toBool()) << text;
    }
    EXPECT_TRUE(DefaultsValue(2).toBool());
    EXPECT_TRUE(DefaultsValue(0.25).toBool());
    EXPECT_FALSE(DefaultsValue(0.0).toBool());
    EXPECT_FALSE(DefaultsValue(DefaultsDictionary{{"a", true}}).toBool());
}

TEST(DefaultsValueTest, IntegerReadingTruncatesAndSaturates) {
    EXPECT_EQ(DefaultsValue(1.7).toInteger(), 1);
    EXPECT_EQ(DefaultsValue(-1.7).toInteger(), -1);
    EXPECT_EQ(DefaultsValue(1e300).toInteger(), kInt64Max);
    EXPECT_EQ(DefaultsValue(-1e300).toInteger(), kInt64Min);
    EXPECT_EQ(DefaultsValue(std::nan("")).toInteger(), 0);
    EXPECT_EQ(DefaultsValue(true).toInteger(), 1);
    EXPECT_EQ(DefaultsValue("1.7").toInteger(), 1);
    EXPECT_EQ(DefaultsValue("  -42px").toInteger(), -42);
    EXPECT_EQ(DefaultsValue("abc").toInteger(), 0);
    EXPECT_EQ(DefaultsValue("99999999999999999999").toInteger(), kInt64Max);
    EXPECT_EQ(DefaultsValue("-99999999999999999999").toInteger(), kInt64Min);
    EXPECT_EQ(DefaultsValue("-9223372036854775808").toInteger(), kInt64Min);
    EXPECT_EQ(DefaultsValue(std::numeric_limits<uint64_t>::max()).toInteger(), kInt64Max);
}

TEST(DefaultsValueTest, DoubleReadingParsesLeadingNumbersOnly) {
    EXPECT_EQ(DefaultsValue("1.5").toDouble(), 1.5);
    EXPECT_EQ(DefaultsValue(" -2e3 metres").toDouble(), -2000);
    EXPECT_EQ(DefaultsValue(".5").toDouble(), 0.5);
    EXPECT_EQ(DefaultsValue("abc").toDouble(), 0);
    EXPECT_EQ(DefaultsValue("inf").toDouble(), 0);
    EXPECT_EQ(DefaultsValue("1e999").toDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(DefaultsValue("-1e999").toDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(DefaultsValue("1e-999").toDouble(), 0);
    EXPECT_EQ(DefaultsValue(3).toDouble(), 3.0);
}

TEST(DefaultsValueTest, StringReadingWritesNumbersInTheirShortestForm) {
    EXPECT_EQ(DefaultsValue(1.5).toString(), "1.5");
    EXPECT_EQ(DefaultsValue(0.1).toString(), "0.1");
    EXPECT_EQ(DefaultsValue(-7).toString(), "-7");
    EXPECT_EQ(DefaultsValue(true).toString(), "1");
    EXPECT_EQ(DefaultsValue(DefaultsDictionary{}).toString(), "");
}

TEST(DefaultsValueTest, EqualityComparesKindAndNestedContents) {
    EXPECT_NE(DefaultsValue(1), DefaultsValue(1.0));
    EXPECT_NE(DefaultsValue(1), DefaultsValue(true));
    EXPECT_NE(DefaultsValue("1"), DefaultsValue(1));
    const DefaultsDictionary nested{{"inner", DefaultsDictionary{{"x", 1}}}, {"s", "text"}};
    EXPECT_EQ(DefaultsValue(nested), DefaultsValue(DefaultsDictionary(nested)));
    DefaultsDictionary changed = DefaultsValue(nested).toDictionary();
    changed["inner"] = DefaultsDictionary{{"x", 2}};
    EXPECT_NE(DefaultsValue(changed), DefaultsValue(nested));
    EXPECT_EQ(nested.at("inner").toDictionary().at("x"), DefaultsValue(1));
}

// ---------------------------------------------------------------------------------------------------
// UserDefaults behaviour, on the in-memory store

TEST(UserDefaultsTest, AbsentKeysReadAsZeroFalseAndEmpty) {
    InMemoryUserDefaults defaults;
    EXPECT_FALSE(defaults.objectForKey("missing").has_value());
    EXPECT_FALSE(defaults.boolForKey("missing"));
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
    EXPECT_EQ(defaults.floatForKey("missing"), 0.0f);
    EXPECT_EQ(defaults.doubleForKey("missing"), 0.0);
    EXPECT_EQ(defaults.stringForKey("missing"), "");
    EXPECT_TRUE(defaults.dictionaryForKey("missing").empty());
}

TEST(UserDefaultsTest, RegisteredDefaultsShowUntilAValueIsStoredAndAgainAfterRemoval) {
    InMemoryUserDefaults defaults;
    defaults.registerDefaults({{"a", 1}, {"b", "two"}});
    defaults.registerDefaults({{"a", 10}});
    EXPECT_EQ(defaults.integerForKey("a"), 10);
    EXPECT_EQ(defaults.stringForKey("b"), "two");
    defaults.setInteger("a", 5);
    EXPECT_EQ(defaults.integerForKey("a"), 5);
    defaults.removeObjectForKey("a");
    EXPECT_EQ(defaults.integerForKey("a"), 10);
}

TEST(UserDefaultsTest, TypedGettersConvertBetweenKinds) {
    InMemoryUserDefaults defaults;
    defaults.setDouble("ratio", 1.7);
    EXPECT_EQ(defaults.integerForKey("ratio"), 1);
    EXPECT_EQ(defaults.stringForKey("ratio"), "1.7");
    defaults.setString("answer", "YES");
    EXPECT_TRUE(defaults.boolForKey("answer"));
    defaults.setString("count", "12");
    EXPECT_EQ(defaults.integerForKey("count"), 12);
    defaults.setBool("flag", true);
    EXPECT_EQ(defaults.integerForKey("flag"), 1);
    EXPECT_EQ(defaults.doubleForKey("flag"), 1.0);
    defaults.setFloat("tenth", 0.1f);
    EXPECT_EQ(defaults.floatForKey("tenth"), 0.1f);
    EXPECT_EQ(defaults.doubleForKey("tenth"), static_cast<double>(0.1f));
    defaults.setDouble("huge", 1e300);
    EXPECT_EQ(defaults.floatForKey("huge"), std::numeric_limits<float>::infinity());
    defaults.setInteger("n", 3);
    EXPECT_TRUE(defaults.dictionaryForKey("n").empty());
}

TEST(UserDefaultsTest, StandardDefaultsAreReplaceable) {
    UserDefaults::setStandard(nullptr);
    UserDefaults::standard().setString("key", "first");
    EXPECT_EQ(UserDefaults::standard().stringForKey("key"), "first");
    auto replacement = std::make_unique<InMemoryUserDefaults>();
    UserDefaults* installed = replacement.get();
    UserDefaults::setStandard(std::move(replacement));
    EXPECT_EQ(&UserDefaults::standard(), installed);
    EXPECT_EQ(UserDefaults::standard().stringForKey("key"), "");
    UserDefaults::setStandard(nullptr);
}

// ---------------------------------------------------------------------------------------------------
// SettingsUserDefaults

class SettingsUserDefaultsTest : public testing::Test {
protected:
    QString path(const char* name) const { return directory_.filePath(QString::fromLatin1(name)); }

    // QSettings caches parsed files per path for the life of the process, so reopening the same path
    // would hand back the values as written. A copy at a new path is read from disk.
    QString freshCopy(const QString& source, const char* name) const {
        const QString target = path(name);
        EXPECT_TRUE(QFile::copy(source, target));
        return target;
    }

    QTemporaryDir directory_;
};

TEST_F(SettingsUserDefaultsTest, ValuesReadBackFromDiskWithTheirKinds) {
    ASSERT_TRUE(directory_.isValid());
    const DefaultsDictionary nested{{"flag", false},
                                    {"count", 3},
                                    {"ratio", 2.0},
                                    {"label", "42"},
                                    {"inner", DefaultsDictionary{{"deep", "yes"}, {"n", -1}}}};
    const DefaultsDictionary expected{{"bool", true},         {"false", false},       {"int", kInt64Min},
                                      {"double", 2.0},        {"tenth", 0.1},         {"third", 1.0 / 3.0},
                                      {"huge", 1e300},        {"infinite", HUGE_VAL}, {"text", "Korvane"},
                                      {"digits", "42"},       {"decimal", "1.5"},     {"wordTrue", "true"},
                                      {"wordInf", "inf"},     {"marked", "'quoted"},  {"empty", ""},
                                      {"padded", " padded "}, {"commas", "a, b"},     {"at", "@at"},
                                      {"unicode", "Grüße ✓"}, {"dictionary", nested}, {"group/key", "slash"}};
    {
        SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{path("written.ini")});
        for (const auto& [key, value] : expected) defaults.setObject(key, value);
        ASSERT_TRUE(defaults.synchronize());
    }
    const SettingsUserDefaults reread(
        SettingsUserDefaults::IniFile{freshCopy(path("written.ini"), "copy.ini")});
    for (const auto& [key, value] : expected) {
        const std::optional<DefaultsValue> read = reread.objectForKey(key);
        ASSERT_TRUE(read.has_value()) << key;
        EXPECT_EQ(*read, value) << key << " read back as \"" << read->toString() << "\"";
    }
}

TEST_F(SettingsUserDefaultsTest, RemovalPersistsAndRegisteredValuesShowAgain) {
    {
        SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{path("removal.ini")});
        defaults.setInteger("kept", 7);
        defaults.setInteger("dropped", 8);
        defaults.removeObjectForKey("dropped");
    }
    SettingsUserDefaults reread(SettingsUserDefaults::IniFile{freshCopy(path("removal.ini"), "copy.ini")});
    reread.registerDefaults({{"dropped", 100}});
    EXPECT_EQ(reread.integerForKey("kept"), 7);
    EXPECT_EQ(reread.integerForKey("dropped"), 100);
    EXPECT_EQ(reread.objectForKey("kept"), DefaultsValue(7));
}

TEST_F(SettingsUserDefaultsTest, HandEditedFileReadsByTheTextRules) {
    QFile file(path("edited.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nflag=true\ncount=12\nratio=0.5\nname=Foo\nlist=a, b\nquoted='7\n");
    file.close();
    const SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{file.fileName()});
    EXPECT_EQ(defaults.objectForKey("flag"), DefaultsValue(true));
    EXPECT_EQ(defaults.objectForKey("count"), DefaultsValue(12));
    EXPECT_EQ(defaults.objectForKey("ratio"), DefaultsValue(0.5));
    EXPECT_EQ(defaults.objectForKey("name"), DefaultsValue("Foo"));
    EXPECT_EQ(defaults.objectForKey("list"), DefaultsValue("a, b"));
    EXPECT_EQ(defaults.objectForKey("quoted"), DefaultsValue("7"));
}

TEST_F(SettingsUserDefaultsTest, GarbageFilesAndEmptyKeysDoNoHarm) {
    QFile file(path("garbage.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Binary junk, an unterminated section, and a serialised map whose entry count claims ~4 billion.
    static constexpr char kGarbage[] =
        "\0\xff[[=\n@Variant(\x01\x02\x03)\nk=@Variant(\\0\\0\\0\\b\\xff\\xff\\xff\\xff)\n";
    file.write(kGarbage, sizeof kGarbage - 1);
    file.close();
    SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{file.fileName()});
    (void)defaults.objectForKey("k");
    EXPECT_FALSE(defaults.objectForKey("absent").has_value());
    defaults.setString("", "ignored");
    EXPECT_FALSE(defaults.objectForKey("").has_value());
}

TEST_F(SettingsUserDefaultsTest, DeeplyNestedDictionariesAreCutOffWhenRead) {
    DefaultsDictionary deep{{"leaf", 1}};
    for (int level = 0; level < 200; ++level) deep = DefaultsDictionary{{"next", deep}};
    {
        SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{path("deep.ini")});
        defaults.setDictionary("deep", deep);
    }
    const SettingsUserDefaults reread(SettingsUserDefaults::IniFile{freshCopy(path("deep.ini"), "copy.ini")});
    int depth = 0;
    DefaultsDictionary level = reread.dictionaryForKey("deep");
    while (level.count("next")) {
        level = level.at("next").toDictionary();
        ++depth;
    }
    EXPECT_GT(depth, 10);
    EXPECT_LT(depth, 200);
}

TEST_F(SettingsUserDefaultsTest, SynchronizeReportsAFileThatCannotBeWritten) {
    QFile blocker(path("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsUserDefaults defaults(SettingsUserDefaults::IniFile{path("plain-file") + "/settings.ini"});
    defaults.setBool("flag", true);
    EXPECT_FALSE(defaults.synchronize());
}

}  // namespace
}  // namespace korvane
