#pragma once

#include <memory>

#include <QString>

#include "app/sheets/BaseSheet.h"

class QDoubleSpinBox;
class QLineEdit;

namespace korvane {

class MeshObject;

// "Edit Mesh Object Properties": the object's name and its placement — position on the plan,
// scale, rotation and height over the terrain — edited in place (the map follows every change).
// The sheet deletes itself once closed. Main thread.
class MeshObjectOptionsSheet final : public BaseSheet {
    Q_OBJECT
public:
    explicit MeshObjectOptionsSheet(std::shared_ptr<MeshObject> object, QWidget* parent = nullptr);

    static constexpr const char* kTitle = "Edit Mesh Object Properties";
    QString title() const override { return QString::fromUtf8(kTitle); }

    QLineEdit* nameField() const { return nameField_; }
    QDoubleSpinBox* positionXField() const { return positionX_; }
    QDoubleSpinBox* positionYField() const { return positionY_; }
    QDoubleSpinBox* scaleField() const { return scale_; }
    QDoubleSpinBox* rotationField() const { return rotation_; }
    QDoubleSpinBox* heightField() const { return height_; }
    void finish();

protected:
    void buildInterface() override;
    void reject() override;

private:
    std::shared_ptr<MeshObject> object_;
    QLineEdit* nameField_ = nullptr;
    QDoubleSpinBox* positionX_ = nullptr;
    QDoubleSpinBox* positionY_ = nullptr;
    QDoubleSpinBox* scale_ = nullptr;
    QDoubleSpinBox* rotation_ = nullptr;
    QDoubleSpinBox* height_ = nullptr;
    bool closed_ = false;
};

}  // namespace korvane
