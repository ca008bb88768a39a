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

// The variable naming the server, or the pooler in front of it, that a PostgreSQL backend reaches.
QByteArray serverVariable(const QString& label) {
    if (label.endsWith(QLatin1String("sqlite")))
        return {};
    const QByteArray server = label.contains(QLatin1String("pgbouncer")) ? "CADCONS_TEST_PGBOUNCER" : "CADCONS_TEST_PG";
    return server + (label.startsWith(QLatin1String("odbc-"))    ? "_ODBC"
                     : label.endsWith(QLatin1String("-session")) ? "_SESSION"
                                                                 : "");
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
    if (const QByteArray variable = serverVariable(label); !variable.isEmpty() && qEnvironmentVariableIsEmpty(variable))
        return QStringLiteral("no PostgreSQL server: %1 is not set (run the tests through scripts/with-postgres)")
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
    if (const QByteArray variable = serverVariable(label); !variable.isEmpty()) {
        static const QRegularExpression database(QStringLiteral("(Initial Catalog|Database)=[^;]*"));
        const QString text =
            qEnvironmentVariable(variable).replace(database, QStringLiteral("\\1=") + createPostgresDatabase());
        return label.startsWith(QLatin1String("odbc-"))
                   ? QStringLiteral("Provider=QODBC;Extended Properties=\"%1\"").arg(text)
                   : text;
    }
    throw std::runtime_error(("Unknown test database kind " + label).toStdString());
}

std::string backendName(const ::testing::TestParamInfo<QString>& info) {
    return QString(info.param).replace(u'-', u'_').toStdString();
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
