#include "app/sheets/material/EditTextureSheet.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/render/RenderPreviewView.h"
#include "app/sheets/material/MaterialSheetPreview.h"
#include "app/sheets/material/TextureControlViews.h"
#include "scene/Scene.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/shaders/TextureMapperShader.h"

namespace korvane {

namespace {
constexpr int kPreviewSide = 200;
constexpr int kConfigurationWidth = 340;

// The tag of a texture's kind; kNoTexture for none or a kind the sheet does not edit (an image).
int tagOfTexture(const BaseTexture* texture) {
    if (dynamic_cast<const MusgraveTexture*>(texture)) return EditTextureSheet::kMusgrave;
    if (dynamic_cast<const MarbleTexture*>(texture)) return EditTextureSheet::kMarble;
    if (dynamic_cast<const CloudsTexture*>(texture)) return EditTextureSheet::kClouds;
    if (dynamic_cast<const WoodTexture*>(texture)) return EditTextureSheet::kWood;
    if (dynamic_cast<const DistortedNoiseTexture*>(texture)) return EditTextureSheet::kDistortedNoise;
    return EditTextureSheet::kNoTexture;
}

// A new texture of the tag's kind with its defaults; none for kNoTexture and any unknown tag.
std::shared_ptr<BaseTexture> newTextureForTag(int tag) {
    switch (tag) {
        case EditTextureSheet::kMusgrave: return std::make_shared<MusgraveTexture>();
        case EditTextureSheet::kMarble: return std::make_shared<MarbleTexture>();
        case EditTextureSheet::kClouds: return std::make_shared<CloudsTexture>();
        case EditTextureSheet::kWood: return std::make_shared<WoodTexture>();
        case EditTextureSheet::kDistortedNoise: return std::make_shared<DistortedNoiseTexture>();
        default: return nullptr;
    }
}
}  // namespace

std::shared_ptr<BaseShader> EditTextureSheet::shaderForKey(const BaseMaterial& material, const std::string& key) {
    const auto* diffuse = dynamic_cast<const DiffuseMaterial*>(&material);
    if (!diffuse) return nullptr;
    if (key == kDiffuseShaderKey) return diffuse->diffuseShader();
    if (key == kBumpShaderKey) return diffuse->bumpShader();
    if (key == kMirrorShaderKey) return diffuse->mirrorShader();
    return nullptr;
}

void EditTextureSheet::setShaderForKey(BaseMaterial& material, const std::string& key,
                                       std::shared_ptr<BaseShader> shader) {
    auto* diffuse = dynamic_cast<DiffuseMaterial*>(&material);
    if (!diffuse) return;
    if (key == kDiffuseShaderKey) diffuse->setDiffuseShader(std::move(shader));
    else if (key == kBumpShaderKey) diffuse->setBumpShader(std::move(shader));
    else if (key == kMirrorShaderKey) diffuse->setMirrorShader(std::move(shader));
}

EditTextureSheet::EditTextureSheet(std::shared_ptr<BaseMaterial> material, std::string shaderKey,
                                   std::shared_ptr<BaseShader> shader, Scene& scene, QWidget* parent)
    : BaseSheet(parent),
      material_(std::move(material)),
      shaderKey_(std::move(shaderKey)),
      shader_(std::move(shader)),
      scene_(scene),
      renderPreviewView_(new RenderPreviewView(this)),
      musgraveController_([this] { valueChanged(); }),
      marbleController_([this] { valueChanged(); }),
      cloudsController_([this] { valueChanged(); }),
      woodController_([this] { valueChanged(); }),
      distortedNoiseController_([this] { valueChanged(); }) {
    renderPreviewView_->setObjectName(QStringLiteral("TexturePreview"));
    renderPreviewView_->setLightSamples(kMaterialSheetLightSamples);
    if (auto* mapper = dynamic_cast<TextureMapperShader*>(shader_.get())) currentTexture_ = mapper->texture();
    // Opening the sheet only shows the material: writing the result back here would take a shader
    // of another kind away from the material before the user chose anything.
    renderPreview();
}

EditTextureSheet::~EditTextureSheet() { renderPreviewView_->abortRenderingAndHideProgressIndicator(); }

void EditTextureSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);
    renderPreviewView_->setFixedSize(kPreviewSide, kPreviewSide);
    auto* left = new QVBoxLayout;
    left->addWidget(renderPreviewView_);
    left->addStretch(1);
    columns->addLayout(left);

    auto* right = new QVBoxLayout;
    auto* kindRow = new QFormLayout;
    textureTypePopup_ = new QComboBox;
    textureTypePopup_->setObjectName(QStringLiteral("TextureType"));
    textureTypePopup_->addItem(QStringLiteral("None"), int(kNoTexture));
    textureTypePopup_->addItem(QStringLiteral("Musgrave"), int(kMusgrave));
    textureTypePopup_->addItem(QStringLiteral("Marble"), int(kMarble));
    textureTypePopup_->addItem(QStringLiteral("Clouds"), int(kClouds));
    textureTypePopup_->addItem(QStringLiteral("Wood"), int(kWood));
    textureTypePopup_->addItem(QStringLiteral("Distorted Noise"), int(kDistortedNoise));
    kindRow->addRow(QStringLiteral("Texture:"), textureTypePopup_);
    right->addLayout(kindRow);
    textureConfigurationView_ = new QWidget;
    textureConfigurationView_->setObjectName(QStringLiteral("TextureConfiguration"));
    textureConfigurationView_->setMinimumWidth(kConfigurationWidth);
    auto* container = new QVBoxLayout(textureConfigurationView_);
    container->setContentsMargins(0, 0, 0, 0);
    musgraveView_ = makeMusgraveView(musgraveController_);
    marbleView_ = makeMarbleView(marbleController_);
    cloudsView_ = makeCloudsView(cloudsController_);
    woodView_ = makeWoodView(woodController_);
    distortedNoiseView_ = makeDistortedNoiseView(distortedNoiseController_);
    for (QWidget* view : {musgraveView_, marbleView_, cloudsView_, woodView_, distortedNoiseView_}) {
        view->setParent(textureConfigurationView_);
        view->hide();
    }
    right->addWidget(textureConfigurationView_, 1);
    columns->addLayout(right, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Done"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("done"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditTextureSheet::finish);
    layout->addWidget(buttons);

    showCurrentTexture();
    connect(textureTypePopup_, &QComboBox::currentIndexChanged, this, &EditTextureSheet::shaderChanged);
}

