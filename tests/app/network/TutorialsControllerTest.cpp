// The tutorials index query against a local service: menus, delegates, and what a failed or
// missing service leaves behind.
#include <gtest/gtest.h>
#include <QAction>
#include <QMenu>

#include "app/network/LocalHttpServer.h"
#include "app/shell/ServiceConfiguration.h"
#include "app/shell/TutorialsController.h"
#include "foundation/UserDefaults.h"
#include "foundation/archive/BinaryPropertyList.h"

namespace korvane {
namespace {

const QByteArray kThreeTutorials = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
    <dict><key>name</key><string>First Steps</string><key>url</key><string>https://example.org/t/1.html</string></dict>
    <dict><key>name</key><string>Water &amp; Sky</string><key>url</key><string>https://example.org/t/2.html</string>
          <key>level</key><integer>2</integer><key>tags</key><array><string>water</string></array></dict>
    <dict><key>url</key><string>https://example.org/t/nameless.html</string></dict>
    <dict><key>name</key><string>Rendering</string><key>url</key><string>https://example.org/t/3.html</string></dict>
</array>
</plist>
)";

// Records what it is told, in a log shared with other delegates.
class RecordingDelegate final : public TutorialsControllerDelegate {
public:
    RecordingDelegate(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
    void tutorialsHaveBeenUpdated() override { log_->push_back(name_ + " updated"); }
    void tutorialsUpdateFailed() override { log_->push_back(name_ + " failed"); }

private:
    std::string name_;
    std::vector<std::string>* log_;
};

// Cares only about success.
class UpdatesOnlyDelegate final : public TutorialsControllerDelegate {
public:
    void tutorialsHaveBeenUpdated() override { ++updates; }
    int updates = 0;
};

class TutorialsControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        qputenv(kServiceBaseUrlEnvironmentVariable, server.baseUrl().toEncoded());
        controller.addDelegate(&recorder);
    }
    void TearDown() override { qunsetenv(kServiceBaseUrlEnvironmentVariable); }

    bool waitForAnswer() {
        return QTest::qWaitFor([&] { return !log.empty(); }, 5000);
    }

    static QStringList titles(const QMenu& menu) {
        QStringList result;
        for (const QAction* action : menu.actions()) result.append(action->text());
        return result;
    }

    nettest::LocalHttpServer server;
    TutorialsController controller;
    std::vector<std::string> log;
    RecordingDelegate recorder{"recorder", &log};
};

TEST_F(TutorialsControllerTest, MenuAppearsOnceTheIndexHasArrived) {
    EXPECT_EQ(controller.tutorialsMenuIncludingTopLevelItem(true), nullptr);
    EXPECT_FALSE(controller.isUpToDate());

    server.respondWith(200, kThreeTutorials);
    ::testing::internal::CaptureStdout();
    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Tutorials updated\n"), std::string::npos);

    EXPECT_EQ(log, std::vector<std::string>{"recorder updated"});
    EXPECT_EQ(server.requestTargets(), QStringList{"/tutorials/korvane/index.plist"});
    EXPECT_TRUE(controller.isUpToDate());
    ASSERT_EQ(controller.tutorials().size(), 3);
    EXPECT_EQ(controller.tutorials()[1], (Tutorial{"Water & Sky", QUrl("https://example.org/t/2.html")}));

    std::unique_ptr<QMenu> withTitle(controller.tutorialsMenuIncludingTopLevelItem(true));
    ASSERT_NE(withTitle, nullptr);
    EXPECT_EQ(titles(*withTitle), (QStringList{"Tutorials", "First Steps", "Water & Sky", "Rendering"}));
    const QVariantMap dictionary = withTitle->actions()[3]->data().toMap();
    EXPECT_EQ(dictionary.value("name").toString(), "Rendering");
    EXPECT_EQ(dictionary.value("url").toString(), "https://example.org/t/3.html");

    std::unique_ptr<QMenu> withoutTitle(controller.tutorialsMenuIncludingTopLevelItem(false));
    EXPECT_EQ(titles(*withoutTitle), (QStringList{"First Steps", "Water & Sky", "Rendering"}));
}

