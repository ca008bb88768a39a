#include "central/central_detail.h"
#include "central/central_statements.h"
#include "config/connection.h"
#include "config/logging.h"
#include "routines/utility.h"
#include "service/catalogue.h"
#include "service/rdm_cad_consumidor.h"

#include <QSqlDriver>
#include <stdexcept>

namespace cadcons {

namespace {

using namespace central_detail;

const QString kGetCons = QStringLiteral("GET_CONS");
const QString kUpdateSenha = QStringLiteral("UPDATE_SENHA");

// The same statement and packet as getDadosConsumidor, on the central database.
DataPacket centralRecord(const QSqlDatabase& central, const QString& customer, const QString& consumer) {
    const bool oracle = central.driver() && central.driver()->dbmsType() == QSqlDriver::Oracle;
    return sql::resultPacket(run(central, "adqDadosCons", oracle ? sql::adqDadosConsOracle : sql::adqDadosConsMssql,
                                 {{QStringLiteral("P_CDCONSUMIDOR"), text(Ajusta(consumer, 21))},
                                  {QStringLiteral("P_CDCONS"), text(consumer)},
                                  {QStringLiteral("P_CDCLIENTE"), text(customer)}},
                                 {QStringLiteral("DTNASCCONS")})
                                 .packet);
}

// The local row of a consumer the central database does not have yet.
ConsumerRow localRow(const LocalService& service, const QString& customer, const QString& consumer) {
    TrdmCadConsumidor* rdm = service ? service() : nullptr;
    if (!rdm)
        throw std::runtime_error("the central database does not have the consumer, and there is no local "
                                 "database to copy it from");
    QSqlDatabase local;
    try {
        rdm->open();
        local = rdm->adcCadConsumidor();
        const DataPacket found =
            run(local, "localConsumer", central_sql::localConsumer,
                {{QStringLiteral("P_CDCLIENTE"), text(customer)}, {QStringLiteral("P_CDCONSUMIDOR"), text(consumer)}})
                .packet;
        if (!found.rows.isEmpty())
            return readConsumerRow(found, 0);
    } catch (const std::exception& e) {
        // Described here, with the local connection: the caller only knows the central one.
        throw std::runtime_error(
            failureText(e, local, QStringLiteral("reading the consumer in the local database")).toStdString());
    }
    throw std::runtime_error("the consumer is neither in the central database nor in the local one");
}

// A consumer the central database lacks (not published yet) is copied there whole, with the new
// password: refusing would leave the password nowhere but here, and the caller then stops before the
// publication that would carry it.
// `secrets` receives what a failure text must not show.
void storePassword(const LocalService& service, QSqlDatabase& central, const QString& customer, const QString& consumer,
                   const QString& value, QStringList& secrets) {
    inTransaction(central, QStringLiteral("UPDATE_SENHA"), [&] {
        const DataPacket found =
            run(central, "centralExists", central_sql::centralExists,
                {{QStringLiteral("P_CDCLIENTE"), text(customer)}, {QStringLiteral("P_CDCONSUMIDOR"), text(consumer)}})
                .packet;
        const bool exists = !found.rows.isEmpty() && found.rows[0].value(0).toLongLong() > 0;
        if (exists) {
            run(central, "centralUpdateSenha", central_sql::centralUpdateSenha,
                {{QStringLiteral("P_CDSENHACONS"), text(value)},
                 {QStringLiteral("P_CDCLIENTE"), text(customer)},
                 {QStringLiteral("P_CDCONSUMIDOR"), text(consumer)}});
            return true;
        }
        ConsumerRow row = localRow(service, customer, consumer);
        secrets += secretsOf(row);
        row.values[consumerColumns().indexOf(QStringLiteral("CDSENHACONS"))] = text(value);
        upsertCentral(central, row);
        qCInfo(lcHost,
               "SenhaConsCentral UPDATE_SENHA: consumer %s of customer %s was not in the central database; "
               "copied there from the local one",
               qUtf8Printable(consumer), qUtf8Printable(customer));
        return true;
    });
}

} // namespace

bool senhaConsCentral(const LocalService& local, const QString& /*branch*/, const QString& customer,
                      const QString& consumer, const QString& value, const QString& /*arg5*/, const QString& /*arg6*/,
                      const QString& action, QVariantList& result) {
    const QString context =
        QStringLiteral("SenhaConsCentral %1 (customer %2, consumer %3)").arg(action, customer, consumer);
    const TimedCall timed(lcHost, "SenhaConsCentral");
    qCDebug(lcHost).noquote() << context;
    QSqlDatabase central;
    // The value is the stored form of a password: it goes nowhere near the log.
    QStringList secrets{value};
    try {
        if (action == kGetCons) {
            central = centralDatabase();
            const DataPacket record = centralRecord(central, customer, consumer);
            if (result.isEmpty())
                result.append(QVariant());
            result[0] = QVariant::fromValue(record);
            return true;
        }
        if (action == kUpdateSenha) {
            central = centralDatabase();
            storePassword(local, central, customer, consumer, value, secrets);
            return true;
        }
        qCWarning(lcHost, "%s: unknown action; the actions are GET_CONS and UPDATE_SENHA", qUtf8Printable(context));
    } catch (const std::exception& e) {
        qCWarning(lcHost, "%s", qUtf8Printable(withoutSecrets(failureText(e, central, context), secrets)));
        closeAfterFailure(e, central);
    }
    return false;
}

} // namespace cadcons
