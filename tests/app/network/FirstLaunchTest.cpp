// The first-launch notice against a local service: sent once, flagged only when delivered, and
// never sent without a configured service.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QOperatingSystemVersion>
#include <QSignalSpy>
#include <QUrlQuery>

#include "ZTFirstLaunch.h"
#include "app/network/LocalHttpServer.h"
#include "app/shell/ServiceConfiguration.h"
#include "foundation/UserDefaults.h"

namespace korvane {
namespace {

using zentaric::ZTFirstLaunch;

// A flag store the test can look into; owned by ZTFirstLaunch once handed over.
class MemoryFlags final : public zentaric::ZTFirstLaunchDefaults {
public:
    bool boolForKey(const QString& key) const override { return flags.value(key, false); }
    void setBool(const QString& key, bool value) override { flags.insert(key, value); }
    QHash<QString, bool> flags;
};

class FirstLaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        ZTFirstLaunch::setFirstLaunchVersion(0);
        auto store = std::make_unique<MemoryFlags>();
        flags = store.get();
        notice()->setDefaults(std::move(store));
        notice()->setServiceBaseUrl(server.baseUrl());
    }

    void TearDown() override {
        // A notice still on its way must not outlive this test's server and flag store.
        EXPECT_TRUE(QTest::qWaitFor([] { return !notice()->isNoticeOutstanding(); }, 5000));
        notice()->setDefaults(nullptr);
        notice()->setServiceBaseUrl({});
        ZTFirstLaunch::setFirstLaunchVersion(0);
        qunsetenv(kServiceBaseUrlEnvironmentVariable);
        UserDefaults::standard().removeObjectForKey("hasBeenLaunchedBefore");
        UserDefaults::standard().removeObjectForKey(kServiceBaseUrlDefaultsKey);
    }

    static ZTFirstLaunch* notice() { return ZTFirstLaunch::sharedFirstLaunch(); }

    // Runs checkFirstLaunch() and waits for the notice to end; answers whether it was delivered.
    static std::optional<bool> checkAndWait() {
        QSignalSpy finished(notice(), &ZTFirstLaunch::firstLaunchNoticeFinished);
        if (!notice()->checkFirstLaunch()) return std::nullopt;
        if (!finished.wait(5000)) return std::nullopt;
        return finished.first().first().toBool();
    }

    nettest::LocalHttpServer server;
    MemoryFlags* flags = nullptr;
};

