// Before any Qt header: the ray tracer's headers use the word emit, which Qt defines as a macro.
#include "renderer/YafarayRenderer.h"

#include "app/render/RenderSettingsSheet.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "foundation/ImageCodecs.h"

namespace korvane {

namespace {

constexpr const char* kWidthKey = "rendererOutputSizeWidth";
constexpr const char* kHeightKey = "rendererOutputSizeHeight";
constexpr const char* kRendererTypeKey = "yafarayRendererType";
constexpr const char* kPathSamplesKey = "yafarayPathSamples";
constexpr const char* kPathBouncesKey = "yafarayPathBounces";
constexpr const char* kLightSamplesKey = "yafarayLightSamples";
constexpr const char* kAASamplesKey = "yafarayAASamples";
constexpr const char* kAAPassesKey = "yafarayAAPasses";
constexpr const char* kVolumeAccuracyKey = "yafarayVolumeAccuracy";
constexpr int kDirectLighting = 0;
constexpr int kPathTracing = 1;
// The volume accuracy slider works in hundredths.
constexpr double kVolumeAccuracyScale = 100.0;

// A slider with its value shown beside it.
QSlider* makeSlider(QFormLayout* form, const QString& title, const char* objectName, int minimum, int maximum,
                    double displayScale = 1.0) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QString::fromLatin1(objectName));
    slider->setRange(minimum, maximum);
    auto* value = new QLabel;
    value->setMinimumWidth(40);
    auto show = [value, displayScale](int v) {
        value->setText(displayScale == 1.0 ? QString::number(v) : QString::number(v / displayScale, 'f', 2));
    };
    QObject::connect(slider, &QSlider::valueChanged, value, show);
    show(slider->value());
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(value);
    form->addRow(title, row);
    return slider;
}

}  // namespace

const std::vector<RenderSettingsSheet::OutputSizePreset>& RenderSettingsSheet::outputSizePresets() {
    static const std::vector<OutputSizePreset> presets = {
        {"320 x 240", 320, 240},
        {"480 x 320", 480, 320},
        {"600 x 375 (16:10)", 600, 375},
        {"640 x 480", 640, 480},
        {"800 x 600", 800, 600},
        {"832 x 520 (16:10)", 832, 520},
        {"1024 x 768", 1024, 768},
        {"1280 x 720 (16:9)", 1280, 720},
        {"1280 x 1024", 1280, 1024},
        {"1440 x 900", 1440, 900},
        {"1600 x 1200", 1600, 1200},
        {"1920 x 1080 (16:9)", 1920, 1080},
        {"1920 x 1200 (16:10)", 1920, 1200},
        {"2560 x 1440 (16:9)", 2560, 1440},
        {"5120 x 1600", 5120, 1600},
    };
    return presets;
}

RenderSettingsSheet::RenderSettingsSheet(std::string preferenceKey, QWidget* parent)
    : BaseSheet(parent), preferenceKey_(std::move(preferenceKey)),
      settings_(UserDefaults::standard().dictionaryForKey(preferenceKey_)) {
    // The controls exist from the start, so the sheet can be driven before it is first shown.
    buildInterface();
}

QString RenderSettingsSheet::title() const { return QStringLiteral("Render Settings"); }

int RenderSettingsSheet::intValue(const char* key) const {
    auto found = settings_.find(key);
    return found == settings_.end() ? 0 : int(found->second.toInteger());
}

