#include "host_fixture.h"

#include "config/connection.h"
#include "form_service.h"
#include "platform/packet_file.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace cadcons::test {

namespace {

QString dataFile(const char* name) {
    return QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QLatin1String(name);
}

} // namespace

QString code21(int n) {
    return QString::number(n).rightJustified(21, u'0');
}

void HostTest::SetUp() {
    if (const QString missing = backendMissing(backend()); !missing.isEmpty()) {
        if (backendsRequired())
            FAIL() << backend().toStdString() << ": " << missing.toStdString();
        GTEST_SKIP() << missing.toStdString();
    }
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(hostDir()).mkpath(QStringLiteral("Dados/Cadastros")));
    ASSERT_TRUE(QFile::copy(dataFile("PARAMETROSKIV.CDS"), parameterFile()));
    ASSERT_TRUE(QFile::copy(dataFile("Cad_Cliente.cds"), customerFile()));
    for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CRYPTO_KEY", "CADCONS_CEP_URL"}) {
        savedEnv_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qunsetenv(name);
    }
    qputenv("CADCONS_HOST_DIR", hostDir().toUtf8());
    qputenv("CADCONS_CRYPTO_KEY", kCryptoKey);
    ASSERT_NO_FATAL_FAILURE(recreateDatabase());

    savedServices_ = siblingServices();
    siblingServices().Pesquisa = [](ClientDataSet&, const QString&) { return false; };
    siblingServices().SenhaConsCentral = [this](const QString& branch, const QString& customer, const QString& consumer,
                                                const QString& value, const QString& arg5, const QString& arg6,
                                                const QString& action, QVariantList& answer) {
        centralCalls << SiblingCall{{branch, customer, consumer, value, arg5, arg6, action}, {}, answer.size()};
        if (action == QLatin1String("GET_CONS")) {
            // The central store holds what the local database holds.
            const ServiceResult stored = getDadosConsumidor(test::formService(), customer, consumer);
            if (!isPacket(stored) || answer.isEmpty())
                return false;
            answer[0] = QVariant::fromValue(std::get<DataPacket>(stored));
            return true;
        }
        return centralResult;
    };
    siblingServices().SetConsumidor = [this](const QVariantList& context, QVariantList& data) {
        setConsumidorCalls << SiblingCall{{}, context, data.size()};
        if (duringSetConsumidor)
            duringSetConsumidor();
        return setConsumidorAnswer;
    };
    siblingServices().DigitalConsumidor = [this](const QString& code, const QString& customer, const QString& name,
                                                 QVariantList& templates) {
        captureCalls << SiblingCall{{code, customer, name}, {}, templates.size()};
        for (qsizetype i = 0; i < templates.size() && i < captured.size(); ++i)
            templates[i] = captured[i];
    };
}

void HostTest::TearDown() {
    test::closeFormService();
    closeConnection();
    if (savedServices_)
        siblingServices() = *savedServices_;
    for (const auto& [name, value] : savedEnv_)
        value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
}

void HostTest::closeConnection() {
    if (connectionName_.isEmpty())
        return;
    QSqlDatabase::database(connectionName_, false).close();
    QSqlDatabase::removeDatabase(connectionName_);
    connectionName_.clear();
}

void HostTest::recreateDatabase() {
    // The service object outlives every form, as in the host; its next opening connects to this database.
    test::closeFormService();
    closeConnection();
    const QString connection = freshDatabase(backend());
    qputenv("CADCONS_CONNECTION", connection.toUtf8());
    static int n = 0;
    connectionName_ = QStringLiteral("host-fixture-%1").arg(++n);
    // The fixture's own look goes straight to the server, past any pooler the service goes through.
    const ConnectionSettings direct = parseConnectionString(serverConnection(connection));
    QSqlDatabase db = QSqlDatabase::addDatabase(direct.driver, connectionName_);
    applyConnectionSettings(db, direct);
    ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
    createSchema(db);
    seedDemo(db);
}

void HostTest::scriptCentral(bool result, std::function<QVariant()> element0) {
    siblingServices().SenhaConsCentral = [this, result, element0](const QString& branch, const QString& customer,
                                                                  const QString& consumer, const QString& value,
                                                                  const QString& arg5, const QString& arg6,
                                                                  const QString& action, QVariantList& answer) {
        centralCalls << SiblingCall{{branch, customer, consumer, value, arg5, arg6, action}, {}, answer.size()};
        if (element0 && !answer.isEmpty())
            answer[0] = element0();
        return result;
    };
}

void HostTest::writeParameters(const std::map<QString, QVariant>& values, const QString& without) {
    DataPacket packet = readPacketFile(dataFile("PARAMETROSKIV.CDS"));
    for (const auto& [field, value] : values) {
        const int index = packet.fieldIndex(field);
        ASSERT_GE(index, 0) << field.toStdString();
        packet.rows[0][index] = value;
    }
    if (!without.isEmpty()) {
        const int index = packet.fieldIndex(without);
        ASSERT_GE(index, 0) << without.toStdString();
        packet.fields.removeAt(index);
        for (QVariantList& row : packet.rows)
            row.removeAt(index);
    }
    writePacketFile(packet, parameterFile());
}

void HostTest::exec(const QString& sql) {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    ASSERT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

int HostTest::consumerCount() {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")) || !query.next()) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return -1;
    }
    return query.value(0).toInt();
}

QVariantMap HostTest::consumer(const QString& cliente, const QString& consumidor) {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.prepare(QStringLiteral("SELECT * FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K"));
    query.bindValue(QStringLiteral(":C"), cliente);
    query.bindValue(QStringLiteral(":K"), consumidor);
    if (!query.exec()) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return {};
    }
    QVariantMap row;
    if (query.next()) {
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            row.insert(record.fieldName(i).toUpper(), query.value(i));
    }
    return row;
}

} // namespace cadcons::test
