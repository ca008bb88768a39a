#include "screen_loopback_server.h"

#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <stdexcept>

namespace cadcons::bench {

ScreenLoopbackServer::ScreenLoopbackServer(std::chrono::milliseconds delay)
    : delay_(delay) {
    thread_.setObjectName(QStringLiteral("loopback-cep-server"));
    context_.moveToThread(&thread_);
    thread_.start();
    bool listening = false;
    // The server object must be made on its own thread, so that its sockets and timers live there.
    QMetaObject::invokeMethod(
        &context_,
        [this, &listening] {
            server_ = new QTcpServer;
            listening = server_->listen(QHostAddress::LocalHost, 0);
            port_ = server_->serverPort();
            QObject::connect(server_, &QTcpServer::newConnection, server_, [this] { serve(*server_); });
        },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        thread_.quit();
        thread_.wait();
        throw std::runtime_error("the loopback server cannot listen");
    }
}

ScreenLoopbackServer::~ScreenLoopbackServer() {
    QMetaObject::invokeMethod(
        &context_,
        [this, home = QThread::currentThread()] {
            delete server_;
            context_.moveToThread(home);
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

QString ScreenLoopbackServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void ScreenLoopbackServer::setBody(const QByteArray& body) {
    const std::lock_guard lock(mutex_);
    body_ = body;
}

QByteArray ScreenLoopbackServer::body() const {
    const std::lock_guard lock(mutex_);
    return body_;
}

std::chrono::steady_clock::time_point ScreenLoopbackServer::lastRequest() const {
    const std::lock_guard lock(mutex_);
    return lastRequest_;
}

std::chrono::steady_clock::time_point ScreenLoopbackServer::lastReply() const {
    const std::lock_guard lock(mutex_);
    return lastReply_;
}

void ScreenLoopbackServer::serve(QTcpServer& server) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setParent(&server);
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto head = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            if (head->endsWith("\r\n\r\n"))
                return; // one request per connection
            head->append(socket->readAll());
            const qsizetype end = head->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            head->truncate(end + 4);
            {
                const std::lock_guard lock(mutex_);
                lastRequest_ = std::chrono::steady_clock::now();
            }
            ++requests_;
            // The delay counts from the whole request; a precise timer, as a coarse one may be 5% late.
            QTimer::singleShot(delay_, Qt::PreciseTimer, socket, [this, socket] {
                const QByteArray reply = body();
                QByteArray response = "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n";
                response += "Content-Length: " + QByteArray::number(reply.size()) + "\r\n";
                response += "Connection: close\r\n\r\n";
                response += reply;
                socket->write(response);
                socket->flush();
                {
                    const std::lock_guard lock(mutex_);
                    lastReply_ = std::chrono::steady_clock::now();
                }
                socket->disconnectFromHost();
            });
        });
    }
}

} // namespace cadcons::bench