void RenderSettingsSheet::buildInterface() {
    if (presetPopUp_) return;
    setWindowTitle(title());
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    presetPopUp_ = new QComboBox;
    presetPopUp_->setObjectName(QStringLiteral("outputSizePresets"));
    presetPopUp_->addItem(QStringLiteral("Output Size Presets…"));
    for (const OutputSizePreset& preset : outputSizePresets()) presetPopUp_->addItem(QString::fromUtf8(preset.title));
    presetPopUp_->setItemData(0, 0, Qt::UserRole - 1);  // the title item cannot be chosen
    connect(presetPopUp_, &QComboBox::activated, this, [this](int item) {
        if (item > 0) chooseOutputSizePreset(item - 1);
        presetPopUp_->setCurrentIndex(0);
    });
    form->addRow(QString(), presetPopUp_);

    auto sizeField = [](const char* name) {
        auto* field = new QSpinBox;
        field->setObjectName(QString::fromLatin1(name));
        field->setRange(1, kMaxImageSide);
        return field;
    };
    widthField_ = sizeField("width");
    heightField_ = sizeField("height");
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(widthField_);
    sizeRow->addWidget(new QLabel(QStringLiteral("×")));
    sizeRow->addWidget(heightField_);
    sizeRow->addWidget(new QLabel(tr("pixels")));
    form->addRow(tr("Output size:"), sizeRow);
    connect(widthField_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!updatingControls_) settings_[kWidthKey] = v;
    });
    connect(heightField_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!updatingControls_) settings_[kHeightKey] = v;
    });

    rendererPopUp_ = new QComboBox;
    rendererPopUp_->setObjectName(QStringLiteral("renderer"));
    rendererPopUp_->addItem(tr("Direct Lighting"), kDirectLighting);
    rendererPopUp_->addItem(tr("Path Tracing"), kPathTracing);
    form->addRow(tr("Renderer:"), rendererPopUp_);
    connect(rendererPopUp_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (updatingControls_ || index < 0) return;
        const int type = rendererPopUp_->itemData(index).toInt();
        settings_[kRendererTypeKey] = type;
        applyRendererRule(type);
    });

    pathSamplesSlider_ = makeSlider(form, tr("Path samples:"), kPathSamplesKey, 1, 128);
    pathBouncesSlider_ = makeSlider(form, tr("Path bounces:"), kPathBouncesKey, 1, 16);
    lightSamplesSlider_ = makeSlider(form, tr("Light samples:"), kLightSamplesKey, 1, 64);
    aaSamplesSlider_ = makeSlider(form, tr("Anti-aliasing samples:"), kAASamplesKey, 1, 16);
    aaPassesSlider_ = makeSlider(form, tr("Anti-aliasing passes:"), kAAPassesKey, 1, 16);
    volumeAccuracySlider_ = makeSlider(form, tr("Volume accuracy:"), kVolumeAccuracyKey, 0,
                                       int(kVolumeAccuracyScale), kVolumeAccuracyScale);
    for (auto [slider, key] : {std::pair{pathSamplesSlider_, kPathSamplesKey}, std::pair{pathBouncesSlider_, kPathBouncesKey},
                               std::pair{lightSamplesSlider_, kLightSamplesKey}, std::pair{aaSamplesSlider_, kAASamplesKey},
                               std::pair{aaPassesSlider_, kAAPassesKey}}) {
        connect(slider, &QSlider::valueChanged, this, [this, key = key](int v) {
            if (!updatingControls_) settings_[key] = v;
        });
    }
    connect(volumeAccuracySlider_, &QSlider::valueChanged, this, [this](int v) {
        if (!updatingControls_) settings_[kVolumeAccuracyKey] = float(v / kVolumeAccuracyScale);
    });

    // On/off settings of the film, each a check box named after its key.
    const std::pair<const char*, QString> switches[] = {
        {YafarayRenderer::kFilmicToneMappingKey, tr("Roll off highlights (filmic film)")},
        {YafarayRenderer::kDenoiseKey, tr("Denoise the finished render")},
        {YafarayRenderer::kIndirectBounceKey, tr("Light shadows by one bounce (direct renderer)")},
    };
    for (const auto& [key, title] : switches) {
        auto* box = new QCheckBox(title);
        box->setObjectName(QString::fromLatin1(key));
        form->addRow(QString(), box);
        switches_.emplace_back(box, key);
        connect(box, &QCheckBox::toggled, this, [this, key = key](bool on) {
            if (!updatingControls_) settings_[key] = on ? 1 : 0;
        });
    }

    auto* buttons = new QHBoxLayout;
    resetButton_ = new QToolButton;
    resetButton_->setObjectName(QStringLiteral("resetToDefaults"));
    resetButton_->setText(tr("Reset to Defaults"));
    resetButton_->setPopupMode(QToolButton::InstantPopup);
    auto* resetMenu = new QMenu(resetButton_);
    for (int level = kFirstResetLevel; level <= kLastResetLevel; ++level) {
        QAction* item = resetMenu->addAction(tr("Quality Level %1").arg(level));
        item->setData(level);
        connect(item, &QAction::triggered, this, [this, level] { resetToDefaults(level); });
    }
    resetButton_->setMenu(resetMenu);
    buttons->addWidget(resetButton_);
    buttons->addStretch();
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(box, &QDialogButtonBox::accepted, this, &RenderSettingsSheet::changeSettings);
    connect(box, &QDialogButtonBox::rejected, this, &RenderSettingsSheet::cancel);
    buttons->addWidget(box);
    layout->addLayout(buttons);

    updateControls();
}

