#include "app/editors/lighting/BaseEditLightSheet.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/editors/lighting/EditLightSheets.h"
#include "app/sheets/SheetControls.h"
#include "scene/layers/lighting/BaseDirectionalLight.h"
#include "scene/layers/lighting/BaseLight.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/lighting/SunLight.h"

namespace korvane {

namespace {
constexpr QSize kSwatchSize(40, 14);

QColor toQColor(const Color& color) {
    return QColor::fromRgbF(color.red, color.green, color.blue, color.alpha);
}
}  // namespace

BaseEditLightSheet::BaseEditLightSheet(std::shared_ptr<BaseLight> light, QWidget* parent)
    : BaseSheet(parent), light_(std::move(light)), initialUserName_(light_->userName()) {}

QString BaseEditLightSheet::title() const {
    return QStringLiteral("Edit Light");
}

void BaseEditLightSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    addControls(form);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &BaseEditLightSheet::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &BaseEditLightSheet::cancel);
    layout->addWidget(buttons);
}

QSlider* BaseEditLightSheet::addSlider(QFormLayout* form, const QString& label, const char* objectName,
                                       float minimum, float maximum, float value, int steps, int decimals,
                                       std::function<void(float)> set) {
    QSlider* slider = addFloatSlider(form, label, objectName, minimum, maximum, value, steps, decimals);
    connect(slider, &QSlider::valueChanged, this,
            [slider, set = std::move(set)] { set(floatValue(slider)); });
    return slider;
}

QPushButton* BaseEditLightSheet::addColorButton(QFormLayout* form) {
    colorButton_ = new QPushButton;
    colorButton_->setObjectName(QStringLiteral("color"));
    colorButton_->setIconSize(kSwatchSize);
    showColor(lightColor());
    connect(colorButton_, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(
            toQColor(lightColor()), this, QStringLiteral("Light Color"), QColorDialog::DontUseNativeDialog);
        if (chosen.isValid())
            chooseColor(Color::calibratedRGB(chosen.redF(), chosen.greenF(), chosen.blueF()));
    });
    form->addRow(tr("Color:"), colorButton_);
    return colorButton_;
}

void BaseEditLightSheet::addDirectionalLightControls(QFormLayout* form,
                                                     const std::shared_ptr<BaseDirectionalLight>& light) {
    addColorButton(form);
    addSlider(form, tr("Power:"), "power", 0.0f, kMaximumPower, light->power(), 1000, 2,
              [light](float value) { light->setPower(value); });
    addSlider(form, tr("Shadow Angle:"), "shadowAngle", 0.0f, kMaximumShadowAngle, light->shadowAngle(), 100,
              1, [light](float value) { light->setShadowAngle(value); });
}

QLineEdit* BaseEditLightSheet::addUserNameField(QFormLayout* form) {
    auto* field = new QLineEdit(QString::fromStdString(light_->userName()));
    field->setObjectName(QStringLiteral("userName"));
    connect(field, &QLineEdit::textEdited, this,
            [this](const QString& text) { light_->setUserName(text.toStdString()); });
    form->addRow(tr("Name:"), field);
    return field;
}

void BaseEditLightSheet::restoreUserName() {
    if (light_->userName() != initialUserName_) light_->setUserName(initialUserName_);
}

void BaseEditLightSheet::chooseColor(const Color& color) {
    if (color == lightColor()) return;
    setLightColor(color);
    showColor(color);
}

void BaseEditLightSheet::showColor(const Color& color) {
    if (!colorButton_) return;
    QPixmap swatch(kSwatchSize);
    swatch.fill(toQColor(color));
    // A dark frame, so that a white light's swatch stands out from the button.
    QPainter painter(&swatch);
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    colorButton_->setIcon(QIcon(swatch));
}

void BaseEditLightSheet::ok() {
    if (closed_) return;
    closed_ = true;
    close();
    deleteLater();
}

void BaseEditLightSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    restoreInitialValues();
    close();
    deleteLater();
}

void BaseEditLightSheet::reject() {
    cancel();
}

BaseEditLightSheet* openEditLightSheet(const std::shared_ptr<BaseLight>& light, QWidget* window) {
    BaseEditLightSheet* sheet = nullptr;
    if (auto sun = std::dynamic_pointer_cast<SunLight>(light)) {
        sheet = new EditSunLightSheet(sun, window);
    } else if (auto directional = std::dynamic_pointer_cast<DirectionalLight>(light)) {
        sheet = new EditDirectionalLightSheet(directional, window);
    } else if (auto point = std::dynamic_pointer_cast<PointLight>(light)) {
        sheet = new EditPointLightSheet(point, window);
    }
    if (sheet) sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
