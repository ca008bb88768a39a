#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkAccessManager;

// The public postal-code web service: where it is, how long the screen waits for it, and how its XML
// reply is read.
namespace cadcons::lookup {

// The service answers GET <base>/ws/<eight digits>/xml/. The base comes from CADCONS_CEP_URL, else from
// "url" in the [cep] group of the host configuration, else it is this one.
inline constexpr const char* kDefaultCepServiceBase = "https://viacep.com.br";

// The operator waits at most this long for the reply; the wait ends as soon as the reply is in.
inline constexpr std::chrono::milliseconds kCepWaitBound{1000};

// A reply is a few hundred bytes; anything past this is not a postal-code reply.
inline constexpr qint64 kMaxCepReplyBytes = 64 * 1024;

QString cepServiceBase();

// The request address for `cep`; an invalid QUrl when the code is not eight digits or the base is not a
// plain http(s) address.
QUrl cepRequestUrl(const QString& base, const QString& cep);

// What became of one request.
struct CepFetch {
    enum class Outcome {
        Reply,        // a complete reply with a success status; `body` holds it
        HttpError,    // the service answered with another status
        NetworkError, // no answer: refused, unreachable, reset, TLS failure
        TimedOut,     // nothing complete within the bound
        TooLarge,     // more than kMaxCepReplyBytes
    };
    Outcome outcome = Outcome::NetworkError;
    int httpStatus = 0;
    QByteArray body;
};

// Sends the request and waits for it, at most `bound`. While it waits the application takes no user
// input and shows the wait cursor; other events (timers, sockets) keep running.
CepFetch fetchCepReply(QNetworkAccessManager& network, const QUrl& url,
                       std::chrono::milliseconds bound = kCepWaitBound);

// The four address parts of a reply, cleaned as the address lists expect them.
struct CepAddress {
    QString uf;
    QString localidade;
    QString bairro;
    QString logradouro;
};

// The reply's text by the encoding its XML declaration names (UTF-8 when none; ISO-8859-1,
// windows-1252 and US-ASCII too). Nothing for an encoding this screen does not read.
std::optional<QString> decodeCepReply(const QByteArray& body);

// The text as 8-bit code page 1252 holds it (characters the code page lacks become "?"), without the
// characters 0, 10, 254 and 255, and without accents.
QString cleanCepText(const QString& text);

// Reads a reply body: the address when the reply names the postal code; nothing when it says the code
// is unknown (an "erro" element, whatever its text) or cannot be read (encoding, XML).
std::optional<CepAddress> readCepReply(const QByteArray& body);

} // namespace cadcons::lookup
