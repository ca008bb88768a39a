#include "central/central_detail.h"
#include "central/central_statements.h"
#include "config/connection.h"
#include "config/host_config.h"
#include "config/logging.h"
#include "platform/packet_file.h"
#include "service/catalogue.h"
#include "service/rdm_cad_consumidor.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <stdexcept>

namespace cadcons {

namespace {

using namespace central_detail;

const QString kSim = QStringLiteral("S");

QSqlDatabase localDatabase(const LocalService& local) {
    TrdmCadConsumidor* service = local ? local() : nullptr;
    if (!service)
        throw std::logic_error("the consumer data service has not been created");
    service->open();
    // A transaction of the service's own would be committed or rolled back by ours.
    if (service->inTransaction())
        throw std::logic_error("the consumer data service is inside a transaction");
    return service->adcCadConsumidor();
}

// Copies the consumers waiting for publication to the central database; "" when done (or when there is
// no central database, which leaves them waiting), else the error text.
QString publishToCentral(const LocalService& service) {
    const TimedCall timed(lcHost, "SetConsumidor central");
    if (centralConnectionString().isEmpty()) {
        qCWarning(lcHost,
                  "SetConsumidor: no central database is configured ([central] connection in %s, or "
                  "CADCONS_CENTRAL_CONNECTION); the consumers saved here stay marked for a later publication",
                  qUtf8Printable(hostConfigPath()));
        return {};
    }
    QSqlDatabase local;
    QList<ConsumerRow> rows;
    try {
        local = localDatabase(service);
        rows = readPendingConsumers(local);
    } catch (const std::exception& e) {
        const QString text = failureText(e, local, QStringLiteral("SetConsumidor: reading the consumers to publish"));
        qCWarning(lcHost, "%s", qUtf8Printable(text));
        return text;
    }
    if (rows.isEmpty())
        return {};

    QStringList secrets;
    for (const ConsumerRow& row : rows)
        secrets += secretsOf(row);
    QSqlDatabase central;
    try {
        central = centralDatabase();
        copyToCentral(central, rows);
    } catch (const std::exception& e) {
        const QString text = withoutSecrets(
            failureText(e, central, QStringLiteral("SetConsumidor: copying the consumers to the central database")),
            secrets);
        qCWarning(lcHost, "%s", qUtf8Printable(text));
        closeAfterFailure(e, central);
        return text;
    }
    try {
        const int marked = markPublished(local, rows);
        qCInfo(lcHost, "SetConsumidor: %lld consumers copied to the central database, %d of them marked as published",
               static_cast<long long>(rows.size()), marked);
    } catch (const std::exception& e) {
        // The central copies stay; the next publication copies the same consumers again.
        const QString text = withoutSecrets(
            failureText(e, local, QStringLiteral("SetConsumidor: marking the published consumers")), secrets);
        qCWarning(lcHost, "%s", qUtf8Printable(text));
        return text;
    }
    return {};
}

QString publishToBranch(const LocalService& service, const QString& hostDir) {
    const TimedCall timed(lcHost, "SetConsumidor branch file");
    QSqlDatabase local;
    try {
        local = localDatabase(service);
        writeConsumerFile(local, hostDir.isEmpty() ? hostDirectory() : hostDir);
        return {};
    } catch (const std::exception& e) {
        const QString text = failureText(e, local, QStringLiteral("SetConsumidor: writing the branch's consumer file"));
        qCWarning(lcHost, "%s", qUtf8Printable(text));
        return text;
    }
}

} // namespace

QString consumerFilePath(const QString& hostDir) {
    return QDir(hostDir).filePath(QStringLiteral("Dados/Cadastros/Cad_Consumidor.cds"));
}

QList<ConsumerRow> readPendingConsumers(const QSqlDatabase& local) {
    const DataPacket pending = run(local, "pendingConsumers", central_sql::pendingConsumers).packet;
    QList<ConsumerRow> rows;
    for (qsizetype row = 0; row < pending.rows.size(); ++row)
        rows.append(readConsumerRow(pending, row));
    return rows;
}

void copyToCentral(QSqlDatabase& central, const QList<ConsumerRow>& rows) {
    inTransaction(central, QStringLiteral("Copying the consumers to the central database"), [&] {
        for (const ConsumerRow& row : rows) {
            try {
                upsertCentral(central, row);
            } catch (const DatabaseError& e) {
                throw DatabaseError(QStringLiteral("Consumer %1 of customer %2: %3")
                                        .arg(row.consumer(), row.customer(), QString::fromUtf8(e.what())),
                                    e.error());
            }
        }
        return true;
    });
}

int markPublished(QSqlDatabase& local, const QList<ConsumerRow>& rows) {
    return inTransaction(local, QStringLiteral("Marking the published consumers"), [&] {
        int marked = 0;
        for (const ConsumerRow& row : rows) {
            // The time of change is compared as the driver handed it over: converted, it might no longer
            // equal what the database holds.
            Bindings bindings = {{QStringLiteral("P_CDCLIENTE"), row.customer()},
                                 {QStringLiteral("P_CDCONSUMIDOR"), row.consumer()},
                                 {QStringLiteral("P_IDATUCONSUMI"), row.marker}};
            const StatementResult done = [&] {
                if (row.changedAt.isNull())
                    return run(local, "markPublishedNoTime", central_sql::markPublishedNoTime, bindings);
                bindings.append({QStringLiteral("P_DTULTATUCSUM"), row.changedAt});
                return run(local, "markPublished", central_sql::markPublished, bindings);
            }();
            if (done.rowsAffected > 0)
                ++marked;
        }
        return marked;
    });
}

void writeConsumerFile(const QSqlDatabase& local, const QString& hostDir) {
    const QString path = consumerFilePath(hostDir);
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw PacketFileError(QStringLiteral("%1: the directory %2 cannot be created").arg(path, dir).toStdString());
    DataPacket consumers =
        run(local, "consumerFile", central_sql::consumerFile, {}, {QStringLiteral("DTNASCCONS")}).packet;
    // Written in full before the old file is replaced: a reader sees the old file or the new one.
    writePacketFile(sql::resultPacket(std::move(consumers)), path);
}

QVariant setConsumidor(const LocalService& local, const QVariantList& context, QVariantList& /*data*/) {
    QStringList errors;
    if (context.value(3).toString() == kSim) {
        if (const QString error = publishToCentral(local); !error.isEmpty())
            errors.append(error);
    }
    if (context.value(2).toString() == kSim) {
        if (const QString error = publishToBranch(local, context.value(1).toString()); !error.isEmpty())
            errors.append(error);
    }
    if (errors.isEmpty())
        return true;
    return errors.join(u'\n');
}

} // namespace cadcons
