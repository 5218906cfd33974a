#include "ZTFirstLaunch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QOperatingSystemVersion>

namespace zentaric {

namespace {

// Process-wide, set only by setFirstLaunchVersion().
unsigned versionForFirstLaunchCheck = 0;
const QString keyForFirstLaunchCheck = QStringLiteral("hasBeenLaunchedBefore");

constexpr const char* kNoticePath = "/firstlaunch.php";
// Stands in for a product name or version the application does not declare (spelled so by the
// service).
constexpr const char* kUnknownValue = "UNKOWN";
// A notice that hangs is given up after this long and tried again at the next launch.
constexpr int kNoticeTimeoutMs = 60'000;

// The value percent-escaped for a query: everything but the unreserved characters is escaped, so
// an "&" or "=" in a product name cannot split the query.
QByteArray queryValue(const QString& value) {
    return QUrl::toPercentEncoding(value.isEmpty() ? QString::fromLatin1(kUnknownValue) : value);
}

// The operating system's version as "major.minor.micro"; a part the platform does not report is 0.
QByteArray systemVersion() {
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    auto part = [](int value) { return value < 0 ? 0 : value; };
    return QByteArray::number(part(os.majorVersion())) + '.' + QByteArray::number(part(os.minorVersion())) +
           '.' + QByteArray::number(part(os.microVersion()));
}

bool isUsableBaseUrl(const QUrl& url) {
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

}  // namespace

ZTFirstLaunch* ZTFirstLaunch::sharedFirstLaunch() {
    // Never released: the notice may still be on its way when the application quits.
    static ZTFirstLaunch* shared = new ZTFirstLaunch();
    return shared;
}

ZTFirstLaunch::ZTFirstLaunch() : network_(new QNetworkAccessManager(this)) {}

ZTFirstLaunch::~ZTFirstLaunch() {
    if (connection_) {
        connection_->disconnect(this);
        connection_->abort();
        delete connection_;
    }
}

void ZTFirstLaunch::setFirstLaunchVersion(unsigned version) {
    versionForFirstLaunchCheck = version;
}

QString ZTFirstLaunch::completeKeyForFirstLaunch() {
    if (versionForFirstLaunchCheck == 0) return keyForFirstLaunchCheck;
    return keyForFirstLaunchCheck + QString::number(versionForFirstLaunchCheck);
}

void ZTFirstLaunch::setDefaults(std::unique_ptr<ZTFirstLaunchDefaults> defaults) {
    defaults_ = std::move(defaults);
}

void ZTFirstLaunch::setServiceBaseUrl(const QUrl& baseUrl) {
    serviceBaseUrl_ = baseUrl;
}

QUrl ZTFirstLaunch::firstLaunchUrl() const {
    if (!isUsableBaseUrl(serviceBaseUrl_)) return {};
    QByteArray address =
        serviceBaseUrl_.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash)
            .toEncoded();
    while (address.endsWith('/')) address.chop(1);
    address += kNoticePath;
    address += "?product=" + queryValue(QCoreApplication::applicationName());
    address += "&version=" + queryValue(QCoreApplication::applicationVersion());
    address += "&system=" + systemVersion();
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

bool ZTFirstLaunch::checkFirstLaunch() {
    if (!defaults_ || connection_) return false;
    const QString key = completeKeyForFirstLaunch();
    if (defaults_->boolForKey(key)) return false;
    const QUrl url = firstLaunchUrl();
    if (!url.isValid() || url.isEmpty()) return false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(kNoticeTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    connection_ = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { connectionDidFinishLoading(reply); });
    return true;
}

void ZTFirstLaunch::connectionDidFinishLoading(QNetworkReply* reply) {
    if (reply == connection_) connection_ = nullptr;
    reply->deleteLater();
    // The body is ignored; only a load the service answered with a success status counts as delivered.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool delivered = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    if (delivered && defaults_) defaults_->setBool(completeKeyForFirstLaunch(), true);
    Q_EMIT firstLaunchNoticeFinished(delivered);
}

}  // namespace zentaric
