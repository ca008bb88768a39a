#include "save_fixture.h"

#include "central/central_services.h"
#include "config/connection.h"
#include "routines/utility.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>

namespace cadcons::test {
namespace {

using LogSecretsTest = SaveTest;
INSTANTIATE_TEST_SUITE_P(Backends, LogSecretsTest,
                         ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")), backendName);

// Every message Qt logs while it is alive, with its category.
class LogCapture {
public:
    LogCapture() {
        instance_ = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
        QLoggingCategory::setFilterRules(QStringLiteral("cadcons.*=true"));
    }
    ~LogCapture() {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous_);
        instance_ = nullptr;
    }
    QStringList lines() const {
        QMutexLocker lock(&mutex_);
        return lines_;
    }
    bool hasCategory(const char* category) const {
        const QString prefix = QLatin1String(category) + u':';
        return std::any_of(lines_.cbegin(), lines_.cend(), [&](const QString& l) { return l.startsWith(prefix); });
    }

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        QMutexLocker lock(&instance_->mutex_);
        instance_->lines_ << QLatin1String(context.category ? context.category : "default") + u':' + message;
    }
    static inline LogCapture* instance_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList lines_;
};

// The digest the screen stores for an ASCII password.
QString MD5(const QString& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex());
}

QString passwordOf(const QString& connection) {
    return parseConnectionString(connection).password;
}

} // namespace

// A whole registration and an edit with every diagnostic category on: the services, the screen and the
// central services log what they did, and nothing secret reaches the log, not even in a failure.
TEST_P(LogSecretsTest, FullRegistrationLogsNoSecret) {
    // The central services on a central database of their own, as a host runs them.
    const QString centralConnection = freshDatabase(GetParam());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(parseConnectionString(centralConnection).driver, "log-central");
        applyConnectionSettings(db, parseConnectionString(centralConnection));
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        createSchema(db);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("log-central"));
    const std::optional<QByteArray> savedCentral = qEnvironmentVariableIsSet("CADCONS_CENTRAL_CONNECTION")
                                                       ? std::optional(qgetenv("CADCONS_CENTRAL_CONNECTION"))
                                                       : std::nullopt;
    qputenv("CADCONS_CENTRAL_CONNECTION", centralConnection.toUtf8());
    siblingServices().SenhaConsCentral = nullptr;
    siblingServices().SetConsumidor = nullptr;
    installDefaultCentralServices([] { return &formService(); });

    const QString till = QStringLiteral("Till#Secret71");
    const QString site = QStringLiteral("Site#Secret93");
    captured = {QStringLiteral("FINGER-TEMPLATE-RIGHT-5521"), QStringLiteral("FINGER-TEMPLATE-LEFT-7734")};
    QStringList secrets = {till,
                           site,
                           captured[0].toString(),
                           captured[1].toString(),
                           MD5(till),
                           MD5(site),
                           QString::fromLatin1(kCryptoKey).left(32)};
    for (const QString& connection : {qEnvironmentVariable("CADCONS_CONNECTION"), centralConnection})
        if (const QString password = passwordOf(connection); !password.isEmpty())
            secrets << password;

    // Published centrally, and the till password kept there.
    writeParameters({{QStringLiteral("IDEXCONSATGER"), QStringLiteral("S")},
                     {QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    {
        LogCapture log;
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QStringLiteral("77"));
        typePassword(19, till);
        typePassword(21, site);
        form->sbpDigitalClick();
        confirm();
        EXPECT_FALSE(formOpen()) << messageTexts().join(u'|').toStdString();

        // The stored forms are secrets as much as the passwords.
        const QVariantMap row = consumer(kCliente1, code21(77));
        ASSERT_FALSE(row.isEmpty());
        for (const char* column : {"CDSENHACONS", "CDSENHASITE", "CDSENHAPOSMD5", "CDSENHACONSMD5"})
            secrets << row.value(QLatin1String(column)).toString();

        // An edit whose central password step fails: the failure is logged, its secrets are not.
        const QString newTill = QStringLiteral("Other#Till48");
        secrets << newTill << MD5(newTill) << CriptoPlus(newTill);
        answers = {true, true, true};
        open(QStringLiteral("77"), kCliente1);
        fillNewConsumer(QStringLiteral("77"));
        typePassword(19, newTill);
        closeCentralDatabase();
        qputenv("CADCONS_CENTRAL_CONNECTION",
                QStringLiteral("Provider=QSQLITE;Data Source=%1/no-such-dir/central.db").arg(hostDir()).toUtf8());
        confirm();
        EXPECT_TRUE(formOpen()) << "the central password step did not fail";
        EXPECT_TRUE(messageTexts().join(u'|').contains(QLatin1String("SenhaConsCentral")))
            << messageTexts().join(u'|').toStdString();

        const QStringList lines = log.lines();
        for (const char* category : {"cadcons.service", "cadcons.screen", "cadcons.host"})
            EXPECT_TRUE(log.hasCategory(category)) << category << " logged nothing:\n"
                                                   << lines.join(u'\n').toStdString();
        for (const char* call :
             {"getMunicipio", "SetConsumidor", "SenhaConsCentral GET_CONS", "SenhaConsCentral UPDATE_SENHA"})
            EXPECT_TRUE(lines.join(u'\n').contains(QLatin1String(call))) << call << " was not logged";
        for (const QString& secret : secrets) {
            ASSERT_GE(secret.size(), 8) << "a secret too short to look for: " << secret.toStdString();
            for (const QString& line : lines)
                EXPECT_FALSE(line.contains(secret)) << "\"" << secret.toStdString() << "\" in: " << line.toStdString();
        }
    }
    closeCentralDatabase();
    savedCentral ? qputenv("CADCONS_CENTRAL_CONNECTION", *savedCentral) : qunsetenv("CADCONS_CENTRAL_CONNECTION");
}

} // namespace cadcons::test
