#include "config/connection.h"
#include "config/logging.h"
#include "platform/sql_provider.h"
#include "routines/utility.h"
#include "service/catalogue.h"
#include "service/consumer_table.h"
#include "service/rdm_cad_consumidor.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace cadcons {

namespace {

using Bindings = StatementBindings;

// Each operation starts on a connection that answers: one dropped by the server after an earlier
// failure is made anew here, so the next call after the server is back works.
TrdmCadConsumidor& usable(TrdmCadConsumidor& rdm) {
    rdm.reviveIfBroken();
    return rdm;
}

// Runs a statement of the catalogue on the service's connection and reads what it returns (no rows for a
// command). On PostgreSQL it goes as the unnamed statement with its values: the server keeps nothing of
// it, so it holds behind a pooler that hands each transaction another server connection. Elsewhere it is
// kept prepared on the connection, every value bound anew; one that fails outside a transaction is
// prepared anew at its next run, should the failure lie in the prepared statement itself (a table changed
// under the columns it reads). A result left open would hold a read lock (SQLite) or the connection
// (ODBC): packetFromQuery finishes what it reads, and a statement without one is finished here.
DataPacket execute(TrdmCadConsumidor& rdm, const char* name, const QString& text, const Bindings& bindings,
                   const QSet<QString>& dateTimeColumns = {}) {
    if (const QSqlDatabase db = rdm.adcCadConsumidor(); runsUnnamed(db))
        return runUnnamedStatement(db, name, text, bindings, dateTimeColumns).packet;
    QSqlQuery& query = rdm.prepared(name, text);
    query.finish();
    for (const auto& [parameter, value] : bindings)
        query.bindValue(u':' + parameter, value);
    if (!query.exec()) {
        const DatabaseError error(statementFailed(name), query.lastError());
        if (!rdm.inTransaction())
            rdm.forgetStatement(text);
        throw error;
    }
    if (query.isSelect())
        return packetFromQuery(query, dateTimeColumns);
    query.finish();
    return {};
}

ServiceResult read(TrdmCadConsumidor& rdm, const char* name, const QString& text, const Bindings& bindings = {},
                   const QSet<QString>& dateTimeColumns = {}) {
    try {
        return sql::resultPacket(execute(usable(rdm), name, text, bindings, dateTimeColumns));
    } catch (const std::exception& e) {
        rdm.noteFailure();
        return ADOExceptionMessage(e, rdm.adcCadConsumidor(), QString());
    }
}

// A reference list: served from what the service keeps when its tables have not changed since it was
// read (TrdmCadConsumidor::open reads their versions), else read and kept. The key holds the bound values.
ServiceResult readList(TrdmCadConsumidor& rdm, const char* name, const QString& text, const QStringList& tables,
                       const Bindings& bindings = {}) {
    QString key = QLatin1String(name);
    for (const auto& binding : bindings)
        key += QChar(0x1F) + binding.second.toString();
    if (!rdm.inTransaction()) {
        if (const DataPacket* kept = rdm.lists().find(key, tables)) {
            qCDebug(lcService, "%s: the kept list, unchanged", name);
            return *kept;
        }
    }
    ServiceResult result = read(rdm, name, text, bindings);
    if (const auto* packet = std::get_if<DataPacket>(&result))
        rdm.lists().keep(key, tables, *packet);
    else
        rdm.lists().suspend();
    return result;
}

// Texts are bound as texts, an empty one too: a null QString would bind as NULL.
QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// A null that the drivers still bind as a date-time.
QVariant nullDateTime() {
    return QVariant(QMetaType::fromType<QDateTime>());
}

// The birth date as the birth-date field holds it (dd/MM/yyyy, or with a two-digit year); NULL when empty.
QVariant birthDate(const QString& value) {
    if (value.isEmpty())
        return nullDateTime();
    try {
        return QDateTime(StrToDate(value), QTime(0, 0));
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid birth date (dd/mm/yyyy)").arg(value).toStdString());
    }
}

} // namespace

