// A tiny HTTP/1.1 server for the network tests, bound to 127.0.0.1 only. It records each request's
// target ("/path?query") and answers with a fixed status and body, or holds the answers until
// released. One answer per connection; every connection is closed after its answer.
#pragma once

#include <utility>

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

namespace korvane::nettest {

class LocalHttpServer {
public:
    LocalHttpServer() {
        listening_ = server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { acceptConnections(); });
    }

    bool isListening() const { return listening_; }
    // http://127.0.0.1:PORT, optionally followed by a path.
    QUrl baseUrl(const QString& path = {}) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

    // The answer to this and later requests.
    void respondWith(int status, QByteArray body) {
        status_ = status;
        body_ = std::move(body);
    }
    // Later requests get no answer until releaseHeldRequests().
    void holdRequests() { holding_ = true; }
    // Answers the held requests (and later ones at once).
    void releaseHeldRequests() {
        holding_ = false;
        const QList<QPointer<QTcpSocket>> held = std::exchange(held_, {});
        for (const QPointer<QTcpSocket>& socket : held) {
            if (socket) answer(socket);
        }
    }

    QStringList requestTargets() const { return targets_; }
    qsizetype requestCount() const { return targets_.size(); }
    // Waits (at most 5 s) until count requests have arrived.
    bool waitForRequests(qsizetype count) {
        return QTest::qWaitFor([&] { return targets_.size() >= count; }, 5000);
    }

    // An address on 127.0.0.1 where nothing listens: connections are refused.
    static QUrl refusedUrl() {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) return {};
        const quint16 port = probe.serverPort();
        probe.close();
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    }

private:
    void acceptConnections() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { readRequest(socket); });
        }
    }

    void readRequest(QTcpSocket* socket) {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        const qsizetype headerEnd = request.indexOf("\r\n\r\n");
        if (headerEnd < 0) return;
        const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
        targets_.append(QString::fromLatin1(requestLine.value(1)));
        pending_.remove(socket);
        if (holding_) {
            held_.append(socket);
        } else {
            answer(socket);
        }
    }

    void answer(QTcpSocket* socket) {
        const QByteArray reason = status_ == 200 ? "OK" : status_ == 404 ? "Not Found" : "Error";
        QByteArray response = "HTTP/1.1 " + QByteArray::number(status_) + ' ' + reason + "\r\n";
        response += "Content-Type: application/octet-stream\r\n";
        response += "Content-Length: " + QByteArray::number(body_.size()) + "\r\n";
        response += "Connection: close\r\n\r\n";
        response += body_;
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    bool listening_ = false;
    int status_ = 200;
    QByteArray body_;
    bool holding_ = false;
    QList<QPointer<QTcpSocket>> held_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QStringList targets_;
};

}  // namespace korvane::nettest
