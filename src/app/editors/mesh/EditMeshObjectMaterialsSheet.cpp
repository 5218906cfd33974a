#include "app/editors/mesh/EditMeshObjectMaterialsSheet.h"

#include <algorithm>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/editors/mesh/MeshObjectThumbnails.h"
#include "app/render/RenderImages.h"
#include "app/sheets/material/EditMaterialSheet.h"
#include "scene/Scene.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {
constexpr QSize kSheetSize(360, 320);
constexpr int kSwatchSide = 24;
}  // namespace

EditMeshObjectMaterialsSheet::EditMeshObjectMaterialsSheet(std::shared_ptr<MeshObject> object, Scene& scene,
                                                           QWidget* parent)
    : BaseSheet(parent), object_(std::move(object)), scene_(scene) {}

void EditMeshObjectMaterialsSheet::buildInterface() {
    resize(kSheetSize);
    auto* layout = new QVBoxLayout(this);
    table_ = new QListWidget;
    table_->setObjectName(QStringLiteral("MaterialsTable"));
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setIconSize(QSize(kSwatchSide, kSwatchSide));
    connect(table_, &QListWidget::itemSelectionChanged, this, &EditMeshObjectMaterialsSheet::tableSelectionChanged);
    connect(table_, &QListWidget::itemDoubleClicked, this, &EditMeshObjectMaterialsSheet::editMaterial);
    layout->addWidget(table_, 1);

    auto* row = new QHBoxLayout;
    auto* edit = new QPushButton(QStringLiteral("Edit…"));
    edit->setObjectName(QStringLiteral("edit"));
    auto* merge = new QPushButton(QStringLiteral("Merge"));
    merge->setObjectName(QStringLiteral("merge"));
    merge->setToolTip(QStringLiteral("Gives the faces of the other selected materials to the first one selected"));
    connect(edit, &QPushButton::clicked, this, &EditMeshObjectMaterialsSheet::editMaterial);
    connect(merge, &QPushButton::clicked, this, &EditMeshObjectMaterialsSheet::mergeMaterials);
    row->addWidget(edit);
    row->addWidget(merge);
    row->addStretch(1);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Done"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("done"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditMeshObjectMaterialsSheet::finish);
    layout->addWidget(buttons);
    reloadTable();
}

void EditMeshObjectMaterialsSheet::reloadTable() {
    const QSignalBlocker blocker(table_);
    table_->clear();
    for (const auto& material : object_->materials()) {
        const QImage swatch = qImageFromRenderBitmap(material->icon());
        auto* item = new QListWidgetItem(QString::fromStdString(material->name()), table_);
        if (!swatch.isNull()) item->setIcon(QIcon(QPixmap::fromImage(swatch)));
    }
    selection_.clear();
}

void EditMeshObjectMaterialsSheet::tableSelectionChanged() {
    const auto& materials = object_->materials();
    std::vector<std::shared_ptr<DiffuseMaterial>> selectedNow;
    for (int row = 0; row < table_->count() && row < static_cast<int>(materials.size()); ++row) {
        if (table_->item(row)->isSelected()) selectedNow.push_back(materials[row]);
    }
    // Keep the earlier selections in their order, drop the deselected, append the new ones.
    std::erase_if(selection_, [&](const auto& m) {
        return std::find(selectedNow.begin(), selectedNow.end(), m) == selectedNow.end();
    });
    for (const auto& m : selectedNow) {
        if (std::find(selection_.begin(), selection_.end(), m) == selection_.end()) selection_.push_back(m);
    }
}

void EditMeshObjectMaterialsSheet::editMaterial() {
    if (selection_.empty()) return;
    openEditMaterialSheet(selection_.front(), scene_, this, this);
}

void EditMeshObjectMaterialsSheet::sheetWillClose(BaseSheet&) {
    const auto selected = selection_;
    reloadTable();
    const auto& materials = object_->materials();
    for (int row = 0; row < table_->count() && row < static_cast<int>(materials.size()); ++row) {
        if (std::find(selected.begin(), selected.end(), materials[row]) != selected.end()) table_->item(row)->setSelected(true);
    }
}

void EditMeshObjectMaterialsSheet::mergeMaterials() {
    if (selection_.size() < 2) {
        QApplication::beep();
        Q_EMIT beeped();
        return;
    }
    const auto kept = selection_.front();
    for (size_t i = 1; i < selection_.size(); ++i) object_->mergeMaterial(kept, selection_[i]);
    reloadTable();
    const auto& materials = object_->materials();
    const auto row = std::find(materials.begin(), materials.end(), kept) - materials.begin();
    if (row < table_->count()) table_->item(static_cast<int>(row))->setSelected(true);
}

void EditMeshObjectMaterialsSheet::finish() {
    if (closed_) return;
    closed_ = true;
    close();
    regenerateMeshObjectThumbnails(object_);
    deleteLater();
}

void EditMeshObjectMaterialsSheet::reject() { finish(); }

}  // namespace korvane
