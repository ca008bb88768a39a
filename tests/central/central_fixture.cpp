#include "central_fixture.h"

#include "config/connection.h"
#include "platform/sql_provider.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>

namespace cadcons::test {

namespace {

QStringList& capturedLog() {
    static QStringList lines;
    return lines;
}

QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    capturedLog().append(message);
    if (previousHandler && qEnvironmentVariableIsSet("CADCONS_TEST_SHOW_LOG"))
        previousHandler(type, context, message);
}

} // namespace

LogCapture::LogCapture() {
    capturedLog().clear();
    previousHandler = qInstallMessageHandler(captureMessage);
    // What the services report of their work is silent unless asked for, as a host would ask.
    QLoggingCategory::setFilterRules(QStringLiteral("cadcons.host.info=true"));
}

LogCapture::~LogCapture() {
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QString LogCapture::text() const {
    return capturedLog().join(u'\n');
}

void LogCapture::clear() {
    capturedLog().clear();
}

EnvGuard::EnvGuard(std::initializer_list<const char*> names) {
    for (const char* name : names)
        saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
}

EnvGuard::~EnvGuard() {
    for (const auto& [name, value] : saved_)
        value ? qputenv(name, *value) : qunsetenv(name);
}

void PrintTo(const BackendPair& pair, std::ostream* os) {
    *os << pair.local.toStdString() << "/" << pair.central.toStdString();
}

std::string pairName(const ::testing::TestParamInfo<BackendPair>& info) {
    return "local_" + info.param.local.toStdString() + "_central_" + info.param.central.toStdString();
}

std::vector<BackendPair> backendPairs() {
    return {{QStringLiteral("sqlite"), QStringLiteral("sqlite")},
            {QStringLiteral("postgres"), QStringLiteral("postgres")},
            {QStringLiteral("sqlite"), QStringLiteral("postgres")}};
}

void CentralTest::SetUp() {
    for (const QString& label : {GetParam().local, GetParam().central}) {
        if (const QString missing = backendMissing(label); !missing.isEmpty()) {
            if (backendsRequired())
                FAIL() << label.toStdString() << ": " << missing.toStdString();
            GTEST_SKIP() << missing.toStdString();
        }
    }
    ASSERT_TRUE(hostDir_.isValid());
    env_ = std::make_unique<EnvGuard>(
        std::initializer_list<const char*>{"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CENTRAL_CONNECTION"});
    qputenv("CADCONS_HOST_DIR", hostDir().toUtf8());
    qputenv("CADCONS_CONNECTION", freshDatabase(GetParam().local).toUtf8());
    centralConnection_ = freshDatabase(GetParam().central);
    qputenv("CADCONS_CENTRAL_CONNECTION", centralConnection_.toUtf8());

    static int n = 0;
    ++n;
    service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("central-test-local-%1").arg(n));
    service_->open();
    QSqlDatabase adc = local();
    createSchema(adc);
    seedDemo(adc);

    const ConnectionSettings settings = parseConnectionString(centralConnection_);
    centralCheckName_ = QStringLiteral("central-test-check-%1").arg(n);
    QSqlDatabase check = QSqlDatabase::addDatabase(settings.driver, centralCheckName_);
    applyConnectionSettings(check, settings);
    TryConnect(check);
    createSchema(check);
    seedDemo(check);

    savedServices_ = siblingServices();
    siblingServices() = SiblingServices{};
    closeCentralDatabase();
    log_ = std::make_unique<LogCapture>();
}

void CentralTest::TearDown() {
    log_.reset();
    closeCentralDatabase();
    if (!centralCheckName_.isEmpty()) {
        QSqlDatabase::database(centralCheckName_, false).close();
        QSqlDatabase::removeDatabase(centralCheckName_);
    }
    if (savedServices_)
        siblingServices() = *savedServices_;
    service_.reset();
    env_.reset();
}

QSqlDatabase CentralTest::central() const {
    return QSqlDatabase::database(centralCheckName_, false);
}

void CentralTest::exec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    ASSERT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

DataPacket CentralTest::consumerRow(const QSqlDatabase& db, const QString& customer, const QString& consumer) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT * FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K"));
    query.bindValue(QStringLiteral(":C"), customer);
    query.bindValue(QStringLiteral(":K"), consumer);
    if (!query.exec()) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return {};
    }
    DataPacket packet = packetFromQuery(query, {QStringLiteral("DTNASCCONS"), QStringLiteral("DTULTATUCSUM")});
    for (FieldDef& field : packet.fields)
        field.name = field.name.toUpper();
    return packet;
}

QString CentralTest::column(const QSqlDatabase& db, const QString& customer, const QString& consumer,
                            const QString& name) {
    const DataPacket row = consumerRow(db, customer, consumer);
    if (row.rows.isEmpty())
        return QStringLiteral("<no row>");
    const QVariant value = row.rows[0].value(row.fieldIndex(name));
    return value.isNull() ? QStringLiteral("<NULL>") : value.toString();
}

QStringList CentralTest::markers(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT CDCLIENTE, CDCONSUMIDOR, IDATUCONSUMI FROM CONSUMIDOR ORDER BY CDCLIENTE, CDCONSUMIDOR"))) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return {};
    }
    QStringList result;
    while (query.next())
        result << query.value(0).toString().right(2) + u'/' + query.value(1).toString().right(3) + u'=' +
                      query.value(2).toString();
    return result;
}

int CentralTest::consumerCount(const QSqlDatabase& db) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")) && query.next() ? query.value(0).toInt() : -1;
}

