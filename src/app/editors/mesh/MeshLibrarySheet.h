#pragma once

#include <memory>
#include <string>

#include <QImage>
#include <QListWidgetItem>
#include <QString>

#include "app/sheets/BaseSheet.h"

class QListWidget;

namespace korvane {

class MeshLayer;

// One object file of the library as the browser shows it: the path is its identity, the file name
// without extension its title, and the object's isometric thumbnail its image, read from the file
// the first time the item is drawn and kept for every later sheet. Main thread.
class MeshLibrarySheetBrowserItem final : public QListWidgetItem {
public:
    MeshLibrarySheetBrowserItem(std::string path, const std::string& title, QListWidget* browser);

    const std::string& path() const { return path_; }
    // Reads the image on first use (an unreadable file gives a null image, also kept).
    QImage image() const;
    QVariant data(int role) const override;

private:
    std::string path_;
};

// "Library": the prepared objects of the "MeshObjectLibrary" resource folder (searched
// recursively) in an image browser. Add, or a double click, adds the selected object to the layer
// at the plan's standard place with scale 1 and no rotation and closes the sheet; without a
// selection nothing happens. The sheet deletes itself once closed. Main thread.
class MeshLibrarySheet final : public BaseSheet {
    Q_OBJECT
public:
    // The layer must outlive the sheet. `folder` empty: the application's library folder.
    explicit MeshLibrarySheet(MeshLayer& layer, QString folder = QString(), QWidget* parent = nullptr);

    static constexpr const char* kTitle = "Library";
    QString title() const override { return QString::fromUtf8(kTitle); }

    QListWidget* browser() const { return browser_; }
    void add();
    void cancel();

protected:
    void buildInterface() override;
    void reject() override;

private:
    void finish();

    MeshLayer& layer_;
    QString folder_;
    QListWidget* browser_ = nullptr;
    bool closed_ = false;
};

}  // namespace korvane
