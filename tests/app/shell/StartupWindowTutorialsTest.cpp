// The start-up window's "Tutorials" pop-up follows the shared tutorials controller: enabled with a
// menu once the index arrives from the service, disabled when fetching it fails or no service is set.
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/network/LocalHttpServer.h"
#include "app/shell/ServiceConfiguration.h"
#include "app/shell/StartupWindowController.h"
#include "app/shell/TutorialsController.h"

namespace korvane {
namespace {

const QByteArray kTwoTutorials = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
<dict><key>name</key><string>Your First Valley</string><key>url</key><string>http://127.0.0.1/1.html</string></dict>
<dict><key>name</key><string>Light and Haze</string><key>url</key><string>http://127.0.0.1/2.html</string></dict>
</array></plist>
)";

class StartupWindowTutorialsTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetUserDefaults();
        tutorials().resetForTesting();
        startup().show();
    }
    void TearDown() override {
        startup().hide();
        tutorials().resetForTesting();
        qunsetenv(kServiceBaseUrlEnvironmentVariable);
    }
    static TutorialsController& tutorials() { return TutorialsController::sharedTutorialsController(); }
    static StartupWindowController& startup() { return StartupWindowController::shared(); }
    static QPushButton* button() { return startup().tutorialsButton(); }

    nettest::LocalHttpServer server;
};

TEST_F(StartupWindowTutorialsTest, TheIndexFromTheServiceEnablesThePopUpWithOneItemPerTutorial) {
    ASSERT_TRUE(server.isListening());
    server.respondWith(200, kTwoTutorials);
    qputenv(kServiceBaseUrlEnvironmentVariable, server.baseUrl().toEncoded());
    EXPECT_FALSE(button()->isEnabled());
    tutorials().startQueryTutorials();
    ASSERT_TRUE(QTest::qWaitFor([] { return button()->isEnabled(); }, 5000));
    ASSERT_NE(button()->menu(), nullptr);
    QStringList titles;
    for (QAction* item : button()->menu()->actions()) titles.append(item->text());
    EXPECT_EQ(titles, (QStringList{"Your First Valley", "Light and Haze"}));
    EXPECT_EQ(server.requestTargets(), QStringList{"/tutorials/korvane/index.plist"});
    // Shown again later, the window enables the pop-up at once from the loaded list.
    startup().hide();
    startup().show();
    EXPECT_TRUE(button()->isEnabled());
}

TEST_F(StartupWindowTutorialsTest, AFailedFetchOrNoServiceLeavesThePopUpDisabled) {
    server.respondWith(404, "missing");
    qputenv(kServiceBaseUrlEnvironmentVariable, server.baseUrl().toEncoded());
    tutorials().startQueryTutorials();
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(QTest::qWaitFor([] { return !tutorials().isQueryRunning(); }, 5000));
    EXPECT_FALSE(button()->isEnabled());

    qunsetenv(kServiceBaseUrlEnvironmentVariable);
    tutorials().startQueryTutorials();
    EXPECT_FALSE(button()->isEnabled());
    EXPECT_EQ(server.requestCount(), 1);
}

}  // namespace
}  // namespace korvane
