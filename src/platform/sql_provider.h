#pragma once

#include "platform/data_packet.h"

#include <QList>
#include <QSet>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <optional>
#include <stdexcept>
#include <utility>

class QSqlDatabase;
class QSqlQuery;

namespace cadcons {

// Turns the whole result of an executed query into a packet: field definitions from the record,
// then every row from the current position on. Date-time columns stay date-times, decimals come as
// floats, integers as qint64. The query is finished afterwards, also when reading fails. Throws
// std::runtime_error when the driver fails while fetching.
DataPacket packetFromQuery(QSqlQuery& query);

// As above, with the columns named in `dateTimeColumns` (compared without regard to case) made
// date-times whatever the driver reports: SQLite hands date-times back as text. Such a text must be
// "yyyy-MM-dd", "yyyy-MM-ddThh:mm:ss[.zzz]" or "yyyy-MM-dd hh:mm:ss[.zzz]"; an empty text is null,
// anything else throws std::runtime_error naming the column.
DataPacket packetFromQuery(QSqlQuery& query, const QSet<QString>& dateTimeColumns);

// A statement the server refused or could not finish, with the error as Qt's drivers describe one.
class StatementError : public std::runtime_error {
public:
    explicit StatementError(const QSqlError& error);
    const QSqlError& error() const { return error_; }

private:
    QSqlError error_;
};

// What runUnnamed brings back: the rows of a query, or how many rows a command touched (-1 for a query).
struct StatementResult {
    DataPacket packet;
    qint64 rowsAffected = -1;
};

using StatementBindings = QList<std::pair<QString, QVariant>>;

// True when `db` is an open PostgreSQL connection of Qt's driver whose libpq this module reaches.
bool runsUnnamed(const QSqlDatabase& db);

// Runs `text`, with `:NAME` placeholders (a name may repeat), as PostgreSQL's unnamed statement: the text
// and its values travel together in one round trip and leave nothing behind on the server, so the
// statement holds behind a pooler that hands each transaction another server connection. Values go as
// text: a null of any type as NULL, a date-time as its local wall-clock time with its offset (so the
// session's time zone never shifts it). The result reads as packetFromQuery reads one of Qt's driver.
// Throws StatementError when the server refuses the statement or the connection fails, std::runtime_error
// when a value cannot be read, and std::invalid_argument for a placeholder without a binding; the
// connection is left ready for its next statement either way.
StatementResult runUnnamed(const QSqlDatabase& db, const QString& text, const StatementBindings& bindings,
                           const QSet<QString>& dateTimeColumns = {});

// True when `db` runs unnamed statements and its libpq has pipeline mode (version 14 or later).
bool pipelines(const QSqlDatabase& db);
// True when `db` is a PostgreSQL connection of Qt's driver that was lost.
bool connectionLost(const QSqlDatabase& db);

struct PipelinedStatement {
    QString text;
    StatementBindings bindings;
};
// A statement's result, or the error it met (no result).
struct PipelinedOutcome {
    std::optional<StatementResult> result;
    QSqlError error;
};
// Sends `statements` together, as unnamed statements with their values, and reads their answers: one round
// trip (libpq's pipeline mode). The server runs them in order in one go; after one fails it runs none of the
// rest, whose error is then that one's. When the connection fails, what was not answered carries the
// connection's error: the server may have run it. Throws StatementError when `db` has no pipeline.
QList<PipelinedOutcome> runPipelined(const QSqlDatabase& db, const QList<PipelinedStatement>& statements);

} // namespace cadcons
