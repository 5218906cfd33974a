#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "foundation/NotificationCenter.h"

class QCheckBox;
class QDoubleSpinBox;
class QGridLayout;
class QPushButton;

namespace korvane {

class PostProcessingOptionsWindow;
class Scene;

// Told when the user wants the effects applied to the finished render again.
class PostProcessingOptionsWindowDelegate {
public:
    virtual ~PostProcessingOptionsWindowDelegate() = default;
    virtual void postProcessingOptionsWindowWantsToApplyEffects(PostProcessingOptionsWindow& window) = 0;
};

// A floating utility window that edits the scene's post-processing settings (depth tint, far and
// near depth of field, bloom, vibrance). Its controls write straight into the scene and follow the
// scene's post-process notifications; changing them does not re-run the effects: "Apply" asks the
// delegate to. Main thread.
class PostProcessingOptionsWindow : public QWidget {
    Q_OBJECT
public:
    // scene is not owned and outlives the window; parent is the window it floats over.
    explicit PostProcessingOptionsWindow(Scene* scene, QWidget* parent = nullptr);
    ~PostProcessingOptionsWindow() override;

    Scene* scene() const { return scene_; }
    PostProcessingOptionsWindowDelegate* delegate() const { return delegate_; }
    void setDelegate(PostProcessingOptionsWindowDelegate* delegate) { delegate_ = delegate; }

    // Shows the window, raised and active.
    void makeKeyAndOrderFront();
    // The apply button: the delegate re-applies the effects (a busy cursor meanwhile).
    void apply();

private:
    void buildInterface();
    // Sets every control from the scene.
    void updateControls();
    QCheckBox* addSwitch(QGridLayout* grid, int row, const QString& title, bool (Scene::*getter)() const,
                         void (Scene::*setter)(bool));
    QDoubleSpinBox* addValue(QGridLayout* grid, int row, const QString& title, double minimum, double maximum,
                             double step, float (Scene::*getter)() const, void (Scene::*setter)(float));
    void chooseTintColor();

    Scene* scene_;
    PostProcessingOptionsWindowDelegate* delegate_ = nullptr;
    QPushButton* tintColorButton_ = nullptr;
    std::vector<std::function<void()>> controlUpdaters_;
    bool updatingControls_ = false;
    NotificationObservation postProcessDidChange_;
};

}  // namespace korvane
