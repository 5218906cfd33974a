#include "app/editors/mesh/MeshLibrarySheet.h"

#include <map>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/render/RenderImages.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObjectFile.h"
#include "scene/layers/mesh/MeshObjectLibrary.h"

namespace korvane {

namespace {
constexpr QSize kMinimumSheetSize(300, 300);
constexpr QSize kMaximumSheetSize(2000, 2000);
constexpr QSize kDefaultSheetSize(520, 420);
constexpr int kThumbnailSide = 96;

// The library's images by file path, read once per run.
std::map<std::string, QImage>& thumbnailCache() {
    static std::map<std::string, QImage> cache;
    return cache;
}
}  // namespace

MeshLibrarySheetBrowserItem::MeshLibrarySheetBrowserItem(std::string path, const std::string& title,
                                                         QListWidget* browser)
    : QListWidgetItem(QString::fromStdString(title), browser), path_(std::move(path)) {}

QImage MeshLibrarySheetBrowserItem::image() const {
    auto& cache = thumbnailCache();
    auto found = cache.find(path_);
    if (found == cache.end()) {
        std::string error;
        QImage image;
        if (const auto object = readMeshObjectFile(path_, &error); object && object->isometricThumbnail()) {
            image = qImageFromRenderBitmap(*object->isometricThumbnail());
        }
        found = cache.emplace(path_, image).first;
    }
    return found->second;
}

QVariant MeshLibrarySheetBrowserItem::data(int role) const {
    if (role == Qt::DecorationRole) {
        const QImage thumbnail = image();
        if (thumbnail.isNull()) return {};
        return QPixmap::fromImage(
            thumbnail.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    return QListWidgetItem::data(role);
}

MeshLibrarySheet::MeshLibrarySheet(MeshLayer& layer, QString folder, QWidget* parent)
    : BaseSheet(parent), layer_(layer), folder_(std::move(folder)) {
    if (folder_.isEmpty()) {
        if (const auto library = meshLibraryFolder()) folder_ = QString::fromStdString(*library);
    }
}

void MeshLibrarySheet::buildInterface() {
    setSizeGripEnabled(true);
    setMinimumSize(kMinimumSheetSize);
    setMaximumSize(kMaximumSheetSize);
    resize(kDefaultSheetSize);
    auto* layout = new QVBoxLayout(this);
    browser_ = new QListWidget;
    browser_->setObjectName(QStringLiteral("LibraryBrowser"));
    browser_->setViewMode(QListView::IconMode);
    browser_->setResizeMode(QListView::Adjust);
    browser_->setMovement(QListView::Static);
    browser_->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    browser_->setGridSize(QSize(kThumbnailSide + 24, kThumbnailSide + 32));
    browser_->setUniformItemSizes(true);
    browser_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const MeshLibraryEntry& entry : meshLibraryEntries(folder_.toStdString())) {
        new MeshLibrarySheetBrowserItem(entry.path, entry.name, browser_);
    }
    connect(browser_, &QListWidget::itemDoubleClicked, this, &MeshLibrarySheet::add);
    layout->addWidget(browser_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* addButton = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    addButton->setObjectName(QStringLiteral("add"));
    addButton->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MeshLibrarySheet::add);
    connect(buttons, &QDialogButtonBox::rejected, this, &MeshLibrarySheet::cancel);
    layout->addWidget(buttons);
}

void MeshLibrarySheet::add() {
    if (closed_ || !browser_) return;
    const QList<QListWidgetItem*> selected = browser_->selectedItems();
    if (selected.isEmpty()) return;
    const auto* item = static_cast<const MeshLibrarySheetBrowserItem*>(selected.front());
    const std::string name = item->text().toStdString();
    std::string error;
    std::shared_ptr<MeshObject> object = objectFromLibraryEntry({item->path(), name}, &error);
    if (!object) {
        auto* message = new QMessageBox(QMessageBox::Warning, QStringLiteral("The object could not be added"),
                                        QStringLiteral("%1: %2").arg(QString::fromStdString(item->path()),
                                                                     QString::fromStdString(error)),
                                        QMessageBox::Ok, this);
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->open();
        return;
    }
    layer_.addMeshObject(object);
    finish();
}

void MeshLibrarySheet::cancel() { finish(); }

void MeshLibrarySheet::reject() { cancel(); }

void MeshLibrarySheet::finish() {
    if (closed_) return;
    closed_ = true;
    close();
    deleteLater();
}

}  // namespace korvane