TEST_F(TutorialsControllerTest, BinaryIndexIsReadToo) {
    using plist::Value;
    auto entry = [](const char* name, const char* url) {
        return Value::dictionary({{"name", Value::string(name)}, {"url", Value::string(url)}});
    };
    const std::vector<uint8_t> bytes = plist::writeBinary(
        Value::array({entry("Terrain", "https://example.org/terrain.html"), Value::string("not a tutorial"),
                      entry("Clouds", "https://example.org/clouds.html")}));
    server.respondWith(200, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));

    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(log, std::vector<std::string>{"recorder updated"});
    EXPECT_EQ(controller.tutorials(), (QList<Tutorial>{{"Terrain", QUrl("https://example.org/terrain.html")},
                                                       {"Clouds", QUrl("https://example.org/clouds.html")}}));
}

TEST_F(TutorialsControllerTest, QueryWhileRunningOrAfterLoadingStartsNothing) {
    server.respondWith(200, kThreeTutorials);
    server.holdRequests();
    controller.startQueryTutorials();
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(controller.isQueryRunning());
    controller.startQueryTutorials();
    controller.startQueryTutorials();

    server.releaseHeldRequests();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_TRUE(controller.isUpToDate());

    controller.startQueryTutorials();
    EXPECT_FALSE(controller.isQueryRunning());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(log, std::vector<std::string>{"recorder updated"});
}

TEST_F(TutorialsControllerTest, FailedFetchIsToldAndLeavesTheListEmptyForALaterQuery) {
    UpdatesOnlyDelegate updatesOnly;
    controller.removeDelegate(&recorder);
    controller.addDelegate(&updatesOnly);  // skipped on failure
    controller.addDelegate(&recorder);

    server.respondWith(404, "<html>Not here</html>");
    ::testing::internal::CaptureStdout();
    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Tutorial failed with error: "),
              std::string::npos);
    EXPECT_EQ(log, std::vector<std::string>{"recorder failed"});
    EXPECT_FALSE(controller.isUpToDate());
    EXPECT_FALSE(controller.isQueryRunning());
    EXPECT_EQ(controller.tutorialsMenuIncludingTopLevelItem(true), nullptr);

    // A reply that is not a property list array is a failure too.
    log.clear();
    server.respondWith(200, "<html><body>maintenance</body></html>");
    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(log, std::vector<std::string>{"recorder failed"});

    // So is a refused connection.
    log.clear();
    qputenv(kServiceBaseUrlEnvironmentVariable, nettest::LocalHttpServer::refusedUrl().toEncoded());
    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(log, std::vector<std::string>{"recorder failed"});
    EXPECT_EQ(updatesOnly.updates, 0);

    // The list stayed empty, so the next query fetches again.
    log.clear();
    qputenv(kServiceBaseUrlEnvironmentVariable, server.baseUrl().toEncoded());
    server.respondWith(200, kThreeTutorials);
    controller.startQueryTutorials();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(log, std::vector<std::string>{"recorder updated"});
    EXPECT_EQ(updatesOnly.updates, 1);
    EXPECT_EQ(server.requestCount(), 3);
}

TEST_F(TutorialsControllerTest, WithoutServiceNoRequestIsMadeAndDelegatesAreToldInOrder) {
    qunsetenv(kServiceBaseUrlEnvironmentVariable);
    ASSERT_FALSE(korvaneServiceBaseUrl().has_value());
    RecordingDelegate second("second", &log);
    RecordingDelegate third("third", &log);
    controller.addDelegate(&second);
    controller.addDelegate(&third);
    controller.addDelegate(&recorder);  // already present: keeps its first place
    controller.removeDelegate(&second);

    controller.startQueryTutorials();
    EXPECT_EQ(log, (std::vector<std::string>{"recorder failed", "third failed"}));
    EXPECT_FALSE(controller.isQueryRunning());
    EXPECT_EQ(controller.tutorialsMenuIncludingTopLevelItem(true), nullptr);
    EXPECT_EQ(server.requestCount(), 0);
}

}  // namespace
}  // namespace korvane
