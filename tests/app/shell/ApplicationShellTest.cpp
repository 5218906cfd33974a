#include <QFile>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/document/MainWindow.h"
#include "app/document/MyDocument.h"
#include "app/shell/MyDocumentController.h"
#include "app/shell/StartupWindowController.h"

namespace korvane {
namespace {

class ApplicationShellTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        StartupWindowController::shared().hide();
    }
    void TearDown() override {
        controller.reset();
        StartupWindowController::shared().hide();
    }
    // A saved document on disk, noted as the most recent one.
    QString savedDocument(const QString& name) {
        const QString path = folder.filePath(name);
        MyDocument document;
        QString error;
        EXPECT_TRUE(document.saveToFile(path, &error)) << error.toStdString();
        controller->noteNewRecentDocument(path);
        return path;
    }

    QTemporaryDir folder;
    std::unique_ptr<MyDocumentController> controller = std::make_unique<MyDocumentController>();
};

TEST_F(ApplicationShellTest, WithoutStartupActionLaunchShowsTheStartupWindowEvenWithRecentDocuments) {
    savedDocument(QStringLiteral("Recent.korvane"));
    controller->applicationDidFinishLaunching();
    EXPECT_TRUE(controller->documentWindows().isEmpty());
    EXPECT_TRUE(StartupWindowController::shared().isVisible());
    EXPECT_FALSE(MyDocumentController::applicationShouldOpenUntitledFile());
}

TEST_F(ApplicationShellTest, StartupActionReopensTheMostRecentDocumentOrMakesANewOne) {
    UserDefaults::standard().setInteger(MyDocumentController::kStartupActionKey, 1);
    EXPECT_TRUE(MyDocumentController::applicationShouldOpenUntitledFile());
    const QString path = savedDocument(QStringLiteral("Recent.korvane"));
    EXPECT_FALSE(MyDocumentController::applicationShouldOpenUntitledFile());
    controller->applicationDidFinishLaunching();
    ASSERT_EQ(controller->documentWindows().size(), 1);
    EXPECT_EQ(controller->documentWindows().first()->document().fileName(), path);
    EXPECT_FALSE(StartupWindowController::shared().isVisible());

    // No recent document left: a new untitled scene opens in its place.
    controller = std::make_unique<MyDocumentController>();
    QFile::remove(path);
    controller->applicationDidFinishLaunching();
    ASSERT_EQ(controller->documentWindows().size(), 1);
    EXPECT_TRUE(controller->documentWindows().first()->document().fileName().isEmpty());
    EXPECT_FALSE(StartupWindowController::shared().isVisible());
}

TEST_F(ApplicationShellTest, SampleScenesAreListedWithPreviewsAndOpenAsUntitledCopiesOutsideTheRecentList) {
    StartupWindowController::shared().show();
    QMenu* samples = StartupWindowController::shared().sampleScenesMenu();
    ASSERT_EQ(samples->actions().size(), 4);
    EXPECT_EQ(samples->actions().first()->text(), QStringLiteral("Alpine Lake"));
    for (QAction* item : samples->actions()) EXPECT_FALSE(item->icon().isNull()) << item->text().toStdString();

    samples->actions().first()->trigger();
    ASSERT_EQ(controller->documentWindows().size(), 1);
    MainWindow* window = controller->documentWindows().first();
    EXPECT_TRUE(window->document().fileName().isEmpty());
    MyDocument sample;
    ASSERT_TRUE(sample.readFromFile(test::sampleScenePath(), nullptr));
    EXPECT_EQ(window->document().scene().layers().size(), sample.scene().layers().size());
    EXPECT_EQ(window->document().scene().maxTerrainHeight(), sample.scene().maxTerrainHeight());
    EXPECT_TRUE(controller->recentDocuments().isEmpty());
    EXPECT_FALSE(StartupWindowController::shared().isVisible());
    // Opening the sample by its path keeps it out of the list too.
    controller->noteNewRecentDocument(test::sampleScenePath("Red Canyon"));
    EXPECT_TRUE(controller->recentDocuments().isEmpty());
}

TEST_F(ApplicationShellTest, TheStartupWindowComesBackAfterTheLastDocumentCloses) {
    MainWindow* first = controller->newDocument();
    MainWindow* second = controller->newDocument();
    EXPECT_FALSE(StartupWindowController::shared().isVisible());
    first->close();
    QTest::qWait(200);
    EXPECT_FALSE(StartupWindowController::shared().isVisible());
    second->close();
    EXPECT_FALSE(StartupWindowController::shared().isVisible());  // not before the delay
    EXPECT_TRUE(QTest::qWaitFor([] { return StartupWindowController::shared().isVisible(); }, 2000));
    EXPECT_TRUE(controller->documentWindows().isEmpty());
}

TEST_F(ApplicationShellTest, AFileThatFailsToOpenNamesTheFileAndLeavesNoWindow) {
    const QString path = folder.filePath(QStringLiteral("Broken.korvane"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a scene at all");
    file.close();
    EXPECT_EQ(controller->openDocument(path), nullptr);
    EXPECT_TRUE(controller->documentWindows().isEmpty());
    EXPECT_TRUE(controller->lastOpenError().contains(QStringLiteral("Broken.korvane")));
    EXPECT_TRUE(controller->recentDocuments().isEmpty());
    EXPECT_EQ(controller->openDocument(folder.filePath(QStringLiteral("Missing.korvane"))), nullptr);
    EXPECT_TRUE(controller->lastOpenError().contains(QStringLiteral("Missing.korvane")));
}

TEST_F(ApplicationShellTest, OpeningAnOpenDocumentAgainReusesItsWindowAndNotesItFirstInRecent) {
    const QString older = savedDocument(QStringLiteral("Older.korvane"));
    const QString newer = savedDocument(QStringLiteral("Newer.korvane"));
    EXPECT_EQ(controller->recentDocuments(), (QStringList{newer, older}));
    MainWindow* window = controller->openDocument(older);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(controller->openDocument(older), window);
    EXPECT_EQ(controller->documentWindows().size(), 1);
    EXPECT_EQ(controller->recentDocuments().first(), older);
}

}  // namespace
}  // namespace korvane
