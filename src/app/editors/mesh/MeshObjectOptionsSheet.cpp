#include "app/editors/mesh/MeshObjectOptionsSheet.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "scene/Scene.h"
#include "scene/layers/mesh/MeshEditorGeometry.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
// Objects may be dragged off the plan, so positions are not held to the scene.
constexpr double kLargestCoordinate = 10000.0;
constexpr double kLargestLift = 1000.0;

QDoubleSpinBox* newField(const char* objectName, double minimum, double maximum, double value, int decimals,
                         const QString& suffix = QString()) {
    auto* field = new QDoubleSpinBox;
    field->setObjectName(QString::fromLatin1(objectName));
    field->setRange(minimum, maximum);
    field->setDecimals(decimals);
    field->setValue(value);
    field->setSuffix(suffix);
    field->setKeyboardTracking(false);
    return field;
}
}  // namespace

MeshObjectOptionsSheet::MeshObjectOptionsSheet(std::shared_ptr<MeshObject> object, QWidget* parent)
    : BaseSheet(parent), object_(std::move(object)) {}

void MeshObjectOptionsSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    MeshObject& object = *object_;
    nameField_ = new QLineEdit(QString::fromStdString(object.userName()));
    nameField_->setObjectName(QStringLiteral("userName"));
    form->addRow(QStringLiteral("Name:"), nameField_);
    positionX_ = newField("positionX", -kLargestCoordinate, kLargestCoordinate, object.position().x, 3);
    positionY_ = newField("positionY", -kLargestCoordinate, kLargestCoordinate, object.position().y, 3);
    form->addRow(QStringLiteral("Position X:"), positionX_);
    form->addRow(QStringLiteral("Position Y:"), positionY_);
    scale_ = newField("scale", MeshEditorGeometry::kSmallestScale, 1000.0, object.scale(), 3);
    form->addRow(QStringLiteral("Size:"), scale_);
    rotation_ = newField("zRotation", -360.0, 360.0, object.zRotation(), 1, QStringLiteral("°"));
    form->addRow(QStringLiteral("Rotation:"), rotation_);
    height_ = newField("heightOverTerrain", -kLargestLift, kLargestLift, object.heightOverTerrain(), 3);
    form->addRow(QStringLiteral("Height over Terrain:"), height_);

    connect(nameField_, &QLineEdit::editingFinished, this, [this] {
        const std::string name = nameField_->text().toStdString();
        if (name == object_->userName()) return;
        object_->setUserName(name);
        // The name is a plain property; the editor's list hears of it through the scene.
        if (object_->meshLayer() && object_->meshLayer()->scene()) {
            object_->meshLayer()->scene()->postSceneDidChangeNotification();
        }
    });
    auto position = [this] { object_->setPosition({positionX_->value(), positionY_->value()}); };
    connect(positionX_, &QDoubleSpinBox::valueChanged, this, position);
    connect(positionY_, &QDoubleSpinBox::valueChanged, this, position);
    connect(scale_, &QDoubleSpinBox::valueChanged, this, [this](double v) { object_->setScale(float(v)); });
    connect(rotation_, &QDoubleSpinBox::valueChanged, this, [this](double v) { object_->setZRotation(float(v)); });
    connect(height_, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { object_->setHeightOverTerrain(float(v)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Done"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("done"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MeshObjectOptionsSheet::finish);
    layout->addWidget(buttons);
}

void MeshObjectOptionsSheet::finish() {
    if (closed_) return;
    closed_ = true;
    // A name still being typed counts.
    if (nameField_) Q_EMIT nameField_->editingFinished();
    close();
    deleteLater();
}

void MeshObjectOptionsSheet::reject() { finish(); }

}  // namespace korvane
