#pragma once

#include <memory>

#include "app/editors/lighting/BaseEditLightSheet.h"

namespace korvane {

class BaseDirectionalLight;
class DirectionalLight;
class PointLight;
class SunLight;

// The sheets of the three kinds of light. Ranges: power 0 to 10, shadow angle 0 to 10 degrees,
// height above the ground 0 to 5 scene units. The sun is always called "Sun"; the lights the user
// added can be renamed. Main thread.

// The values a sun or directional light had when its sheet opened, put back on Cancel.
struct DirectionalLightValues {
    Color color;
    float power = 0;
    float shadowAngle = 0;
};

class EditSunLightSheet final : public BaseEditLightSheet {
    Q_OBJECT
public:
    EditSunLightSheet(std::shared_ptr<SunLight> light, QWidget* parent = nullptr);

protected:
    void addControls(QFormLayout* form) override;
    void restoreInitialValues() override;
    Color lightColor() const override;
    void setLightColor(const Color& color) override;

private:
    std::shared_ptr<SunLight> sun_;
    DirectionalLightValues initial_;
};

class EditDirectionalLightSheet final : public BaseEditLightSheet {
    Q_OBJECT
public:
    EditDirectionalLightSheet(std::shared_ptr<DirectionalLight> light, QWidget* parent = nullptr);

protected:
    void addControls(QFormLayout* form) override;
    void restoreInitialValues() override;
    Color lightColor() const override;
    void setLightColor(const Color& color) override;

private:
    std::shared_ptr<DirectionalLight> directional_;
    DirectionalLightValues initial_;
};

class EditPointLightSheet final : public BaseEditLightSheet {
    Q_OBJECT
public:
    EditPointLightSheet(std::shared_ptr<PointLight> light, QWidget* parent = nullptr);

protected:
    void addControls(QFormLayout* form) override;
    void restoreInitialValues() override;
    Color lightColor() const override;
    void setLightColor(const Color& color) override;

private:
    std::shared_ptr<PointLight> point_;
    Color initialColor_;
    float initialPower_;
    float initialHeightOverGround_;
};

}  // namespace korvane
