// The mesh editor through its widgets: the list and the map sharing a selection, the handles'
// drag rules with real mouse events, adding from the library and from 3DS files (through the
// child-process importer), duplicate and remove, and the materials and options sheets.
#include <filesystem>
#include <fstream>

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditLayerControllerRegistry.h"
#include "app/editors/mesh/EditMeshLayerSceneView.h"
#include "app/editors/mesh/EditMeshLayerViewController.h"
#include "app/editors/mesh/EditMeshObjectMaterialsSheet.h"
#include "app/editors/mesh/MeshLibrarySheet.h"
#include "app/editors/mesh/MeshObjectOptionsSheet.h"
#include "scene/layers/mesh/MeshEditorGeometry.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"
#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane {
namespace {

using MeshEditorGeometry::DragKind;

// A box from `low` to `high` in the file's coordinates (z up), its faces using `material`.
ThreeDSMesh box(std::array<float, 3> low, std::array<float, 3> high, int material) {
    ThreeDSMesh mesh;
    mesh.name = "box";
    for (int corner = 0; corner < 8; ++corner) {
        mesh.points.push_back({corner & 1 ? high[0] : low[0], corner & 2 ? high[1] : low[1], corner & 4 ? high[2] : low[2]});
    }
    const uint32_t quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& q : quads) {
        mesh.faces.push_back({{q[0], q[1], q[2]}, material});
        mesh.faces.push_back({{q[0], q[2], q[3]}, material});
    }
    return mesh;
}

// Three boxes side by side, each with its own material.
ThreeDSFile threeMaterialShed() {
    ThreeDSFile file;
    for (int i = 0; i < 3; ++i) {
        file.materials.push_back({"Material " + std::to_string(i), {0.2f * float(i + 1), 0.5f, 0.5f}, 0});
        file.meshes.push_back(box({float(i), 0, 0}, {float(i) + 1, 2, 1}, i));
    }
    return file;
}

class MeshEditorTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        layer = std::make_shared<MeshLayer>(&document.scene());
        document.scene().addLayer(layer);
        editor.reset(static_cast<EditMeshLayerViewController*>(EditLayerControllerRegistry::shared().createEditor(
            "EditMeshLayerViewController", layer, &document, nullptr)));
        ASSERT_NE(editor, nullptr);
        editor->resize(900, 700);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        view = editor->sceneView();
        editor->setImporterExecutable(KORVANE_BINARY_DIR "/bin/korvane");
    }

    std::shared_ptr<MeshObject> addShed(Point position = {5, 5}) {
        auto object = std::make_shared<MeshObject>();
        object->appendThreeDSContents(threeMaterialShed());
        object->setUserName("Shed");
        object->setPosition(position);
        layer->addMeshObject(object);
        QCoreApplication::processEvents();
        return object;
    }

    Point viewPointOf(const MeshObject& object) const { return view->convertScenePointToViewPoint(object.position()); }

    void mouse(QEvent::Type type, Point at, Qt::MouseButtons buttons) {
        const QPointF local(at.x, at.y);
        QMouseEvent event(type, local, view->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    void press(Point at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void drag(Point to) { mouse(QEvent::MouseMove, to, Qt::LeftButton); }
    void release(Point at) {
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
        QCoreApplication::processEvents();
    }
    static Point centreOf(const Rect& r) { return {r.midX(), r.midY()}; }

    MyDocument document;
    std::shared_ptr<MeshLayer> layer;
    std::unique_ptr<EditMeshLayerViewController> editor;
    EditMeshLayerSceneView* view = nullptr;
};

TEST_F(MeshEditorTest, TheSizeAndRotateHandlesFollowTheirDragRules) {
    const auto shed = addShed();
    // An added object becomes the selection, in the list and on the map.
    ASSERT_EQ(editor->selectedObjects(), std::vector<std::shared_ptr<MeshObject>>{shed});
    EXPECT_TRUE(view->isSelected(shed.get()));
    const Point centre = viewPointOf(*shed);
    const auto placement = view->placements().front();

    press(centreOf(MeshEditorGeometry::sizeHandleRect(placement, view->rectForScene(), document.scene().size())));
    EXPECT_EQ(view->dragKind(), DragKind::Resize);
    drag({centre.x, centre.y + 250});
    EXPECT_FLOAT_EQ(shed->scale(), 5.0f);
    drag({centre.x + 30, centre.y - 40});
    EXPECT_FLOAT_EQ(shed->scale(), 0.1f);
    // (At scale 2 the size handle would lie on the rotate handle and win the press.)
    drag({centre.x, centre.y + 150});
    EXPECT_FLOAT_EQ(shed->scale(), 3.0f);
    release({centre.x, centre.y + 150});
    EXPECT_FALSE(view->dragKind().has_value());
    EXPECT_EQ(shed->position(), (Point{5, 5}));

    const auto rotated = view->placements().front();
    press(centreOf(MeshEditorGeometry::rotateHandleRect(rotated, view->rectForScene(), document.scene().size())));
    EXPECT_EQ(view->dragKind(), DragKind::Rotate);
    drag({centre.x + 100, centre.y});
    EXPECT_NEAR(shed->zRotation(), 270.0f, 1e-3f);
    drag({centre.x, centre.y + 100});
    EXPECT_NEAR(shed->zRotation(), 0.0f, 1e-3f);
    release({centre.x, centre.y + 100});
    EXPECT_FLOAT_EQ(shed->scale(), 3.0f);
}

TEST_F(MeshEditorTest, APressOnAnObjectSelectsItAloneAndMovesItAndAPressBesideChangesNothing) {
    const auto first = addShed({3, 3});
    const auto second = addShed({7, 7});
    ASSERT_EQ(editor->selectedObjects(), std::vector<std::shared_ptr<MeshObject>>{second});
    const Point at = viewPointOf(*first);
    press(at);
    EXPECT_EQ(view->dragKind(), DragKind::Move);
    EXPECT_EQ(editor->selectedObjects(), std::vector<std::shared_ptr<MeshObject>>{first});
    EXPECT_TRUE(editor->objectsList()->item(0)->isSelected());
    EXPECT_FALSE(editor->objectsList()->item(1)->isSelected());
    // The object keeps its place under the pointer: moving by one unit's worth of points moves it one unit.
    const double unit = view->rectForScene().size.width / document.scene().size().width;
    drag({at.x + unit, at.y});
    release({at.x + unit, at.y});
    EXPECT_NEAR(first->position().x, 4.0, 1e-6);
    EXPECT_NEAR(first->position().y, 3.0, 1e-6);

    // A press on no object neither selects nor drags.
    const Point corner = view->convertScenePointToViewPoint({9.8, 0.2});
    press(corner);
    EXPECT_FALSE(view->dragKind().has_value());
    release(corner);
    EXPECT_EQ(editor->selectedObjects(), std::vector<std::shared_ptr<MeshObject>>{first});
    // Selecting in the list shows on the map.
    editor->objectsList()->item(1)->setSelected(true);
    EXPECT_TRUE(view->isSelected(second.get()));
}

TEST_F(MeshEditorTest, DuplicateMakesAnIndependentCopyOverTheOriginalAndRemoveTakesTheLastSelected) {
    const auto shed = addShed({2, 8});
    shed->setScale(1.5f);
    shed->setZRotation(30.0f);
    editor->findChild<QPushButton*>(QStringLiteral("DuplicateMeshObject"))->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(layer->meshObjects().size(), 2u);
    const auto copy = layer->meshObjects()[1];
    EXPECT_EQ(copy->meshLayer(), layer.get());
    EXPECT_EQ(copy->userName(), "Shed");
    EXPECT_EQ(copy->position(), shed->position());
    EXPECT_FLOAT_EQ(copy->scale(), 1.5f);
    EXPECT_FLOAT_EQ(copy->zRotation(), 30.0f);
    EXPECT_EQ(copy->bounds(), shed->bounds());
    ASSERT_EQ(copy->meshs().size(), shed->meshs().size());
    EXPECT_NE(copy->meshs().front(), shed->meshs().front());
    EXPECT_NE(copy->materials().front(), shed->materials().front());
    EXPECT_EQ(editor->selectedObjects(), std::vector<std::shared_ptr<MeshObject>>{copy});

    editor->objectsList()->selectAll();
    editor->findChild<QPushButton*>(QStringLiteral("RemoveMeshObject"))->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(layer->meshObjects().size(), 1u);
    EXPECT_EQ(layer->meshObjects().front(), shed);
    EXPECT_EQ(editor->objectsList()->count(), 1);
}

TEST_F(MeshEditorTest, TheLibraryAddsTheChosenObjectAtTheStandardPlace) {
    auto* sheet = new MeshLibrarySheet(*layer);
    sheet->openAsSheetModalForWindow(editor.get());
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Library"));
    QListWidget* browser = sheet->browser();
    ASSERT_GE(browser->count(), 1);
    // Add without a selection does nothing.
    sheet->add();
    EXPECT_TRUE(layer->meshObjects().empty());
    const auto cabins = browser->findItems(QStringLiteral("Cabin"), Qt::MatchExactly);
    ASSERT_EQ(cabins.size(), 1);
    EXPECT_FALSE(static_cast<MeshLibrarySheetBrowserItem*>(cabins.front())->image().isNull());
    cabins.front()->setSelected(true);
    sheet->findChild<QPushButton*>(QStringLiteral("add"))->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(layer->meshObjects().size(), 1u);
    const auto cabin = layer->meshObjects().front();
    EXPECT_EQ(cabin->userName(), "Cabin");
    EXPECT_EQ(cabin->position(), (Point{5.0, 5.0}));
    EXPECT_FLOAT_EQ(cabin->scale(), 1.0f);
    EXPECT_FLOAT_EQ(cabin->zRotation(), 0.0f);
    EXPECT_NE(cabin->topDownThumbnail(), nullptr);
    EXPECT_EQ(editor->objectsList()->item(0)->text(), QStringLiteral("Cabin"));
}

TEST_F(MeshEditorTest, A3DSFileIsImportedInAChildAndAnUnreadableOneIsRefusedWithItsName) {
    QTemporaryDir folder;
    const std::string shedPath = folder.filePath(QStringLiteral("Garden Shed.3ds")).toStdString();
    std::string error;
    ASSERT_TRUE(writeThreeDSFile(threeMaterialShed(), shedPath, &error)) << error;
    QSignalSpy finished(editor.get(), &EditMeshLayerViewController::importFinished);
    editor->import3DSFile(QString::fromStdString(shedPath));
    EXPECT_TRUE(editor->isImporting());
    ASSERT_TRUE(finished.wait(60000));
    ASSERT_EQ(layer->meshObjects().size(), 1u);
    const auto shed = layer->meshObjects().front();
    EXPECT_EQ(shed->userName(), "Garden Shed");
    EXPECT_EQ(shed->meshs().size(), 3u);
    EXPECT_EQ(shed->materials().size(), 3u);
    EXPECT_TRUE(editor->lastImportError().isEmpty());

    const QString notes = folder.filePath(QStringLiteral("Notes.3ds"));
    std::ofstream(notes.toStdString()) << "this is not a 3DS file";
    editor->import3DSFile(notes);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(layer->meshObjects().size(), 1u);
    EXPECT_TRUE(editor->lastImportError().contains(notes)) << editor->lastImportError().toStdString();
    auto* message = editor->findChild<QMessageBox*>(QStringLiteral("ImportError"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->text().contains(notes));
    message->close();
}

TEST_F(MeshEditorTest, MergeBeepsWithOneMaterialAndOtherwiseMergesIntoTheFirstSelected) {
    const auto shed = addShed();
    auto* sheet = new EditMeshObjectMaterialsSheet(shed, document.scene());
    sheet->openAsSheetModalForWindow(editor.get());
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Materials"));
    QListWidget* table = sheet->materialsTable();
    ASSERT_EQ(table->count(), 3);
    const auto materials = shed->materials();
    QSignalSpy beeps(sheet, &EditMeshObjectMaterialsSheet::beeped);
    QPushButton* merge = sheet->findChild<QPushButton*>(QStringLiteral("merge"));
    table->item(1)->setSelected(true);
    merge->click();
    EXPECT_EQ(beeps.count(), 1);
    EXPECT_EQ(shed->materials(), materials);

    // Selected in the order C, A, B: everything goes to C.
    table->clearSelection();
    table->item(2)->setSelected(true);
    table->item(0)->setSelected(true);
    table->item(1)->setSelected(true);
    ASSERT_EQ(sheet->selectedMaterials().front(), materials[2]);
    merge->click();
    EXPECT_EQ(beeps.count(), 1);
    ASSERT_EQ(shed->materials().size(), 1u);
    EXPECT_EQ(shed->materials().front(), materials[2]);
    for (const auto& mesh : shed->meshs()) {
        for (uint32_t f = 0; f < mesh->facesCount(); ++f) EXPECT_EQ(mesh->faces()[f].material, 0);
    }
    EXPECT_EQ(table->count(), 1);
    sheet->finish();
}

TEST_F(MeshEditorTest, TheOptionsSheetEditsTheObjectInPlace) {
    const auto shed = addShed();
    auto* sheet = new MeshObjectOptionsSheet(shed);
    sheet->openAsSheetModalForWindow(editor.get());
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Edit Mesh Object Properties"));
    sheet->scaleField()->setValue(2.5);
    sheet->rotationField()->setValue(45);
    sheet->heightField()->setValue(0.3);
    sheet->positionXField()->setValue(1.5);
    sheet->nameField()->setText(QStringLiteral("Barn"));
    sheet->finish();
    QCoreApplication::processEvents();
    EXPECT_FLOAT_EQ(shed->scale(), 2.5f);
    EXPECT_FLOAT_EQ(shed->zRotation(), 45.0f);
    EXPECT_FLOAT_EQ(shed->heightOverTerrain(), 0.3f);
    EXPECT_EQ(shed->position(), (Point{1.5, 5.0}));
    EXPECT_EQ(shed->userName(), "Barn");
    EXPECT_EQ(editor->objectsList()->item(0)->text(), QStringLiteral("Barn"));
}

}  // namespace
}  // namespace korvane
