#include "app/editors/sky/BoundControls.h"

#include <algorithm>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>

#include "app/sheets/SheetControls.h"

namespace korvane {

namespace {
constexpr int kColorWellWidth = 44;
constexpr int kColorWellHeight = 20;

void paintWell(QPushButton* well, const QColor& color) {
    well->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #777; }")
                            .arg(color.name(QColor::HexRgb)));
    well->setProperty("korvaneColor", color);
}
}  // namespace

QColor toQColor(const Color& color) { return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha)); }

Color fromQColor(const QColor& color) {
    return Color::calibratedRGB(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

BoundControls::BoundControls(QObject* parent, std::function<void()> valueChanged)
    : QObject(parent), valueChanged_(std::move(valueChanged)) {}

void BoundControls::changed() {
    if (valueChanged_) valueChanged_();
}

QSlider* BoundControls::addFloat(QFormLayout* form, const QString& label, const char* objectName, float minimum,
                                 float maximum, int steps, int decimals, std::function<float()> get,
                                 std::function<void(float)> set) {
    QSlider* slider = addFloatSlider(form, label, objectName, minimum, maximum, get(), steps, decimals);
    connect(slider, &QSlider::valueChanged, this, [this, slider, get, set] {
        if (refreshing_) return;
        const float value = floatValue(slider);
        if (value == get()) return;
        set(value);
        changed();
    });
    refreshers_.push_back([slider, get] { setFloatValue(slider, get()); });
    return slider;
}

QCheckBox* BoundControls::addBool(QFormLayout* form, const QString& title, const char* objectName,
                                  std::function<bool()> get, std::function<void(bool)> set) {
    auto* box = new QCheckBox(title);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setChecked(get());
    form->addRow(QString(), box);
    connect(box, &QCheckBox::toggled, this, [this, get, set](bool checked) {
        if (refreshing_ || checked == get()) return;
        set(checked);
        changed();
    });
    refreshers_.push_back([box, get] { box->setChecked(get()); });
    return box;
}

QComboBox* BoundControls::addTagged(QFormLayout* form, const QString& label, const char* objectName,
                                    const std::vector<std::pair<int, QString>>& items, std::function<int()> get,
                                    std::function<void(int)> set) {
    QComboBox* popUp = addTaggedPopUp(form, label, objectName, items, get());
    connect(popUp, &QComboBox::currentIndexChanged, this, [this, popUp, get, set] {
        if (refreshing_ || selectedTag(popUp) == get()) return;
        set(selectedTag(popUp));
        changed();
    });
    refreshers_.push_back([popUp, get] { popUp->setCurrentIndex(std::max(0, popUp->findData(get()))); });
    return popUp;
}

QPushButton* BoundControls::addColor(QFormLayout* form, const QString& label, const char* objectName,
                                     std::function<std::optional<Color>()> get,
                                     std::function<void(std::optional<Color>)> set) {
    auto* well = new QPushButton;
    well->setObjectName(QString::fromLatin1(objectName));
    well->setFixedSize(kColorWellWidth, kColorWellHeight);
    auto shown = [get] { return get() ? toQColor(*get()) : QColor(Qt::white); };
    paintWell(well, shown());
    form->addRow(label, well);
    connect(well, &QPushButton::clicked, this, [this, well, label, shown, set] {
        auto* panel = new QColorDialog(shown(), well->window());
        panel->setWindowTitle(QString(label).remove(QLatin1Char(':')));
        panel->setAttribute(Qt::WA_DeleteOnClose);
        connect(panel, &QColorDialog::colorSelected, this, [this, well, set](const QColor& color) {
            set(fromQColor(color));
            paintWell(well, color);
            changed();
        });
        panel->open();
    });
    refreshers_.push_back([well, shown] { paintWell(well, shown()); });
    return well;
}

void BoundControls::refresh() {
    refreshing_ = true;
    for (const auto& refresher : refreshers_) refresher();
    refreshing_ = false;
}

}  // namespace korvane
