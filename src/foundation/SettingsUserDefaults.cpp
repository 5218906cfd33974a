#include "foundation/SettingsUserDefaults.h"

#include <charconv>
#include <string_view>

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace korvane {

namespace {

// Marks a string that would otherwise read back as a bool or a number, the way spreadsheets mark text.
constexpr char kTextMark = '\'';
constexpr std::string_view kTrueText = "true";
constexpr std::string_view kFalseText = "false";

// Nested dictionaries deeper than this in a settings file are dropped rather than followed.
constexpr int kMaxNestingDepth = 64;

// text as an integer when all of it is one (optional '-', decimal digits) within int64's range.
std::optional<int64_t> wholeInteger(std::string_view text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// text as a double when all of it is a number from_chars accepts ("1.5", "-2e300", "inf", "nan").
std::optional<double> wholeDouble(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// The value a top-level text stands for, without the text mark: true/false, a whole integer, a whole
// number, or else the text itself.
DefaultsValue unmarkedTextValue(std::string_view text) {
    if (text == kTrueText) return DefaultsValue(true);
    if (text == kFalseText) return DefaultsValue(false);
    if (const std::optional<int64_t> integer = wholeInteger(text)) return DefaultsValue(*integer);
    if (const std::optional<double> number = wholeDouble(text)) return DefaultsValue(*number);
    return DefaultsValue(text);
}

// The value a top-level text read from the settings stands for.
DefaultsValue textValue(const std::string& text) {
    if (!text.empty() && text.front() == kTextMark) return DefaultsValue(text.substr(1));
    return unmarkedTextValue(text);
}

// A double written so that it reads back as a double: shortest exact digits, with ".0" added when
// they would look like an integer.
std::string doubleText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

// A string written so that it reads back as the same string.
std::string stringText(const std::string& value) {
    const bool needsMark = (!value.empty() && value.front() == kTextMark) ||
                           unmarkedTextValue(value).type() != DefaultsValue::Type::String;
    return needsMark ? kTextMark + value : value;
}

QVariantMap toVariantMap(const DefaultsDictionary& dictionary);

// A value as it is stored inside a dictionary: a QVariant of its own kind.
QVariant toNestedVariant(const DefaultsValue& value) {
    switch (value.type()) {
        case DefaultsValue::Type::Bool:
            return QVariant(value.toBool());
        case DefaultsValue::Type::Integer:
            return QVariant(static_cast<qlonglong>(value.toInteger()));
        case DefaultsValue::Type::Double:
            return QVariant(value.toDouble());
        case DefaultsValue::Type::String:
            return QVariant(QString::fromStdString(value.toString()));
        case DefaultsValue::Type::Dictionary:
            return QVariant(toVariantMap(*value.dictionary()));
    }
    return {};
}

QVariantMap toVariantMap(const DefaultsDictionary& dictionary) {
    QVariantMap map;
    for (const auto& [key, value] : dictionary)
        map.insert(QString::fromStdString(key), toNestedVariant(value));
    return map;
}

// A top-level value as it is stored: text for everything but dictionaries.
QVariant toStoredVariant(const DefaultsValue& value) {
    switch (value.type()) {
        case DefaultsValue::Type::Bool:
            return QString::fromLatin1(value.toBool() ? kTrueText.data() : kFalseText.data());
        case DefaultsValue::Type::Integer:
            return QString::number(static_cast<qlonglong>(value.toInteger()));
        case DefaultsValue::Type::Double:
            return QString::fromStdString(doubleText(value.toDouble()));
        case DefaultsValue::Type::String:
            return QString::fromStdString(stringText(value.toString()));
        case DefaultsValue::Type::Dictionary:
            return toVariantMap(*value.dictionary());
    }
    return {};
}

std::optional<DefaultsValue> fromVariant(const QVariant& variant, int depth);

template <typename Map>
std::optional<DefaultsValue> fromMap(const Map& map, int depth) {
    if (depth >= kMaxNestingDepth) return std::nullopt;
    DefaultsDictionary dictionary;
    for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
        if (std::optional<DefaultsValue> value = fromVariant(entry.value(), depth + 1)) {
            dictionary.insert_or_assign(entry.key().toStdString(), std::move(*value));
        }
    }
    return DefaultsValue(std::move(dictionary));
}

// A QVariant inside a dictionary (or one QSettings hands back with its type) as a value; kinds a
// dictionary cannot hold are dropped.
std::optional<DefaultsValue> fromVariant(const QVariant& variant, int depth) {
    switch (variant.metaType().id()) {
        case QMetaType::Bool:
            return DefaultsValue(variant.toBool());
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return DefaultsValue(static_cast<int64_t>(variant.toLongLong()));
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return DefaultsValue(static_cast<qulonglong>(variant.toULongLong()));
        case QMetaType::Float:
        case QMetaType::Double:
            return DefaultsValue(variant.toDouble());
        case QMetaType::QString:
            return DefaultsValue(variant.toString().toStdString());
        case QMetaType::QByteArray:
            return DefaultsValue(variant.toByteArray().toStdString());
        case QMetaType::QVariantMap:
            return fromMap(variant.toMap(), depth);
        case QMetaType::QVariantHash:
            return fromMap(variant.toHash(), depth);
        default:
            return std::nullopt;
    }
}

// A top-level stored QVariant as a value. Texts are decoded by the text rules; an unquoted list that
// was typed into the file by hand ("a, b") reads as the text it was.
std::optional<DefaultsValue> fromStoredVariant(const QVariant& variant) {
    switch (variant.metaType().id()) {
        case QMetaType::QString:
            return textValue(variant.toString().toStdString());
        case QMetaType::QStringList:
            return textValue(variant.toStringList().join(QStringLiteral(", ")).toStdString());
        default:
            return fromVariant(variant, 0);
    }
}

}  // namespace

SettingsUserDefaults::SettingsUserDefaults(const QString& organization, const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organization,
                                            application)) {}

SettingsUserDefaults::SettingsUserDefaults(const IniFile& file)
    : settings_(std::make_unique<QSettings>(file.path, QSettings::IniFormat)) {}

SettingsUserDefaults::~SettingsUserDefaults() = default;

bool SettingsUserDefaults::synchronize() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString SettingsUserDefaults::fileName() const {
    return settings_->fileName();
}

std::optional<DefaultsValue> SettingsUserDefaults::storedValue(const std::string& key) const {
    if (key.empty()) return std::nullopt;
    const QVariant variant = settings_->value(QString::fromStdString(key));
    if (!variant.isValid()) return std::nullopt;
    return fromStoredVariant(variant);
}

void SettingsUserDefaults::store(const std::string& key, std::optional<DefaultsValue> value) {
    if (key.empty()) return;
    const QString settingsKey = QString::fromStdString(key);
    if (value) {
        settings_->setValue(settingsKey, toStoredVariant(*value));
    } else {
        settings_->remove(settingsKey);
    }
}

}  // namespace korvane
