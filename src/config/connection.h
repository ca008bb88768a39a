#pragma once

#include "platform/sql_provider.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <exception>
#include <stdexcept>

namespace cadcons {

// The connection string of the point-of-sale database, ADO-like:
//   Provider=QSQLITE;Data Source=PATH
//   Provider=QPSQL;Data Source=HOST[:PORT];Initial Catalog=DB;User ID=U;Password=P
//   Provider=QODBC;Extended Properties="ODBC CONNECTION STRING"
// From CADCONS_CONNECTION, else [database]/connection of the host configuration, else an SQLite file
// "cadcons.db" in the host directory. The optional argument is not read; callers pass nothing or an
// empty text.
QString _GetStringConexKiv(const QString& unused = {});

// What a connection string says, ready for QSqlDatabase.
struct ConnectionSettings {
    QString driver; // QSQLITE, QPSQL, QODBC
    QString databaseName;
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
};

class ConnectionStringError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a connection string; throws ConnectionStringError with a clear text on a bad one. Keys are
// compared without regard to case; values may be double-quoted (a doubled quote inside stands for one).
ConnectionSettings parseConnectionString(const QString& text);

// Applies the settings to a (closed) connection.
void applyConnectionSettings(QSqlDatabase& db, const ConnectionSettings& settings);

// Session settings after every connect: SQLite enforces nothing by default that the service needs,
// but waits for a busy file instead of failing at once.
void SetADODBSession(QSqlDatabase& db);

// Opens the connection; throws DatabaseError with ADOExceptionMessage's text when it cannot.
void TryConnect(QSqlDatabase& db);

// A database failure with the driver's own error.
class DatabaseError : public std::runtime_error {
public:
    DatabaseError(const QString& what, const QSqlError& error);
    const QSqlError& error() const { return error_; }

private:
    QSqlError error_;
};

// "NAME: the statement failed", the first line of the text of every statement that fails.
QString statementFailed(const char* name);

// runUnnamed, its failure a DatabaseError whose text names the statement.
StatementResult runUnnamedStatement(const QSqlDatabase& db, const char* name, const QString& text,
                                    const StatementBindings& bindings, const QSet<QString>& dateTimeColumns = {});

// A text an engineer can act on: what failed, the database's own message and code, the driver.
QString ADOExceptionMessage(const std::exception& e, const QSqlDatabase& db, const QString& context = {});

} // namespace cadcons
