#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "foundation/UserDefaults.h"

class QSettings;

namespace korvane {

// User defaults persisted with QSettings in an INI file (the same format on every platform).
// Top-level values are written as readable text that reads back with its kind: bools as true/false,
// integers in decimal, doubles always with a decimal point or exponent ("2.0"), and strings as they are
// unless they would read as one of those or start with an apostrophe, in which case an apostrophe is put
// in front ("'42"). Dictionaries are stored as nested QVariantMaps, which QSettings serialises with
// their types. Text edited by hand reads back by the same rules. Keys containing '/' or '\' form
// settings groups, and an empty key is ignored. Main thread only, like every UserDefaults.
class SettingsUserDefaults final : public UserDefaults {
public:
    // Names an explicit INI file, for tests and tools.
    struct IniFile {
        QString path;
    };

    // The user's settings file for organization/application (e.g. ~/.config/Korvane/Korvane.ini).
    // Main thread.
    explicit SettingsUserDefaults(const QString& organization = QStringLiteral("Korvane"),
                                  const QString& application = QStringLiteral("Korvane"));
    // The settings in the INI file at file.path (created when first written). Main thread.
    explicit SettingsUserDefaults(const IniFile& file);
    // Writes pending changes to disk. Main thread.
    ~SettingsUserDefaults() override;

    // Writes pending changes now and re-reads changes made by other processes; false when the file
    // could not be written or is malformed. Main thread.
    bool synchronize();
    // Path of the backing file. Returns a copy; main thread.
    QString fileName() const;

protected:
    std::optional<DefaultsValue> storedValue(const std::string& key) const override;
    void store(const std::string& key, std::optional<DefaultsValue> value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace korvane