ServiceResult getMunicipio(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getMunicipio));
    return readList(rdm, "adqMunicipio", QString::fromUtf8(sql::adqMunicipio), {QStringLiteral("MUNICIPIO")});
}
ServiceResult getEstado(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getEstado));
    return readList(rdm, "adqEstado", QString::fromUtf8(sql::adqEstado), {QStringLiteral("ESTADO")});
}
ServiceResult getPais(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getPais));
    return readList(rdm, "adqPais", QString::fromUtf8(sql::adqPais), {QStringLiteral("PAIS")});
}
ServiceResult getBairro(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getBairro));
    return readList(rdm, "adqBairro", QString::fromUtf8(sql::adqBairro), {QStringLiteral("BAIRRO")});
}
ServiceResult getTipoCons(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getTipoCons));
    return readList(rdm, "adqTipoCons", QString::fromUtf8(sql::adqTipoCons), {QStringLiteral("TIPOCONS")});
}

ServiceResult getTipoVenda(TrdmCadConsumidor& rdm) {
    const TimedCall timed(lcService, listOperationName(getTipoVenda));
    const bool oracle = rdm.isOracle();
    // A fixed list: it changes with the program, not with the database.
    return readList(rdm, "adqTipoVenda", QString::fromUtf8(oracle ? sql::adqTipoVendaOracle : sql::adqTipoVendaMssql),
                    {});
}

ServiceResult getTipoConsPadrao(TrdmCadConsumidor& rdm, const QString& cdFilial) {
    const TimedCall timed(lcService, "getTipoConsPadrao");
    return readList(rdm, "adqTipoConsPadrao", QString::fromUtf8(sql::adqTipoConsPadrao),
                    {QStringLiteral("PARAVEND"), QStringLiteral("TIPOCONS")}, {{"P_CDFILIAL", text(cdFilial)}});
}

ServiceResult getParaVend(TrdmCadConsumidor& rdm, const QString& cdFilial) {
    const TimedCall timed(lcService, "getParaVend");
    return readList(rdm, "adqParaVend", QString::fromUtf8(sql::adqParaVend), {QStringLiteral("PARAVEND")},
                    {{"P_CDFILIAL", text(cdFilial)}});
}

ServiceResult getNomeCliente(TrdmCadConsumidor& rdm, const QString& cdCliente) {
    const TimedCall timed(lcService, "getNomeCliente");
    return readList(rdm, "adqNomeCliente", QString::fromUtf8(sql::adqNomeCliente), {QStringLiteral("CLIENTE")},
                    {{"P_CDCLIENTE", text(cdCliente)}});
}

ServiceResult getDadosConsumidor(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& key) {
    const TimedCall timed(lcService, "getDadosConsumidor");
    const bool oracle = rdm.isOracle();
    // A blank key names nobody. Bound as a blank text it would match every consumer of the customer whose
    // badge, external code, RG or CPF is blank, and a new registration would open someone else's record.
    const QVariant anyKey = key.trimmed().isEmpty() ? QVariant(QMetaType::fromType<QString>()) : text(key);
    return read(rdm, "adqDadosCons", QString::fromUtf8(oracle ? sql::adqDadosConsOracle : sql::adqDadosConsMssql),
                {{"P_CDCONSUMIDOR", text(Ajusta(key, 21))}, {"P_CDCONS", anyKey}, {"P_CDCLIENTE", text(cdCliente)}},
                {QStringLiteral("DTNASCCONS")});
}

ServiceResult getValidaCons(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdCliente) {
    const TimedCall timed(lcService, "getValidaCons");
    return read(rdm, "adqValidaCons", QString::fromUtf8(sql::adqValidaCons),
                {{"P_CDCONSUMID", text(cdConsumidor)},
                 {"P_CDCLIENTE", text(cdCliente)},
                 {"P_IDSITCONSUMI", text(QStringLiteral("1"))}});
}

