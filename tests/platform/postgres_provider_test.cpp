// PostgreSQL results read through libpq under Qt's connection must give the packet Qt's driver gives.
// Runs on the server that CADCONS_TEST_PG names (scripts/with-postgres), in temporary tables.
#include "platform/sql_provider.h"
#include "test_databases.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <variant>

using namespace cadcons;

namespace {

const QString kConnection = QStringLiteral("postgres_provider_test");

class PostgresProvider : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = test::backendMissing(QStringLiteral("postgres"));
        if (!missing.isEmpty()) {
            if (test::backendsRequired())
                FAIL() << missing.toStdString();
            GTEST_SKIP() << missing.toStdString();
        }
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kConnection);
        // Provider=QPSQL;Data Source=HOST:PORT;Initial Catalog=DB;User ID=U;Password=P
        for (const QString& part : qEnvironmentVariable("CADCONS_TEST_PG").split(u';')) {
            const QString key = part.section(u'=', 0, 0);
            const QString value = part.section(u'=', 1);
            if (key == QLatin1String("Data Source")) {
                db_.setHostName(value.section(u':', 0, 0));
                db_.setPort(value.section(u':', 1).toInt());
            } else if (key == QLatin1String("Initial Catalog")) {
                db_.setDatabaseName(value);
            } else if (key == QLatin1String("User ID")) {
                db_.setUserName(value);
            } else if (key == QLatin1String("Password")) {
                db_.setPassword(value);
            }
        }
        ASSERT_TRUE(db_.open()) << db_.lastError().text().toStdString();
    }
    void TearDown() override {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(kConnection);
    }
    void run(const QString& sql) {
        QSqlQuery q(db_);
        ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }
    // As the data service runs its statements: prepared, with the values bound. Forward-only, the driver
    // takes the rows one at a time; the service asks for them whole.
    QSqlQuery execute(const QString& sql, const QVariantList& values = {}, bool forwardOnly = true) {
        QSqlQuery q(db_);
        q.setForwardOnly(forwardOnly);
        EXPECT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
        for (const QVariant& v : values)
            q.addBindValue(v);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q;
    }
    QSqlDatabase db_;
};

