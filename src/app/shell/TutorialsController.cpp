#include "app/shell/TutorialsController.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include <QAction>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVariant>
#include <QXmlStreamReader>

#include "app/shell/ServiceConfiguration.h"
#include "app/shell/TutorialsWindow.h"
#include "foundation/archive/BinaryPropertyList.h"

namespace korvane {

namespace {

// The index lists a few dozen tutorials; anything far larger is not an index.
constexpr qsizetype kMaxIndexBytes = 1 << 20;
// A query that hangs is given up, so the pop-up does not wait for ever.
constexpr int kQueryTimeoutMs = 60'000;
// Deeper XML nesting than this is not a tutorials index (and must not exhaust the stack).
constexpr int kMaxXmlDepth = 32;

void logLine(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// The tutorial an index entry describes, if it has the string keys "name" and "url".
std::optional<Tutorial> tutorialFrom(const QVariantMap& entry) {
    const QVariant name = entry.value(QStringLiteral("name"));
    const QVariant url = entry.value(QStringLiteral("url"));
    if (name.typeId() != QMetaType::QString || url.typeId() != QMetaType::QString) return std::nullopt;
    return Tutorial{name.toString(), QUrl(url.toString())};
}

// Reads the value whose start element the reader is on, leaving the reader on its end element.
std::optional<QVariant> readXmlValue(QXmlStreamReader& xml, int depth) {
    if (depth > kMaxXmlDepth) return std::nullopt;
    const QStringView tag = xml.name();
    if (tag == u"string" || tag == u"date") return QVariant(xml.readElementText());
    if (tag == u"integer") {
        bool ok = false;
        const qlonglong value = xml.readElementText().trimmed().toLongLong(&ok);
        return ok ? std::optional<QVariant>(value) : std::nullopt;
    }
    if (tag == u"real") {
        bool ok = false;
        const double value = xml.readElementText().trimmed().toDouble(&ok);
        return ok ? std::optional<QVariant>(value) : std::nullopt;
    }
    if (tag == u"true" || tag == u"false") {
        const bool value = tag == u"true";
        xml.readElementText();
        return QVariant(value);
    }
    if (tag == u"data") return QVariant(QByteArray::fromBase64(xml.readElementText().toLatin1()));
    if (tag == u"array") {
        QVariantList items;
        while (xml.readNextStartElement()) {
            std::optional<QVariant> item = readXmlValue(xml, depth + 1);
            if (!item) return std::nullopt;
            items.append(*item);
        }
        return QVariant(items);
    }
    if (tag == u"dict") {
        QVariantMap entries;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"key") return std::nullopt;
            const QString key = xml.readElementText();
            if (!xml.readNextStartElement()) return std::nullopt;
            std::optional<QVariant> value = readXmlValue(xml, depth + 1);
            if (!value) return std::nullopt;
            entries.insert(key, *value);
        }
        return QVariant(entries);
    }
    return std::nullopt;
}

// An XML property list's root value (inside an optional <plist> element), or none.
std::optional<QVariant> parseXmlPropertyList(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement()) return std::nullopt;
    const bool wrapped = xml.name() == u"plist";
    if (wrapped && !xml.readNextStartElement()) return std::nullopt;
    std::optional<QVariant> root = readXmlValue(xml, 0);
    if (!root) return std::nullopt;
    if (wrapped && xml.readNextStartElement()) return std::nullopt;  // a second root value
    while (!xml.atEnd()) xml.readNext();                             // reports malformed trailing markup
    if (xml.hasError()) return std::nullopt;
    return root;
}

// The tutorials of a binary property list whose root is an array of dictionaries, or none.
std::optional<QList<Tutorial>> parseBinaryIndex(const QByteArray& bytes) {
    const auto data =
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    const plist::ParseResult parsed = plist::parseBinary(data);
    if (!parsed.document) return std::nullopt;
    const plist::Document& document = *parsed.document;
    const plist::Object& root = document.object(document.topIndex());
    if (root.kind != plist::Kind::Array) return std::nullopt;
    QList<Tutorial> tutorials;
    for (uint32_t index : root.items) {
        const plist::Object& entry = document.object(index);
        if (entry.kind != plist::Kind::Dictionary) continue;
        const std::optional<uint32_t> name = document.lookup(entry, "name");
        const std::optional<uint32_t> url = document.lookup(entry, "url");
        if (!name || !url) continue;
        const plist::Object& nameObject = document.object(*name);
        const plist::Object& urlObject = document.object(*url);
        if (nameObject.kind != plist::Kind::String || urlObject.kind != plist::Kind::String) continue;
        tutorials.append(Tutorial{QString::fromStdString(nameObject.string),
                                  QUrl(QString::fromStdString(urlObject.string))});
    }
    return tutorials;
}

