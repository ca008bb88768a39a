#include "config/connection.h"
#include "qt_printers.h"
#include "routines/utility.h"
#include "seed_scale.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

// Small enough for a test, large enough that every table spreads over several batches or states.
ScaleOptions smallScale() {
    ScaleOptions o;
    o.states = 27;
    o.cities = 80;
    o.neighbourhoods = 700;
    o.ceps = 3001;
    o.customers = 7;
    o.consumers = 2503;
    return o;
}

const char* const kTables[] = {"PAIS",     "ESTADO",  "MUNICIPIO", "BAIRRO",    "CEP",
                               "TIPOCONS", "CLIENTE", "PARAVEND",  "CONSUMIDOR"};

class SeedScale : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (const QString missing = test::backendMissing(GetParam()); !missing.isEmpty()) {
            if (test::backendsRequired())
                FAIL() << GetParam().toStdString() << ": " << missing.toStdString();
            GTEST_SKIP() << missing.toStdString();
        }
    }
    void TearDown() override {
        for (const QString& name : std::as_const(connections_)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }

    // A fresh database of this backend with the schema.
    QSqlDatabase freshDatabase() {
        static int n = 0;
        const QString name = QStringLiteral("seed-scale-%1").arg(++n);
        const ConnectionSettings settings = parseConnectionString(test::freshDatabase(GetParam()));
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, name);
        applyConnectionSettings(db, settings);
        connections_ << name;
        if (!db.open())
            ADD_FAILURE() << db.lastError().text().toStdString();
        createSchema(db);
        return db;
    }

    static QVariant scalar(const QSqlDatabase& db, const QString& sql) {
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        return query.value(0);
    }
    static qint64 count(const QSqlDatabase& db, const QString& sql) { return scalar(db, sql).toLongLong(); }

    // Every row of a table as text, in the order of all its columns.
    static QStringList dump(const QSqlDatabase& db, const QString& table) {
        QSqlQuery shape(db);
        if (!shape.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(table)))
            ADD_FAILURE() << table.toStdString() << ": " << shape.lastError().text().toStdString();
        const int columns = shape.record().count();
        QStringList order;
        for (int i = 1; i <= columns; ++i)
            order << QString::number(i);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order.join(u','))))
            ADD_FAILURE() << query.lastError().text().toStdString();
        QStringList rows;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < columns; ++i)
                values << (query.isNull(i) ? QStringLiteral("<NULL>") : query.value(i).toString());
            rows << values.join(u'|');
        }
        return rows;
    }

    QStringList connections_;
};

TEST_P(SeedScale, WritesTheRowsAskedForAndReportsProgressToTheEnd) {
    QSqlDatabase db = freshDatabase();
    qint64 last = -1;
    qint64 total = -1;
    bool backwards = false;
    seedScale(db, smallScale(), [&](qint64 done, qint64 all) {
        backwards = backwards || done < last || (total >= 0 && all != total);
        last = done;
        total = all;
    });
    const struct {
        const char* table;
        qint64 rows;
    } expected[] = {{"PAIS", 1},     {"ESTADO", 27}, {"MUNICIPIO", 80}, {"BAIRRO", 700},     {"CEP", 3001},
                    {"TIPOCONS", 4}, {"CLIENTE", 7}, {"PARAVEND", 1},   {"CONSUMIDOR", 2503}};
    qint64 sum = 0;
    for (const auto& e : expected) {
        EXPECT_EQ(count(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(e.table))), e.rows) << e.table;
        sum += e.rows;
    }
    EXPECT_FALSE(backwards);
    EXPECT_EQ(total, sum);
    EXPECT_EQ(last, total);
}

TEST_P(SeedScale, TheSameOptionsGiveTheSameRows) {
    QSqlDatabase first = freshDatabase();
    QSqlDatabase second = freshDatabase();
    seedScale(first, smallScale());
    seedScale(second, smallScale());
    for (const char* table : kTables) {
        const QStringList a = dump(first, QLatin1String(table));
        const QStringList b = dump(second, QLatin1String(table));
        ASSERT_FALSE(a.isEmpty()) << table;
        EXPECT_EQ(a, b) << table;
    }
}

