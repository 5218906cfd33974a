#pragma once

#include <memory>
#include <string>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "app/sheets/material/ObjectController.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

class QComboBox;

namespace korvane {

class BaseMaterial;
class BaseShader;
class BaseTexture;
class RenderPreviewView;
class Scene;

// "Edit Texture": which procedural texture feeds one shader of a material (the diffuse, bump or
// mirror shader), and that texture's values, with a live swatch preview. The result is written
// into the material after every change: a texture goes into the material's texture-mapper shader
// (made when the material has none under that key), no texture removes the shader. A shader of
// another kind is shown with no texture and is never replaced. The sheet deletes itself once
// closed. Main thread.
class EditTextureSheet final : public BaseSheet {
    Q_OBJECT
public:
    static constexpr const char* kDiffuseShaderKey = "diffuseShader";
    static constexpr const char* kBumpShaderKey = "bumpShader";
    static constexpr const char* kMirrorShaderKey = "mirrorShader";

    // The pop-up's tags of the texture kinds; kNoTexture stands for none.
    enum TextureTag { kNoTexture = -1, kMusgrave = 0, kMarble = 1, kClouds = 2, kWood = 3, kDistortedNoise = 4 };

    // initWithMaterial:andShaderKey:andTextureMapperShader:andScene: — `shader` is the material's
    // current shader under `shaderKey` (may be null); the scene must outlive the sheet.
    EditTextureSheet(std::shared_ptr<BaseMaterial> material, std::string shaderKey, std::shared_ptr<BaseShader> shader,
                     Scene& scene, QWidget* parent = nullptr);
    ~EditTextureSheet() override;

    static constexpr const char* kTitle = "Edit Texture";
    QString title() const override { return QString::fromUtf8(kTitle); }

    // The material's shader under one of the three keys, and storing one there (none removes it).
    // Materials other than diffuse ones have none.
    static std::shared_ptr<BaseShader> shaderForKey(const BaseMaterial& material, const std::string& shaderKey);
    static void setShaderForKey(BaseMaterial& material, const std::string& shaderKey,
                                std::shared_ptr<BaseShader> shader);

    const std::string& shaderKey() const { return shaderKey_; }
    const std::shared_ptr<BaseShader>& shader() const { return shader_; }
    const std::shared_ptr<BaseTexture>& currentTexture() const { return currentTexture_; }
    QComboBox* textureTypePopup() const { return textureTypePopup_; }
    // The control view of the current texture's kind, or null without a texture.
    QWidget* currentTextureView() const { return currentTextureView_; }
    RenderPreviewView* renderPreviewView() const { return renderPreviewView_; }

    // The pop-up's action: the texture of the chosen kind (a new one with its defaults unless the
    // current texture already has that kind), or none; then the views and the result.
    void shaderChanged();
    // Shows the current texture's kind and its controls.
    void updateViewsForShader();
    // Writes the result into the material, re-renders the preview and tells the scene.
    void valueChanged();
    void finish();

protected:
    void buildInterface() override;
    void reject() override;

private:
    void showCurrentTexture();
    void renderPreview();

    std::shared_ptr<BaseMaterial> material_;
    std::string shaderKey_;
    std::shared_ptr<BaseShader> shader_;
    Scene& scene_;
    std::shared_ptr<BaseTexture> currentTexture_;
    RenderPreviewView* renderPreviewView_;
    QWidget* textureConfigurationView_ = nullptr;
    QComboBox* textureTypePopup_ = nullptr;
    QWidget* currentTextureView_ = nullptr;
    QWidget* musgraveView_ = nullptr;
    QWidget* marbleView_ = nullptr;
    QWidget* cloudsView_ = nullptr;
    QWidget* woodView_ = nullptr;
    QWidget* distortedNoiseView_ = nullptr;
    ObjectController<MusgraveTexture> musgraveController_;
    ObjectController<MarbleTexture> marbleController_;
    ObjectController<CloudsTexture> cloudsController_;
    ObjectController<WoodTexture> woodController_;
    ObjectController<DistortedNoiseTexture> distortedNoiseController_;
    bool closed_ = false;
};

}  // namespace korvane
