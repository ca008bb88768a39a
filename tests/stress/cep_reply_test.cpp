// Postal-code replies made to hurt: bodies of a gigabyte, endless or compressed a thousandfold, a
// trickle that never ends, and XML with a document type declaration, entities that expand without
// bound or name files and addresses. The screen reads a reply of a few hundred bytes; everything else
// is refused, without reading it all, and no entity is ever fetched.

#include "screen/lookup/cep_service.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace cadcons::test {
namespace {

using lookup::CepFetch;

constexpr qint64 kGigabyte = 1024LL * 1024 * 1024;

// A raw HTTP server on loopback in a thread of its own, so that it keeps writing while the client
// decides to stop reading. It answers every connection with `head` and then with the body that `body`
// produces piece by piece, for as long as the client takes it, and counts what the client accepted.
class HostileServer {
public:
    // Produces the next piece of body; an empty piece ends the body.
    using Body = std::function<QByteArray()>;

    HostileServer(QByteArray head, Body body)
        : head_(std::move(head))
        , body_(std::move(body)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length))
            throw std::runtime_error("the hostile server cannot listen on loopback");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HostileServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    // Waits until the server has finished with its connection (the client went away, or the body
    // ended, or the client stalled for seconds).
    void waitDone() {
        for (int i = 0; i < 3000 && !done_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    qint64 bodyBytesSent() const { return sent_; }
    int connections() const { return connections_; }
    bool clientHungUp() const { return hungUp_; }
    bool bodyEnded() const { return ended_; }

private:
    void serve() {
        while (!stop_) {
            pollfd wait{listener_, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0)
                continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            ++connections_;
            // Small buffers, so what the kernel holds for the client is small beside what it read.
            const int buffer = 32 * 1024;
            ::setsockopt(client, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
            talk(client);
            ::close(client);
            done_ = true;
        }
    }

    void talk(int client) {
        QByteArray request;
        char piece[4096];
        while (!request.contains("\r\n\r\n")) {
            pollfd wait{client, POLLIN, 0};
            if (::poll(&wait, 1, 5000) <= 0)
                return;
            const ssize_t n = ::recv(client, piece, sizeof piece, 0);
            if (n <= 0)
                return;
            request.append(piece, n);
        }
        if (!sendAll(client, head_, false))
            return;
        for (;;) {
            const QByteArray chunk = body_();
            if (chunk.isEmpty()) {
                ended_ = true;
                return;
            }
            if (!sendAll(client, chunk, true))
                return;
        }
    }

    bool sendAll(int client, const QByteArray& bytes, bool body) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            pollfd wait{client, POLLOUT, 0};
            if (::poll(&wait, 1, 5000) <= 0)
                return false; // the client neither reads nor leaves
            const ssize_t n =
                ::send(client, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
            if (n < 0) {
                hungUp_ = errno == EPIPE || errno == ECONNRESET;
                return false;
            }
            done += n;
            if (body)
                sent_ += n;
        }
        return true;
    }

    QByteArray head_;
    Body body_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false}, done_{false}, hungUp_{false}, ended_{false};
    std::atomic<qint64> sent_{0};
    std::atomic<int> connections_{0};
};

QByteArray httpHead(const QByteArray& extra) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\n" + extra + "Connection: close\r\n\r\n";
}

// `total` bytes of a reply that looks right at first: the start of the document, then spaces.
HostileServer::Body endless(qint64 total, qsizetype chunk = 64 * 1024) {
    auto left = std::make_shared<qint64>(total);
    auto first = std::make_shared<bool>(true);
    return [left, first, chunk] {
        if (*left <= 0)
            return QByteArray();
        QByteArray piece(static_cast<qsizetype>(std::min<qint64>(chunk, *left)), ' ');
        if (*first) {
            const QByteArray start = "<?xml version=\"1.0\"?><xmlcep><uf>SP</uf><logradouro>";
            piece.replace(0, start.size(), start);
            *first = false;
        }
        *left -= piece.size();
        return piece;
    };
}

QByteArray chunked(const QByteArray& piece) {
    return QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
}

struct Fetched {
    CepFetch fetch;
    qint64 sent = 0;
    bool hungUp = false;
    bool ended = false;
};

Fetched fetchFrom(HostileServer& server) {
    QNetworkAccessManager network;
    Fetched f;
    f.fetch = lookup::fetchCepReply(network, lookup::cepRequestUrl(server.baseUrl(), QStringLiteral("01001000")));
    server.waitDone();
    f.sent = server.bodyBytesSent();
    f.hungUp = server.clientHungUp();
    f.ended = server.bodyEnded();
    return f;
}