TEST_F(FirstLaunchTest, NoticeIsSentOnceWithProductVersionAndSystemThenFlagged) {
    notice()->setServiceBaseUrl(server.baseUrl("/services/"));

    EXPECT_EQ(checkAndWait(), std::optional<bool>(true));
    ASSERT_EQ(server.requestCount(), 1);
    const QUrl target = QUrl(server.requestTargets().first());
    EXPECT_EQ(target.path(), "/services/firstlaunch.php");
    const QUrlQuery query(target);
    EXPECT_EQ(query.queryItems().size(), 3);
    EXPECT_EQ(query.queryItemValue("product"), QCoreApplication::applicationName());
    EXPECT_EQ(query.queryItemValue("version"), QCoreApplication::applicationVersion());
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    EXPECT_EQ(query.queryItemValue("system"),
              QString::asprintf("%d.%d.%d", std::max(os.majorVersion(), 0), std::max(os.minorVersion(), 0),
                                std::max(os.microVersion(), 0)));
    EXPECT_TRUE(flags->flags.value("hasBeenLaunchedBefore"));

    // Delivered once: the next launch sends nothing.
    EXPECT_FALSE(notice()->checkFirstLaunch());
    EXPECT_FALSE(notice()->isNoticeOutstanding());
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(FirstLaunchTest, VersionedKeyIsIndependentOfThePlainKey) {
    EXPECT_EQ(ZTFirstLaunch::completeKeyForFirstLaunch(), "hasBeenLaunchedBefore");
    flags->flags.insert("hasBeenLaunchedBefore", true);
    ZTFirstLaunch::setFirstLaunchVersion(2);
    EXPECT_EQ(ZTFirstLaunch::completeKeyForFirstLaunch(), "hasBeenLaunchedBefore2");

    EXPECT_EQ(checkAndWait(), std::optional<bool>(true));
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(flags->flags.value("hasBeenLaunchedBefore2"));

    ZTFirstLaunch::setFirstLaunchVersion(3);
    EXPECT_TRUE(notice()->checkFirstLaunch()) << "version 3 has not been announced yet";
}

TEST_F(FirstLaunchTest, MissingVersionIsSentAsUnkownAndValuesAreEscaped) {
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationName("Korvane & Co=Test");
    QCoreApplication::setApplicationVersion(QString());
    const std::optional<bool> delivered = checkAndWait();
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(version);

    EXPECT_EQ(delivered, std::optional<bool>(true));
    ASSERT_EQ(server.requestCount(), 1);
    const QString target = server.requestTargets().first();
    EXPECT_TRUE(target.contains("?product=Korvane%20%26%20Co%3DTest&version=UNKOWN&system="))
        << target.toStdString();
}

TEST_F(FirstLaunchTest, FailedNoticeLeavesTheFlagUnsetAndIsRetried) {
    server.respondWith(404, "no such page");
    EXPECT_EQ(checkAndWait(), std::optional<bool>(false));
    EXPECT_FALSE(flags->flags.contains("hasBeenLaunchedBefore"));

    notice()->setServiceBaseUrl(nettest::LocalHttpServer::refusedUrl());
    EXPECT_EQ(checkAndWait(), std::optional<bool>(false));
    EXPECT_FALSE(flags->flags.contains("hasBeenLaunchedBefore"));

    // The next launch tries again.
    notice()->setServiceBaseUrl(server.baseUrl());
    server.respondWith(200, {});
    EXPECT_EQ(checkAndWait(), std::optional<bool>(true));
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_TRUE(flags->flags.value("hasBeenLaunchedBefore"));
}

TEST_F(FirstLaunchTest, WithoutServiceNothingIsSent) {
    notice()->setServiceBaseUrl({});
    EXPECT_TRUE(notice()->firstLaunchUrl().isEmpty());
    EXPECT_FALSE(notice()->checkFirstLaunch());
    EXPECT_FALSE(notice()->isNoticeOutstanding());

    // The application's check with neither the environment nor the user defaults naming a service
    // does not touch the notice, even one configured for a service before.
    notice()->setServiceBaseUrl(server.baseUrl());
    ASSERT_FALSE(korvaneServiceBaseUrl().has_value());
    runFirstLaunchCheck();
    EXPECT_FALSE(notice()->isNoticeOutstanding());
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(flags->flags.contains("hasBeenLaunchedBefore"));
}

TEST_F(FirstLaunchTest, ApplicationCheckStoresTheFlagInTheUserDefaults) {
    UserDefaults::standard().setString(kServiceBaseUrlDefaultsKey, server.baseUrl().toString().toStdString());
    runFirstLaunchCheck();
    ASSERT_TRUE(notice()->isNoticeOutstanding());
    ASSERT_TRUE(QTest::qWaitFor([] { return !notice()->isNoticeOutstanding(); }, 5000));
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(UserDefaults::standard().boolForKey("hasBeenLaunchedBefore"));

    runFirstLaunchCheck();
    EXPECT_FALSE(notice()->isNoticeOutstanding());
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(ServiceConfigurationTest, EnvironmentWinsOverUserDefaultsAndUnusableValuesMeanNone) {
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_FALSE(korvaneServiceBaseUrl().has_value());
    EXPECT_FALSE(korvaneServiceUrl("/tutorials/korvane/index.plist").has_value());

    defaults.setString(kServiceBaseUrlDefaultsKey, "http://127.0.0.1:9/base/");
    EXPECT_EQ(korvaneServiceBaseUrl(), std::optional<QUrl>(QUrl("http://127.0.0.1:9/base/")));
    EXPECT_EQ(korvaneServiceUrl("/tutorials/korvane/index.plist"),
              std::optional<QUrl>(QUrl("http://127.0.0.1:9/base/tutorials/korvane/index.plist")));

    qputenv(kServiceBaseUrlEnvironmentVariable, "https://127.0.0.1:8443");
    EXPECT_EQ(korvaneServiceBaseUrl(), std::optional<QUrl>(QUrl("https://127.0.0.1:8443")));

    // A set but unusable environment value does not fall back to the user default.
    qputenv(kServiceBaseUrlEnvironmentVariable, "not a url");
    EXPECT_FALSE(korvaneServiceBaseUrl().has_value());
    qputenv(kServiceBaseUrlEnvironmentVariable, "file:///tmp/service");
    EXPECT_FALSE(korvaneServiceBaseUrl().has_value());

    qunsetenv(kServiceBaseUrlEnvironmentVariable);
    defaults.removeObjectForKey(kServiceBaseUrlDefaultsKey);
    EXPECT_FALSE(korvaneServiceBaseUrl().has_value());
}

}  // namespace
}  // namespace korvane
