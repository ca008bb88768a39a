#include "sql_provider.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

class SqlProvider : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = QSqlDatabase::addDatabase("QSQLITE", "sql_provider_test");
        db_.setDatabaseName(":memory:");
        ASSERT_TRUE(db_.open()) << db_.lastError().text().toStdString();
        for (const char* sql :
             {"CREATE TABLE T (ID INTEGER, BIG INTEGER, NAME VARCHAR(30), PRICE DOUBLE, AMOUNT NUMERIC(10,2), "
              "ACTIVE BOOLEAN, CREATED DATETIME, NOTES BLOB)",
              "INSERT INTO T VALUES (1, 5000000000, 'S\u00e3o Paulo', 1.5, 2.25, 1, '2024-01-31 14:05:09', "
              "CAST('line 1' || char(10) || 'line 2' AS BLOB))",
              "INSERT INTO T VALUES (2, -9223372036854775807 - 1, 'Rio', NULL, NULL, 0, "
              "'2024-01-31T08:00:00.250', NULL)",
              "INSERT INTO T VALUES (3, 7, '', 0, 0, NULL, '2024-02-01', NULL)"})
            select(sql);
    }
    void TearDown() override {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase("sql_provider_test");
    }
    QSqlQuery select(const QString& sql) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        return q;
    }
    QSqlDatabase db_;
};

} // namespace

TEST_F(SqlProvider, MapsEveryKindOfColumn) {
    QSqlQuery q = select("SELECT ID, BIG, NAME, PRICE, AMOUNT, ACTIVE, CREATED, NOTES FROM T ORDER BY ID");
    const DataPacket p = packetFromQuery(q, {"created"});
    const QList<FieldDef> fields = {{"ID", FieldType::Int32},         {"BIG", FieldType::Int64},
                                    {"NAME", FieldType::String, 9},   {"PRICE", FieldType::Float},
                                    {"AMOUNT", FieldType::Float},     {"ACTIVE", FieldType::Boolean},
                                    {"CREATED", FieldType::DateTime}, {"NOTES", FieldType::Memo}};
    EXPECT_EQ(p.fields, fields);
    const QList<QVariantList> rows = {
        {qint64(1), qint64(5000000000LL), QStringLiteral("S\u00e3o Paulo"), 1.5, 2.25, true,
         QDateTime(QDate(2024, 1, 31), QTime(14, 5, 9)), QStringLiteral("line 1\nline 2")},
        {qint64(2), std::numeric_limits<qint64>::min(), QStringLiteral("Rio"), QVariant(), QVariant(), false,
         QDateTime(QDate(2024, 1, 31), QTime(8, 0, 0, 250)), QVariant()},
        {qint64(3), qint64(7), QString(""), 0.0, 0.0, QVariant(), QDateTime(QDate(2024, 2, 1), QTime(0, 0)),
         QVariant()},
    };
    ASSERT_EQ(p.rows.size(), rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            EXPECT_EQ(p.rows[r][c], rows[r][c]) << "row " << r << " column " << c;
            EXPECT_EQ(p.rows[r][c].metaType(), rows[r][c].metaType()) << "row " << r << " column " << c;
        }
    }
    // Without the hint a date-time stays text, as wide as its longest value.
    QSqlQuery plain = select("SELECT CREATED FROM T");
    EXPECT_EQ(packetFromQuery(plain).fields, QList<FieldDef>({{"CREATED", FieldType::String, 23}}));
}

TEST_F(SqlProvider, StartsAtTheCurrentRow) {
    QSqlQuery q = select("SELECT ID FROM T ORDER BY ID");
    ASSERT_TRUE(q.next() && q.next());
    EXPECT_EQ(packetFromQuery(q).rows, QList<QVariantList>({{qint64(2)}, {qint64(3)}}));
    QSqlQuery none = select("SELECT ID, NAME FROM T WHERE ID < 0");
    const DataPacket empty = packetFromQuery(none);
    EXPECT_EQ(empty.fields, QList<FieldDef>({{"ID", FieldType::Int32}, {"NAME", FieldType::String, 1}}));
    EXPECT_TRUE(empty.rows.isEmpty());
}

TEST_F(SqlProvider, FailuresThrowWithTheReason) {
    select("INSERT INTO T (ID, CREATED) VALUES (4, '31/01/2024')");
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT ID, CREATED FROM T ORDER BY ID", "CREATED"}, // not a date-time text
        {"SELECT abs(BIG) AS A FROM T", "integer overflow"},  // the driver fails on row 2
        {"SELECT ID AS X, NAME AS x FROM T", "two columns"},
    };
    for (const auto& [sql, keyword] : cases) {
        QSqlQuery q = select(sql);
        try {
            packetFromQuery(q, {"CREATED"});
            ADD_FAILURE() << "no error for " << sql;
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(QString(e.what()).contains(keyword)) << e.what();
        }
    }
    QSqlQuery failed(db_);
    EXPECT_FALSE(failed.exec("SELECT NOPE FROM T"));
    EXPECT_THROW(packetFromQuery(failed), std::runtime_error);
}
