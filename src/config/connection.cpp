#include "config/connection.h"

#include "config/host_config.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>

namespace cadcons {

namespace {

const QString kQSqlite = QStringLiteral("QSQLITE");
const QString kQPsql = QStringLiteral("QPSQL");
const QString kQOdbc = QStringLiteral("QODBC");

[[noreturn]] void fail(const QString& text) {
    throw ConnectionStringError(QStringLiteral("Connection string: %1").arg(text).toStdString());
}

// Values of Password=, Pwd= (also inside an ODBC string) become "***": in ADO and ODBC syntax, braced,
// quoted or up to the next ";". A value already masked is left alone, so masking twice changes nothing.
QString maskPasswordValues(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(
            R"((\b(?:password|pwd)\s*=\s*)(?!\*\*\*(?:[;"'}\s]|$))(\{(?:[^}]|\}\})*\}?|"(?:[^"]|"")*"?|'(?:[^']|'')*'?|[^;]*))"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = text;
    masked.replace(pattern, QStringLiteral("\\1***"));
    return masked;
}

// Whatever else a driver may echo: the password never leaves in a message where it stands as a token of its
// own (no letter or digit on either side). Inside a word it is masked no more: a short password is a piece
// of ordinary words ("x" in "unexpectedly"), and masking there garbled every message while showing where
// its letters stand.
QString scrub(QString text, const QString& password) {
    text = maskPasswordValues(text);
    if (!password.isEmpty()) {
        const QRegularExpression token(
            QStringLiteral("(?<![\\p{L}\\p{N}])%1(?![\\p{L}\\p{N}])").arg(QRegularExpression::escape(password)));
        text.replace(token, QStringLiteral("***"));
    }
    return text;
}

struct Pair {
    QString key; // lower case, single spaces
    QString displayKey;
    QString value;
};

// A double- or single-quoted value starting at text[i], the quote doubled inside it; i ends past the
// closing quote.
QString readQuotedValue(const QString& text, qsizetype& i, const QString& displayKey) {
    const qsizetype n = text.size();
    const QChar quote = text[i++];
    QString value;
    while (i < n) {
        if (text[i] != quote) {
            value += text[i++];
        } else if (i + 1 < n && text[i + 1] == quote) {
            value += quote;
            i += 2;
        } else {
            ++i;
            return value;
        }
    }
    fail(QStringLiteral("the quoted value of %1 has no closing quote").arg(displayKey));
}

// Splits "Key=Value;Key="quoted ""value"";..." into pairs. Never quotes a value in an error: an
// unquoted ";" inside a password would otherwise put part of it on screen.
QList<Pair> splitPairs(const QString& text) {
    QList<Pair> pairs;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int part = 0;
    auto skipBlanks = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    while (true) {
        skipBlanks();
        if (i >= n)
            break;
        if (text[i] == u';') {
            ++i;
            continue;
        }
        ++part;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';')
            ++i;
        if (i >= n || text[i] != u'=')
            fail(QStringLiteral("part %1 has no \"=\" (a value that holds \";\" must be in double quotes)").arg(part));
        const QString displayKey = text.mid(keyStart, i - keyStart).simplified();
        if (displayKey.isEmpty())
            fail(QStringLiteral("part %1 has no key before \"=\"").arg(part));
        ++i;
        skipBlanks();
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            value = readQuotedValue(text, i, displayKey);
            skipBlanks();
            if (i < n && text[i] != u';')
                fail(QStringLiteral("the quoted value of %1 is followed by more text before the next \";\"")
                         .arg(displayKey));
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        pairs.append({displayKey.toLower(), displayKey, value});
    }
    return pairs;
}

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT".
void parseDataSource(const QString& source, ConnectionSettings& settings) {
    QString host = source;
    QString port;
    if (source.startsWith(u'[')) {
        const qsizetype close = source.indexOf(u']');
        if (close < 0)
            fail(QStringLiteral("Data Source \"%1\" has no closing \"]\"").arg(source));
        host = source.mid(1, close - 1);
        const QString rest = source.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                fail(QStringLiteral("Data Source \"%1\" is not HOST or HOST:PORT").arg(source));
            port = rest.mid(1);
        }
    } else if (source.count(u':') == 1) {
        const qsizetype colon = source.indexOf(u':');
        host = source.left(colon);
        port = source.mid(colon + 1);
        if (port.isEmpty())
            fail(QStringLiteral("Data Source \"%1\" has no port after \":\"").arg(source));
    }
    host = host.trimmed();
    if (host.isEmpty())
        fail(QStringLiteral("Data Source \"%1\" names no host").arg(source));
    settings.hostName = host;
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.trimmed().toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            fail(QStringLiteral("Data Source \"%1\": \"%2\" is not a port number (1 to 65535)").arg(source, port));
        settings.port = number;
    }
}

