#pragma once

#include <utility>
#include <vector>

#include <QString>

class QComboBox;
class QFormLayout;
class QSlider;

namespace korvane {

// The controls the filter, auto-fill and terrain sheets share. A sheet's slider stands for a float
// range cut into even integer steps; its value is shown beside it. Main thread.

// Adds a row "label [slider] value" to form. The slider runs from minimum to maximum in `steps` steps,
// starts at `value` (the nearest step) and shows its value with `decimals` decimals.
QSlider* addFloatSlider(QFormLayout* form, const QString& label, const char* objectName, float minimum,
                        float maximum, float value, int steps, int decimals = 2);
// The float a slider made by addFloatSlider stands for, and setting it (to the nearest step).
float floatValue(const QSlider* slider);
void setFloatValue(QSlider* slider, float value);

// Adds a row "label [pop-up]" whose items carry the given tags (item data), the item tagged
// `selectedTag` chosen (the first when no item has it).
QComboBox* addTaggedPopUp(QFormLayout* form, const QString& label, const char* objectName,
                          const std::vector<std::pair<int, QString>>& items, int selectedTag);
// The tag of the chosen item.
int selectedTag(const QComboBox* popUp);

}  // namespace korvane
