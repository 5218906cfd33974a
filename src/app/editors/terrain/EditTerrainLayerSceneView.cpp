#include "app/editors/terrain/EditTerrainLayerSceneView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>

#include "app/sheets/EditSceneSizeSheet.h"
#include "app/sheets/EditTerrainLayerBorderModeSheet.h"
#include "app/sheets/MapFilterSheets.h"
#include "foundation/FileIO.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

namespace {
// Heightmap images larger than this are refused before they are read.
constexpr size_t kMaxImageBytes = size_t{1} << 30;
}  // namespace

EditTerrainLayerSceneView::EditTerrainLayerSceneView(Scene& scene, TerrainLayer& layer, QWidget* parent)
    : EditTerrainLayerSceneView(scene, layer, std::make_unique<TerrainLayerEditTarget>(layer), parent) {}

EditTerrainLayerSceneView::EditTerrainLayerSceneView(Scene& scene, TerrainLayer& layer,
                                                     std::unique_ptr<TerrainLayerEditTarget> target, QWidget* parent)
    : BaseEditMapSceneView(scene, *target, true, parent), layer_(layer), target_(std::move(target)) {
    setObjectName(QStringLiteral("EditTerrainLayerSceneView"));
    QWidget* bar = makeBottomBar();
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(6);
    const std::pair<const char*, void (EditTerrainLayerSceneView::*)()> commands[] = {
        {"Fractal Terrain…", &EditTerrainLayerSceneView::openFractalFilterSheet},
        {"Erode…", &EditTerrainLayerSceneView::openErodeFilterSheet},
        {"Scene Size…", &EditTerrainLayerSceneView::openSceneSizeSheet},
        {"Border && Smoothing…", &EditTerrainLayerSceneView::openBorderOptions},
        {"Load Image…", &EditTerrainLayerSceneView::loadImage},
        {"Save Image…", &EditTerrainLayerSceneView::saveImage},
    };
    for (const auto& [title, slot] : commands) {
        // "&&" shows one ampersand (a single one would mark a keyboard mnemonic).
        auto* button = new QPushButton(QString::fromUtf8(title));
        button->setFlat(false);
        connect(button, &QPushButton::clicked, this, slot);
        row->addWidget(button);
    }
    row->addStretch(1);
}

QPushButton* EditTerrainLayerSceneView::bottomBarButton(const QString& title) const {
    for (QPushButton* button : bottomBar()->findChildren<QPushButton*>()) {
        if (button->text().replace(QStringLiteral("&&"), QStringLiteral("&")) == title) return button;
    }
    return nullptr;
}

void EditTerrainLayerSceneView::openFractalFilterSheet() {
    if (Bitmap* map = target_->imageRepToEdit()) openFilterSheet(MapFilterKind::FractalTerrain, *map, &controller(), window());
}

void EditTerrainLayerSceneView::openErodeFilterSheet() {
    if (Bitmap* map = target_->imageRepToEdit()) openFilterSheet(MapFilterKind::Erode, *map, &controller(), window());
}

void EditTerrainLayerSceneView::openSceneSizeSheet() { korvane::openSceneSizeSheet(scene(), window()); }

void EditTerrainLayerSceneView::openBorderOptions() { openBorderSmoothingSheet(layer_, window()); }

void EditTerrainLayerSceneView::loadImage() {
    const QString path = QFileDialog::getOpenFileName(window(), QStringLiteral("Load Heightmap Image"), QString(),
                                                      QStringLiteral("Images (*.png *.jpg *.jpeg *.tiff *.tif)"));
    if (path.isEmpty()) return;
    QString error;
    if (!loadImageFromFile(path, &error)) QMessageBox::warning(window(), QStringLiteral("Load Image"), error);
}

bool EditTerrainLayerSceneView::loadImageFromFile(const QString& path, QString* error) {
    std::string reason;
    std::optional<std::vector<uint8_t>> bytes = readFileContents(path.toStdString(), kMaxImageBytes, &reason);
    if (bytes && layer_.importHeightmap(*bytes, &reason)) {
        setHeightmapDisplayNeedsUpdate();
        update();
        return true;
    }
    if (error) *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(reason));
    return false;
}

void EditTerrainLayerSceneView::saveImage() {
    QString path = QFileDialog::getSaveFileName(window(), QStringLiteral("Save Heightmap Image"),
                                                QStringLiteral("Heightmap.png"), QStringLiteral("PNG images (*.png)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
    QString error;
    if (!saveImageToFile(path, &error)) QMessageBox::warning(window(), QStringLiteral("Save Image"), error);
}

bool EditTerrainLayerSceneView::saveImageToFile(const QString& path, QString* error) {
    const std::vector<uint8_t> png = layer_.exportHeightmapPng();
    std::string reason = "the terrain has no heightmap";
    // Written atomically: a failed save leaves an existing file as it was.
    if (!png.empty() && writeFileAtomically(path.toStdString(), png, &reason)) return true;
    if (error) *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(reason));
    return false;
}

}  // namespace korvane
