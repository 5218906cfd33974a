#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QObject>
#include <QString>

#include "foundation/Color.h"

class QCheckBox;
class QColor;
class QComboBox;
class QFormLayout;
class QPushButton;
class QSlider;

namespace korvane {

// The controls of the atmosphere, water and cloud editors, each tied to one property of the edited
// model object by a getter and a setter: a control the user moves writes its value through the
// setter (only when it differs from the model's) and then calls the owner's valueChanged, and
// refresh() shows the model's values again without writing anything back — after a preset, or
// after a change made elsewhere. The sliders are those of the sheets (SheetControls.h). Main thread.
class BoundControls final : public QObject {
    Q_OBJECT
public:
    // valueChanged runs after every write a control makes.
    BoundControls(QObject* parent, std::function<void()> valueChanged);

    // A row "label [slider] value" for a float from minimum to maximum in `steps` steps.
    QSlider* addFloat(QFormLayout* form, const QString& label, const char* objectName, float minimum, float maximum,
                      int steps, int decimals, std::function<float()> get, std::function<void(float)> set);
    // A check box titled `title` in a row of its own.
    QCheckBox* addBool(QFormLayout* form, const QString& title, const char* objectName, std::function<bool()> get,
                       std::function<void(bool)> set);
    // A row "label [pop-up]" of tagged items for an int.
    QComboBox* addTagged(QFormLayout* form, const QString& label, const char* objectName,
                         const std::vector<std::pair<int, QString>>& items, std::function<int()> get,
                         std::function<void(int)> set);
    // A row "label [colour well]": the well shows the colour, and a click opens a colour panel
    // whose choice is stored. A model without a colour shows white.
    QPushButton* addColor(QFormLayout* form, const QString& label, const char* objectName,
                          std::function<std::optional<Color>()> get, std::function<void(std::optional<Color>)> set);

    // Shows the model's values in every control; writes nothing.
    void refresh();

private:
    void changed();

    std::function<void()> valueChanged_;
    std::vector<std::function<void()>> refreshers_;
    // Set while refresh() moves the controls, so that their signals write nothing.
    bool refreshing_ = false;
};

// The conversions between the model's colours and Qt's.
QColor toQColor(const Color& color);
Color fromQColor(const QColor& color);

}  // namespace korvane
