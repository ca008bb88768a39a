#include "service/consumer_table.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace cadcons::test {
namespace {

// A schema script and the types it gives the consumer's columns: text of a declared width, date-time,
// long text.
struct Script {
    const char* file;
    const char* text;
    const char* dateTime;
    const char* longText;
};

// Each column of the script's CONSUMIDOR table with its declared type, width included.
QMap<QString, QString> consumerColumnTypes(const QString& script) {
    static const QRegularExpression table(QStringLiteral(R"(CREATE TABLE CONSUMIDOR \((.*?)\n\);)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression column(QStringLiteral(R"(^\s*(\w+)\s+(\w+(\([^)]*\))?))"));
    QMap<QString, QString> types;
    for (const QString& line : table.match(script).captured(1).split(u'\n'))
        if (const auto m = column.match(line); m.hasMatch() && m.captured(1) != QLatin1String("CONSTRAINT"))
            types.insert(m.captured(1), m.captured(2));
    return types;
}

void PrintTo(const Script& s, std::ostream* out) {
    *out << s.file;
}

class ConsumerSchema : public testing::TestWithParam<Script> {};

// Stored databases were made by these scripts: the widths the service hands over must be theirs.
TEST_P(ConsumerSchema, DeclaresEveryColumnAsDescribed) {
    const Script& s = GetParam();
    QFile file(QStringLiteral(CADCONS_DB_DIR "/schema/") + QLatin1String(s.file));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << s.file;
    QMap<QString, QString> types = consumerColumnTypes(QString::fromUtf8(file.readAll()));
    for (const ConsumerColumn& c : consumerTable()) {
        const QString expected = c.longText      ? QLatin1String(s.longText)
                                 : isDateTime(c) ? QLatin1String(s.dateTime)
                                                 : QString::fromLatin1(s.text).arg(c.width);
        EXPECT_EQ(types.take(QLatin1String(c.name)).toStdString(), expected.toStdString()) << s.file << " " << c.name;
    }
    EXPECT_TRUE(types.isEmpty()) << s.file << " has columns the table does not describe: "
                                 << types.keys().join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Scripts, ConsumerSchema,
                         testing::Values(Script{"sqlite.sql", "VARCHAR(%1)", "DATETIME", "TEXT"},
                                         Script{"postgresql.sql", "VARCHAR(%1)", "TIMESTAMP", "TEXT"},
                                         Script{"sqlserver.sql", "NVARCHAR(%1)", "DATETIME2", "NVARCHAR(MAX)"},
                                         Script{"oracle.sql", "VARCHAR2(%1 CHAR)", "DATE", "CLOB"}),
                         [](const auto& info) {
                             return QString::fromLatin1(info.param.file).section(u'.', 0, 0).toStdString();
                         });

} // namespace
} // namespace cadcons::test
