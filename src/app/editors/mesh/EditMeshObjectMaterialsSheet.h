#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "app/sheets/BaseSheet.h"

class QListWidget;

namespace korvane {

class DiffuseMaterial;
class MeshObject;
class Scene;

// "Materials": the materials of one mesh object. Edit opens the material sheet on the selected
// one; Merge moves the faces of every further selected material, in the order they were
// selected, onto the first selected one (with fewer than two selected it only beeps). Closing the
// sheet renders the object's thumbnails again, since its look may have changed. The sheet deletes
// itself once closed. Main thread.
class EditMeshObjectMaterialsSheet final : public BaseSheet, private BaseSheetDelegate {
    Q_OBJECT
public:
    // The scene must outlive the sheet.
    EditMeshObjectMaterialsSheet(std::shared_ptr<MeshObject> object, Scene& scene, QWidget* parent = nullptr);

    static constexpr const char* kTitle = "Materials";
    QString title() const override { return QString::fromUtf8(kTitle); }

    QListWidget* materialsTable() const { return table_; }
    // The selected materials in the order the user selected them.
    const std::vector<std::shared_ptr<DiffuseMaterial>>& selectedMaterials() const { return selection_; }

    void editMaterial();
    void mergeMaterials();
    void finish();

Q_SIGNALS:
    // The system beep sounded (a merge with fewer than two materials).
    void beeped();

protected:
    void buildInterface() override;
    void reject() override;

private:
    // A closing material sheet: the table shows the new name and swatch.
    void sheetWillClose(BaseSheet& sheet) override;
    void reloadTable();
    void tableSelectionChanged();

    std::shared_ptr<MeshObject> object_;
    Scene& scene_;
    QListWidget* table_ = nullptr;
    std::vector<std::shared_ptr<DiffuseMaterial>> selection_;
    bool closed_ = false;
};

}  // namespace korvane