ServiceResult getExisteCPF(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                           const QString& cpf) {
    const TimedCall timed(lcService, "getExisteCPF");
    return read(
        rdm, "adqValidaCPF", QString::fromUtf8(sql::adqValidaCPF),
        {{"P_CDCLIENTE", text(cdCliente)}, {"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_NRCPFRESPCON", text(cpf)}});
}

ServiceResult getExisteRG(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                          const QString& rg) {
    const TimedCall timed(lcService, "getExisteRG");
    return read(
        rdm, "adqValidaRG", QString::fromUtf8(sql::adqValidaRG),
        {{"P_CDCLIENTE", text(cdCliente)}, {"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_NRRGCONSUMID", text(rg)}});
}

ServiceResult getExisteIdent(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdIdConsumid) {
    const TimedCall timed(lcService, "getExisteIdent");
    return read(rdm, "adqValidaIdent", QString::fromUtf8(sql::adqValidaIdent),
                {{"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_CDIDCONSUMID", text(cdIdConsumid)}});
}

ServiceResult getInfCEP(TrdmCadConsumidor& rdm, const QString& cep, bool& ok) {
    const TimedCall timed(lcService, "getInfCEP");
    ok = true;
    try {
        return sql::resultPacket(
            execute(usable(rdm), "adqInfCEP", QString::fromUtf8(sql::adqInfCEP), {{"P_CEP", text(cep)}}));
    } catch (const std::exception& e) {
        rdm.noteFailure();
        // The postal-code look-up shows the plain text; it has its own way of telling the operator.
        return QString::fromUtf8(e.what());
    } catch (...) {
        ok = false;
        return QString();
    }
}

namespace {

// What one save writes besides its arguments.
struct SaveContext {
    QDateTime now;
    QString marker;
    QVariant nascimento;
    QString tipoVenda;
};

// The value the save binds to a column it writes.
QVariant savedValue(const ConsumerColumn& column, const GravaConsumidor& v, const SaveContext& c) {
    switch (column.saved) {
    case Saved::Text:
        return text(v.*column.argument);
    case Saved::BirthDate:
        return c.nascimento;
    case Saved::SaleKind:
        return text(c.tipoVenda);
    case Saved::SaveTime:
        return c.now;
    case Saved::Marker:
        return text(c.marker);
    case Saved::Literal:
        break;
    }
    throw std::logic_error(std::string("The save writes no value of its own to ") + column.name);
}

// The insert and the update take the same parameters: every column the save writes, the key included.
Bindings savedColumns(const GravaConsumidor& v, const SaveContext& c) {
    Bindings bindings;
    for (const ConsumerColumn& column : consumerTable())
        if (column.saved != Saved::Literal)
            bindings.append({column.name, savedValue(column, v, c)});
    return bindings;
}

} // namespace

