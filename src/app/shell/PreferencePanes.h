#pragma once

#include "app/shell/BasePreferencePane.h"

namespace korvane {

// "Editor": how the scene views colour the heightmap, and what the application opens at launch.
class PreferencePaneEditor final : public BasePreferencePane {
public:
    static constexpr const char* kIdentifier = "PreferencePaneEditor";
    QString name() const override { return QStringLiteral("Editor"); }
    QString identifier() const override { return QString::fromLatin1(kIdentifier); }
    QIcon icon() const override;
    QWidget* createContentView() override;
};

// "Preview": the anti-aliasing of preview renders.
class PreferencePanePreview final : public BasePreferencePane {
public:
    static constexpr const char* kIdentifier = "PreferencePanePreview";
    static constexpr const char* kAntiAliasingPassesKey = "preview_antiAliasingPasses";
    static constexpr const char* kAntiAliasingSamplesKey = "preview_antiAliasingSamples";
    QString name() const override { return QStringLiteral("Preview"); }
    QString identifier() const override { return QString::fromLatin1(kIdentifier); }
    QIcon icon() const override;
    QWidget* createContentView() override;
    // Both anti-aliasing keys = 1, each only where absent.
    void setDefaultPreferences() override;
};

}  // namespace korvane
