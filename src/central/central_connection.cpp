#include "central/central_detail.h"
#include "central/central_statements.h"
#include "config/connection.h"
#include "config/host_config.h"
#include "platform/text.h"
#include "service/consumer_table.h"

#include <QDate>
#include <QDateTime>
#include <QSqlQuery>
#include <algorithm>
#include <stdexcept>

namespace cadcons {

namespace {

const QString kConnectionName = QStringLiteral("cadconsCentral");

// The connection string the Qt connection was made from. Kept only in memory, to notice a change.
QString& connectionMadeFrom() {
    static QString text;
    return text;
}

// A date-time column as the drivers bind it everywhere. SQLite hands date-times back as text.
QVariant dateTimeValue(const QString& column, const QVariant& raw) {
    const QVariant null(QMetaType::fromType<QDateTime>());
    switch (raw.metaType().id()) {
    case QMetaType::QDateTime:
        return raw;
    case QMetaType::QDate:
        return QDateTime(raw.toDate(), QTime(0, 0));
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = raw.toString();
        if (text.isEmpty())
            return null;
        if (const QDateTime when = parseIsoDateTime(text); when.isValid())
            return when;
        break;
    }
    default:
        break;
    }
    throw std::runtime_error(QStringLiteral("Column %1 holds \"%2\", which is not a date-time")
                                 .arg(column, raw.toString().left(100))
                                 .toStdString());
}

} // namespace

QString centralConnectionString() {
    const QString fromEnvironment = qEnvironmentVariable("CADCONS_CENTRAL_CONNECTION").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return hostConfigValue(QStringLiteral("central/connection")).trimmed();
}

QSqlDatabase centralDatabase() {
    const QString text = centralConnectionString();
    if (text.isEmpty())
        throw CentralNotConfigured(
            QStringLiteral("No central database is configured: set [central] connection in %1 or "
                           "CADCONS_CENTRAL_CONNECTION")
                .arg(hostConfigPath())
                .toStdString());
    if (QSqlDatabase::contains(kConnectionName) && connectionMadeFrom() == text) {
        QSqlDatabase db = QSqlDatabase::database(kConnectionName, false);
        TryConnect(db);
        return db;
    }
    // First use, or another database now: the driver itself may differ, so the Qt connection is made anew.
    const ConnectionSettings settings = parseConnectionString(text);
    closeCentralDatabase();
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, kConnectionName);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("The central database's driver %1 is not available").arg(settings.driver),
                            db.lastError());
    applyConnectionSettings(db, settings);
    connectionMadeFrom() = text;
    TryConnect(db);
    return db;
}

void closeCentralDatabase() {
    connectionMadeFrom().clear();
    if (!QSqlDatabase::contains(kConnectionName))
        return;
    QSqlDatabase::database(kConnectionName, false).close();
    QSqlDatabase::removeDatabase(kConnectionName);
}

void installDefaultCentralServices(LocalService local) {
    SiblingServices& services = siblingServices();
    if (!services.SenhaConsCentral)
        services.SenhaConsCentral = [local](const QString& branch, const QString& customer, const QString& consumer,
                                            const QString& value, const QString& arg5, const QString& arg6,
                                            const QString& action, QVariantList& result) {
            return senhaConsCentral(local, branch, customer, consumer, value, arg5, arg6, action, result);
        };
    if (!services.SetConsumidor)
        services.SetConsumidor = [local](const QVariantList& context, QVariantList& data) {
            return setConsumidor(local, context, data);
        };
}

const QStringList& consumerColumns() {
    static const QStringList columns = consumerColumnNames([](const ConsumerColumn&) { return true; });
    return columns;
}

QString ConsumerRow::customer() const {
    return values.value(0).toString();
}

QString ConsumerRow::consumer() const {
    return values.value(1).toString();
}