namespace {

bool uncertainSaveOf(const TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor) {
    const std::optional<UncertainSave>& save = rdm.uncertainSave();
    return save && save->cdCliente == cdCliente && save->cdConsumidor == cdConsumidor;
}

// Inserts or updates the row inside the open transaction; the values bound, for checking it later.
Bindings writeConsumer(TrdmCadConsumidor& rdm, const GravaConsumidor& v) {
    const QDateTime now = QDateTime::currentDateTime();
    const QVariant nascimento = birthDate(v.dtNascCons);
    if (v.operacao == QLatin1String("1")) {
        const QString marker =
            v.stProcessamento == QLatin1String("SERVIDOR") ? QStringLiteral("S") : QStringLiteral("I");
        const QString tipoVenda = v.idTpVendaCons.isEmpty() ? QStringLiteral("7") : v.idTpVendaCons;
        Bindings values = savedColumns(v, {now, marker, nascimento, tipoVenda});
        execute(rdm, "acmConsumidor", QString::fromUtf8(sql::acmConsumidor), values);
        return values;
    }
    const DataPacket stored = execute(rdm, "adqVerificaConsumidor", QString::fromUtf8(sql::adqVerificaConsumidor),
                                      {{"P_CDCLIENTE", text(v.cdCliente)}, {"P_CDCONSUMIDOR", text(v.cdConsumidor)}});
    const QString storedMarker = stored.rows.isEmpty() ? QString() : stored.rows[0].value(0).toString();
    const QString marker = storedMarker == QLatin1String("I") ? QStringLiteral("I") : QStringLiteral("A");
    Bindings values = savedColumns(v, {now, marker, nascimento, v.idTpVendaCons});
    execute(rdm, "acmUpdCpfConsumidor", QString::fromUtf8(sql::acmUpdCpfConsumidor), values);
    return values;
}

// CHAR columns come back padded, and a database may keep an empty text as NULL.
bool sameValue(const QVariant& stored, const QVariant& bound) {
    if (bound.metaType() == QMetaType::fromType<QDateTime>())
        return bound.isNull() ? stored.isNull() : !stored.isNull() && stored.toDateTime() == bound.toDateTime();
    static const QRegularExpression trailing(QStringLiteral("\\s+$"));
    return stored.toString().remove(trailing) == bound.toString().remove(trailing);
}

// True when the consumer's row holds every value the save bound; false when it is missing or differs.
bool holdsSave(TrdmCadConsumidor& rdm, const UncertainSave& save) {
    QStringList names;
    for (const auto& binding : save.values)
        names.append(binding.first);
    const DataPacket row =
        execute(rdm, "checkUncertainSave",
                QStringLiteral("SELECT %1 FROM CONSUMIDOR WHERE CDCLIENTE = :P_CDCLIENTE AND "
                               "CDCONSUMIDOR = :P_CDCONSUMIDOR")
                    .arg(names.join(QLatin1String(", "))),
                {{"P_CDCLIENTE", text(save.cdCliente)}, {"P_CDCONSUMIDOR", text(save.cdConsumidor)}});
    bool holds = !row.rows.isEmpty();
    for (qsizetype i = 0; holds && i < save.values.size(); ++i)
        holds = sameValue(row.rows[0].value(i), save.values[i].second);
    return holds;
}

} // namespace

ServiceResult settleUncertainSave(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor) {
    if (!uncertainSaveOf(rdm, cdCliente, cdConsumidor))
        return false;
    const TimedCall timed(lcService, "settleUncertainSave");
    try {
        const bool saved = holdsSave(usable(rdm), *rdm.uncertainSave());
        rdm.uncertainSave().reset();
        return saved;
    } catch (const std::exception& e) {
        rdm.noteFailure();
        return ADOExceptionMessage(e, rdm.adcCadConsumidor(), QString());
    }
}

ServiceResult setGravaConsumidor(TrdmCadConsumidor& rdm, const GravaConsumidor& v) {
    const TimedCall timed(lcService, "setGravaConsumidor");
    std::optional<UncertainSave> sent; // set once only the commit is left
    try {
        usable(rdm).StartTrans();
        try {
            sent = UncertainSave{v.cdCliente, v.cdConsumidor, writeConsumer(rdm, v)};
            rdm.CommitTrans();
        } catch (const std::exception&) {
            rdm.RollbackTrans();
            throw;
        }
        if (uncertainSaveOf(rdm, v.cdCliente, v.cdConsumidor))
            rdm.uncertainSave().reset();
        return true;
    } catch (const std::exception& e) {
        rdm.noteFailure();
        const QString error = ADOExceptionMessage(e, rdm.adcCadConsumidor(), QString());
        if (!sent)
            return error;
        // The commit itself failed: the server may have committed and lost only its answer. Asked again on
        // a connection that answers, or at the next Confirm of this consumer when none does yet.
        rdm.uncertainSave() = std::move(sent);
        const ServiceResult settled = settleUncertainSave(rdm, v.cdCliente, v.cdConsumidor);
        const bool* found = std::get_if<bool>(&settled);
        return found && *found ? settled : ServiceResult(error);
    }
}

} // namespace cadcons
