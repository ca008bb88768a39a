#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <mutex>

class QTcpServer;

namespace cadcons::bench {

// An HTTP/1.1 server on loopback that answers every GET with one body after a fixed delay, as a postal-code
// service on the far side of a network would. It runs on a thread of its own, so its own work and its
// delay timer do not share the screen's event loop: what the screen's wait adds beyond the delay is the
// screen's.
class ScreenLoopbackServer {
public:
    explicit ScreenLoopbackServer(std::chrono::milliseconds delay);
    ~ScreenLoopbackServer();
    ScreenLoopbackServer(const ScreenLoopbackServer&) = delete;
    ScreenLoopbackServer& operator=(const ScreenLoopbackServer&) = delete;

    QString baseUrl() const; // "http://127.0.0.1:<port>"
    void setBody(const QByteArray& body);
    int requests() const { return requests_.load(); }
    // When the last request was whole on the server, and when its reply was handed to the socket.
    std::chrono::steady_clock::time_point lastRequest() const;
    std::chrono::steady_clock::time_point lastReply() const;
    std::chrono::milliseconds delay() const { return delay_; }

private:
    void serve(QTcpServer& server);
    QByteArray body() const;

    const std::chrono::milliseconds delay_;
    QThread thread_;
    QObject context_;              // on thread_: where the server's work is queued
    QTcpServer* server_ = nullptr; // lives on thread_
    quint16 port_ = 0;
    mutable std::mutex mutex_;
    QByteArray body_;
    std::atomic<int> requests_{0};
    std::chrono::steady_clock::time_point lastRequest_, lastReply_;
};

} // namespace cadcons::bench
