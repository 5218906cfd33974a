#include "foundation/UserDefaults.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <system_error>
#include <utility>

namespace korvane {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading blanks skipped.
std::string_view trimmedFront(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return text.substr(i);
}

// A string read as a bool the way the platform reads one: after blanks, an optional sign and any
// zeros, a Y, y, T, t or a digit 1..9 makes it true ("YES", "true", "01"); anything else is false.
bool parseLeadingBool(std::string_view text) {
    text = trimmedFront(text);
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    if (i == text.size()) return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The decimal integer at the start of text (after blanks and an optional sign), saturating at the
// int64 limits; 0 when there is none. Parsing stops at the first non-digit, so "1.7" reads as 1.
int64_t parseLeadingInteger(std::string_view text) {
    text = trimmedFront(text);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated as a negative number, whose range is one larger than the positive one.
    int64_t value = 0;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            while (i < text.size() && isDigit(text[i])) ++i;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

// The decimal number at the start of text (after blanks and an optional sign, e.g. "1.5", "-2e3");
// 0 when there is none. Too large magnitudes give infinities, too small ones zero. Locale-independent.
double parseLeadingDouble(std::string_view text) {
    text = trimmedFront(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only plain decimal numbers: no "inf", "nan" or hexadecimal forms.
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.')) return 0;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        const std::string_view number(text.data(), static_cast<size_t>(end - text.data()));
        const size_t exponent = number.find_first_of("eE");
        const bool tiny =
            exponent != std::string_view::npos && exponent + 1 < number.size() && number[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

// A double truncated toward zero into int64, saturating at the limits; NaN gives 0.
int64_t truncatedInteger(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (value >= kTwoTo63) return std::numeric_limits<int64_t>::max();
    if (value < -kTwoTo63) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

// A double narrowed to float, with out-of-range magnitudes becoming infinities rather than relying on
// a conversion the language leaves undefined.
float narrowedFloat(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// The empty dictionary returned for values of other kinds.
const DefaultsDictionary& emptyDictionary() {
    static const DefaultsDictionary empty;
    return empty;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// DefaultsValue

DefaultsValue::DefaultsValue(DefaultsDictionary value)
    : value_(std::make_shared<const DefaultsDictionary>(std::move(value))) {}

DefaultsValue::Type DefaultsValue::type() const {
    switch (value_.index()) {
        case 0:
            return Type::Bool;
        case 1:
            return Type::Integer;
        case 2:
            return Type::Double;
        case 3:
            return Type::String;
        default:
            return Type::Dictionary;
    }
}

bool DefaultsValue::toBool() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(value_);
        case Type::Integer:
            return std::get<int64_t>(value_) != 0;
        case Type::Double:
            return std::get<double>(value_) != 0;
        case Type::String:
            return parseLeadingBool(std::get<std::string>(value_));
        case Type::Dictionary:
            return false;
    }
    return false;
}

int64_t DefaultsValue::toInteger() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(value_) ? 1 : 0;
        case Type::Integer:
            return std::get<int64_t>(value_);
        case Type::Double:
            return truncatedInteger(std::get<double>(value_));
        case Type::String:
            return parseLeadingInteger(std::get<std::string>(value_));
        case Type::Dictionary:
            return 0;
    }
    return 0;
}

double DefaultsValue::toDouble() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(value_) ? 1.0 : 0.0;
        case Type::Integer:
            return static_cast<double>(std::get<int64_t>(value_));
        case Type::Double:
            return std::get<double>(value_);
        case Type::String:
            return parseLeadingDouble(std::get<std::string>(value_));
        case Type::Dictionary:
            return 0;
    }
    return 0;
}

std::string DefaultsValue::toString() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(value_) ? "1" : "0";
        case Type::Integer:
            return std::to_string(std::get<int64_t>(value_));
        case Type::Double: {
            char buffer[64];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value_));
            return std::string(buffer, result.ptr);
        }
        case Type::String:
            return std::get<std::string>(value_);
        case Type::Dictionary:
            return {};
    }
    return {};
}

