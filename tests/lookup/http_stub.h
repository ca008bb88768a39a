#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace cadcons::test {

// A canned answer of the stub server.
struct CannedReply {
    int status = 200;
    QByteArray body;
    int delayMs = 0;
    bool never = false; // accept the request and never answer
};

// A small HTTP/1.1 server on loopback, on a port of its own, that answers GET requests by path. It
// runs in the test's thread, so it answers while the code under test waits in an event loop.
class HttpStub : public QObject {
public:
    HttpStub();

    QString baseUrl() const; // "http://127.0.0.1:<port>"
    void answer(const QString& path, CannedReply reply) { replies_.insert(path, std::move(reply)); }
    // Requests received so far, per path and in all.
    int requests(const QString& path) const { return counts_.value(path); }
    int requests() const { return total_; }

private:
    void serve();

    QTcpServer server_;
    QHash<QString, CannedReply> replies_;
    QHash<QString, int> counts_;
    int total_ = 0;
};

} // namespace cadcons::test
