// The list of tutorials offered on the maker's web site, fetched once from the tutorials index
// under the service base URL, and the menus that open them in the tutorials window.
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QMenu;
class QNetworkAccessManager;
class QWidget;

namespace korvane {

// Told about the index query; both calls are optional (a delegate overrides those it cares about).
class TutorialsControllerDelegate {
public:
    virtual ~TutorialsControllerDelegate() = default;
    // The index has arrived; tutorialsMenuIncludingTopLevelItem() now answers a menu.
    virtual void tutorialsHaveBeenUpdated() {}
    // The index could not be fetched (or no service is configured); the list stays empty.
    virtual void tutorialsUpdateFailed() {}
};

// One entry of the tutorials index: the menu title ("name") and the web page's address ("url").
struct Tutorial {
    QString name;
    QUrl url;
    bool operator==(const Tutorial&) const = default;
};

// The title of the pull-down item that heads a tutorials menu.
inline constexpr const char* kTutorialsMenuTitle = "Tutorials";
// Where the index lives under the service base URL.
inline constexpr const char* kTutorialsIndexPath = "/tutorials/korvane/index.plist";

// The index is a property list (XML or binary) whose root is an array of dictionaries with the
// string keys "name" and "url". A reply that is not such a property list, or an HTTP error status,
// counts as a failed query. Entries without a string "name" and "url" are left out.
// Main thread only.
class TutorialsController final : public QObject {
    Q_OBJECT

public:
    // The application's controller, created on first use and never released.
    static TutorialsController& sharedTutorialsController();

    // A controller of its own (tests; the application uses the shared one).
    explicit TutorialsController(QObject* parent = nullptr);
    ~TutorialsController() override;

    // Delegates are told in the order they were added; a delegate is held without ownership and
    // must be removed before it is destroyed. Adding one twice keeps the first place.
    void addDelegate(TutorialsControllerDelegate* delegate);
    void removeDelegate(TutorialsControllerDelegate* delegate);

    // Fetches the index, bypassing every cache. Does nothing while a query runs or once the list
    // has been loaded. Without a service base URL no request is made and the delegates are told
    // tutorialsUpdateFailed at once.
    void startQueryTutorials();
    // Whether a query is running.
    bool isQueryRunning() const { return query_ != nullptr; }

    // Whether the list has been loaded.
    bool isUpToDate() const { return tutorials_.has_value(); }
    // The loaded tutorials in index order (empty until loaded).
    QList<Tutorial> tutorials() const { return tutorials_.value_or(QList<Tutorial>()); }

    // Null while no list is loaded; otherwise a new menu owned by the caller (and parent): an item
    // "Tutorials" first when includeTopLevelItem is set (the heading of a pull-down button; it does
    // nothing), then one item per tutorial titled with its name, whose data is the tutorial's
    // dictionary ({"name", "url"}) and which opens it in the tutorials window.
    QMenu* tutorialsMenuIncludingTopLevelItem(bool includeTopLevelItem, QWidget* parent = nullptr) const;

    // Shows the tutorial in the shared tutorials window.
    void openTutorial(const Tutorial& tutorial) const;

    // Cancels a running query and forgets the list, so the next startQueryTutorials() fetches
    // again; delegates stay. For tests that use the shared controller.
    void resetForTesting();

private:
    void replyDataArrived();
    void queryFinished();
    void finishWithFailure(const QString& error);
    void releaseQuery();
    void tellDelegates(void (TutorialsControllerDelegate::*message)());

    QNetworkAccessManager* network_ = nullptr;  // owned (child)
    QPointer<QNetworkReply> query_;             // the running index query, or null
    QByteArray buffer_;                         // the reply so far (empty when idle)
    bool replyTooLarge_ = false;
    std::optional<QList<Tutorial>> tutorials_;
    std::vector<TutorialsControllerDelegate*> delegates_;
};

}  // namespace korvane