QString describeConnection(const QSqlDatabase& db) {
    if (!db.isValid() && db.driverName().isEmpty())
        return QStringLiteral("Connection: none (no database connection was set up)");
    QString text = QStringLiteral("Connection: driver %1").arg(db.driverName());
    if (!QSqlDatabase::isDriverAvailable(db.driverName()))
        text += QStringLiteral(" (not available: its Qt SQL plugin is not installed)");
    text += QStringLiteral(", database \"%1\"").arg(db.databaseName());
    if (!db.hostName().isEmpty())
        text += QStringLiteral(" on %1").arg(db.hostName()) +
                (db.port() > 0 ? QStringLiteral(":%1").arg(db.port()) : QString());
    if (!db.userName().isEmpty())
        text += QStringLiteral(", user %1").arg(db.userName());
    return text;
}

QString describeError(const QSqlError& error) {
    QStringList parts;
    const QString database = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (!database.isEmpty())
        parts << database;
    if (!driver.isEmpty() && !database.contains(driver))
        parts << driver;
    if (parts.isEmpty())
        return {};
    QString text = QStringLiteral("Database message: %1").arg(parts.join(QStringLiteral(" - ")));
    if (!error.nativeErrorCode().isEmpty())
        text += QStringLiteral(" (native error code %1)").arg(error.nativeErrorCode());
    return text;
}

} // namespace

QString _GetStringConexKiv(const QString& /*unused*/) {
    QString fromEnvironment = qEnvironmentVariable("CADCONS_CONNECTION").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    QString fromConfig = hostConfigValue(QStringLiteral("database/connection"));
    if (!fromConfig.isEmpty())
        return fromConfig;
    QString path = hostDirectory() + QStringLiteral("cadcons.db");
    // A directory name may hold ";" or quotes; the string has to parse back to this very path.
    if (path.contains(u';') || path.contains(u'"') || path.contains(u'\'') || path != path.trimmed())
        path = u'"' + QString(path).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return QStringLiteral("Provider=QSQLITE;Data Source=") + path;
}

ConnectionSettings parseConnectionString(const QString& text) {
    static const QStringList known = {QStringLiteral("provider"),        QStringLiteral("data source"),
                                      QStringLiteral("initial catalog"), QStringLiteral("user id"),
                                      QStringLiteral("password"),        QStringLiteral("extended properties"),
                                      QStringLiteral("connect options"), QStringLiteral("persist security info")};
    QHash<QString, Pair> values;
    for (const Pair& pair : splitPairs(text)) {
        if (!known.contains(pair.key))
            fail(QStringLiteral("unknown key \"%1\"; the keys are Provider, Data Source, Initial Catalog, User ID, "
                                "Password, Extended Properties and Connect Options")
                     .arg(pair.displayKey));
        if (values.contains(pair.key))
            fail(QStringLiteral("%1 is given twice").arg(pair.displayKey));
        values.insert(pair.key, pair);
    }

    ConnectionSettings settings;
    settings.driver = values.value(QStringLiteral("provider")).value.trimmed().toUpper();
    if (settings.driver.isEmpty())
        fail(QStringLiteral("no Provider; use Provider=QSQLITE, QPSQL or QODBC"));
    if (settings.driver != kQSqlite && settings.driver != kQPsql && settings.driver != kQOdbc)
        fail(QStringLiteral("unknown Provider \"%1\"; use QSQLITE, QPSQL or QODBC")
                 .arg(values.value(QStringLiteral("provider")).value));

    auto require = [&](const char* key, const char* name) {
        QString value = values.value(QLatin1String(key)).value;
        if (value.isEmpty())
            fail(QStringLiteral("Provider %1 needs %2").arg(settings.driver, QLatin1String(name)));
        return value;
    };
    auto refuse = [&](std::initializer_list<const char*> keys) {
        for (const char* key : keys) {
            if (values.contains(QLatin1String(key)))
                fail(QStringLiteral("%1 does not apply to Provider %2")
                         .arg(values.value(QLatin1String(key)).displayKey, settings.driver));
        }
    };

    if (settings.driver == kQSqlite) {
        refuse({"initial catalog", "user id", "password", "extended properties"});
        settings.databaseName = require("data source", "Data Source (the database file)");
    } else if (settings.driver == kQPsql) {
        refuse({"extended properties"});
        parseDataSource(require("data source", "Data Source (HOST or HOST:PORT)"), settings);
        settings.databaseName = require("initial catalog", "Initial Catalog (the database name)");
    } else {
        refuse({"data source", "initial catalog"});
        settings.databaseName = require("extended properties", "Extended Properties (the ODBC connection string)");
    }
    settings.userName = values.value(QStringLiteral("user id")).value;
    settings.password = values.value(QStringLiteral("password")).value;
    settings.connectOptions = values.value(QStringLiteral("connect options")).value;
    return settings;
}