TEST_P(SeedScale, KeysAreUniqueAndEveryReferenceResolves) {
    QSqlDatabase db = freshDatabase();
    const ScaleOptions o = smallScale();
    seedScale(db, o);

    // Each count must equal the number of rows: a join that loses a row, or a repeated key.
    const struct {
        const char* what;
        const char* sql;
        qint64 expected;
    } checks[] = {
        {"postal codes whose city, neighbourhood and country exist",
         "SELECT COUNT(*) FROM CEP CP, PAIS PA, MUNICIPIO MU, BAIRRO BA WHERE PA.CDPAIS = CP.CDPAIS AND "
         "MU.CDPAIS = CP.CDPAIS AND MU.SGESTADO = CP.SGESTADO AND MU.CDMUNICIPIO = CP.CDMUNICIPIO AND "
         "BA.CDPAIS = CP.CDPAIS AND BA.SGESTADO = CP.SGESTADO AND BA.CDMUNICIPIO = CP.CDMUNICIPIO AND "
         "BA.CDBAIRRO = CP.CDBAIRRO",
         o.ceps},
        {"postal codes of eight digits", "SELECT COUNT(*) FROM CEP WHERE LENGTH(NRCEP) = 8", o.ceps},
        {"neighbourhoods in an existing city",
         "SELECT COUNT(*) FROM BAIRRO BA JOIN MUNICIPIO MU ON MU.CDPAIS = BA.CDPAIS AND MU.SGESTADO = BA.SGESTADO "
         "AND MU.CDMUNICIPIO = BA.CDMUNICIPIO",
         o.neighbourhoods},
        {"cities in an existing state",
         "SELECT COUNT(*) FROM MUNICIPIO MU JOIN ESTADO ES ON ES.CDPAIS = MU.CDPAIS AND ES.SGESTADO = MU.SGESTADO",
         o.cities},
        {"city names within a state", "SELECT COUNT(*) FROM (SELECT DISTINCT SGESTADO, NMMUNICIPIO FROM MUNICIPIO) T",
         o.cities},
        {"neighbourhood names within a city",
         "SELECT COUNT(*) FROM (SELECT DISTINCT SGESTADO, CDMUNICIPIO, NMBAIRRO FROM BAIRRO) T", o.neighbourhoods},
        {"consumers of an existing customer",
         "SELECT COUNT(*) FROM CONSUMIDOR CO JOIN CLIENTE CL ON CL.CDCLIENTE = CO.CDCLIENTE", o.consumers},
        {"consumers living at an existing postal code of their city and neighbourhood",
         "SELECT COUNT(*) FROM CONSUMIDOR CO JOIN CEP CP ON CP.NRCEP = CO.NRCEPCONS AND CP.SGESTADO = CO.SGESTADO "
         "AND CP.CDMUNICIPIO = CO.CDMUNICIPIO JOIN BAIRRO BA ON BA.CDPAIS = CP.CDPAIS AND BA.SGESTADO = CP.SGESTADO "
         "AND BA.CDMUNICIPIO = CP.CDMUNICIPIO AND BA.CDBAIRRO = CP.CDBAIRRO AND BA.NMBAIRRO = CO.NMBAIRCONS",
         o.consumers},
        {"consumers of a known type",
         "SELECT COUNT(*) FROM CONSUMIDOR CO JOIN TIPOCONS TC ON TC.CDTIPOCONS = CO.CDTIPOCONS", o.consumers},
        {"distinct CPFs", "SELECT COUNT(DISTINCT NRCPFRESPCON) FROM CONSUMIDOR", o.consumers},
        {"distinct RGs", "SELECT COUNT(DISTINCT NRRGCONSUMID) FROM CONSUMIDOR", o.consumers},
        {"distinct badges", "SELECT COUNT(DISTINCT CDIDCONSUMID) FROM CONSUMIDOR", o.consumers},
        {"distinct external codes", "SELECT COUNT(DISTINCT CDEXCONSUMID) FROM CONSUMIDOR", o.consumers},
        {"customers with consumers", "SELECT COUNT(DISTINCT CDCLIENTE) FROM CONSUMIDOR", o.customers},
        {"capitals under their own names",
         "SELECT COUNT(*) FROM MUNICIPIO WHERE CDMUNICIPIO = '0001' AND NMMUNICIPIO IN ('SAO PAULO', "
         "'RIO DE JANEIRO', 'BELO HORIZONTE', 'PORTO ALEGRE', 'BRASILIA')",
         5},
        {"the branch defaults the screen reads",
         "SELECT COUNT(*) FROM PARAVEND PA JOIN TIPOCONS TP ON TP.CDTIPOCONS = PA.CDTIPOCONS WHERE "
         "PA.CDFILIAL = '0001' AND PA.CDCLIENTE = '000000000000000000001' AND PA.IDTPVENDACONS = '7'",
         1},
        {"the customers of the customer list file",
         "SELECT COUNT(*) FROM CLIENTE WHERE CDCLIENTE IN ('000000000000000000001', '000000000000000000002', "
         "'000000000000000000003')",
         3},
    };
    for (const auto& c : checks)
        EXPECT_EQ(count(db, QLatin1String(c.sql)), c.expected) << c.what;

    // A CEP lies inside its state's real range: a Sao Paulo code starts below 20, a Rio Grande do Sul one at 9.
    EXPECT_EQ(count(db, QStringLiteral("SELECT COUNT(*) FROM CEP WHERE SGESTADO = 'SP' AND NRCEP >= '20000000'")), 0);
    EXPECT_EQ(count(db, QStringLiteral("SELECT COUNT(*) FROM CEP WHERE SGESTADO = 'RS' AND NRCEP < '90000000'")), 0);

    QSqlQuery cpfs(db);
    ASSERT_TRUE(cpfs.exec(QStringLiteral("SELECT NRCPFRESPCON FROM CONSUMIDOR")));
    int invalid = 0;
    while (cpfs.next())
        invalid += CPFOk(cpfs.value(0).toString()) ? 0 : 1;
    EXPECT_EQ(invalid, 0);
}

