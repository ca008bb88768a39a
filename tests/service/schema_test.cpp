#include "service_fixture.h"

#include "service/schema.h"
#include "test_databases.h"

#include "service/catalogue.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace cadcons::test {
namespace {

TEST(SqlScript, SplitsOnLineEndSemicolonsAndDropsComments) {
    const QStringList statements = splitSqlScript(QStringLiteral("-- a comment; with a semicolon\n"
                                                                 "CREATE TABLE A (X INT);\n"
                                                                 "\n"
                                                                 "INSERT INTO A\n"
                                                                 "  VALUES (1);\n"
                                                                 "  -- indented comment\n"
                                                                 "SELECT 1"));
    EXPECT_EQ(statements, (QStringList{"CREATE TABLE A (X INT)", "INSERT INTO A\n  VALUES (1)", "SELECT 1"}));
}

using Schema = ServiceTest;

TEST_P(Schema, DemonstrationDataLoadsAndEveryPostalCodeResolves) {
    QSqlDatabase adc = db();
    seedDemo(adc);
    QSqlQuery q(adc);
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM ESTADO"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 27);
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM CEP"));
    ASSERT_TRUE(q.next());
    const int ceps = q.value(0).toInt();
    EXPECT_GE(ceps, 27);
    ASSERT_TRUE(q.exec("SELECT NRCEP FROM CEP"));
    int resolved = 0;
    while (q.next()) {
        bool ok = false;
        const ServiceResult r = getInfCEP(*service_, q.value(0).toString(), ok);
        if (std::holds_alternative<DataPacket>(r) && std::get<DataPacket>(r).rows.size() == 1)
            ++resolved;
    }
    EXPECT_EQ(resolved, ceps);
}

TEST_P(Schema, ConsumerKeyIsUnique) {
    const QString insert = QStringLiteral(
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) VALUES ('1', '000000000000000000001', 'A')");
    exec(insert);
    QSqlQuery q(db());
    EXPECT_FALSE(q.exec(insert));
}

// The checks that match one of several documents must look each one up, not walk every consumer of the
// customer: on a new SQLite database, and on every later connection to it.
TEST(SqliteSchema, ConsumerChecksLookUpEachDocument) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("plan.db"));
    const auto plans = [&](bool create) {
        QStringList out;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
            db.setDatabaseName(file);
            EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
            if (create)
                createSchema(db);
            for (const char* statement : {sql::adqValidaCons, sql::adqDadosConsMssql}) {
                QSqlQuery q(db);
                QString text = QString::fromUtf8(statement);
                text.replace(QRegularExpression(QStringLiteral(":[A-Z_]+")), QStringLiteral("'1'"));
                EXPECT_TRUE(q.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + text)) << q.lastError().text().toStdString();
                QStringList plan;
                while (q.next())
                    plan << q.value(3).toString();
                out << plan.join(u'|');
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plan"));
        return out;
    };
    for (bool create : {true, false}) {
        for (const QString& plan : plans(create)) {
            EXPECT_TRUE(plan.contains(QLatin1String("MULTI-INDEX OR"))) << plan.toStdString();
            EXPECT_FALSE(plan.contains(QLatin1String("(CDCLIENTE=?)"))) << plan.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, Schema, ::testing::ValuesIn(backendLabels()), backendName);

} // namespace
} // namespace cadcons::test
