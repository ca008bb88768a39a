#include "bench_host.h"

#include "platform/packet_file.h"

#include <QDir>
#include <QSqlError>
#include <stdexcept>

namespace cadcons::bench {

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw std::runtime_error((sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    return query;
}

void writeHostFiles(const QSqlDatabase& db, const QString& hostDir, const QString& branch, const QString& customer) {
    const QString dir = hostDir.endsWith(u'/') ? hostDir : hostDir + u'/';
    DataPacket parameters;
    const auto text = [](const char* name, int width) {
        return FieldDef{QLatin1String(name), FieldType::String, width};
    };
    parameters.fields = {text("CDFILIAL", 4),         text("CDLOJA", 4),
                         text("IDESQUEMA", 3),        text("CDCCUSCLIE", 10),
                         text("CDTIPOCONS", 2),       text("CDCLIENTE", 21),
                         text("STPROCESSAMENTO", 10), FieldDef{QStringLiteral("UTILIZAIMPFIS"), FieldType::Boolean},
                         text("IDEXCONSATFIL", 1),    text("IDEXCONSATGER", 1),
                         text("IDIMPMERCBOCA", 1),    text("IDBLOQCDIDCONS", 1),
                         text("IDSENCONSCENTRAL", 1)};
    parameters.rows = {{branch, QStringLiteral("01"), QStringLiteral("001"), QStringLiteral("0000000001"),
                        QStringLiteral("01"), customer, QStringLiteral("CAIXA"), false, QStringLiteral("N"),
                        QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("S"), QStringLiteral("N")}};
    if (!QDir(dir).mkpath(QStringLiteral("Dados/Cadastros")))
        throw std::runtime_error("cannot make the host's Dados/Cadastros");
    writePacketFile(parameters, dir + QStringLiteral("PARAMETROSKIV.CDS"));

    // The host keeps every customer of the chain in its customer list.
    DataPacket customers;
    customers.fields = {{QStringLiteral("CDCLIENTE"), FieldType::String, 21},
                        {QStringLiteral("IDTPIJURCLIE"), FieldType::String, 1},
                        {QStringLiteral("NRINSJURCLIE"), FieldType::String, 20},
                        {QStringLiteral("NMRAZSOCCLIE"), FieldType::String, 50},
                        {QStringLiteral("NMFANTCLIE"), FieldType::String, 50}};
    QSqlQuery q = run(db, QStringLiteral("SELECT CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE, NMFANTCLIE "
                                         "FROM CLIENTE ORDER BY CDCLIENTE"));
    while (q.next())
        customers.rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString(), q.value(4).toString()});
    writePacketFile(customers, dir + QStringLiteral("Dados/Cadastros/Cad_Cliente.cds"));
}

} // namespace cadcons::bench