TEST_P(SeedScale, RefusesOptionsItCannotHonour) {
    const auto with = [](auto change) {
        ScaleOptions o = smallScale();
        change(o);
        return o;
    };
    const struct {
        const char* what;
        ScaleOptions options;
    } cases[] = {
        {"no state", with([](ScaleOptions& o) { o.states = 0; })},
        {"more states than the country has", with([](ScaleOptions& o) { o.states = 28; })},
        {"a state without a city", with([](ScaleOptions& o) { o.cities = 26; })},
        {"postal codes without neighbourhoods", with([](ScaleOptions& o) { o.neighbourhoods = 0; })},
        {"no customer", with([](ScaleOptions& o) { o.customers = 0; })},
        // Acre alone has a hundred thousand postal codes.
        {"more postal codes than the state's range", with([](ScaleOptions& o) {
             o.states = 1;
             o.cities = 2;
             o.ceps = 100001;
         })},
    };
    for (const auto& c : cases) {
        QSqlDatabase db = freshDatabase();
        EXPECT_THROW(seedScale(db, c.options), std::invalid_argument) << c.what;
        EXPECT_EQ(count(db, QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")), 0) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SeedScale, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         [](const ::testing::TestParamInfo<QString>& info) { return info.param.toStdString(); });

// The settings that make SQLite write fast must not outlive the seeding: a database left without its
// journal or with synchronous off would lose data on a crash in production use.
TEST(SeedScaleSqlite, PutsTheDurabilitySettingsBack) {
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pragmas"));
        db.setDatabaseName(dir.filePath(QStringLiteral("p.db")));
        ASSERT_TRUE(db.open());
        createSchema(db);
        const auto pragma = [&db](const char* name) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
            return q.next() ? q.value(0).toString() : QString();
        };
        const QString journal = pragma("journal_mode");
        const QString synchronous = pragma("synchronous");
        ScaleOptions o = smallScale();
        o.consumers = 50;
        seedScale(db, o);
        EXPECT_EQ(pragma("journal_mode"), journal);
        EXPECT_EQ(pragma("synchronous"), synchronous);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pragmas"));
}

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runDb(const QString& hostDir, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("CADCONS_CONNECTION"));
    env.insert(QStringLiteral("CADCONS_HOST_DIR"), hostDir);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(CADCONS_DB_PROGRAM), args);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The command line: options reach the seeding, the schema comes first, a filled database is refused.
TEST(SeedScaleCommand, SeedsAnEmptyDatabaseAndRefusesAFilledOne) {
    QTemporaryDir dir;
    const QStringList small = {"seed-scale", "--states", "3",           "--cities=9", "--neighbourhoods", "30",
                               "--ceps",     "90",       "--customers", "4",          "--consumers",      "41"};
    const Outcome first = runDb(dir.path(), small);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    // Not a terminal here: plain progress lines, the last one at the end.
    EXPECT_TRUE(first.err.contains(QStringLiteral("seed-scale: 100%"))) << first.err.toStdString();

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cli-check"));
        db.setDatabaseName(dir.filePath(QStringLiteral("cadcons.db")));
        ASSERT_TRUE(db.open());
        const struct {
            const char* table;
            int rows;
        } expected[] = {{"ESTADO", 3}, {"MUNICIPIO", 9}, {"BAIRRO", 30},
                        {"CEP", 90},   {"CLIENTE", 4},   {"CONSUMIDOR", 41}};
        for (const auto& e : expected) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(e.table))));
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toInt(), e.rows) << e.table;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cli-check"));

    const Outcome again = runDb(dir.path(), small);
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("needs an empty database"))) << again.err.toStdString();

    const struct {
        QStringList args;
        int exitCode;
    } usage[] = {
        {{"seed-scale", "--consumers"}, 2},
        {{"seed-scale", "--consumers", "many"}, 2},
        {{"seed-scale", "--shops", "3"}, 2},
        {{"seed-demo", "--consumers", "3"}, 2},
    };
    for (const auto& u : usage)
        EXPECT_EQ(runDb(dir.path(), u.args).exitCode, u.exitCode) << u.args.join(u' ').toStdString();
}

} // namespace