DefaultsDictionary DefaultsValue::toDictionary() const {
    const DefaultsDictionary* contents = dictionary();
    return contents ? *contents : emptyDictionary();
}

const DefaultsDictionary* DefaultsValue::dictionary() const {
    const auto* shared = std::get_if<std::shared_ptr<const DefaultsDictionary>>(&value_);
    return shared ? shared->get() : nullptr;
}

bool DefaultsValue::operator==(const DefaultsValue& other) const {
    if (value_.index() != other.value_.index()) return false;
    if (const DefaultsDictionary* contents = dictionary()) return *contents == *other.dictionary();
    return value_ == other.value_;
}

// ---------------------------------------------------------------------------------------------------
// UserDefaults

UserDefaults::~UserDefaults() = default;

void UserDefaults::registerDefaults(const DefaultsDictionary& dictionary) {
    for (const auto& [key, value] : dictionary) registered_.insert_or_assign(key, value);
}

std::optional<DefaultsValue> UserDefaults::objectForKey(const std::string& key) const {
    if (std::optional<DefaultsValue> stored = storedValue(key)) return stored;
    const auto registered = registered_.find(key);
    if (registered == registered_.end()) return std::nullopt;
    return registered->second;
}

bool UserDefaults::boolForKey(const std::string& key) const {
    const std::optional<DefaultsValue> value = objectForKey(key);
    return value && value->toBool();
}

int64_t UserDefaults::integerForKey(const std::string& key) const {
    const std::optional<DefaultsValue> value = objectForKey(key);
    return value ? value->toInteger() : 0;
}

float UserDefaults::floatForKey(const std::string& key) const {
    return narrowedFloat(doubleForKey(key));
}

double UserDefaults::doubleForKey(const std::string& key) const {
    const std::optional<DefaultsValue> value = objectForKey(key);
    return value ? value->toDouble() : 0.0;
}

std::string UserDefaults::stringForKey(const std::string& key) const {
    const std::optional<DefaultsValue> value = objectForKey(key);
    return value ? value->toString() : std::string();
}

DefaultsDictionary UserDefaults::dictionaryForKey(const std::string& key) const {
    const std::optional<DefaultsValue> value = objectForKey(key);
    return value ? value->toDictionary() : DefaultsDictionary();
}

void UserDefaults::setObject(const std::string& key, const DefaultsValue& value) {
    store(key, value);
}
void UserDefaults::setBool(const std::string& key, bool value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::setInteger(const std::string& key, int64_t value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::setFloat(const std::string& key, float value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::setDouble(const std::string& key, double value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::setString(const std::string& key, const std::string& value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::setDictionary(const std::string& key, const DefaultsDictionary& value) {
    store(key, DefaultsValue(value));
}
void UserDefaults::removeObjectForKey(const std::string& key) {
    store(key, std::nullopt);
}

namespace {

struct StandardDefaults {
    std::mutex mutex;
    std::unique_ptr<UserDefaults> defaults;
};

// Destroyed at exit (unlike the dispatcher registry) so that a settings-backed store writes itself out.
StandardDefaults& standardDefaults() {
    static StandardDefaults instance;
    return instance;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    StandardDefaults& standard = standardDefaults();
    std::lock_guard lock(standard.mutex);
    if (!standard.defaults) standard.defaults = std::make_unique<InMemoryUserDefaults>();
    return *standard.defaults;
}

void UserDefaults::setStandard(std::unique_ptr<UserDefaults> defaults) {
    if (!defaults) defaults = std::make_unique<InMemoryUserDefaults>();
    std::unique_ptr<UserDefaults> previous;
    StandardDefaults& standard = standardDefaults();
    {
        std::lock_guard lock(standard.mutex);
        previous = std::exchange(standard.defaults, std::move(defaults));
    }
}

// ---------------------------------------------------------------------------------------------------
// InMemoryUserDefaults

std::optional<DefaultsValue> InMemoryUserDefaults::storedValue(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void InMemoryUserDefaults::store(const std::string& key, std::optional<DefaultsValue> value) {
    if (value) {
        values_.insert_or_assign(key, std::move(*value));
    } else {
        values_.erase(key);
    }
}

}  // namespace korvane
