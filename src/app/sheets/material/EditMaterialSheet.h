#pragma once

#include <memory>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "app/sheets/material/ObjectController.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/materials/PresetDictionary.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace korvane {

class EditTextureSheet;
class RenderPreviewView;
class Scene;

// "Edit Material": a diffuse material edited in place with a live swatch preview — a preset menu,
// a control for every value of the material, and buttons that open the texture sheet for its
// diffuse, bump and mirror shaders. Every edit is part of the document at once (the scene hears of
// it), so the sheet has only "Done". It deletes itself once closed. Main thread.
class EditMaterialSheet final : public BaseSheet, private BaseSheetDelegate {
    Q_OBJECT
public:
    // initWithMaterial:andScene: — the scene must outlive the sheet. Runs valueChanged once.
    EditMaterialSheet(std::shared_ptr<DiffuseMaterial> material, Scene& scene, QWidget* parent = nullptr);
    ~EditMaterialSheet() override;

    static constexpr const char* kTitle = "Edit Material";
    QString title() const override { return QString::fromUtf8(kTitle); }

    const std::shared_ptr<DiffuseMaterial>& diffuseMaterial() const { return diffuseMaterial_; }
    RenderPreviewView* renderPreviewView() const { return renderPreviewView_; }
    // "Assign Preset…" and then the presets sorted by title, each with its 14 × 14 swatch.
    QComboBox* presetsPopup() const { return presetsPopup_; }
    // The texture sheet opened last and still open, or null.
    EditTextureSheet* openTextureSheet() const { return textureSheet_; }

    // Re-renders the preview and tells the scene.
    void valueChanged();
    void presetSelected(const PresetDictionary& preset);
    void editDiffuseShader();
    void editBumpShader();
    void editMirrorShader();
    // Closes the sheet (after any texture sheet over it).
    void finish();

    // The title of the preset menu's first item, which applies nothing.
    static constexpr const char* kAssignPresetTitle = "Assign Preset…";

protected:
    void buildInterface() override;
    void reject() override;

private:
    void sheetWillClose(BaseSheet& sheet) override;
    void editShader(const char* shaderKey);
    void fillPresetsPopup();

    std::shared_ptr<DiffuseMaterial> diffuseMaterial_;
    Scene& scene_;
    RenderPreviewView* renderPreviewView_;
    ObjectController<DiffuseMaterial> materialController_;
    QComboBox* presetsPopup_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    EditTextureSheet* textureSheet_ = nullptr;
    bool closed_ = false;
};

// Opens the material sheet over `window` and returns it (it deletes itself once closed); the
// delegate (not owned, may be null) hears when it closes.
EditMaterialSheet* openEditMaterialSheet(std::shared_ptr<DiffuseMaterial> material, Scene& scene, QWidget* window,
                                         BaseSheetDelegate* delegate = nullptr);

}  // namespace korvane
