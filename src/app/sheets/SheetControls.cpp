#include "app/sheets/SheetControls.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVariant>

namespace korvane {

namespace {

// Where a slider keeps the float range it stands for.
constexpr const char* kMinimumProperty = "korvaneMinimum";
constexpr const char* kMaximumProperty = "korvaneMaximum";

float stepSize(const QSlider* slider) {
    const float minimum = slider->property(kMinimumProperty).toFloat();
    const float maximum = slider->property(kMaximumProperty).toFloat();
    return slider->maximum() > 0 ? (maximum - minimum) / static_cast<float>(slider->maximum()) : 0.0f;
}

}  // namespace

QSlider* addFloatSlider(QFormLayout* form, const QString& label, const char* objectName, float minimum,
                        float maximum, float value, int steps, int decimals) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QString::fromLatin1(objectName));
    slider->setProperty(kMinimumProperty, minimum);
    slider->setProperty(kMaximumProperty, maximum);
    slider->setRange(0, std::max(1, steps));
    slider->setPageStep(std::max(1, steps / 10));
    slider->setMinimumWidth(180);
    setFloatValue(slider, value);

    auto* shown = new QLabel;
    shown->setMinimumWidth(48);
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto show = [shown, slider, decimals] {
        shown->setText(QString::number(floatValue(slider), 'f', decimals));
    };
    QObject::connect(slider, &QSlider::valueChanged, shown, show);
    show();

    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(shown);
    form->addRow(label, row);
    return slider;
}

float floatValue(const QSlider* slider) {
    return slider->property(kMinimumProperty).toFloat() +
           stepSize(slider) * static_cast<float>(slider->value());
}

void setFloatValue(QSlider* slider, float value) {
    const float step = stepSize(slider);
    const float minimum = slider->property(kMinimumProperty).toFloat();
    const int position = step > 0 ? static_cast<int>(std::lround((value - minimum) / step)) : 0;
    slider->setValue(std::clamp(position, slider->minimum(), slider->maximum()));
}

QComboBox* addTaggedPopUp(QFormLayout* form, const QString& label, const char* objectName,
                          const std::vector<std::pair<int, QString>>& items, int selectedTag) {
    auto* popUp = new QComboBox;
    popUp->setObjectName(QString::fromLatin1(objectName));
    for (const auto& [tag, title] : items) popUp->addItem(title, tag);
    popUp->setCurrentIndex(std::max(0, popUp->findData(selectedTag)));
    form->addRow(label, popUp);
    return popUp;
}

int selectedTag(const QComboBox* popUp) {
    return popUp->currentData().toInt();
}

}  // namespace korvane
