#include "app/sheets/material/ColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace korvane {

namespace {
constexpr int kWellWidth = 44;
constexpr int kWellHeight = 22;
constexpr int kInset = 5;
}  // namespace

ColorWell::ColorWell(QWidget* parent) : QPushButton(parent) {
    setFixedSize(kWellWidth, kWellHeight);
    connect(this, &QPushButton::clicked, this, &ColorWell::openPanel);
}

void ColorWell::setColor(std::optional<Color> color) {
    color_ = color;
    update();
}

void ColorWell::chooseColor(const Color& color) {
    setColor(color);
    Q_EMIT colorChanged();
}

void ColorWell::openPanel() {
    const QColor initial = color_ ? QColor::fromRgbF(float(color_->red), float(color_->green), float(color_->blue),
                                                     float(color_->alpha))
                                  : QColor(Qt::white);
    auto* panel = new QColorDialog(initial, this);
    panel->setOption(QColorDialog::ShowAlphaChannel);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    // The well follows the panel as the user picks, as the sheets preview every change.
    connect(panel, &QColorDialog::currentColorChanged, this, [this](const QColor& chosen) {
        if (chosen.isValid()) chooseColor(Color::calibratedRGB(chosen.redF(), chosen.greenF(), chosen.blueF(), chosen.alphaF()));
    });
    panel->open();
}

void ColorWell::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect well = rect().adjusted(kInset, kInset, -kInset, -kInset);
    if (!color_) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(well.adjusted(0, 0, -1, -1));
        return;
    }
    // Translucent colours over a checkerboard, so their alpha shows.
    const int cell = well.height() / 2;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x * cell < well.width(); ++x) {
            painter.fillRect(QRect(well.left() + x * cell, well.top() + y * cell, cell, cell).intersected(well),
                             (x + y) % 2 ? QColor(200, 200, 200) : Qt::white);
        }
    }
    painter.fillRect(well, QColor::fromRgbF(float(color_->red), float(color_->green), float(color_->blue),
                                            float(color_->alpha)));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(well.adjusted(0, 0, -1, -1));
}

}  // namespace korvane