namespace central_detail {

StatementResult run(const QSqlDatabase& db, const char* name, const char* text, const Bindings& bindings,
                    const QSet<QString>& dateTimeColumns) {
    if (runsUnnamed(db))
        return runUnnamedStatement(db, name, QString::fromUtf8(text), bindings, dateTimeColumns);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromUtf8(text)))
        throw DatabaseError(QStringLiteral("%1: the statement could not be prepared").arg(QLatin1String(name)),
                            query.lastError());
    for (const auto& [parameter, value] : bindings)
        query.bindValue(u':' + parameter, value);
    if (!query.exec())
        throw DatabaseError(statementFailed(name), query.lastError());
    StatementResult result;
    if (query.isSelect())
        result.packet = packetFromQuery(query, dateTimeColumns);
    else
        result.rowsAffected = query.numRowsAffected();
    return result;
}

QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QString failureText(const std::exception& e, const QSqlDatabase& db, const QString& context) {
    // Without a connection (it could not be made) the text itself says all there is.
    if (dynamic_cast<const DatabaseError*>(&e) && db.isValid())
        return ADOExceptionMessage(e, db, context);
    return context + QStringLiteral(": ") + QString::fromUtf8(e.what());
}

void closeAfterFailure(const std::exception& e, QSqlDatabase& central) {
    if (dynamic_cast<const DatabaseError*>(&e) && central.isValid())
        central.close();
}

void transactionFailed(const QString& what, const QSqlDatabase& db) {
    throw DatabaseError(what, db.lastError());
}

QStringList secretsOf(const ConsumerRow& row) {
    QStringList secrets;
    const std::span<const ConsumerColumn> table = consumerTable();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].secret)
            secrets.append(row.values.value(static_cast<qsizetype>(i)).toString());
    return secrets;
}

QString withoutSecrets(QString text, const QStringList& secrets) {
    for (const QString& secret : secrets) {
        // Shorter values would also match ordinary words of the message; the stored forms are longer.
        if (secret.trimmed().size() >= 4)
            text.replace(secret, QStringLiteral("***"));
    }
    return text;
}

ConsumerRow readConsumerRow(const DataPacket& result, qsizetype rowNumber) {
    const QVariantList& cells = result.rows.at(rowNumber);
    ConsumerRow row;
    for (const ConsumerColumn& described : consumerTable()) {
        const QString column = QLatin1String(described.name);
        const auto field = std::find_if(result.fields.cbegin(), result.fields.cend(), [&](const FieldDef& f) {
            return f.name.compare(column, Qt::CaseInsensitive) == 0;
        });
        if (field == result.fields.cend())
            throw std::logic_error(QStringLiteral("The consumer statement has no column %1").arg(column).toStdString());
        const QVariant raw = cells.value(field - result.fields.cbegin());
        if (described.saved == Saved::Marker)
            row.marker = raw;
        if (described.saved == Saved::SaveTime)
            row.changedAt = raw;
        if (isDateTime(described))
            row.values.append(raw.isNull() ? QVariant(QMetaType::fromType<QDateTime>()) : dateTimeValue(column, raw));
        else if (raw.isNull())
            row.values.append(QVariant(QMetaType::fromType<QString>()));
        else
            row.values.append(text(raw.toString()));
    }
    return row;
}

void upsertCentral(const QSqlDatabase& central, const ConsumerRow& row) {
    const DataPacket found =
        run(central, "centralExists", central_sql::centralExists,
            {{QStringLiteral("P_CDCLIENTE"), row.customer()}, {QStringLiteral("P_CDCONSUMIDOR"), row.consumer()}})
            .packet;
    const bool exists = !found.rows.isEmpty() && found.rows[0].value(0).toLongLong() > 0;
    // The central copy carries the marker "S" itself, which the statements write.
    Bindings bindings;
    const std::span<const ConsumerColumn> table = consumerTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].saved != Saved::Marker)
            bindings.append({QLatin1String(table[i].name), row.values.value(static_cast<qsizetype>(i))});
    }
    if (exists)
        run(central, "centralUpdate", central_sql::centralUpdate, bindings);
    else
        run(central, "centralInsert", central_sql::centralInsert, bindings);
}

} // namespace central_detail

} // namespace cadcons