// The tutorials of an index in either property-list format, or none when the bytes are not a
// property list whose root is an array.
std::optional<QList<Tutorial>> parseTutorialsIndex(const QByteArray& bytes) {
    if (bytes.startsWith("bplist")) return parseBinaryIndex(bytes);
    const std::optional<QVariant> root = parseXmlPropertyList(bytes);
    if (!root || root->typeId() != QMetaType::QVariantList) return std::nullopt;
    QList<Tutorial> tutorials;
    for (const QVariant& entry : root->toList()) {
        if (entry.typeId() != QMetaType::QVariantMap) continue;
        if (std::optional<Tutorial> tutorial = tutorialFrom(entry.toMap())) tutorials.append(*tutorial);
    }
    return tutorials;
}

}  // namespace

TutorialsController& TutorialsController::sharedTutorialsController() {
    static TutorialsController* shared = new TutorialsController();
    return *shared;
}

TutorialsController::TutorialsController(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {}

TutorialsController::~TutorialsController() {
    releaseQuery();
}

void TutorialsController::addDelegate(TutorialsControllerDelegate* delegate) {
    if (!delegate || std::ranges::find(delegates_, delegate) != delegates_.end()) return;
    delegates_.push_back(delegate);
}

void TutorialsController::removeDelegate(TutorialsControllerDelegate* delegate) {
    std::erase(delegates_, delegate);
}

void TutorialsController::startQueryTutorials() {
    if (query_ || tutorials_) return;
    const std::optional<QUrl> indexUrl = korvaneServiceUrl(QString::fromLatin1(kTutorialsIndexPath));
    if (!indexUrl) {
        finishWithFailure(QStringLiteral("no tutorials service is configured"));
        return;
    }
    QNetworkRequest request(*indexUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(kQueryTimeoutMs);
    buffer_.clear();
    replyTooLarge_ = false;
    query_ = network_->get(request);
    connect(query_, &QNetworkReply::readyRead, this, &TutorialsController::replyDataArrived);
    connect(query_, &QNetworkReply::finished, this, &TutorialsController::queryFinished);
}

void TutorialsController::replyDataArrived() {
    if (!query_) return;
    buffer_.append(query_->readAll());
    if (buffer_.size() > kMaxIndexBytes) {
        replyTooLarge_ = true;
        query_->abort();  // finishes the query at once
    }
}

void TutorialsController::queryFinished() {
    if (!query_) return;
    if (!replyTooLarge_) buffer_.append(query_->readAll());
    const int status = query_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (replyTooLarge_) {
        finishWithFailure(QStringLiteral("the tutorials index is larger than %1 bytes").arg(kMaxIndexBytes));
        return;
    }
    if (query_->error() != QNetworkReply::NoError) {
        finishWithFailure(query_->errorString());
        return;
    }
    if (status < 200 || status >= 300) {
        finishWithFailure(QStringLiteral("the server answered with HTTP status %1").arg(status));
        return;
    }
    std::optional<QList<Tutorial>> tutorials = parseTutorialsIndex(buffer_);
    if (!tutorials) {
        finishWithFailure(QStringLiteral("the tutorials index is not a property list of tutorials"));
        return;
    }
    logLine(QStringLiteral("Tutorials updated"));
    tutorials_ = std::move(*tutorials);
    releaseQuery();
    tellDelegates(&TutorialsControllerDelegate::tutorialsHaveBeenUpdated);
}

void TutorialsController::finishWithFailure(const QString& error) {
    logLine(QStringLiteral("Tutorial failed with error: ") + error);
    releaseQuery();
    tellDelegates(&TutorialsControllerDelegate::tutorialsUpdateFailed);
}

void TutorialsController::releaseQuery() {
    if (QNetworkReply* query = query_) {
        query_ = nullptr;
        query->disconnect(this);
        if (query->isRunning()) query->abort();
        query->deleteLater();
    }
    buffer_.clear();
    replyTooLarge_ = false;
}

void TutorialsController::tellDelegates(void (TutorialsControllerDelegate::*message)()) {
    // A delegate may add or remove delegates while it is told; one removed before its turn is skipped.
    const std::vector<TutorialsControllerDelegate*> delegates = delegates_;
    for (TutorialsControllerDelegate* delegate : delegates) {
        if (std::ranges::find(delegates_, delegate) != delegates_.end()) (delegate->*message)();
    }
}

QMenu* TutorialsController::tutorialsMenuIncludingTopLevelItem(bool includeTopLevelItem,
                                                               QWidget* parent) const {
    if (!tutorials_) return nullptr;
    auto* menu = new QMenu(parent);
    if (includeTopLevelItem) {
        QAction* title = menu->addAction(QString::fromLatin1(kTutorialsMenuTitle));
        title->setEnabled(false);
    }
    for (const Tutorial& tutorial : *tutorials_) {
        QAction* item = menu->addAction(tutorial.name);
        item->setData(QVariantMap{{QStringLiteral("name"), tutorial.name},
                                  {QStringLiteral("url"), tutorial.url.toString()}});
        connect(item, &QAction::triggered, this, [this, tutorial] { openTutorial(tutorial); });
    }
    return menu;
}

void TutorialsController::openTutorial(const Tutorial& tutorial) const {
    TutorialsWindow::sharedTutorialsWindow().openTutorialWithDictionary(tutorial.name, tutorial.url);
}

void TutorialsController::resetForTesting() {
    releaseQuery();
    tutorials_.reset();
}

}  // namespace korvane
