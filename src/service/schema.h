#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace cadcons {

// The SQL dialect of a connection, which picks the schema file: "sqlite", "postgresql", "sqlserver" or
// "oracle". Throws std::runtime_error for a database we have no schema for.
QString schemaDialect(const QSqlDatabase& db);

// The statements of a script as our SQL files write them: each ends with ";" at the end of a line;
// whole-line "--" comments are dropped.
QStringList splitSqlScript(const QString& script);

// Creates the tables and indexes of the consumer database, in one transaction.
void createSchema(QSqlDatabase& db);
// Fills a new database with the demonstration data, in one transaction.
void seedDemo(QSqlDatabase& db);
// Trims the list change log in one transaction: per list table, what is older than `days` days and what
// lies more than `versions` versions behind the table (each when given). A row without keys then stands at
// the newest version removed, so a till whose list is older reads it whole. Returns the rows removed.
qint64 trimListChanges(QSqlDatabase& db, std::optional<int> days, std::optional<qint64> versions);
// Runs a script's statements in one transaction; throws DatabaseError naming the failing statement.
void runSqlScript(QSqlDatabase& db, const QString& script, const QString& name);

} // namespace cadcons
