#include "screen/lookup/cep_service.h"

#include "config/host_config.h"
#include "config/logging.h"
#include "platform/text.h"
#include "routines/utility.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>
#include <QXmlStreamReader>
#include <memory>

namespace cadcons::lookup {

namespace {

bool isInputEvent(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// For the length of the wait: the wait cursor, and no operator input reaches any handler. The event
// loop of the wait leaves the window system's input queued; this also stops input that was posted or
// sent while the loop runs.
class OperatorWait : public QObject {
public:
    OperatorWait() {
        QCoreApplication::instance()->installEventFilter(this);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            cursorSet_ = true;
        }
    }
    ~OperatorWait() override {
        QCoreApplication::instance()->removeEventFilter(this);
        if (cursorSet_)
            QGuiApplication::restoreOverrideCursor();
    }
    OperatorWait(const OperatorWait&) = delete;
    OperatorWait& operator=(const OperatorWait&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override { return isInputEvent(event->type()); }

private:
    bool cursorSet_ = false;
};

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// The encoding name of the XML declaration, "" when there is none.
QString declaredEncoding(const QByteArray& body) {
    static const QRegularExpression declaration(
        QStringLiteral(R"(\A\s*<\?xml\s[^>]*?\bencoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"));
    // The declaration is plain ASCII at the very start; the first line is enough.
    const auto match = declaration.match(QString::fromLatin1(body.left(256)));
    return match.hasMatch() ? match.captured(1) : QString();
}

// Waits for `reply` to finish, at most `bound`: true when it stopped because the body is too large.
bool waitForReply(QNetworkReply& reply, std::chrono::milliseconds bound) {
    bool tooLarge = false;
    QEventLoop loop;
    QTimer bell;
    bell.setSingleShot(true);
    QObject::connect(&bell, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&reply, &QNetworkReply::readyRead, &loop, [&] {
        if (reply.bytesAvailable() > kMaxCepReplyBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    // A body declared too large is refused before any of it is read.
    QObject::connect(&reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        if (reply.header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMaxCepReplyBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    OperatorWait wait;
    bell.start(bound);
    if (!reply.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return tooLarge;
}

} // namespace

QString cepServiceBase() {
    if (const QString fromEnvironment = qEnvironmentVariable("CADCONS_CEP_URL").trimmed(); !fromEnvironment.isEmpty())
        return fromEnvironment;
    if (const QString configured = hostConfigValue(QStringLiteral("cep/url")).trimmed(); !configured.isEmpty())
        return configured;
    return QString::fromLatin1(kDefaultCepServiceBase);
}

QUrl cepRequestUrl(const QString& base, const QString& cep) {
    if (cep.size() != 8 || !isAsciiDigits(cep))
        return {};
    QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty() || url.hasQuery() ||
        url.hasFragment())
        return {};
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + QStringLiteral("/ws/") + cep + QStringLiteral("/xml/"));
    return url;
}

CepFetch fetchCepReply(QNetworkAccessManager& network, const QUrl& url, std::chrono::milliseconds bound) {
    const TimedCall timed(lcScreen, "fetchCepReply");
    qCDebug(lcScreen) << "postal-code service:" << url.toString();
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(bound.count()));
    // A redirect may not leave the service's scheme, host and port.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    request.setRawHeader("Accept", "application/xml, text/xml");

    CepFetch result;
    std::unique_ptr<QNetworkReply, DeleteLater> reply(network.get(request));
    // Without a bound the network thread reads on, as fast as the sender writes, until the event loop
    // gets round to stopping it: tens of megabytes of a gigabyte body. With it, it stops at the limit.
    reply->setReadBufferSize(kMaxCepReplyBytes + 1);
    const bool tooLarge = waitForReply(*reply, bound);

    if (tooLarge || !reply->isFinished()) {
        reply->abort();
        result.outcome = tooLarge ? CepFetch::Outcome::TooLarge : CepFetch::Outcome::TimedOut;
        return result;
    }
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (result.httpStatus != 0 && (result.httpStatus < 200 || result.httpStatus > 299)) {
        result.outcome = CepFetch::Outcome::HttpError;
        return result;
    }
    if (reply->error() != QNetworkReply::NoError) {
        result.outcome =
            reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError
                ? CepFetch::Outcome::TimedOut
                : CepFetch::Outcome::NetworkError;
        return result;
    }
    result.body = reply->read(kMaxCepReplyBytes + 1);
    result.outcome = result.body.size() > kMaxCepReplyBytes ? CepFetch::Outcome::TooLarge : CepFetch::Outcome::Reply;
    if (result.outcome != CepFetch::Outcome::Reply)
        result.body.clear();
    return result;
}

std::optional<QString> decodeCepReply(const QByteArray& body) {
    static const QByteArray utf8Bom("\xEF\xBB\xBF");
    if (body.startsWith(utf8Bom))
        return QString::fromUtf8(body.mid(utf8Bom.size()));
    QString name = declaredEncoding(body).toLower();
    name.remove(u'-');
    name.remove(u'_');
    if (name.isEmpty() || name == u"utf8" || name == u"usascii" || name == u"ascii")
        return QString::fromUtf8(body);
    if (name == u"iso88591" || name == u"latin1" || name == u"l1" || name == u"isolatin1")
        return QString::fromLatin1(body);
    if (name == u"windows1252" || name == u"cp1252" || name == u"xwindows1252")
        return fromCp1252(body);
    return std::nullopt;
}

QString cleanCepText(const QString& text) {
    QByteArray bytes = toCp1252(text);
    bytes.removeIf([](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0 || b == 10 || b == 254 || b == 255;
    });
    return RemoveAcentos(fromCp1252(bytes));
}

std::optional<CepAddress> readCepReply(const QByteArray& body) {
    const std::optional<QString> decoded = decodeCepReply(body);
    if (!decoded)
        return std::nullopt;
    // The text already carries no encoding of its own: the reader takes it as it stands.
    QXmlStreamReader xml(cleanCepText(*decoded));
    CepAddress address;
    const struct {
        const char* name;
        QString* target;
    } parts[] = {{"uf", &address.uf},
                 {"localidade", &address.localidade},
                 {"bairro", &address.bairro},
                 {"logradouro", &address.logradouro}};
    bool seen[std::size(parts)] = {};
    bool unknownCode = false;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        // The service sends plain XML. A document type declaration could define entities that expand
        // into the address, or name files and addresses to fetch: such a reply is not read at all.
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return std::nullopt;
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (xml.name() == u"erro")
            unknownCode = true;
        if (depth != 2)
            continue;
        for (std::size_t i = 0; i < std::size(parts); ++i) {
            if (xml.name() != QLatin1String(parts[i].name) || seen[i])
                continue;
            seen[i] = true;
            // Character references come through the reader unchanged by the cleaning above.
            *parts[i].target = cleanCepText(xml.readElementText(QXmlStreamReader::IncludeChildElements));
            --depth; // readElementText has read the end element
            break;
        }
    }
    if (xml.hasError() || unknownCode)
        return std::nullopt;
    return address;
}

} // namespace cadcons::lookup
