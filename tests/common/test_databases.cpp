#include "test_databases.h"

#include "config/connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <stdexcept>

namespace cadcons::test {

namespace {

QString scratchDir() {
    static QTemporaryDir dir;
    return dir.path();
}

int nextNumber() {
    static int n = 0;
    return ++n;
}

bool odbcDriverInstalled(const QString& library) {
    return QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/") + library);
}

// A database of its own on the shared server for each test; the server is thrown away afterwards.
QString createPostgresDatabase() {
    const QString admin = qEnvironmentVariable("CADCONS_TEST_PG");
    if (admin.isEmpty())
        throw std::runtime_error("PostgreSQL tests need CADCONS_TEST_PG (run them through scripts/with-postgres)");
    const QString name = QStringLiteral("cadcons_t%1_%2").arg(QCoreApplication::applicationPid()).arg(nextNumber());
    const QString connName = QStringLiteral("pg-admin");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connName);
        applyConnectionSettings(db, parseConnectionString(admin));
        if (db.open()) {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
                error = query.lastError().text();
            db.close();
        } else {
            error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connName);
    if (!error.isEmpty())
        throw std::runtime_error(("Could not create a PostgreSQL test database: " + error).toStdString());
    return name;
}

// The variable naming the server (or the pooler in front of it) that a PostgreSQL backend reaches.
QByteArray serverVariable(const QString& label) {
    static const QHash<QString, QByteArray> variables = {
        {QStringLiteral("postgres"), "CADCONS_TEST_PG"},
        {QStringLiteral("odbc-postgres"), "CADCONS_TEST_PG_ODBC"},
        {QStringLiteral("pgbouncer"), "CADCONS_TEST_PGBOUNCER"},
        {QStringLiteral("odbc-pgbouncer"), "CADCONS_TEST_PGBOUNCER_ODBC"},
        {QStringLiteral("pgbouncer-session"), "CADCONS_TEST_PGBOUNCER_SESSION"}};
    return variables.value(label);
}

} // namespace

QStringList backendLabels() {
    return {QStringLiteral("sqlite"),        QStringLiteral("postgres"),  QStringLiteral("odbc-sqlite"),
            QStringLiteral("odbc-postgres"), QStringLiteral("pgbouncer"), QStringLiteral("odbc-pgbouncer")};
}

QString backendMissing(const QString& label) {
    const bool odbc = label.startsWith(QLatin1String("odbc-"));
    if (odbc && !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        return QStringLiteral("Qt's ODBC driver is not installed");
    if (label == QLatin1String("odbc-sqlite") && !odbcDriverInstalled(QStringLiteral("libsqlite3odbc.so")))
        return QStringLiteral("the SQLite ODBC driver is not installed");
    if (odbc && label != QLatin1String("odbc-sqlite") && !odbcDriverInstalled(QStringLiteral("psqlodbcw.so")))
        return QStringLiteral("the PostgreSQL ODBC driver is not installed");
    if (label != QLatin1String("sqlite") && label != QLatin1String("odbc-sqlite") &&
        qEnvironmentVariableIsEmpty("CADCONS_TEST_PG"))
        return QStringLiteral("no PostgreSQL server: run the tests through scripts/with-postgres");
    if (const QByteArray variable = serverVariable(label); !variable.isEmpty() && qEnvironmentVariableIsEmpty(variable))
        return QStringLiteral("%1 is not set (run the tests through scripts/with-postgres)")
            .arg(QLatin1String(variable));
    return {};
}

bool backendsRequired() {
    return qEnvironmentVariable("CADCONS_REQUIRE_PG") == QLatin1String("1");
}

QString freshDatabase(const QString& label) {
    const int n = nextNumber();
    if (label == QLatin1String("sqlite"))
        return QStringLiteral("Provider=QSQLITE;Data Source=%1/t%2.db").arg(scratchDir()).arg(n);
    if (label == QLatin1String("odbc-sqlite"))
        return QStringLiteral("Provider=QODBC;Extended Properties=\"Driver={SQLite3};Database=%1/o%2.db\"")
            .arg(scratchDir())
            .arg(n);
    const QByteArray variable = serverVariable(label);
    if (label.startsWith(QLatin1String("odbc-")) && !variable.isEmpty()) {
        static const QRegularExpression database(QStringLiteral("Database=[^;]*"));
        const QString odbc =
            qEnvironmentVariable(variable).replace(database, QStringLiteral("Database=") + createPostgresDatabase());
        return QStringLiteral("Provider=QODBC;Extended Properties=\"%1\"").arg(odbc);
    }
    if (!variable.isEmpty()) {
        static const QRegularExpression catalogue(QStringLiteral("Initial Catalog=[^;]*"));
        return qEnvironmentVariable(variable).replace(catalogue,
                                                      QStringLiteral("Initial Catalog=") + createPostgresDatabase());
    }
    throw std::runtime_error(("Unknown test database kind " + label).toStdString());
}

QString serverConnection(const QString& connection) {
    static const QRegularExpression catalogue(QStringLiteral("Initial Catalog=([^;]*)"));
    const QRegularExpressionMatch name = catalogue.match(connection);
    if (!connection.startsWith(QLatin1String("Provider=QPSQL;")) || !name.hasMatch())
        return connection;
    return qEnvironmentVariable("CADCONS_TEST_PG")
        .replace(catalogue, QStringLiteral("Initial Catalog=") + name.captured(1));
}

} // namespace cadcons::test