void CentralTest::expectSameRow(const DataPacket& expected, const DataPacket& actual, const QStringList& except) {
    ASSERT_EQ(expected.rows.size(), 1);
    ASSERT_EQ(actual.rows.size(), 1);
    ASSERT_EQ(expected.fields.size(), actual.fields.size());
    for (qsizetype i = 0; i < expected.fields.size(); ++i) {
        const QString name = expected.fields[i].name;
        if (except.contains(name))
            continue;
        const int j = actual.fieldIndex(name);
        ASSERT_GE(j, 0) << name.toStdString();
        const QVariant want = expected.rows[0][i];
        const QVariant got = actual.rows[0][j];
        EXPECT_EQ(want.isNull(), got.isNull()) << name.toStdString();
        if (!want.isNull() && !got.isNull()) {
            EXPECT_EQ(want, got) << name.toStdString() << ": " << want.toString().toStdString() << " vs "
                                 << got.toString().toStdString();
        }
    }
}

QStringList CentralTest::storedSecrets() {
    return {QStringLiteral("ZW5jcnlwdGVkLXRpbGwtcGFzcw"),       QStringLiteral("ZW5jcnlwdGVkLXNpdGUtcGFzcw"),
            QStringLiteral("0123456789abcdef0123456789abcdef"), QStringLiteral("fedcba9876543210fedcba9876543210"),
            QStringLiteral("FINGERPRINT-TEMPLATE-ONE"),         QStringLiteral("FINGERPRINT-TEMPLATE-TWO")};
}

void CentralTest::preparePendingChanges() {
    const QStringList secrets = storedSecrets();
    exec(local(), QStringLiteral("UPDATE CONSUMIDOR SET IDATUCONSUMI = 'S'"));
    exec(local(),
         QStringLiteral("UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'JOSE C. PEREIRA', CDSENHACONS = '%1', "
                        "CDSENHASITE = '%2', CDSENHACONSMD5 = '%3', CDSENHAPOSMD5 = '%4', "
                        "DIGICONSUMIDOR = '%5', DIGICONSUMIDOR2 = '%6', IDATUCONSUMI = 'A', "
                        "DTULTATUCSUM = '2024-07-01 10:00:00' "
                        "WHERE CDCLIENTE = '%7' AND CDCONSUMIDOR = '%8'")
             .arg(secrets[0], secrets[1], secrets[2], secrets[3], secrets[4], secrets[5], kC1, consumerKey(2)));

    GravaConsumidor v;
    v.cdCliente = kC2;
    v.nmConsumidor = QStringLiteral("Joana Açaí");
    v.cdConsumidor = consumerKey(99);
    v.cdIdConsumid = QStringLiteral("BADGE-99");
    v.cdCcusClie = QStringLiteral("0000000002");
    v.cdTipoCons = QStringLiteral("01");
    v.nrRgConsumid = QStringLiteral("112223334");
    v.nrCpfRespCon = QStringLiteral("47393545608");
    v.nrTeleCons = QStringLiteral("1133334444");
    v.nrTele2Cons = QStringLiteral("1155556666");
    v.stProcessamento = QStringLiteral("CAIXA");
    v.operacao = QStringLiteral("1");
    v.cdPais = QStringLiteral("0055");
    v.sgEstado = QStringLiteral("SP");
    v.cdMunicipio = QStringLiteral("0001");
    v.dsEndeCons = QStringLiteral("Praça da Sé");
    v.nrEndeCons = QStringLiteral("100");
    v.nmBairCons = QStringLiteral("SE");
    v.nrCepCons = QStringLiteral("01001000");
    v.dsEmailCons = QStringLiteral("joana@example.com");
    v.idSexoCons = QStringLiteral("F");
    v.dtNascCons = QStringLiteral("09/07/1984");
    v.nrCelularCons = QStringLiteral("11999998888");
    v.digital = secrets[4];
    v.digital2 = secrets[5];
    v.cdExConsumid = QStringLiteral("EXT-99");
    v.cdSenhaCons = secrets[0];
    v.cdSenhaSite = secrets[1];
    v.nmLoginCons = QStringLiteral("joana");
    v.idImpCpfCupom = QStringLiteral("S");
    v.idCadConfLibCon = QStringLiteral("N");
    v.idAtuCpfCons = QStringLiteral("S");
    v.idVerSaldCon = QStringLiteral("N");
    v.idTpVendaCons = QStringLiteral("2");
    v.cdSenhaConsMd5 = secrets[2];
    v.cdSenhaPosMd5 = secrets[3];
    const ServiceResult saved = setGravaConsumidor(*service_, v);
    ASSERT_TRUE(std::holds_alternative<bool>(saved)) << std::get<QString>(saved).toStdString();
    // The columns the save leaves alone, on an inserted and an updated row, so that a column the copy
    // forgets shows.
    exec(local(), QStringLiteral("UPDATE CONSUMIDOR SET NRRAMAL1CONS = '11', NRRAMAL2CONS = '22', NRFAXCONS = '33', "
                                 "NRCTACORCONS = '44', CDVENDEDOR = '0005', NMRESPCONS = 'Resp', DSINFOCONS = 'Info' "
                                 "WHERE (CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2') OR (CDCLIENTE = '%3' AND "
                                 "CDCONSUMIDOR = '%4')")
                      .arg(kC2, consumerKey(99), kC1, consumerKey(2)));

    exec(local(), QStringLiteral("UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'CARLOS E. SOUZA', IDATUCONSUMI = 'A', "
                                 "DTULTATUCSUM = NULL WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
                      .arg(kC2, consumerKey(1)));
    exec(local(), QStringLiteral("UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'NOT TO BE PUBLISHED' "
                                 "WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
                      .arg(kC2, consumerKey(10)));
}

} // namespace cadcons::test
