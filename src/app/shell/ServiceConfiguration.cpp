#include "app/shell/ServiceConfiguration.h"

#include <QtGlobal>

#include "ZTFirstLaunch.h"
#include "foundation/UserDefaults.h"

namespace korvane {

namespace {

std::optional<QUrl> serviceUrlFrom(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        return std::nullopt;
    }
    return url;
}

// The first-launch flag kept in the application's user defaults. Looks the store up on every call,
// because UserDefaults::setStandard() may replace it.
class UserDefaultsFirstLaunchStore final : public zentaric::ZTFirstLaunchDefaults {
public:
    bool boolForKey(const QString& key) const override {
        return UserDefaults::standard().boolForKey(key.toStdString());
    }
    void setBool(const QString& key, bool value) override {
        UserDefaults::standard().setBool(key.toStdString(), value);
    }
};

}  // namespace

std::optional<QUrl> korvaneServiceBaseUrl() {
    const QString fromEnvironment = qEnvironmentVariable(kServiceBaseUrlEnvironmentVariable).trimmed();
    if (!fromEnvironment.isEmpty()) return serviceUrlFrom(fromEnvironment);
    const std::string fromDefaults = UserDefaults::standard().stringForKey(kServiceBaseUrlDefaultsKey);
    if (!QString::fromStdString(fromDefaults).trimmed().isEmpty()) {
        return serviceUrlFrom(QString::fromStdString(fromDefaults));
    }
    return std::nullopt;
}

std::optional<QUrl> korvaneServiceUrl(const QString& path) {
    const std::optional<QUrl> baseUrl = korvaneServiceBaseUrl();
    if (!baseUrl) return std::nullopt;
    QUrl url = baseUrl->adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/'))) basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

void runFirstLaunchCheck() {
    const std::optional<QUrl> baseUrl = korvaneServiceBaseUrl();
    if (!baseUrl) return;
    zentaric::ZTFirstLaunch* firstLaunch = zentaric::ZTFirstLaunch::sharedFirstLaunch();
    firstLaunch->setDefaults(std::make_unique<UserDefaultsFirstLaunchStore>());
    firstLaunch->setServiceBaseUrl(*baseUrl);
    firstLaunch->checkFirstLaunch();
}

}  // namespace korvane
