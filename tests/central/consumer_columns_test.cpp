#include "catalogue.h"
#include "central_statements.h"
#include "consumer_table.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace cadcons::test {
namespace {

QStringList items(const QString& list, const QString& separator) {
    QStringList found = list.split(separator);
    for (QString& item : found)
        item.remove(u' ');
    return found;
}

// What a statement does with each consumer column, sorted: "COLUMN=value" ("where:" before the update's
// key), or the bare name for a select.
QStringList columnsNamedBy(const char* statement) {
    const QString text = QString::fromUtf8(statement).simplified();
    static const QRegularExpression insert(QStringLiteral("^INSERT INTO CONSUMIDOR \\((.*)\\) VALUES \\((.*)\\)$"));
    static const QRegularExpression update(QStringLiteral("^UPDATE CONSUMIDOR SET (.*) WHERE (.*)$"));
    static const QRegularExpression select(QStringLiteral("^SELECT (.*) FROM CONSUMIDOR WHERE "));
    QStringList named;
    if (const auto m = insert.match(text); m.hasMatch()) {
        const QStringList columns = items(m.captured(1), QStringLiteral(",")), values = items(m.captured(2), ",");
        EXPECT_EQ(columns.size(), values.size()) << statement;
        for (qsizetype i = 0; i < std::min(columns.size(), values.size()); ++i)
            named << columns[i] + u'=' + values[i];
    } else if (const auto u = update.match(text); u.hasMatch()) {
        named = items(u.captured(1), QStringLiteral(","));
        for (const QString& key : items(u.captured(2), QStringLiteral(" AND ")))
            named << QStringLiteral("where:") + key;
    } else if (const auto s = select.match(text); s.hasMatch()) {
        named = items(s.captured(1), QStringLiteral(","));
    } else {
        ADD_FAILURE() << "not an insert, update or select of the consumer table: " << statement;
    }
    named.sort();
    return named;
}

QString name(const ConsumerColumn& c) {
    return QLatin1String(c.name);
}
QString bound(const ConsumerColumn& c) {
    return name(c) + QStringLiteral("=:") + name(c);
}
QString keyed(const ConsumerColumn& c) {
    return c.key ? QStringLiteral("where:") + bound(c) : bound(c);
}
QString published(const ConsumerColumn& c) {
    return c.saved == Saved::Marker ? name(c) + "='S'" : keyed(c);
}

TEST(ConsumerColumns, EveryStatementNamesExactlyTheDescribedColumns) {
    // What each statement must do with a column; empty when it leaves the column out.
    const struct {
        const char* text;
        QString (*rule)(const ConsumerColumn&);
    } cases[] = {
        {sql::acmConsumidor, [](const ConsumerColumn& c) { return c.literal ? name(c) + '=' + c.literal : bound(c); }},
        {sql::acmUpdCpfConsumidor, [](const ConsumerColumn& c) { return c.literal ? QString() : keyed(c); }},
        {central_sql::pendingConsumers, name},
        {central_sql::localConsumer, name},
        {central_sql::centralInsert, [](const ConsumerColumn& c) { return c.key ? bound(c) : published(c); }},
        {central_sql::centralUpdate, published},
    };
    for (const auto& statement : cases) {
        QStringList expected;
        for (const ConsumerColumn& column : consumerTable())
            if (const QString entry = statement.rule(column); !entry.isEmpty())
                expected << entry;
        expected.sort();
        EXPECT_EQ(columnsNamedBy(statement.text), expected) << statement.text;
    }
}

} // namespace
} // namespace cadcons::test