void applyConnectionSettings(QSqlDatabase& db, const ConnectionSettings& settings) {
    if (db.isOpen())
        throw std::logic_error("applyConnectionSettings: the connection is open; close it first");
    // The driver of a QSqlDatabase is fixed when it is added.
    if (db.driverName() != settings.driver)
        throw ConnectionStringError(
            QStringLiteral("Connection string: Provider %1 does not match the connection's driver %2")
                .arg(settings.driver, db.driverName())
                .toStdString());
    db.setDatabaseName(settings.databaseName);
    db.setHostName(settings.hostName);
    db.setPort(settings.port);
    db.setUserName(settings.userName);
    db.setPassword(settings.password);
    db.setConnectOptions(settings.connectOptions);
}

// PostgreSQL and the ODBC servers wait for locks themselves and need no session setting: a till behind a
// pooler gets another server session for each transaction, so nothing may rest on one (the service's
// date-times carry their own offset). SQLite fails at once on a file another process is writing unless
// told to wait; Qt's driver waits by default, but a QSQLITE_BUSY_TIMEOUT connect option can shorten
// that, and the save must not fail on a busy file.
void SetADODBSession(QSqlDatabase& db) {
    if (!db.isOpen())
        throw DatabaseError(ADOExceptionMessage(std::runtime_error("the connection is not open"), db,
                                                QStringLiteral("SetADODBSession")),
                            db.lastError());
    if (db.driverName() != kQSqlite)
        return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout=5000"))) {
        const DatabaseError cause(QStringLiteral("could not set the SQLite busy timeout"), query.lastError());
        throw DatabaseError(ADOExceptionMessage(cause, db, QStringLiteral("SetADODBSession")), query.lastError());
    }
}

// An ADO connection runs its after-connect handler on every connect, TryConnect's included; so does
// this one.
void TryConnect(QSqlDatabase& db) {
    if (db.isOpen())
        return;
    if (!db.open()) {
        const DatabaseError cause(QStringLiteral("could not open the database connection"), db.lastError());
        throw DatabaseError(ADOExceptionMessage(cause, db, QStringLiteral("TryConnect")), db.lastError());
    }
    try {
        SetADODBSession(db);
    } catch (...) {
        db.close();
        throw;
    }
}

DatabaseError::DatabaseError(const QString& what, const QSqlError& error)
    : std::runtime_error(what.toStdString())
    , error_(error) {}

QString statementFailed(const char* name) {
    return QStringLiteral("%1: the statement failed").arg(QLatin1String(name));
}

StatementResult runUnnamedStatement(const QSqlDatabase& db, const char* name, const QString& text,
                                    const StatementBindings& bindings, const QSet<QString>& dateTimeColumns) {
    try {
        return runUnnamed(db, text, bindings, dateTimeColumns);
    } catch (const StatementError& e) {
        throw DatabaseError(statementFailed(name), e.error());
    }
}

QString ADOExceptionMessage(const std::exception& e, const QSqlDatabase& db, const QString& context) {
    QSqlError error = db.lastError();
    if (const auto* databaseError = dynamic_cast<const DatabaseError*>(&e);
        databaseError && databaseError->error().type() != QSqlError::NoError)
        error = databaseError->error();

    const QString what = QString::fromUtf8(e.what());
    QStringList lines;
    lines << (context.isEmpty() || what.startsWith(context) ? what : context + QStringLiteral(": ") + what);
    // A text that already went through here (TryConnect's) carries these lines; they are not repeated.
    for (const QString& line : {describeError(error), describeConnection(db)}) {
        if (!line.isEmpty() && !what.contains(scrub(line, db.password())))
            lines << line;
    }
    return scrub(lines.join(u'\n'), db.password());
}

} // namespace cadcons
