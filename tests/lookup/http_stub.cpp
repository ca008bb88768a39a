#include "http_stub.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <stdexcept>

namespace cadcons::test {

HttpStub::HttpStub() {
    if (!server_.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the stub server cannot listen on loopback");
    connect(&server_, &QTcpServer::newConnection, this, &HttpStub::serve);
}

QString HttpStub::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void HttpStub::serve() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            if (head->endsWith("\r\n\r\n"))
                return; // one request per connection
            head->append(socket->readAll());
            const qsizetype end = head->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            head->truncate(end + 4);
            // "GET /ws/01001000/xml/ HTTP/1.1"
            const QList<QByteArray> requestLine = head->left(head->indexOf("\r\n")).split(' ');
            const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
            ++total_;
            ++counts_[path];
            const CannedReply reply = replies_.value(path, CannedReply{404, QByteArray("no such path"), 0, false});
            if (reply.never)
                return;
            QTimer::singleShot(reply.delayMs, socket, [socket, reply] {
                QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + " Canned\r\n";
                response += "Content-Type: application/xml\r\n";
                response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
                response += "Connection: close\r\n\r\n";
                response += reply.body;
                socket->write(response);
                socket->disconnectFromHost();
            });
        });
    }
}

} // namespace cadcons::test
