#include "service/schema.h"

#include "config/connection.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <stdexcept>

static void initDbResources() {
    Q_INIT_RESOURCE(cadcons_db);
}

namespace cadcons {

namespace {

QString resourceText(const QString& path) {
    initDbResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Missing built-in SQL file %1").arg(path).toStdString());
    return QString::fromUtf8(file.readAll());
}

bool answers(const QSqlDatabase& db, const QString& probe) {
    QSqlQuery query(db);
    return query.exec(probe);
}

} // namespace

QString schemaDialect(const QSqlDatabase& db) {
    switch (db.driver() ? db.driver()->dbmsType() : QSqlDriver::UnknownDbms) {
    case QSqlDriver::SQLite:
        return QStringLiteral("sqlite");
    case QSqlDriver::PostgreSQL:
        return QStringLiteral("postgresql");
    case QSqlDriver::MSSqlServer:
        return QStringLiteral("sqlserver");
    case QSqlDriver::Oracle:
        return QStringLiteral("oracle");
    default:
        break;
    }
    // The ODBC driver does not name every database it reaches; SQLite answers this and the others do not.
    if (answers(db, QStringLiteral("SELECT sqlite_version()")))
        return QStringLiteral("sqlite");
    throw std::runtime_error(
        QStringLiteral("No schema for the database behind driver %1").arg(db.driverName()).toStdString());
}

QStringList splitSqlScript(const QString& script) {
    QStringList statements;
    QString current;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            continue;
        current += line + QLatin1Char('\n');
        if (trimmed.endsWith(QLatin1Char(';'))) {
            current = current.trimmed();
            current.chop(1);
            statements << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

void runSqlScript(QSqlDatabase& db, const QString& script, const QString& name) {
    if (!db.transaction())
        throw DatabaseError(QStringLiteral("%1: could not begin a transaction").arg(name), db.lastError());
    const QStringList statements = splitSqlScript(script);
    for (qsizetype i = 0; i < statements.size(); ++i) {
        QSqlQuery query(db);
        if (!query.exec(statements[i])) {
            const QSqlError error = query.lastError();
            db.rollback();
            throw DatabaseError(QStringLiteral("%1: statement %2 failed: %3")
                                    .arg(name)
                                    .arg(i + 1)
                                    .arg(statements[i].left(120).simplified()),
                                error);
        }
    }
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        throw DatabaseError(QStringLiteral("%1: could not commit").arg(name), error);
    }
}

void createSchema(QSqlDatabase& db) {
    const QString dialect = schemaDialect(db);
    runSqlScript(db, resourceText(QStringLiteral(":/db/schema/%1.sql").arg(dialect)),
                 QStringLiteral("schema/%1.sql").arg(dialect));
}

void seedDemo(QSqlDatabase& db) {
    runSqlScript(db, resourceText(QStringLiteral(":/db/seed/demo.sql")), QStringLiteral("seed/demo.sql"));
}

} // namespace cadcons