void EditTextureSheet::shaderChanged() {
    const int tag = textureTypePopup_ ? textureTypePopup_->currentData().toInt() : kNoTexture;
    if (tag == kNoTexture || tag != tagOfTexture(currentTexture_.get())) currentTexture_ = newTextureForTag(tag);
    updateViewsForShader();
}

void EditTextureSheet::updateViewsForShader() {
    showCurrentTexture();
    valueChanged();
}

void EditTextureSheet::showCurrentTexture() {
    if (!textureConfigurationView_) return;
    if (currentTextureView_) {
        textureConfigurationView_->layout()->removeWidget(currentTextureView_);
        currentTextureView_->hide();
        currentTextureView_ = nullptr;
    }
    musgraveController_.setContent(std::dynamic_pointer_cast<MusgraveTexture>(currentTexture_));
    marbleController_.setContent(std::dynamic_pointer_cast<MarbleTexture>(currentTexture_));
    cloudsController_.setContent(std::dynamic_pointer_cast<CloudsTexture>(currentTexture_));
    woodController_.setContent(std::dynamic_pointer_cast<WoodTexture>(currentTexture_));
    distortedNoiseController_.setContent(std::dynamic_pointer_cast<DistortedNoiseTexture>(currentTexture_));
    const int tag = tagOfTexture(currentTexture_.get());
    {
        const QSignalBlocker blocker(textureTypePopup_);
        textureTypePopup_->setCurrentIndex(textureTypePopup_->findData(tag));
    }
    switch (tag) {
        case kMusgrave: currentTextureView_ = musgraveView_; break;
        case kMarble: currentTextureView_ = marbleView_; break;
        case kClouds: currentTextureView_ = cloudsView_; break;
        case kWood: currentTextureView_ = woodView_; break;
        case kDistortedNoise: currentTextureView_ = distortedNoiseView_; break;
        default: break;
    }
    if (currentTextureView_) {
        static_cast<QVBoxLayout*>(textureConfigurationView_->layout())->insertWidget(0, currentTextureView_);
        currentTextureView_->show();
    }
}

void EditTextureSheet::valueChanged() {
    if (currentTexture_) {
        if (auto* mapper = dynamic_cast<TextureMapperShader*>(shader_.get())) {
            mapper->setTexture(currentTexture_);
        } else if (!shader_) {
            shader_ = TextureMapperShader::textureMapperShaderWithTexture(currentTexture_);
        }
        setShaderForKey(*material_, shaderKey_, shader_);
    } else {
        setShaderForKey(*material_, shaderKey_, nullptr);
    }
    renderPreview();
}

void EditTextureSheet::renderPreview() {
    showMaterialPreview(*renderPreviewView_, material_, kTextureSheetEyeHeight, scene_);
}

void EditTextureSheet::finish() {
    if (closed_) return;
    closed_ = true;
    renderPreviewView_->abortRenderingAndHideProgressIndicator();
    close();
    deleteLater();
}

void EditTextureSheet::reject() { finish(); }

}  // namespace korvane
