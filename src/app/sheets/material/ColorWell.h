#pragma once

#include <optional>

#include <QPushButton>

#include "foundation/Color.h"

namespace korvane {

// A colour well: a button showing a colour (with alpha) that opens the colour panel when clicked.
// An absent colour shows as an empty well; choosing one in the panel sets it. Main thread.
class ColorWell final : public QPushButton {
    Q_OBJECT
public:
    explicit ColorWell(QWidget* parent = nullptr);

    const std::optional<Color>& color() const { return color_; }
    // Shows the colour; sends nothing.
    void setColor(std::optional<Color> color);
    // As if the user had chosen `color` in the panel: shows it and sends colorChanged.
    void chooseColor(const Color& color);

Q_SIGNALS:
    void colorChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openPanel();

    std::optional<Color> color_;
};

}  // namespace korvane
