// The first-launch notice: tells the maker's notification service, once per installation, that the
// application has been started for the first time.
#pragma once

#include <memory>

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "ZentaricExport.h"

class QNetworkAccessManager;

namespace zentaric {

// Where the notice keeps its "delivered" flag. The library knows no application store; the
// application hands it an adapter onto its own user defaults.
class ZENTARIC_EXPORT ZTFirstLaunchDefaults {
public:
    virtual ~ZTFirstLaunchDefaults() = default;
    // The flag stored under key; false when absent. Main thread.
    virtual bool boolForKey(const QString& key) const = 0;
    // Stores the flag under key. Main thread.
    virtual void setBool(const QString& key, bool value) = 0;
};

// One shared instance per process. Nothing is sent until both a flag store and a service base URL
// have been given: without them checkFirstLaunch() does nothing. Main thread only; the request runs
// asynchronously on the main thread's event loop.
class ZENTARIC_EXPORT ZTFirstLaunch final : public QObject {
    Q_OBJECT

public:
    // The shared instance, created on first use and never released. Needs a QCoreApplication.
    static ZTFirstLaunch* sharedFirstLaunch();

    // The version number that forms the flag's key (process-wide, initially 0).
    static void setFirstLaunchVersion(unsigned version);
    // "hasBeenLaunchedBefore", followed by the version number when it is not 0.
    static QString completeKeyForFirstLaunch();

    // The store of the delivered flag (owned from now on; null removes it).
    void setDefaults(std::unique_ptr<ZTFirstLaunchDefaults> defaults);
    // The service's base URL; the notice goes to BASE/firstlaunch.php. An empty or invalid URL
    // means no service: nothing is sent.
    void setServiceBaseUrl(const QUrl& baseUrl);
    QUrl serviceBaseUrl() const { return serviceBaseUrl_; }

    // The notice's address for this process: BASE/firstlaunch.php?product=…&version=…&system=…
    // (empty without a base URL).
    QUrl firstLaunchUrl() const;

    // Sends the notice unless it has been delivered before, one is still on its way, or no store
    // or base URL was given. Returns whether a request was started.
    bool checkFirstLaunch();
    // Whether a notice is on its way.
    bool isNoticeOutstanding() const { return connection_ != nullptr; }

signals:
    // The outstanding notice ended; delivered is true when the service answered with a success
    // status (and the flag has been stored).
    void firstLaunchNoticeFinished(bool delivered);

private:
    ZTFirstLaunch();
    ~ZTFirstLaunch() override;

    // Completion of the request: the flag is stored only for a completed load with a success status.
    void connectionDidFinishLoading(QNetworkReply* reply);

    QNetworkAccessManager* network_ = nullptr;  // owned (child)
    QPointer<QNetworkReply> connection_;        // the one outstanding request, or null
    std::unique_ptr<ZTFirstLaunchDefaults> defaults_;
    QUrl serviceBaseUrl_;
};

}  // namespace zentaric
