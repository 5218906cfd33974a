#include "app/editors/lighting/EditLightSheets.h"

#include <QFormLayout>

#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/lighting/SunLight.h"

namespace korvane {

namespace {

constexpr float kMaximumHeightOverGround = 5.0f;

DirectionalLightValues valuesOf(const BaseDirectionalLight& light) {
    return {light.color(), light.power(), light.shadowAngle()};
}

void restoreValues(BaseDirectionalLight& light, const DirectionalLightValues& values) {
    if (light.color() != values.color) light.setColor(values.color);
    if (light.power() != values.power) light.setPower(values.power);
    if (light.shadowAngle() != values.shadowAngle) light.setShadowAngle(values.shadowAngle);
}

}  // namespace

EditSunLightSheet::EditSunLightSheet(std::shared_ptr<SunLight> light, QWidget* parent)
    : BaseEditLightSheet(light, parent), sun_(std::move(light)), initial_(valuesOf(*sun_)) {}

void EditSunLightSheet::addControls(QFormLayout* form) {
    addDirectionalLightControls(form, sun_);
}
void EditSunLightSheet::restoreInitialValues() {
    restoreValues(*sun_, initial_);
}
Color EditSunLightSheet::lightColor() const {
    return sun_->color();
}
void EditSunLightSheet::setLightColor(const Color& color) {
    sun_->setColor(color);
}

EditDirectionalLightSheet::EditDirectionalLightSheet(std::shared_ptr<DirectionalLight> light, QWidget* parent)
    : BaseEditLightSheet(light, parent), directional_(std::move(light)), initial_(valuesOf(*directional_)) {}

void EditDirectionalLightSheet::addControls(QFormLayout* form) {
    addUserNameField(form);
    addDirectionalLightControls(form, directional_);
}

void EditDirectionalLightSheet::restoreInitialValues() {
    restoreUserName();
    restoreValues(*directional_, initial_);
}

Color EditDirectionalLightSheet::lightColor() const {
    return directional_->color();
}
void EditDirectionalLightSheet::setLightColor(const Color& color) {
    directional_->setColor(color);
}

EditPointLightSheet::EditPointLightSheet(std::shared_ptr<PointLight> light, QWidget* parent)
    : BaseEditLightSheet(light, parent),
      point_(std::move(light)),
      initialColor_(point_->color()),
      initialPower_(point_->power()),
      initialHeightOverGround_(point_->heightOverGround()) {}

void EditPointLightSheet::addControls(QFormLayout* form) {
    addUserNameField(form);
    addColorButton(form);
    addSlider(form, tr("Power:"), "power", 0.0f, kMaximumPower, point_->power(), 1000, 2,
              [light = point_](float value) { light->setPower(value); });
    addSlider(form, tr("Height Above Ground:"), "heightOverGround", 0.0f, kMaximumHeightOverGround,
              point_->heightOverGround(), 500, 2,
              [light = point_](float value) { light->setHeightOverGround(value); });
}

void EditPointLightSheet::restoreInitialValues() {
    restoreUserName();
    if (point_->color() != initialColor_) point_->setColor(initialColor_);
    if (point_->power() != initialPower_) point_->setPower(initialPower_);
    if (point_->heightOverGround() != initialHeightOverGround_)
        point_->setHeightOverGround(initialHeightOverGround_);
}

Color EditPointLightSheet::lightColor() const {
    return point_->color();
}
void EditPointLightSheet::setLightColor(const Color& color) {
    point_->setColor(color);
}

}  // namespace korvane
