#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "foundation/UserDefaults.h"

class QComboBox;
class QDoubleSpinBox;
class QCheckBox;
class QSlider;
class QSpinBox;
class QToolButton;

namespace korvane {

// Told when the render settings were confirmed (the render views render again).
class RenderSettingsSheetDelegate : public BaseSheetDelegate {
public:
    virtual void renderSettingsChanged() {}
};

// "Render Settings": edits the render settings dictionary stored in the user defaults under a key
// ("fullRenderSettings" or "previewRenderSettings"): output size (with presets), renderer, samples,
// bounces, anti-aliasing and volume accuracy, and a reset to the defaults of a quality level.
// Confirming stores the whole dictionary; cancelling stores nothing. Main thread.
class RenderSettingsSheet : public BaseSheet {
    Q_OBJECT
public:
    // The output size presets of the pop-up, in order.
    struct OutputSizePreset {
        const char* title;
        int width;
        int height;
    };
    static const std::vector<OutputSizePreset>& outputSizePresets();
    // The quality levels the reset menu offers.
    static constexpr int kFirstResetLevel = 1;
    static constexpr int kLastResetLevel = 5;

    // Edits a copy of the dictionary stored under preferenceKey.
    explicit RenderSettingsSheet(std::string preferenceKey, QWidget* parent = nullptr);

    QString title() const override;
    const std::string& preferenceKey() const { return preferenceKey_; }
    // The dictionary being edited (as the controls show it).
    const DefaultsDictionary& editedSettings() const { return settings_; }

    // Writes a preset's size (index into outputSizePresets()) into the edited settings.
    void chooseOutputSizePreset(int index);
    // Replaces the edited settings by the defaults of quality level `level`, then applies the
    // renderer pop-up rule again.
    void resetToDefaults(int level);
    // Stores the edited settings (with the renderer and the size fields), tells the delegate and
    // closes.
    void changeSettings();
    // Closes without storing.
    void cancel();

protected:
    void buildInterface() override;

private:
    // Renderer tag 1 (path tracing) enables path samples and bounces and disables light samples;
    // tag 0 the reverse; other tags change nothing.
    void applyRendererRule(int rendererType);
    void updateControls();
    int intValue(const char* key) const;

    std::string preferenceKey_;
    DefaultsDictionary settings_;
    bool updatingControls_ = false;
    QComboBox* presetPopUp_ = nullptr;
    QSpinBox* widthField_ = nullptr;
    QSpinBox* heightField_ = nullptr;
    QComboBox* rendererPopUp_ = nullptr;
    QSlider* pathSamplesSlider_ = nullptr;
    QSlider* pathBouncesSlider_ = nullptr;
    QSlider* lightSamplesSlider_ = nullptr;
    QSlider* aaSamplesSlider_ = nullptr;
    QSlider* aaPassesSlider_ = nullptr;
    QSlider* volumeAccuracySlider_ = nullptr;
    std::vector<std::pair<QCheckBox*, const char*>> switches_;  // check box and its settings key
    QToolButton* resetButton_ = nullptr;
};

}  // namespace korvane
