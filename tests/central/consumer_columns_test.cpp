#include "central/central_statements.h"
#include "service/catalogue.h"
#include "service/consumer_table.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace cadcons::test {
namespace {

// What a statement does with each consumer column, sorted: "COLUMN=value" ("where:" before the update's
// key), or the bare name for a select.
QStringList columnsNamedBy(const char* statement) {
    static const QRegularExpression spaces(QStringLiteral("\\s*([=,()])\\s*"));
    static const QRegularExpression insert(QStringLiteral("^INSERT INTO CONSUMIDOR\\((.*)\\)VALUES\\((.*)\\)$"));
    static const QRegularExpression update(QStringLiteral("^UPDATE CONSUMIDOR SET (.*) WHERE (.*)$"));
    static const QRegularExpression select(QStringLiteral("^SELECT (.*) FROM CONSUMIDOR WHERE "));
    const QString text = QString::fromUtf8(statement).simplified().replace(spaces, QStringLiteral("\\1"));
    QStringList named;
    if (const auto m = insert.match(text); m.hasMatch()) {
        const QStringList columns = m.captured(1).split(u','), values = m.captured(2).split(u',');
        EXPECT_EQ(columns.size(), values.size()) << statement;
        for (qsizetype i = 0; i < std::min(columns.size(), values.size()); ++i)
            named << columns[i] + u'=' + values[i];
    } else if (const auto u = update.match(text); u.hasMatch()) {
        named = u.captured(1).split(u',');
        for (const QString& key : u.captured(2).split(QStringLiteral(" AND ")))
            named << QStringLiteral("where:") + key;
    } else if (const auto s = select.match(text); s.hasMatch()) {
        named = s.captured(1).split(u',');
    } else {
        ADD_FAILURE() << "not an insert, update or select of the consumer table: " << statement;
    }
    named.sort();
    return named;
}

TEST(ConsumerColumns, EveryStatementNamesExactlyTheDescribedColumns) {
    enum Kind { Select, LocalInsert, LocalUpdate, CentralInsert, CentralUpdate };
    const std::pair<const char*, Kind> cases[] = {
        {sql::acmConsumidor, LocalInsert},           {sql::acmUpdCpfConsumidor, LocalUpdate},
        {central_sql::pendingConsumers, Select},     {central_sql::localConsumer, Select},
        {central_sql::centralInsert, CentralInsert}, {central_sql::centralUpdate, CentralUpdate},
    };
    for (const auto& [statement, kind] : cases) {
        const bool local = kind == LocalInsert || kind == LocalUpdate;
        const QString where = (kind == LocalUpdate || kind == CentralUpdate) ? QStringLiteral("where:") : QString();
        QStringList expected;
        for (const ConsumerColumn& c : consumerTable()) {
            const QString name = QLatin1String(c.name);
            if (kind == Select)
                expected << name;
            else if (local && c.literal && kind == LocalInsert)
                expected << name + u'=' + QLatin1String(c.literal);
            else if (!local && c.saved == Saved::Marker)
                expected << name + QStringLiteral("='S'");
            else if (kind == LocalUpdate && c.saved == Saved::Marker) // worked out from the stored one
                expected << name + QStringLiteral("=CASE WHEN ") + name + QStringLiteral("='I' THEN 'I' ELSE 'A' END");
            else if (!(local && c.literal))
                expected << (c.key ? where : QString()) + name + QStringLiteral("=:") + name;
        }
        expected.sort();
        EXPECT_EQ(columnsNamedBy(statement), expected) << statement;
    }
}

} // namespace
} // namespace cadcons::test