void RenderSettingsSheet::updateControls() {
    updatingControls_ = true;
    widthField_->setValue(intValue(kWidthKey));
    heightField_->setValue(intValue(kHeightKey));
    const int type = intValue(kRendererTypeKey);
    const int typeIndex = rendererPopUp_->findData(type);
    rendererPopUp_->setCurrentIndex(typeIndex);
    pathSamplesSlider_->setValue(intValue(kPathSamplesKey));
    pathBouncesSlider_->setValue(intValue(kPathBouncesKey));
    lightSamplesSlider_->setValue(intValue(kLightSamplesKey));
    aaSamplesSlider_->setValue(intValue(kAASamplesKey));
    aaPassesSlider_->setValue(intValue(kAAPassesKey));
    auto accuracy = settings_.find(kVolumeAccuracyKey);
    const double volumeAccuracy = accuracy == settings_.end() ? 0.0 : accuracy->second.toDouble();
    volumeAccuracySlider_->setValue(int(std::lround(volumeAccuracy * kVolumeAccuracyScale)));
    for (auto& [box, key] : switches_) box->setChecked(intValue(key) != 0);
    updatingControls_ = false;
    applyRendererRule(type);
}

void RenderSettingsSheet::applyRendererRule(int rendererType) {
    if (rendererType != kDirectLighting && rendererType != kPathTracing) return;
    const bool pathTracing = rendererType == kPathTracing;
    pathSamplesSlider_->setEnabled(pathTracing);
    pathBouncesSlider_->setEnabled(pathTracing);
    lightSamplesSlider_->setEnabled(!pathTracing);
}

void RenderSettingsSheet::chooseOutputSizePreset(int index) {
    const auto& presets = outputSizePresets();
    if (index < 0 || index >= int(presets.size())) return;
    settings_[kWidthKey] = presets[size_t(index)].width;
    settings_[kHeightKey] = presets[size_t(index)].height;
    updateControls();
}

void RenderSettingsSheet::resetToDefaults(int level) {
    // The renderer type is not part of a level's defaults and stays as chosen.
    settings_ = YafarayRenderer::updateSettingsInDictionary(&settings_, level, true);
    updateControls();
}

void RenderSettingsSheet::changeSettings() {
    settings_[kRendererTypeKey] = rendererPopUp_->currentData().toInt();
    settings_[kWidthKey] = widthField_->value();
    settings_[kHeightKey] = heightField_->value();
    UserDefaults::standard().setDictionary(preferenceKey_, settings_);
    if (auto* changed = dynamic_cast<RenderSettingsSheetDelegate*>(delegate())) changed->renderSettingsChanged();
    close();
}

void RenderSettingsSheet::cancel() { close(); }

}  // namespace korvane
