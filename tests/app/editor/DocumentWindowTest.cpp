#include <QAction>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MainWindow.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditViewController.h"
#include "app/editor/EditViewFunctionsList.h"
#include "app/editor/EditorPlaceholderView.h"
#include "app/render/RenderViewController.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/smallobjects/PlantsLayer.h"

namespace korvane {
namespace {

// Records the show/hide calls it receives into a shared log.
class RecordingViewController final : public BaseViewController {
public:
    RecordingViewController(MyDocument* document, QString name, std::vector<QString>* log)
        : BaseViewController(document), name_(std::move(name)), log_(log), action_(new QAction(name_, this)) {}
    void viewControllerWillShow() override { log_->push_back(name_ + " willShow"); }
    void viewControllerDidShow() override { log_->push_back(name_ + " didShow"); }
    void viewControllerWillHide() override { log_->push_back(name_ + " willHide"); }
    void viewControllerDidHide() override { log_->push_back(name_ + " didHide"); }
    QList<ToolbarItem> defaultToolbarItems() override { return {{name_ + "Item", ToolbarItem::Kind::Action, action_}}; }

private:
    QString name_;
    std::vector<QString>* log_;
    QAction* action_;
};

// A layer whose editor class does not exist.
class LayerWithUnknownEditor final : public BaseSceneLayer {
public:
    using BaseSceneLayer::BaseSceneLayer;
    std::string name() const override { return "Survey Grid"; }
    std::string editLayerClassName() const override { return "EditSurveyGridLayerViewController"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<LayerWithUnknownEditor>(); }
    std::string archiveClassName() const override { return "LayerWithUnknownEditor"; }
};

class DocumentWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        window = std::make_unique<MainWindow>(std::make_unique<MyDocument>());
    }
    // Ends the current event, as the event loop does between two clicks: the undo manager closes
    // the group of everything registered during it.
    static void endEvent() { QCoreApplication::processEvents(); }
    EditViewController& editor() { return *window->editViewController(); }
    EditViewFunctionsList& list() { return *editor().functionsList(); }
    QStringList listedNames() {
        QStringList names;
        for (int row = 0; row < list().count(); ++row) names.append(list().item(row)->text());
        return names;
    }
    int rowOf(const BaseSceneLayer* layer) {
        for (int row = 0; row < list().count(); ++row) {
            if (list().layerAt(row).get() == layer) return row;
        }
        return -1;
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(DocumentWindowTest, SwitchingHidesTheOldControllerBeforeShowingTheNewAndTakesItsToolbar) {
    window->show();
    std::vector<QString> log;
    RecordingViewController first(&window->document(), QStringLiteral("First"), &log);
    RecordingViewController second(&window->document(), QStringLiteral("Second"), &log);
    window->setCurrentViewController(&first);
    log.clear();
    window->setCurrentViewController(&second);
    EXPECT_EQ(log, (std::vector<QString>{"First willHide", "First didHide", "Second willShow", "Second didShow"}));
    EXPECT_EQ(window->currentViewController(), &second);
    ASSERT_NE(window->currentToolBar(), nullptr);
    ASSERT_EQ(window->currentToolBar()->actions().size(), 1);
    EXPECT_EQ(window->currentToolBar()->actions().first()->text(), QStringLiteral("Second"));
    // The faded view is hidden once the fade is over.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first.isVisible(); }, 2000));
    window->setCurrentViewController(nullptr);
}

TEST_F(DocumentWindowTest, TheEditorListsTheDefaultLayersInTheirOrderWithTheEditorToolbar) {
    EXPECT_EQ(listedNames(), (QStringList{"Terrain Elevation", "Terrain Materials", "Water", "Lighting", "Sky", "Clouds",
                                          "Fog & Haze", "Camera"}));
    QStringList identifiers;
    for (const ToolbarItem& item : editor().defaultToolbarItems()) identifiers.append(item.identifier);
    EXPECT_EQ(identifiers, (QStringList{"AddPlantsLayer", "AddRocksLayer", "AddObjectsLayer", "RemoveLayer",
                                        "FlexibleSpace", "StartPreviewRender", "StartRender"}));
    EXPECT_EQ(window->currentViewController(), &editor());
    EXPECT_FALSE(window->printAction()->isEnabled());
}

TEST_F(DocumentWindowTest, TheCameraCannotBeRemovedButAPlantsLayerCanAndUndoPutsItBack) {
    Scene& scene = window->document().scene();
    const auto camera = scene.layersOfClass<CameraLayer>().front();
    list().selectLayer(camera.get());
    window->validateMenus();
    QAction* remove = editor().toolbarAction(QStringLiteral("RemoveLayer"));
    EXPECT_FALSE(remove->isEnabled());
    remove->trigger();
    EXPECT_EQ(scene.layersOfClass<CameraLayer>().size(), 1u);

    editor().toolbarAction(QStringLiteral("AddPlantsLayer"))->trigger();
    endEvent();
    ASSERT_EQ(scene.layersOfClass<PlantsLayer>().size(), 1u);
    const auto plants = scene.layersOfClass<PlantsLayer>().front();
    EXPECT_EQ(list().lastSelectedLayer(), plants);
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_TRUE(window->isWindowModified());

    remove->trigger();
    endEvent();
    EXPECT_TRUE(scene.layersOfClass<PlantsLayer>().empty());
    EXPECT_EQ(rowOf(plants.get()), -1);
    EXPECT_EQ(window->undoAction()->text(), QStringLiteral("&Undo Remove Layer"));
    window->undoAction()->trigger();
    ASSERT_EQ(scene.layersOfClass<PlantsLayer>().size(), 1u);
    EXPECT_EQ(scene.layers().back(), plants);
    EXPECT_GE(rowOf(plants.get()), 0);
    EXPECT_TRUE(window->redoAction()->isEnabled());
}

TEST_F(DocumentWindowTest, RemovingSeveralSelectedLayersKeepsTheOnesThatCannotBeDeleted) {
    Scene& scene = window->document().scene();
    editor().addPlantsLayer();
    editor().addRocksLayer();
    endEvent();
    const size_t before = scene.layers().size();
    list().selectAll();
    list().setCurrentRow(list().count() - 1, QItemSelectionModel::Select);  // the rocks, deletable, last
    editor().removeLayer();
    endEvent();
    EXPECT_EQ(scene.layers().size(), before - 2);
    window->undo();
    EXPECT_EQ(scene.layers().size(), before);
}

TEST_F(DocumentWindowTest, EveryLayerHasItsEditorAndAnUnknownEditorShowsAPlaceholderNamingTheLayer) {
    editor().addPlantsLayer();
    editor().addMeshLayer();
    for (const auto& layer : window->document().scene().layers()) {
        list().selectLayer(layer.get());
        ASSERT_NE(editor().currentEditLayerController(), nullptr) << layer->name();
        EXPECT_EQ(dynamic_cast<EditorPlaceholderView*>(editor().currentEditLayerController()), nullptr) << layer->name();
        EXPECT_EQ(editor().currentEditLayerController()->layer(), layer.get());
    }
    const auto unknown = std::make_shared<LayerWithUnknownEditor>(&window->document().scene());
    window->document().scene().addLayer(unknown);
    list().selectLayer(unknown.get());
    auto* placeholder = dynamic_cast<EditorPlaceholderView*>(editor().currentEditLayerController());
    ASSERT_NE(placeholder, nullptr);
    EXPECT_TRUE(placeholder->message().contains(QStringLiteral("Survey Grid")));
}

TEST_F(DocumentWindowTest, TheRenderViewHasItsOwnToolbarAndTheEditorComesBack) {
    window->show();
    window->setCurrentViewController(window->renderViewController());
    QStringList labels;
    for (QAction* action : window->currentToolBar()->actions()) {
        if (!action->text().isEmpty()) labels.append(action->text());
    }
    EXPECT_TRUE(labels.contains(QStringLiteral("Render Settings…")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Back to Edit…")));
    EXPECT_FALSE(window->printAction()->isEnabled());  // nothing rendered yet
    window->setCurrentViewController(window->editViewController());
    EXPECT_EQ(window->currentToolBar()->objectName(), QStringLiteral("EditViewController"));
}

TEST_F(DocumentWindowTest, SavingClearsTheModifiedMarkAndNamesTheWindowAfterTheFile) {
    QTemporaryDir folder;
    editor().addPlantsLayer();
    EXPECT_TRUE(window->isWindowModified());
    ASSERT_TRUE(window->saveDocumentTo(folder.filePath(QStringLiteral("Valley"))));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_TRUE(window->document().fileName().endsWith(QStringLiteral("Valley.korvane")));
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Valley")));
    // A failed save keeps the document's file and its changes.
    editor().addRocksLayer();
    EXPECT_FALSE(window->saveDocumentTo(QStringLiteral("/nonexistent-folder/Other.korvane")));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(window->document().fileName().endsWith(QStringLiteral("Valley.korvane")));
}

}  // namespace
}  // namespace korvane
