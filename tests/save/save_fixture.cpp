#include "save_fixture.h"

#include "config/connection.h"
#include "config/host_config.h"
#include "platform/packet_file.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "test_databases.h"
#include "widgets/blended.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace cadcons::test {

namespace {

QString dataFile(const char* name) {
    return QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QLatin1String(name);
}

} // namespace

QString code21(int n) {
    return QString::number(n).rightJustified(21, u'0');
}

void SaveTest::SetUp() {
    if (const QString missing = backendMissing(GetParam()); !missing.isEmpty()) {
        if (backendsRequired())
            FAIL() << GetParam().toStdString() << ": " << missing.toStdString();
        GTEST_SKIP() << missing.toStdString();
    }
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(hostDir()).mkpath(QStringLiteral("Dados/Cadastros")));
    ASSERT_TRUE(QFile::copy(dataFile("PARAMETROSKIV.CDS"), hostDir() + QStringLiteral("PARAMETROSKIV.CDS")));
    ASSERT_TRUE(
        QFile::copy(dataFile("Cad_Cliente.cds"), hostDir() + QStringLiteral("Dados/Cadastros/Cad_Cliente.cds")));

    const QString connection = freshDatabase(GetParam());
    static int n = 0;
    connectionName_ = QStringLiteral("save-fixture-%1").arg(++n);
    {
        // The fixture's own look goes straight to the server, past any pooler the service goes through.
        const ConnectionSettings direct = parseConnectionString(serverConnection(connection));
        QSqlDatabase db = QSqlDatabase::addDatabase(direct.driver, connectionName_);
        applyConnectionSettings(db, direct);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        createSchema(db);
        seedDemo(db);
    }

    for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CRYPTO_KEY", "CADCONS_CEP_URL"}) {
        savedEnv_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qunsetenv(name);
    }
    qputenv("CADCONS_HOST_DIR", hostDir().toUtf8());
    qputenv("CADCONS_CONNECTION", connection.toUtf8());
    qputenv("CADCONS_CRYPTO_KEY", kCryptoKey);
    // The service object outlives every form; the next initialization opens this test's database.
    test::closeFormService();

    savedServices_ = siblingServices();
    siblingServices().Pesquisa = [](ClientDataSet& ds, const QString&) {
        ADD_FAILURE() << "a pick list was offered: " << ds.name().toStdString();
        return false;
    };
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

void SaveTest::TearDown() {
    form.reset();
    test::closeFormService();
    if (!connectionName_.isEmpty()) {
        QSqlDatabase::database(connectionName_, false).close();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    siblingServices() = savedServices_;
    for (const auto& [name, value] : savedEnv_)
        value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
}

void SaveTest::writeParameters(const std::map<QString, QVariant>& values) {
    DataPacket packet = readPacketFile(dataFile("PARAMETROSKIV.CDS"));
    for (const auto& [field, value] : values) {
        const int index = packet.fieldIndex(field);
        ASSERT_GE(index, 0) << field.toStdString();
        packet.rows[0][index] = value;
    }
    writePacketFile(packet, hostDir() + QStringLiteral("PARAMETROSKIV.CDS"));
}

TfrmCadastroConsumidor& SaveTest::open(const QString& code, const QString& customer, const QString& mode) {
    form.reset();
    form = std::make_unique<TfrmCadastroConsumidor>(test::formService(), hostDirectory());
    form->FormCreate();
    form->InicializaForm(code, QString(), customer, mode);
    form->show();
    return *form;
}

void SaveTest::show(int field, const QString& value) {
    form->setFieldText(field, value);
}

void SaveTest::show(const char* label, const QString& value) {
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        if (QLatin1String(spec.textLabel) == QLatin1String(label))
            return form->setFieldText(spec.number, value);
    }
    ADD_FAILURE() << "no field shows its value in " << label;
}

void SaveTest::typePassword(int field, const QString& password) {
    form->selectField(field);
    form->mudaCor();
    for (QChar c : password) {
        QChar key = c;
        form->entry().FormKeyPress(key);
    }
}

void SaveTest::fillNewConsumer(const QString& code) {
    show("lblCodCons", code);
    show("lblNome", QStringLiteral("BEATRIZ NUNES"));
    show("lblCpf", QStringLiteral("52998224725"));
    show("lblRg", QStringLiteral("RG-77001"));
    show("lblNasc", QStringLiteral("15/08/1995"));
    show("lblPais", QStringLiteral("Brasil"));
    show("lblUf", QStringLiteral("SP"));
    show("lblcidade", QStringLiteral("CAMPINAS"));
    show("lblCracha", QStringLiteral("B-9001"));
}

void SaveTest::confirm() {
    auto* key = form->findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
    ASSERT_NE(key, nullptr);
    QTest::mouseClick(key, Qt::LeftButton);
}

bool SaveTest::formOpen() const {
    return form && form->isVisible();
}

QString SaveTest::text(const char* label) const {
    const auto* target = form->findChild<QLabel*>(QLatin1String(label));
    return target ? target->text() : QStringLiteral("<no label %1>").arg(QLatin1String(label));
}

void SaveTest::exec(const QString& sql) {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    ASSERT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

int SaveTest::consumerCount() {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")) || !query.next()) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return -1;
    }
    return query.value(0).toInt();
}

QVariantMap SaveTest::consumer(const QString& cliente, const QString& consumidor) {
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

QStringList SaveTest::messageTexts() const {
    QStringList texts;
    for (const MensagemArgs& m : messages)
        texts << m.text;
    return texts;
}

} // namespace cadcons::test
