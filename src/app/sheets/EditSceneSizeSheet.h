#pragma once

#include <QString>

#include "app/sheets/BaseSheet.h"

class QSlider;

namespace korvane {

class Scene;

// "Scene Size": the scene's width and height on the ground and its maximum terrain height. Confirming
// sets the size first (every layer re-cuts its maps and the undo history is cleared, which the sheet
// says) and then the maximum height; a value the user did not move is left exactly as it was, so
// confirming an untouched sheet changes nothing. The sheet deletes itself once closed. Main thread.
class EditSceneSizeSheet final : public BaseSheet {
    Q_OBJECT
public:
    // The scene must outlive the sheet.
    explicit EditSceneSizeSheet(Scene& scene, QWidget* parent = nullptr);

    QString title() const override;

    // The sliders' ranges in scene units; the smallest scene still gives a heightmap of 102 × 102
    // pixels.
    static constexpr float kMinimumSide = 1.0f;
    static constexpr float kMaximumSide = 40.0f;
    static constexpr float kMinimumTerrainHeight = 0.1f;
    static constexpr float kMaximumTerrainHeight = 20.0f;

    // Applies the moved values to the scene and closes.
    void changeSize();
    // Closes without changing the scene.
    void cancel();

protected:
    void buildInterface() override;
    void reject() override;

private:
    Scene& scene_;
    QSlider* widthSlider_ = nullptr;
    QSlider* heightSlider_ = nullptr;
    QSlider* maxTerrainHeightSlider_ = nullptr;
    // The slider positions the sheet opened with.
    int initialWidth_ = 0;
    int initialHeight_ = 0;
    int initialMaxTerrainHeight_ = 0;
    bool closed_ = false;
};

// Opens the sheet window-modally over `window` and returns it (it deletes itself once closed).
BaseSheet* openSceneSizeSheet(Scene& scene, QWidget* window);

}  // namespace korvane
