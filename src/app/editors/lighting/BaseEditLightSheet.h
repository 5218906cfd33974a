#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "foundation/Color.h"

class QFormLayout;
class QLineEdit;
class QPushButton;
class QSlider;

namespace korvane {

class BaseDirectionalLight;
class BaseLight;

// "Edit Light": the base of the sheets that edit one light. Each control writes its property into
// the light at once (the light announces the change, so the map and the previews follow); OK keeps
// the values, Cancel puts back those the sheet opened with. The sheet deletes itself once closed.
// Main thread.
class BaseEditLightSheet : public BaseSheet {
    Q_OBJECT
public:
    // The ranges of the light sheets' sliders.
    static constexpr float kMaximumPower = 10.0f;
    static constexpr float kMaximumShadowAngle = 10.0f;

    QString title() const override;
    const std::shared_ptr<BaseLight>& light() const { return light_; }

    void ok();
    void cancel();
    // What choosing a colour in the colour panel does: stores it in the light and shows it on the button.
    void chooseColor(const Color& color);

protected:
    BaseEditLightSheet(std::shared_ptr<BaseLight> light, QWidget* parent);

    // Adds the light's controls to the form; called once from buildInterface.
    virtual void addControls(QFormLayout* form) = 0;
    // Puts back the values the sheet opened with, each only when it changed.
    virtual void restoreInitialValues() = 0;
    virtual Color lightColor() const = 0;
    virtual void setLightColor(const Color& color) = 0;

    // The rows the sheets share. A slider stands for minimum..maximum in `steps` even steps and writes
    // through `set` whenever the user moves it.
    QSlider* addSlider(QFormLayout* form, const QString& label, const char* objectName, float minimum,
                       float maximum, float value, int steps, int decimals, std::function<void(float)> set);
    // The light's colour as a swatch button that opens the colour panel.
    QPushButton* addColorButton(QFormLayout* form);
    // The colour, power and shadow angle of a sun or directional light.
    void addDirectionalLightControls(QFormLayout* form, const std::shared_ptr<BaseDirectionalLight>& light);
    // The name shown in the editor's list of lights.
    QLineEdit* addUserNameField(QFormLayout* form);
    void restoreUserName();

    void buildInterface() override;
    void reject() override;

private:
    void showColor(const Color& color);

    std::shared_ptr<BaseLight> light_;
    std::string initialUserName_;
    QPushButton* colorButton_ = nullptr;
    bool closed_ = false;
};

// Opens the sheet that edits this light's class (sun, directional or point light) window-modally over
// `window`; a light of any other class opens nothing and gives null. The sheet deletes itself once
// closed; the caller keeps no ownership.
BaseEditLightSheet* openEditLightSheet(const std::shared_ptr<BaseLight>& light, QWidget* window);

}  // namespace korvane
