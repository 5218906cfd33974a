#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "app/sheets/SheetControls.h"
#include "app/sheets/material/ColorWell.h"
#include "foundation/Color.h"

namespace korvane {

// Controls bound to the properties of one content object, the way the material and texture sheets
// edit their model objects in place: every edit of a control stores the value through the
// property's setter and then calls `valueChanged`; a new content (or refresh() after the object
// was changed elsewhere, by a preset) loads every control from it. Without content the controls
// are disabled and edits store nothing. Main thread.
template <class T>
class ObjectController {
public:
    explicit ObjectController(std::function<void()> valueChanged) : valueChanged_(std::move(valueChanged)) {}

    T* content() const { return content_.get(); }
    const std::shared_ptr<T>& sharedContent() const { return content_; }
    void setContent(std::shared_ptr<T> content) {
        content_ = std::move(content);
        refresh();
    }
    // Loads every control from the content without calling valueChanged.
    void refresh() {
        for (const auto& load : loaders_) load();
    }

    // A labelled slider over minimum…maximum in `steps` steps.
    QSlider* addFloat(QFormLayout* form, const QString& label, const char* objectName, float minimum, float maximum,
                      int steps, int decimals, float (T::*get)() const, void (T::*set)(float)) {
        QSlider* slider = addFloatSlider(form, label, objectName, minimum, maximum, minimum, steps, decimals);
        QObject::connect(slider, &QSlider::valueChanged, slider, [this, slider, set] {
            if (!content_ || loading_) return;
            (content_.get()->*set)(floatValue(slider));
            valueChanged_();
        });
        loaders_.push_back([this, slider, get] {
            const Loading loading(loading_);
            slider->setEnabled(content_ != nullptr);
            if (content_) setFloatValue(slider, (content_.get()->*get)());
        });
        return slider;
    }

    QSpinBox* addInt(QFormLayout* form, const QString& label, const char* objectName, int minimum, int maximum,
                     int (T::*get)() const, void (T::*set)(int)) {
        auto* box = new QSpinBox;
        box->setObjectName(QString::fromLatin1(objectName));
        box->setRange(minimum, maximum);
        form->addRow(label, box);
        QObject::connect(box, &QSpinBox::valueChanged, box, [this, set](int value) {
            if (!content_ || loading_) return;
            (content_.get()->*set)(value);
            valueChanged_();
        });
        loaders_.push_back([this, box, get] {
            const Loading loading(loading_);
            box->setEnabled(content_ != nullptr);
            if (content_) box->setValue((content_.get()->*get)());
        });
        return box;
    }

    QCheckBox* addBool(QFormLayout* form, const QString& title, const char* objectName, bool (T::*get)() const,
                       void (T::*set)(bool)) {
        auto* box = new QCheckBox(title);
        box->setObjectName(QString::fromLatin1(objectName));
        form->addRow(QString(), box);
        QObject::connect(box, &QCheckBox::toggled, box, [this, set](bool on) {
            if (!content_ || loading_) return;
            (content_.get()->*set)(on);
            valueChanged_();
        });
        loaders_.push_back([this, box, get] {
            const Loading loading(loading_);
            box->setEnabled(content_ != nullptr);
            if (content_) box->setChecked((content_.get()->*get)());
        });
        return box;
    }

    ColorWell* addColor(QFormLayout* form, const QString& label, const char* objectName,
                        const std::optional<Color>& (T::*get)() const, void (T::*set)(std::optional<Color>)) {
        auto* well = new ColorWell;
        well->setObjectName(QString::fromLatin1(objectName));
        form->addRow(label, well);
        QObject::connect(well, &ColorWell::colorChanged, well, [this, well, set] {
            if (!content_ || loading_) return;
            (content_.get()->*set)(well->color());
            valueChanged_();
        });
        loaders_.push_back([this, well, get] {
            const Loading loading(loading_);
            well->setEnabled(content_ != nullptr);
            if (content_) well->setColor((content_.get()->*get)());
        });
        return well;
    }

    // A pop-up of tagged items for an int property (the noise types, the clouds' bias).
    QComboBox* addTagged(QFormLayout* form, const QString& label, const char* objectName,
                         const std::vector<std::pair<int, QString>>& items, int (T::*get)() const,
                         void (T::*set)(int)) {
        QComboBox* popUp = addTaggedPopUp(form, label, objectName, items, items.empty() ? 0 : items.front().first);
        QObject::connect(popUp, &QComboBox::currentIndexChanged, popUp, [this, popUp, set] {
            if (!content_ || loading_) return;
            (content_.get()->*set)(selectedTag(popUp));
            valueChanged_();
        });
        loaders_.push_back([this, popUp, get] {
            const Loading loading(loading_);
            popUp->setEnabled(content_ != nullptr);
            if (content_) popUp->setCurrentIndex(popUp->findData((content_.get()->*get)()));
        });
        return popUp;
    }

    // A pop-up for an optional string property: the first item ("Default") stands for none, the
    // others carry the string sent to the ray tracer.
    QComboBox* addChoice(QFormLayout* form, const QString& label, const char* objectName,
                         const std::vector<std::pair<QString, QString>>& titlesAndValues,
                         const std::optional<std::string>& (T::*get)() const,
                         void (T::*set)(std::optional<std::string>)) {
        auto* popUp = new QComboBox;
        popUp->setObjectName(QString::fromLatin1(objectName));
        popUp->addItem(QStringLiteral("Default"), QString());
        for (const auto& [title, value] : titlesAndValues) popUp->addItem(title, value);
        form->addRow(label, popUp);
        QObject::connect(popUp, &QComboBox::currentIndexChanged, popUp, [this, popUp, set] {
            if (!content_ || loading_) return;
            const QString value = popUp->currentData().toString();
            (content_.get()->*set)(value.isEmpty() ? std::nullopt : std::optional<std::string>(value.toStdString()));
            valueChanged_();
        });
        loaders_.push_back([this, popUp, get] {
            const Loading loading(loading_);
            popUp->setEnabled(content_ != nullptr);
            if (!content_) return;
            const auto& value = (content_.get()->*get)();
            const int index = value ? popUp->findData(QString::fromStdString(*value)) : 0;
            // A name this menu does not offer (from another program's file) shows as the default.
            popUp->setCurrentIndex(std::max(0, index));
        });
        return popUp;
    }

private:
    // Set while controls are loaded from the content, so that their change signals (which also
    // update the shown values) store nothing.
    struct Loading {
        explicit Loading(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
        ~Loading() { flag_ = was_; }
        bool& flag_;
        bool was_;
    };

    bool loading_ = false;
    std::function<void()> valueChanged_;
    std::shared_ptr<T> content_;
    std::vector<std::function<void()>> loaders_;
};

}  // namespace korvane
