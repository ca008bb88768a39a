#include "platform/sql_provider.h"

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

// SQLite results are read from SQLite itself; Qt's driver reads the same rows when the query already
// stands on a row. Both must give the same packet, whatever SQLite's loose typing stored.
TEST_F(SqlProvider, ReadsSqliteAsQtsDriverDoes) {
    select("CREATE TABLE M (ORD INTEGER, A VARCHAR(10), B VARCHAR(10), LOOSE, N INTEGER)");
    const char* rows[] = {
        "0, NULL, NULL, NULL, NULL", // the row the driver's read starts after
        "1, 'SP', 'SP', 1, 1",
        "2, 'SP', 'SP', 'SP', 2",                 // equal to the row above, and to the other column
        "3, 'RJ', NULL, 2.5, 3",                  // same length, other bytes
        "4, 'RJ', 'RJ', X'00FF', 4",              // a blob in a column without a type
        "5, '', '', '', 5",                       // empty, not null
        "6, NULL, '', NULL, 6",                   // null between equal texts
        "7, 'S' || char(0) || 'P', 'SP', 'x', 7", // an embedded NUL is kept
        "8, 'Jo\u00e3o', 'Jo\u00e3o', 'Jo\u00e3o', 8",
        "9, CAST(X'C3' AS TEXT), 'SP', 9, 9", // not UTF-8: the replacement character
        "10, 42, 'SP', -1, 10",               // an integer given to a text column
    };
    for (const char* values : rows)
        select(QStringLiteral("INSERT INTO M VALUES (%1)").arg(QLatin1String(values)));
    // A: a few texts repeated out of order; B: distinct texts for a while, then A's again.
    for (int i = 11; i < 900; ++i)
        select(QStringLiteral("INSERT INTO M VALUES (%1, 'C%2', '%3', %4, %1)")
                   .arg(i)
                   .arg(i % 7)
                   .arg(i < 600 ? QStringLiteral("U%1").arg(i) : QStringLiteral("C%1").arg(i % 7))
                   .arg(i % 3));
    const QString sql = QStringLiteral("SELECT * FROM M ORDER BY ORD");

    QSqlQuery native = select(sql);
    const DataPacket read = packetFromQuery(native);
    EXPECT_FALSE(native.isActive()) << "the query must not step its statement again";
    EXPECT_FALSE(native.next());

    QSqlQuery driver = select(sql);
    ASSERT_TRUE(driver.next() && driver.next()); // on row 1: the driver reads from there
    const DataPacket expected = packetFromQuery(driver);
    EXPECT_EQ(read.fields, expected.fields);
    ASSERT_EQ(read.rows.size(), expected.rows.size() + 1);
    for (qsizetype r = 0; r < expected.rows.size(); ++r) {
        for (qsizetype c = 0; c < expected.rows[r].size(); ++c) {
            const QVariant& got = read.rows[r + 1][c];
            EXPECT_EQ(got, expected.rows[r][c]) << "row " << r + 1 << " column " << c;
            EXPECT_EQ(got.metaType(), expected.rows[r][c].metaType()) << "row " << r + 1 << " column " << c;
            EXPECT_EQ(got.isNull(), expected.rows[r][c].isNull()) << "row " << r + 1 << " column " << c;
        }
    }
    EXPECT_EQ(read.rows[7][1].toString(), QStringLiteral("S") + QChar(0) + QStringLiteral("P"));
    EXPECT_EQ(read.rows[9][1].toString(), QString(QChar::ReplacementCharacter));
}