// Bodies far beyond a postal-code reply: the client stops at its limit and hangs up, having taken a few
// megabytes at most (what the two kernels buffer), never the gigabyte.
TEST(HostileCepReply, AnOversizedBodyIsRefusedWithoutReadingItAll) {
    // zlib stream of 64 MiB of blanks inside a document, sent as "deflate": about 64 KiB on the wire.
    QByteArray blanks = "<?xml version=\"1.0\"?><xmlcep><uf>SP</uf><logradouro>";
    blanks += QByteArray(64 * 1024 * 1024, ' ');
    const QByteArray bomb = qCompress(blanks, 9).mid(4); // qCompress puts the length in front
    blanks.clear();

    const struct {
        const char* what;
        QByteArray head;
        HostileServer::Body body;
        qint64 wireLimit; // body bytes the client may have let the server send
        bool complete;    // the response ends within the body (an HTTP reply of its own, read as one)
    } cases[] = {
        {"a declared gigabyte", httpHead("Content-Length: " + QByteArray::number(kGigabyte) + "\r\n"),
         endless(kGigabyte), 16 * 1024 * 1024, false},
        {"an undeclared gigabyte, until the connection closes", httpHead(""), endless(kGigabyte), 16 * 1024 * 1024,
         false},
        {"an endless chunked body", httpHead("Transfer-Encoding: chunked\r\n"),
         [] { return chunked(QByteArray(16 * 1024, ' ')); }, 16 * 1024 * 1024, false},
        {"a small declared length followed by a gigabyte", httpHead("Content-Length: 200\r\n"), endless(kGigabyte),
         16 * 1024 * 1024, true},
        {"64 MiB compressed into a small body",
         httpHead("Content-Encoding: deflate\r\nContent-Length: " + QByteArray::number(bomb.size()) + "\r\n"),
         [bomb, sent = std::make_shared<bool>(false)] {
             if (*sent)
                 return QByteArray();
             *sent = true;
             return bomb;
         },
         bomb.size(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HostileServer server(c.head, c.body);
        const Fetched f = fetchFrom(server);
        if (c.complete) {
            // Only the declared 200 bytes are the reply; they are the start of a document, and read as none.
            EXPECT_LE(f.fetch.body.size(), 200);
            EXPECT_FALSE(lookup::readCepReply(f.fetch.body).has_value());
        } else {
            EXPECT_NE(f.fetch.outcome, CepFetch::Outcome::Reply);
            EXPECT_TRUE(f.fetch.body.isEmpty());
        }
        EXPECT_LE(f.sent, c.wireLimit);
        if (c.wireLimit > bomb.size()) {
            EXPECT_FALSE(f.ended) << "the client read the whole body";
            EXPECT_TRUE(f.hungUp) << "the client neither read on nor hung up";
        }
        std::printf("[ figures  ] %s: outcome %d, %lld body bytes sent before the client hung up\n", c.what,
                    static_cast<int>(f.fetch.outcome), static_cast<long long>(f.sent));
    }
}

// A body that never ends and hardly moves: the wait ends at its bound.
TEST(HostileCepReply, ATrickleIsCutOffAtTheBound) {
    HostileServer server(httpHead("Content-Length: 1000\r\n"), [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return QByteArray(" ");
    });
    const Fetched f = fetchFrom(server);
    EXPECT_EQ(f.fetch.outcome, CepFetch::Outcome::TimedOut);
    EXPECT_FALSE(f.ended);
}

// Entity tricks in a reply that is otherwise a good one. The public service sends plain XML; a
// document type declaration is refused whole, so no entity is expanded, read from a file or fetched.
TEST(HostileCepReply, ADocumentTypeDeclarationOrEntityIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secretPath = dir.filePath(QStringLiteral("secret.txt"));
    {
        QFile secret(secretPath);
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("SEGREDO");
    }
    // Counts any attempt to fetch an external entity.
    HostileServer fetched(httpHead(""), [] { return QByteArray(); });

    const QByteArray file = QUrl::fromLocalFile(secretPath).toEncoded();
    const QByteArray http = fetched.baseUrl().toUtf8() + "/entity";
    const QByteArray tail = "<localidade>Sao Paulo</localidade><bairro>Se</bairro><logradouro>Praca</logradouro>"
                            "</xmlcep>";
    QByteArray laughs = "<!DOCTYPE xmlcep [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 30; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"&l" + QByteArray::number(i - 1) + ";&l" +
                  QByteArray::number(i - 1) + ";\">";
    laughs += "]>";

    const struct {
        const char* what;
        QByteArray body;
    } cases[] = {
        {"an internal entity", "<!DOCTYPE xmlcep [<!ENTITY e \"SP\">]><xmlcep><uf>&e;</uf>" + tail},
        {"a bare document type", "<!DOCTYPE xmlcep><xmlcep><uf>SP</uf>" + tail},
        {"an external entity naming a file",
         "<!DOCTYPE xmlcep [<!ENTITY e SYSTEM \"" + file + "\">]><xmlcep><uf>SP</uf><bairro>&e;</bairro>" + tail},
        {"an external entity naming an address",
         "<!DOCTYPE xmlcep [<!ENTITY e SYSTEM \"" + http + "\">]><xmlcep><uf>SP</uf><bairro>&e;</bairro>" + tail},
        {"an external document type", "<!DOCTYPE xmlcep SYSTEM \"" + http + "\"><xmlcep><uf>SP</uf>" + tail},
        {"a parameter entity",
         "<!DOCTYPE xmlcep [<!ENTITY % p SYSTEM \"" + file + "\"> %p;]><xmlcep><uf>SP</uf>" + tail},
        {"two to the thirtieth laughs", laughs + "<xmlcep><uf>SP</uf><bairro>&l30;</bairro>" + tail},
        {"an undeclared entity", "<xmlcep><uf>&e;</uf>" + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<lookup::CepAddress> read = lookup::readCepReply(c.body);
        EXPECT_FALSE(read.has_value()) << "read: " << read->uf.toStdString() << " | " << read->bairro.toStdString();
    }
    EXPECT_EQ(fetched.connections(), 0);
}

} // namespace
} // namespace cadcons::test
