#include "app/sheets/material/EditMaterialSheet.h"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/render/RenderImages.h"
#include "app/render/RenderPreviewView.h"
#include "app/sheets/material/EditTextureSheet.h"
#include "app/sheets/material/MaterialSheetPreview.h"
#include "scene/Scene.h"

namespace korvane {

namespace {
constexpr int kPreviewSide = 220;
constexpr int kPresetIconSide = 14;
constexpr int kSliderSteps = 100;

// The preset's swatch: a material configured with the preset draws its icon, scaled to the menu.
QIcon presetIcon(const PresetDictionary& preset) {
    DiffuseMaterial material;
    material.configureWithPresetDictionary(preset);
    const QImage swatch = qImageFromRenderBitmap(material.icon());
    if (swatch.isNull()) return {};
    return QIcon(QPixmap::fromImage(
        swatch.scaled(kPresetIconSide, kPresetIconSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

QLabel* sectionTitle(const QString& text) {
    auto* label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("font-weight: 600;"));
    return label;
}
}  // namespace

EditMaterialSheet::EditMaterialSheet(std::shared_ptr<DiffuseMaterial> material, Scene& scene, QWidget* parent)
    : BaseSheet(parent),
      diffuseMaterial_(std::move(material)),
      scene_(scene),
      renderPreviewView_(new RenderPreviewView(this)),
      materialController_([this] { valueChanged(); }) {
    renderPreviewView_->setObjectName(QStringLiteral("MaterialPreview"));
    renderPreviewView_->setLightSamples(kMaterialSheetLightSamples);
    valueChanged();
}

EditMaterialSheet::~EditMaterialSheet() {
    // Dropping the sheet drops its preview render.
    renderPreviewView_->abortRenderingAndHideProgressIndicator();
}

void EditMaterialSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);

    auto* left = new QVBoxLayout;
    renderPreviewView_->setFixedSize(kPreviewSide, kPreviewSide);
    left->addWidget(renderPreviewView_);
    presetsPopup_ = new QComboBox;
    presetsPopup_->setObjectName(QStringLiteral("MaterialPresets"));
    presetsPopup_->setIconSize(QSize(kPresetIconSide, kPresetIconSide));
    fillPresetsPopup();
    left->addWidget(presetsPopup_);
    left->addStretch(1);
    columns->addLayout(left);

    auto* form = new QFormLayout;
    columns->addLayout(form, 1);
    nameField_ = new QLineEdit(QString::fromStdString(diffuseMaterial_->name()));
    nameField_->setObjectName(QStringLiteral("MaterialName"));
    nameField_->setCursorPosition(0);
    connect(nameField_, &QLineEdit::editingFinished, this, [this] {
        const std::string name = nameField_->text().toStdString();
        if (name == diffuseMaterial_->name()) return;
        diffuseMaterial_->setName(name);
        valueChanged();
    });
    form->addRow(QStringLiteral("Name:"), nameField_);

    form->addRow(sectionTitle(QStringLiteral("Color")));
    materialController_.addColor(form, QStringLiteral("Color:"), "color", &DiffuseMaterial::color,
                                 &DiffuseMaterial::setColor);
    materialController_.addBool(form, QStringLiteral("Use Diffuse Texture"), "useDiffuseShader",
                                &DiffuseMaterial::useDiffuseShader, &DiffuseMaterial::setUseDiffuseShader);
    auto* diffuse = new QPushButton(QStringLiteral("Edit Diffuse Texture…"));
    diffuse->setObjectName(QStringLiteral("editDiffuseShader"));
    form->addRow(QString(), diffuse);
    materialController_.addFloat(form, QStringLiteral("Diffuse Reflection:"), "diffuseReflect", 0.0f, 1.0f,
                                 kSliderSteps, 2, &DiffuseMaterial::diffuseReflect, &DiffuseMaterial::setDiffuseReflect);

    form->addRow(sectionTitle(QStringLiteral("Bump")));
    materialController_.addFloat(form, QStringLiteral("Bump Strength:"), "bumpStrength", 0.0f, 2.0f, 2 * kSliderSteps,
                                 2, &DiffuseMaterial::bumpStrength, &DiffuseMaterial::setBumpStrength);
    auto* bump = new QPushButton(QStringLiteral("Edit Bump Texture…"));
    bump->setObjectName(QStringLiteral("editBumpShader"));
    form->addRow(QString(), bump);

    form->addRow(sectionTitle(QStringLiteral("Reflection")));
    materialController_.addFloat(form, QStringLiteral("Specular Reflection:"), "spectacularReflect", 0.0f, 1.0f,
                                 kSliderSteps, 2, &DiffuseMaterial::spectacularReflect,
                                 &DiffuseMaterial::setSpectacularReflect);
    materialController_.addColor(form, QStringLiteral("Mirror Color:"), "mirrorColor", &DiffuseMaterial::mirrorColor,
                                 &DiffuseMaterial::setMirrorColor);
    materialController_.addBool(form, QStringLiteral("Use Mirror Texture"), "useMirrorShader",
                                &DiffuseMaterial::useMirrorShader, &DiffuseMaterial::setUseMirrorShader);
    auto* mirror = new QPushButton(QStringLiteral("Edit Mirror Texture…"));
    mirror->setObjectName(QStringLiteral("editMirrorShader"));
    form->addRow(QString(), mirror);

    form->addRow(sectionTitle(QStringLiteral("Transparency")));
    materialController_.addFloat(form, QStringLiteral("Transparency:"), "transparency", 0.0f, 1.0f, kSliderSteps, 2,
                                 &DiffuseMaterial::transparency, &DiffuseMaterial::setTransparency);
    materialController_.addFloat(form, QStringLiteral("Translucency:"), "translucency", 0.0f, 1.0f, kSliderSteps, 2,
                                 &DiffuseMaterial::translucency, &DiffuseMaterial::setTranslucency);
    materialController_.addFloat(form, QStringLiteral("Transmit Filter:"), "transmitFilter", 0.0f, 1.0f,
                                 kSliderSteps, 2, &DiffuseMaterial::transmitFilter,
                                 &DiffuseMaterial::setTransmitFilter);
    materialController_.setContent(diffuseMaterial_);

    connect(diffuse, &QPushButton::clicked, this, &EditMaterialSheet::editDiffuseShader);
    connect(bump, &QPushButton::clicked, this, &EditMaterialSheet::editBumpShader);
    connect(mirror, &QPushButton::clicked, this, &EditMaterialSheet::editMirrorShader);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Done"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("done"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditMaterialSheet::finish);
    layout->addWidget(buttons);
}

void EditMaterialSheet::fillPresetsPopup() {
    presetsPopup_->addItem(QString::fromUtf8(kAssignPresetTitle));
    std::vector<PresetDictionary> presets = DiffuseMaterial::presetDictionaries();
    std::stable_sort(presets.begin(), presets.end(),
                     [](const PresetDictionary& a, const PresetDictionary& b) { return a.name < b.name; });
    for (const PresetDictionary& preset : presets) {
        presetsPopup_->addItem(presetIcon(preset), QString::fromStdString(preset.name),
                               QString::fromStdString(preset.presetKey));
    }
    connect(presetsPopup_, &QComboBox::activated, this, [this](int index) {
        const QString key = presetsPopup_->itemData(index).toString();
        // The menu is a list of actions: it goes back to its title after each choice.
        presetsPopup_->setCurrentIndex(0);
        if (key.isEmpty()) return;
        presetSelected({presetsPopup_->itemText(index).toStdString(), key.toStdString()});
    });
}

void EditMaterialSheet::valueChanged() {
    showMaterialPreview(*renderPreviewView_, diffuseMaterial_, kMaterialSheetEyeHeight, scene_);
}

void EditMaterialSheet::presetSelected(const PresetDictionary& preset) {
    diffuseMaterial_->configureWithPresetDictionary(preset);
    materialController_.refresh();
    valueChanged();
}

void EditMaterialSheet::editDiffuseShader() { editShader(EditTextureSheet::kDiffuseShaderKey); }
void EditMaterialSheet::editBumpShader() { editShader(EditTextureSheet::kBumpShaderKey); }
void EditMaterialSheet::editMirrorShader() { editShader(EditTextureSheet::kMirrorShaderKey); }

void EditMaterialSheet::editShader(const char* shaderKey) {
    if (textureSheet_) return;
    textureSheet_ = new EditTextureSheet(diffuseMaterial_, shaderKey,
                                         EditTextureSheet::shaderForKey(*diffuseMaterial_, shaderKey), scene_);
    textureSheet_->setDelegate(this);
    textureSheet_->openAsSheetModalForWindow(this);
}

void EditMaterialSheet::sheetWillClose(BaseSheet& sheet) {
    if (&sheet == textureSheet_) textureSheet_ = nullptr;
    // Whatever was done in the texture sheet, the swatch shows the material as it is now.
    materialController_.refresh();
    valueChanged();
}

void EditMaterialSheet::finish() {
    if (closed_) return;
    closed_ = true;
    if (textureSheet_) textureSheet_->finish();
    renderPreviewView_->abortRenderingAndHideProgressIndicator();
    close();
    deleteLater();
}

void EditMaterialSheet::reject() { finish(); }

EditMaterialSheet* openEditMaterialSheet(std::shared_ptr<DiffuseMaterial> material, Scene& scene, QWidget* window,
                                         BaseSheetDelegate* delegate) {
    auto* sheet = new EditMaterialSheet(std::move(material), scene);
    sheet->setDelegate(delegate);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
