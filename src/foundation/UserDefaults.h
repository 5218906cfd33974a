#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace korvane {

class DefaultsValue;

// A dictionary of defaults values, keyed by string.
using DefaultsDictionary = std::map<std::string, DefaultsValue>;

// A value stored in the user defaults: a bool, an integer, a double, a string, or a dictionary of such
// values (nested to any depth). A plain value: copying it copies the whole tree (dictionaries are
// shared immutably behind the scenes, so copies are cheap). Use from any thread, one writer at a time.
class DefaultsValue {
public:
    enum class Type { Bool, Integer, Double, String, Dictionary };

    // Integer 0. Any thread.
    DefaultsValue() : value_(int64_t{0}) {}
    // A bool value. Any thread.
    DefaultsValue(bool value) : value_(value) {}
    // An integer value, from any integer type (unsigned values above INT64_MAX saturate). Any thread.
    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) DefaultsValue(T value)
        : value_(toInt64(value)) {}
    // A double value, from any floating-point type (floats widen exactly). Any thread.
    template <std::floating_point T>
    DefaultsValue(T value) : value_(static_cast<double>(value)) {}
    // A string value (copied). Any thread.
    DefaultsValue(std::string value) : value_(std::move(value)) {}
    DefaultsValue(std::string_view value) : value_(std::string(value)) {}
    DefaultsValue(const char* value) : value_(std::string(value ? value : "")) {}
    // A dictionary value (copied). Any thread.
    DefaultsValue(DefaultsDictionary value);

    // Which kind of value this is. Any thread.
    Type type() const;

    // The value as the platform reads it for a bool: numbers are true when non-zero; strings are true
    // when, after leading blanks and an optional sign and zeros, they start with Y, y, T, t or 1..9
    // ("YES", "true", "1"); dictionaries are false. Returns a value; any thread.
    bool toBool() const;
    // The value as an integer: doubles truncate toward zero (saturating, NaN gives 0), bools give 0/1,
    // strings are parsed for a leading decimal number ("12abc" gives 12, "1.7" gives 1, "x" gives 0),
    // dictionaries give 0. Returns a value; any thread.
    int64_t toInteger() const;
    // The value as a double: integers and bools convert, strings are parsed for a leading number (0 when
    // there is none), dictionaries give 0. Returns a value; any thread.
    double toDouble() const;
    // The value as a string: strings as they are, integers in decimal, doubles in their shortest exact
    // form ("1.5"), bools as "1"/"0", dictionaries as "". Returns a string the caller owns; any thread.
    std::string toString() const;
    // The dictionary, or an empty one for any other kind. Returns a copy the caller owns; any thread.
    DefaultsDictionary toDictionary() const;
    // The dictionary without a copy, or null for any other kind; valid while this value lives
    // unchanged. Returns a pointer owned by this value; any thread.
    const DefaultsDictionary* dictionary() const;

    // Same kind and equal contents (an integer 1 differs from a double 1.0 and from true). Any thread.
    bool operator==(const DefaultsValue& other) const;

private:
    template <typename T>
    static int64_t toInt64(T value) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
            return value > static_cast<T>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
        } else {
            return static_cast<int64_t>(value);
        }
    }

    std::variant<bool, int64_t, double, std::string, std::shared_ptr<const DefaultsDictionary>> value_;
};

// The user defaults: a store of values by key, consulted after the registration domain's defaults.
// A key without a stored value answers with the value registered for it, if any. Typed getters convert
// between kinds like DefaultsValue's to*() functions and answer 0 / false / "" / {} for absent keys.
// Every member is for the main thread only: the store is not synchronised.
class UserDefaults {
public:
    virtual ~UserDefaults();

    // Merges dictionary into the registration domain (a registered key is replaced, others are kept).
    // Registered values are not persisted. Main thread.
    void registerDefaults(const DefaultsDictionary& dictionary);

    // The stored value for key, else the registered one, else nothing. Returns a copy; main thread.
    std::optional<DefaultsValue> objectForKey(const std::string& key) const;
    // objectForKey read as a bool (false when absent). Returns a value; main thread.
    bool boolForKey(const std::string& key) const;
    // objectForKey read as an integer (0 when absent). Returns a value; main thread.
    int64_t integerForKey(const std::string& key) const;
    // objectForKey read as a float (0 when absent). Returns a value; main thread.
    float floatForKey(const std::string& key) const;
    // objectForKey read as a double (0 when absent). Returns a value; main thread.
    double doubleForKey(const std::string& key) const;
    // objectForKey read as a string ("" when absent or a dictionary). Returns a copy; main thread.
    std::string stringForKey(const std::string& key) const;
    // objectForKey if it is a dictionary, else {}. Returns a copy the caller owns; main thread.
    DefaultsDictionary dictionaryForKey(const std::string& key) const;

    // Stores value for key (copied). Main thread.
    void setObject(const std::string& key, const DefaultsValue& value);
    // Stores a bool for key. Main thread.
    void setBool(const std::string& key, bool value);
    // Stores an integer for key. Main thread.
    void setInteger(const std::string& key, int64_t value);
    // Stores a float (kept as the double of the same value) for key. Main thread.
    void setFloat(const std::string& key, float value);
    // Stores a double for key. Main thread.
    void setDouble(const std::string& key, double value);
    // Stores a string (copied) for key. Main thread.
    void setString(const std::string& key, const std::string& value);
    // Stores a dictionary (copied) for key. Main thread.
    void setDictionary(const std::string& key, const DefaultsDictionary& value);
    // Removes the stored value for key, so that its registered value (if any) shows again. Main thread.
    void removeObjectForKey(const std::string& key);

    // The process-wide defaults: an InMemoryUserDefaults until the app or CLI installs a
    // SettingsUserDefaults. Returns a reference owned by this class, valid until the next setStandard.
    // Main thread.
    static UserDefaults& standard();
    // Replaces the process-wide defaults, taking ownership and destroying the previous store (null
    // installs a fresh in-memory store). References from standard() become invalid. Main thread.
    static void setStandard(std::unique_ptr<UserDefaults> defaults);

protected:
    // The value stored for key in this store (registered defaults excluded). Returns a copy; main thread.
    virtual std::optional<DefaultsValue> storedValue(const std::string& key) const = 0;
    // Stores value for key, or removes key when value is empty. Main thread.
    virtual void store(const std::string& key, std::optional<DefaultsValue> value) = 0;

private:
    DefaultsDictionary registered_;
};

// User defaults kept in memory only, for tests and until real settings are installed.
class InMemoryUserDefaults final : public UserDefaults {
protected:
    std::optional<DefaultsValue> storedValue(const std::string& key) const override;
    void store(const std::string& key, std::optional<DefaultsValue> value) override;

private:
    DefaultsDictionary values_;
};

}  // namespace korvane
