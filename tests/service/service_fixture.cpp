#include "service_fixture.h"

#include "service/schema.h"
#include "test_databases.h"

#include <QSqlError>
#include <QSqlQuery>

namespace cadcons::test {

void ServiceTest::SetUp() {
    if (const QString missing = backendMissing(GetParam()); !missing.isEmpty()) {
        if (backendsRequired())
            FAIL() << GetParam().toStdString() << ": " << missing.toStdString();
        GTEST_SKIP() << missing.toStdString();
    }
    connectionString_ = freshDatabase(GetParam());
    qputenv("CADCONS_CONNECTION", connectionString_.toUtf8());
    qputenv("CADCONS_CACHE_DIR", listDir_.path().toUtf8());
    static int n = 0;
    service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("test-%1").arg(++n));
    service_->open();
    QSqlDatabase adc = service_->adcCadConsumidor();
    createSchema(adc);
}

void ServiceTest::TearDown() {
    service_.reset();
    qunsetenv("CADCONS_CONNECTION");
    qunsetenv("CADCONS_CACHE_DIR");
}

void ServiceTest::exec(const QString& sql) {
    QSqlQuery query(db());
    ASSERT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

QVariant ServiceTest::consumerColumn(const QString& cdCliente, const QString& cdConsumidor, const QString& column) {
    QSqlQuery query(db());
    query.prepare(QStringLiteral("SELECT %1 FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K").arg(column));
    query.bindValue(QStringLiteral(":C"), cdCliente);
    query.bindValue(QStringLiteral(":K"), cdConsumidor);
    if (!query.exec()) {
        ADD_FAILURE() << query.lastError().text().toStdString();
        return {};
    }
    if (!query.next())
        return {};
    const QVariant value = query.value(0);
    // Keep "present but NULL" apart from "no row".
    return value.isNull() ? QVariant(QStringLiteral("<NULL>")) : value;
}

int ServiceTest::consumerCount() {
    QSqlQuery query(db());
    query.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR"));
    return query.next() ? query.value(0).toInt() : -1;
}

void ServiceTest::insertConsumer(const QString& cliente, const QString& codigo, const QString& nome,
                                 const QString& situacao, const QString& badge, const QString& externo,
                                 const QString& rg, const QString& cpf, const QString& pais, const QString& uf,
                                 const QString& municipio, const QString& tipo) {
    QSqlQuery query(db());
    query.prepare(QStringLiteral(
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, IDSITCONSUMI, CDIDCONSUMID, CDEXCONSUMID, "
        "NRRGCONSUMID, NRCPFRESPCON, CDPAIS, SGESTADO, CDMUNICIPIO, CDTIPOCONS, IDATUCONSUMI) "
        "VALUES (:A, :B, :C, :D, :E, :F, :G, :H, :I, :J, :K, :L, 'I')"));
    const QString values[] = {cliente, codigo, nome, situacao, badge, externo, rg, cpf, pais, uf, municipio, tipo};
    const char* names[] = {":A", ":B", ":C", ":D", ":E", ":F", ":G", ":H", ":I", ":J", ":K", ":L"};
    for (int i = 0; i < 12; ++i)
        query.bindValue(QLatin1String(names[i]), values[i]);
    ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
}

void ServiceTest::insertFixtureData() {
    exec(QStringLiteral("INSERT INTO PAIS (CDPAIS, NMPAIS) VALUES ('0055', 'Brasil')"));
    exec(QStringLiteral("INSERT INTO ESTADO (CDPAIS, SGESTADO, NMESTADO) VALUES ('0055', 'SP', 'São Paulo')"));
    exec(QStringLiteral("INSERT INTO ESTADO (CDPAIS, SGESTADO, NMESTADO) VALUES ('0055', 'MG', 'Minas Gerais')"));
    exec(QStringLiteral("INSERT INTO MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO, NMMUNICIPIO) VALUES ('0055', 'SP', "
                        "'0001', 'SAO PAULO')"));
    exec(QStringLiteral("INSERT INTO MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO, NMMUNICIPIO) "
                        "VALUES ('0055', 'MG', '0001', 'BELO HORIZONTE')"));
    exec(QStringLiteral("INSERT INTO BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO, NMBAIRRO, QTHORAENTREGA, "
                        "VRTXENTREGA) VALUES ('0055', 'SP', '0001', '1', 'SE', '0030', 5.5)"));
    exec(QStringLiteral("INSERT INTO CEP (NRCEP, DSLOGCEP, CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO) "
                        "VALUES ('01001000', 'Praça da Sé', '0055', 'SP', '0001', '1')"));
    // Its neighbourhood is not in BAIRRO: the look-up must not return it.
    exec(QStringLiteral("INSERT INTO CEP (NRCEP, DSLOGCEP, CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO) "
                        "VALUES ('30130010', 'Praça Sete de Setembro', '0055', 'MG', '0001', '9')"));
    exec(QStringLiteral("INSERT INTO TIPOCONS (CDTIPOCONS, NMTIPOCONS) VALUES ('01', 'FUNCIONARIO')"));
    exec(QStringLiteral("INSERT INTO TIPOCONS (CDTIPOCONS, NMTIPOCONS) VALUES ('02', 'HOSPEDE')"));
    exec(QStringLiteral(
        "INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('000000000000000000001', 'Hotel Beira Mar')"));
    exec(QStringLiteral("INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('000000000000000000002', 'Metalúrgica')"));
    exec(QStringLiteral("INSERT INTO PARAVEND (CDFILIAL, CDCLIENTE, CDTIPOCONS, IDTPVENDACONS) "
                        "VALUES ('0001', '000000000000000000001', '02', '3')"));

    const QString c1 = QStringLiteral("000000000000000000001");
    const QString c2 = QStringLiteral("000000000000000000002");
    insertConsumer(c1, QStringLiteral("000000000000000000123"), QStringLiteral("Ana Souza"), QStringLiteral("1"),
                   QStringLiteral("BADGE-1"), QStringLiteral("EXT-1"), QStringLiteral("123456789"),
                   QStringLiteral("52998224725"));
    // Same code under another customer.
    insertConsumer(c2, QStringLiteral("000000000000000000123"), QStringLiteral("Bruno Lima"), QStringLiteral("1"),
                   QStringLiteral("BADGE-2"), QStringLiteral("EXT-2"), QStringLiteral("987654321"),
                   QStringLiteral("11144477735"));
    // Situation 2: no longer active.
    insertConsumer(c1, QStringLiteral("000000000000000000456"), QStringLiteral("Carla Dias"), QStringLiteral("2"),
                   QStringLiteral("BADGE-3"), QStringLiteral("EXT-3"), QStringLiteral("555"),
                   QStringLiteral("88641577947"));
    // City, country and type that the reference tables do not have.
    insertConsumer(c1, QStringLiteral("000000000000000000789"), QStringLiteral("Davi Reis"), QStringLiteral("1"),
                   QStringLiteral("BADGE-4"), QStringLiteral("EXT-4"), QStringLiteral("777"),
                   QStringLiteral("34608514300"), QStringLiteral("0099"), QStringLiteral("ZZ"), QStringLiteral("9999"),
                   QStringLiteral("99"));
}

} // namespace cadcons::test
