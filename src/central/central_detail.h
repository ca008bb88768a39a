#pragma once

#include "central/central_services.h"
#include "config/connection.h"

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <exception>
#include <utility>

// What the central services' sources share.
namespace cadcons::central_detail {

using Bindings = StatementBindings;

// Runs one statement and reads its rows whole (as the unnamed statement on PostgreSQL, so that it holds
// behind a pooler); throws DatabaseError naming it. `dateTimeColumns` as for packetFromQuery.
StatementResult run(const QSqlDatabase& db, const char* name, const char* text, const Bindings& bindings = {},
                    const QSet<QString>& dateTimeColumns = {});

// Texts are bound as texts, an empty one too: a null QString would bind as NULL.
QVariant text(const QString& value);

// The text of a failure for the log or the operator: the database's own message where there is one.
QString failureText(const std::exception& e, const QSqlDatabase& db, const QString& context);

// The secret values of a row: passwords, their digests, the fingerprint templates.
QStringList secretsOf(const ConsumerRow& row);
// `text` with each secret value replaced by "***". A database's message may quote a failing row whole.
QString withoutSecrets(QString text, const QStringList& secrets);

// After a database failure on the central connection: closed, so that the next call connects anew. A
// connection the server dropped still counts as open in Qt's eyes, and would fail every call after.
void closeAfterFailure(const std::exception& e, QSqlDatabase& central);

// Row `row` of a result of the consumer statements.
ConsumerRow readConsumerRow(const DataPacket& result, qsizetype row);

// Inserts the row in the central database, or updates it there when its key is there already.
void upsertCentral(const QSqlDatabase& central, const ConsumerRow& row);

// Throws DatabaseError for a transaction that could not begin or commit.
[[noreturn]] void transactionFailed(const QString& what, const QSqlDatabase& db);

// Runs `work` in a transaction of `db`: committed when it returns, rolled back when it throws (a failed
// commit included).
template <typename Work> auto inTransaction(QSqlDatabase& db, const QString& purpose, Work&& work) {
    if (!db.transaction())
        transactionFailed(QStringLiteral("%1: could not begin a transaction").arg(purpose), db);
    try {
        auto result = work();
        if (!db.commit())
            transactionFailed(QStringLiteral("%1: could not commit the transaction").arg(purpose), db);
        return result;
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace cadcons::central_detail
