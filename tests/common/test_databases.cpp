#include "test_databases.h"

#include "config/connection.h"

#include <QCoreApplication>
#include <QFileInfo>
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

} // namespace

QStringList backendLabels() {
    return {QStringLiteral("sqlite"), QStringLiteral("postgres"), QStringLiteral("odbc-sqlite"),
            QStringLiteral("odbc-postgres")};
}

QString backendMissing(const QString& label) {
    const bool odbc = label.startsWith(QLatin1String("odbc-"));
    if (odbc && !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        return QStringLiteral("Qt's ODBC driver is not installed");
    if (label == QLatin1String("odbc-sqlite") && !odbcDriverInstalled(QStringLiteral("libsqlite3odbc.so")))
        return QStringLiteral("the SQLite ODBC driver is not installed");
    if (label == QLatin1String("odbc-postgres") && !odbcDriverInstalled(QStringLiteral("psqlodbcw.so")))
        return QStringLiteral("the PostgreSQL ODBC driver is not installed");
    if (label.endsWith(QLatin1String("postgres")) && qEnvironmentVariableIsEmpty("CADCONS_TEST_PG"))
        return QStringLiteral("no PostgreSQL server: run the tests through scripts/with-postgres");
    if (label == QLatin1String("odbc-postgres") && qEnvironmentVariableIsEmpty("CADCONS_TEST_PG_ODBC"))
        return QStringLiteral("CADCONS_TEST_PG_ODBC is not set");
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
    if (label == QLatin1String("postgres")) {
        static const QRegularExpression catalogue(QStringLiteral("Initial Catalog=[^;]*"));
        return qEnvironmentVariable("CADCONS_TEST_PG")
            .replace(catalogue, QStringLiteral("Initial Catalog=") + createPostgresDatabase());
    }
    if (label == QLatin1String("odbc-postgres")) {
        static const QRegularExpression database(QStringLiteral("Database=[^;]*"));
        const QString odbc = qEnvironmentVariable("CADCONS_TEST_PG_ODBC")
                                 .replace(database, QStringLiteral("Database=") + createPostgresDatabase());
        return QStringLiteral("Provider=QODBC;Extended Properties=\"%1\"").arg(odbc);
    }
    throw std::runtime_error(("Unknown test database kind " + label).toStdString());
}

} // namespace cadcons::test