struct Case {
    const char* name;
    const char* sql;
    QVariantList values;
    QStringList dateTimeColumns;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

using PacketOrError = std::variant<DataPacket, std::string>;

PacketOrError packetOrError(QSqlQuery& query, const QSet<QString>& dateTimeColumns) {
    try {
        return packetFromQuery(query, dateTimeColumns);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

void expectSameCells(const DataPacket& read, const DataPacket& expected) {
    ASSERT_EQ(read.rows.size(), expected.rows.size());
    for (qsizetype r = 0; r < expected.rows.size(); ++r) {
        ASSERT_EQ(read.rows[r].size(), expected.rows[r].size());
        for (qsizetype c = 0; c < expected.rows[r].size(); ++c) {
            const QVariant& got = read.rows[r][c];
            const QVariant& want = expected.rows[r][c];
            const std::string where = "row " + std::to_string(r) + " column " + std::to_string(c);
            EXPECT_EQ(got.metaType(), want.metaType()) << where;
            EXPECT_EQ(got.isNull(), want.isNull()) << where;
            if (want.metaType().id() == QMetaType::Double && std::isnan(want.toDouble())) {
                EXPECT_TRUE(std::isnan(got.toDouble())) << where;
            } else {
                EXPECT_EQ(got, want) << where;
            }
            if (want.metaType().id() == QMetaType::QDateTime) {
                EXPECT_EQ(got.toDateTime().timeSpec(), want.toDateTime().timeSpec()) << where;
            }
        }
    }
}

// The statement as the unnamed one, its values bound by their placeholders' names :V0, :V1 and on.
PacketOrError unnamedOrError(const QSqlDatabase& db, const Case& c, const QSet<QString>& dateTimeColumns) {
    StatementBindings bindings;
    for (qsizetype i = 0; i < c.values.size(); ++i)
        bindings.append({QStringLiteral("V%1").arg(i), c.values[i]});
    try {
        return runUnnamed(db, QLatin1String(c.sql), bindings, dateTimeColumns).packet;
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

class PostgresPacket : public PostgresProvider, public ::testing::WithParamInterface<Case> {};

} // namespace

// The same statement read twice: from libpq (the query stands before its first row), and by Qt's driver
// (the query already stands on its first row, so the provider reads through the driver).
TEST_P(PostgresPacket, LibpqReadGivesQtsPacket) {
    run("CREATE TEMP TABLE PLACES (ORD INTEGER, CDPAIS VARCHAR(4), NMBAIRRO VARCHAR(60), OBS TEXT, "
        "VRTXENTREGA DOUBLE PRECISION, DTNASCCONS TIMESTAMP)");
    run("INSERT INTO PLACES VALUES (1, '1058', 'S\u00e3o Jo\u00e3o d''El-Rei', 'a\nb', 1.5, '2024-01-31 14:05:09'), "
        "(2, '1058', 'S\u00e3o Jo\u00e3o d''El-Rei', '', -0.25, '2024-01-31 08:00:00.25'), "
        "(3, '', '', NULL, NULL, NULL), (4, NULL, '\u65e5\u672c \U0001F600', 'x', 0, '1900-02-28 23:59:59.999'), "
        "(5, '1058', 'Centro', repeat('\u00e7', 5000), 1e300, '2099-12-31 00:00:00')");
    const Case& c = GetParam();
    const QSet<QString> dateTimeColumns(c.dateTimeColumns.begin(), c.dateTimeColumns.end());

    for (const bool forwardOnly : {true, false}) {
        SCOPED_TRACE(forwardOnly ? "a row at a time" : "whole");
        // Past Qt's driver, while none of its queries holds the connection.
        const PacketOrError unnamed = unnamedOrError(db_, c, dateTimeColumns);
        QSqlQuery native = execute(QLatin1String(c.sql), c.values, forwardOnly);
        const PacketOrError read = packetOrError(native, dateTimeColumns);
        EXPECT_FALSE(native.isActive()) << "read through libpq, and finished";

        QSqlQuery driver = execute(QLatin1String(c.sql), c.values, forwardOnly);
        driver.next();
        const PacketOrError expected = packetOrError(driver, dateTimeColumns);
        for (const PacketOrError* got : {&read, &unnamed}) {
            SCOPED_TRACE(got == &read ? "through Qt's query" : "as the unnamed statement");
            if (std::holds_alternative<std::string>(expected) || std::holds_alternative<std::string>(*got)) {
                EXPECT_EQ(*got, expected);
                continue;
            }
            EXPECT_EQ(std::get<DataPacket>(*got).fields, std::get<DataPacket>(expected).fields);
            expectSameCells(std::get<DataPacket>(*got), std::get<DataPacket>(expected));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, PostgresPacket,
    ::testing::Values(
        Case{"schemaColumns", "SELECT * FROM PLACES ORDER BY ORD", {}, {}},
        // A placeholder's look-alike in quotes and a cast stay as they are.
        Case{"bound",
             "SELECT NMBAIRRO || ':V1', ORD::TEXT AS O FROM PLACES WHERE CDPAIS = :V0 ORDER BY ORD",
             {QStringLiteral("1058")},
             {}},
        Case{"forcedDateTime",
             "SELECT ORD, CAST(DTNASCCONS AS TEXT) AS CREATED FROM PLACES ORDER BY ORD",
             {},
             {QStringLiteral("created")}},
        Case{"integers",
             "SELECT CAST(n AS SMALLINT) AS I2, n * 1000 AS I4, CAST(n AS BIGINT) * 4000000000 AS I8, "
             "CAST(-9223372036854775807 - 1 AS BIGINT) AS LOWEST, CAST(9223372036854775807 AS BIGINT) AS HIGHEST, "
             "CASE WHEN n % 2 = 0 THEN NULL ELSE n END AS SOMETIMES, COUNT(*) OVER () AS ROWCOUNT "
             "FROM generate_series(-3, 3) n",
             {},
             {}},
        Case{"numbers",
             "SELECT CAST(v AS DOUBLE PRECISION) AS F8, CAST(v AS REAL) AS F4, CAST(v AS NUMERIC(12, 3)) AS N, "
             "CAST(v AS NUMERIC) AS ANYN FROM (VALUES (0.1), (-2.5), (12345.678), (NULL)) AS t(v)",
             {},
             {}},
        Case{"specialFloats",
             "SELECT CAST(v AS DOUBLE PRECISION) AS F8 FROM (VALUES ('NaN'), ('Infinity'), ('-Infinity'), "
             "('1e-300')) AS t(v)",
             {},
             {}},
        Case{"booleansAndBytes",
             "SELECT b, CAST(t AS BYTEA) AS BYTES FROM (VALUES (true, 'plain'), (false, 'S\u00e3o'), "
             "(NULL, NULL), (true, '')) AS t(b, t)",
             {},
             {}},
        Case{"datesAndTimes",
             "SELECT CAST(ts AS DATE) AS D, CAST(ts AS TIME) AS T, ts AS TS, CAST(ts AS TIMESTAMPTZ) AS TSTZ "
             "FROM (VALUES (CAST('2024-01-31 14:05:09.5' AS TIMESTAMP)), (CAST('1999-12-31 23:59:59' AS "
             "TIMESTAMP)), (NULL)) AS t(ts)",
             {},
             {}},
        // Qt reads no time with a zone: both fail alike.
        Case{"timeWithZone", "SELECT CAST('14:05:09.5+02' AS TIMETZ) AS TTZ", {}, {}},
        Case{"otherTypesAsText",
             "SELECT CAST('7d' AS INTERVAL) AS I, CAST('{1,2}' AS INTEGER[]) AS A, CAST('x' AS CHAR(3)) AS C, "
             "CAST('{\"a\": 1}' AS JSON) AS J",
             {},
             {}},
        Case{"empty", "SELECT * FROM PLACES WHERE ORD < 0", {}, {}},
        Case{"large",
             "SELECT n AS CDBAIRRO, 'C' || (n / 7) AS NMBAIRRO, CAST(n % 27 AS VARCHAR(2)) AS SGESTADO, "
             "n * 0.5 AS PRICE FROM generate_series(1, 60000) n ORDER BY n",
             {},
             {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A statement that fails after some of its rows came reports the server's message, and the connection
// serves the next statement.
TEST_F(PostgresProvider, FailureMidReadReportsTheServersMessage) {
    // Not prepared: the server runs an EXECUTE to its end before it sends the first row, so its failure
    // comes at exec(); a plain statement's rows come as they are made.
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    ASSERT_TRUE(q.exec("SELECT n, 10 / (n - 50000) FROM generate_series(1, 100000) n"))
        << q.lastError().text().toStdString();
    try {
        packetFromQuery(q);
        FAIL() << "the division by zero was not reported";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("division by zero"), std::string::npos) << e.what();
    }
    // The same as the unnamed statement, which takes what is left of the failed result before it returns.
    EXPECT_THROW(runUnnamed(db_, q.lastQuery(), {}), StatementError);
    QSqlQuery next = execute("SELECT 42");
    EXPECT_EQ(packetFromQuery(next).rows, QList<QVariantList>({{qint64(42)}}));
}
