#include "service/schema.h"

#include "config/connection.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <algorithm>
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

namespace {

const char* const kLoggedTables[] = {"PAIS", "ESTADO", "MUNICIPIO", "BAIRRO", "TIPOCONS"};

// The moment `days` days ago, in the clock each schema's CHANGED default writes.
QString daysAgo(const QString& dialect, int days) {
    if (dialect == QLatin1String("sqlite"))
        return QStringLiteral("datetime('now', '-%1 days')").arg(days);
    if (dialect == QLatin1String("postgresql"))
        return QStringLiteral("LOCALTIMESTAMP - %1 * INTERVAL '1 day'").arg(days);
    if (dialect == QLatin1String("sqlserver"))
        return QStringLiteral("DATEADD(day, -%1, CURRENT_TIMESTAMP)").arg(days);
    return QStringLiteral("LOCALTIMESTAMP - NUMTODSINTERVAL(%1, 'DAY')").arg(days);
}

qint64 oneNumber(QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw DatabaseError(QStringLiteral("trim-list-changes: %1").arg(sql), query.lastError());
    return query.next() && !query.isNull(0) ? query.value(0).toLongLong() : -1;
}

} // namespace

qint64 trimListChanges(QSqlDatabase& db, std::optional<int> days, std::optional<qint64> versions) {
    const QString dialect = schemaDialect(db);
    if (!db.transaction())
        throw DatabaseError(QStringLiteral("trim-list-changes: could not begin a transaction"), db.lastError());
    qint64 removed = 0;
    try {
        for (const char* table : kLoggedTables) {
            const QString name = QLatin1String(table);
            qint64 cut = -1;
            if (versions)
                cut =
                    oneNumber(db, QStringLiteral("SELECT VERSION FROM LISTVERSION WHERE TABLENAME = '%1'").arg(name)) -
                    *versions;
            if (days)
                cut =
                    std::max(cut, oneNumber(db, QStringLiteral("SELECT MAX(VERSION) FROM LISTCHANGE WHERE TABLENAME = "
                                                               "'%1' AND CHANGED < %2")
                                                    .arg(name, daysAgo(dialect, *days))));
            if (cut < 0)
                continue;
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("DELETE FROM LISTCHANGE WHERE TABLENAME = '%1' AND VERSION <= %2")
                                .arg(name)
                                .arg(cut)))
                throw DatabaseError(QStringLiteral("trim-list-changes: the log of %1").arg(name), query.lastError());
            if (const int rows = query.numRowsAffected(); rows > 0) {
                removed += rows;
                if (!query.exec(QStringLiteral("INSERT INTO LISTCHANGE (TABLENAME, VERSION) VALUES ('%1', %2)")
                                    .arg(name)
                                    .arg(cut)))
                    throw DatabaseError(QStringLiteral("trim-list-changes: the mark of %1").arg(name),
                                        query.lastError());
                --removed; // the mark put back
            }
        }
        if (!db.commit())
            throw DatabaseError(QStringLiteral("trim-list-changes: could not commit"), db.lastError());
    } catch (...) {
        db.rollback();
        throw;
    }
    return removed;
}

void seedDemo(QSqlDatabase& db) {
    runSqlScript(db, resourceText(QStringLiteral(":/db/seed/demo.sql")), QStringLiteral("seed/demo.sql"));
}

} // namespace cadcons
