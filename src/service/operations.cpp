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
#include <algorithm>
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

// What a read sent ahead is found by: the statement and its values.
QString readKey(const char* name, const Bindings& bindings) {
    QString key = QLatin1String(name);
    for (const auto& binding : bindings)
        key += QChar(0x1F) + binding.second.toString();
    return key;
}

ServiceResult read(TrdmCadConsumidor& rdm, const char* name, const QString& text, const Bindings& bindings = {},
                   const QSet<QString>& dateTimeColumns = {}) {
    if (auto& ahead = rdm.readsAhead(); !ahead.empty()) {
        if (const auto it = ahead.find(readKey(name, bindings)); it != ahead.end()) {
            ServiceResult result = std::move(it->second);
            ahead.erase(it);
            return result;
        }
    }
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
    const QString key = readKey(name, bindings);
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

namespace {

// The reads of Confirm's checks, each as its operation and prefetchConfirmChecks make it.
struct CheckRead {
    const char* name;
    const char* text;
    Bindings bindings;
};
CheckRead codeRead(const QString& cdConsumidor, const QString& cdCliente) {
    return {"adqValidaCons",
            sql::adqValidaCons,
            {{"P_CDCONSUMID", text(cdConsumidor)},
             {"P_CDCLIENTE", text(cdCliente)},
             {"P_IDSITCONSUMI", text(QStringLiteral("1"))}}};
}
CheckRead cpfRead(const QString& cdCliente, const QString& cdConsumidor, const QString& cpf) {
    return {"adqValidaCPF",
            sql::adqValidaCPF,
            {{"P_CDCLIENTE", text(cdCliente)}, {"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_NRCPFRESPCON", text(cpf)}}};
}
CheckRead rgRead(const QString& cdCliente, const QString& cdConsumidor, const QString& rg) {
    return {"adqValidaRG",
            sql::adqValidaRG,
            {{"P_CDCLIENTE", text(cdCliente)}, {"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_NRRGCONSUMID", text(rg)}}};
}
CheckRead badgeRead(const QString& cdConsumidor, const QString& cdIdConsumid) {
    return {"adqValidaIdent",
            sql::adqValidaIdent,
            {{"P_CDCONSUMIDOR", text(cdConsumidor)}, {"P_CDIDCONSUMID", text(cdIdConsumid)}}};
}

ServiceResult check(TrdmCadConsumidor& rdm, const CheckRead& r) {
    return read(rdm, r.name, QString::fromUtf8(r.text), r.bindings);
}

} // namespace

ServiceResult getValidaCons(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdCliente) {
    const TimedCall timed(lcService, "getValidaCons");
    return check(rdm, codeRead(cdConsumidor, cdCliente));
}

ServiceResult getExisteCPF(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                           const QString& cpf) {
    const TimedCall timed(lcService, "getExisteCPF");
    return check(rdm, cpfRead(cdCliente, cdConsumidor, cpf));
}

ServiceResult getExisteRG(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                          const QString& rg) {
    const TimedCall timed(lcService, "getExisteRG");
    return check(rdm, rgRead(cdCliente, cdConsumidor, rg));
}

ServiceResult getExisteIdent(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdIdConsumid) {
    const TimedCall timed(lcService, "getExisteIdent");
    return check(rdm, badgeRead(cdConsumidor, cdIdConsumid));
}

void prefetchConfirmChecks(TrdmCadConsumidor& rdm, const ConfirmChecks& checks) {
    rdm.readsAhead().clear();
    QList<CheckRead> reads;
    if (checks.cpf)
        reads << cpfRead(checks.cdCliente, checks.cpf->first, checks.cpf->second);
    if (checks.rg)
        reads << rgRead(checks.cdCliente, checks.rg->first, checks.rg->second);
    if (checks.badge)
        reads << badgeRead(checks.badge->first, checks.badge->second);
    if (checks.code)
        reads << codeRead(*checks.code, checks.cdCliente);
    if (reads.size() < 2 || rdm.inTransaction())
        return;
    const TimedCall timed(lcService, "prefetchConfirmChecks");
    try {
        const QSqlDatabase db = usable(rdm).adcCadConsumidor();
        if (!pipelines(db))
            return;
        QList<PipelinedStatement> statements;
        for (const CheckRead& r : reads)
            statements.append({QString::fromUtf8(r.text), r.bindings});
        const QList<PipelinedOutcome> outcomes = runPipelined(db, statements);
        for (qsizetype i = 0; i < reads.size(); ++i) {
            ServiceResult& kept = rdm.readsAhead()[readKey(reads[i].name, reads[i].bindings)];
            if (outcomes[i].result) {
                kept = sql::resultPacket(outcomes[i].result->packet);
            } else {
                rdm.noteFailure();
                kept = ADOExceptionMessage(DatabaseError(statementFailed(reads[i].name), outcomes[i].error),
                                           rdm.adcCadConsumidor(), QString());
            }
        }
    } catch (const std::exception&) {
        // Nothing kept: each check reads on its own and meets the failure there.
        rdm.readsAhead().clear();
        rdm.noteFailure();
    }
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

// The statement that inserts or updates the row, with its values (kept for checking the row later).
struct ConsumerWrite {
    const char* name;
    QString text;
    Bindings values;
};
ConsumerWrite consumerWrite(const GravaConsumidor& v) {
    const QDateTime now = QDateTime::currentDateTime();
    const QVariant nascimento = birthDate(v.dtNascCons);
    if (v.operacao == QLatin1String("1")) {
        const QString marker =
            v.stProcessamento == QLatin1String("SERVIDOR") ? QStringLiteral("S") : QStringLiteral("I");
        const QString tipoVenda = v.idTpVendaCons.isEmpty() ? QStringLiteral("7") : v.idTpVendaCons;
        return {"acmConsumidor", QString::fromUtf8(sql::acmConsumidor),
                savedColumns(v, {now, marker, nascimento, tipoVenda})};
    }
    // The update works the publication marker out from the stored one itself: no read before it.
    Bindings values = savedColumns(v, {now, QString(), nascimento, v.idTpVendaCons});
    values.removeIf([](const auto& binding) { return binding.first == QLatin1String("IDATUCONSUMI"); });
    return {"acmUpdCpfConsumidor", QString::fromUtf8(sql::acmUpdCpfConsumidor), std::move(values)};
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

ServiceResult holdsQueuedSave(TrdmCadConsumidor& rdm, const GravaConsumidor& v) {
    const TimedCall timed(lcService, "holdsQueuedSave");
    try {
        ConsumerWrite write = consumerWrite(v);
        // A save made earlier wrote another time, and its publication may have changed the marker since.
        write.values.removeIf([](const auto& binding) {
            return std::any_of(consumerTable().begin(), consumerTable().end(), [&](const ConsumerColumn& column) {
                return (column.saved == Saved::SaveTime || column.saved == Saved::Marker) &&
                       binding.first == QLatin1String(column.name);
            });
        });
        return holdsSave(usable(rdm), UncertainSave{v.cdCliente, v.cdConsumidor, std::move(write.values)});
    } catch (const std::exception& e) {
        rdm.noteFailure();
        return ADOExceptionMessage(e, rdm.adcCadConsumidor(), QString());
    }
}

namespace {

// A save whose commit may have happened with its answer lost: asked again on a connection that answers, or
// at the next Confirm of this consumer when none does yet.
ServiceResult settleAfterLoss(TrdmCadConsumidor& rdm, UncertainSave sent, const QString& error) {
    const QString cdCliente = sent.cdCliente, cdConsumidor = sent.cdConsumidor;
    rdm.uncertainSave() = std::move(sent);
    const ServiceResult settled = settleUncertainSave(rdm, cdCliente, cdConsumidor);
    const bool* found = std::get_if<bool>(&settled);
    return found && *found ? settled : ServiceResult(error);
}

// On PostgreSQL with pipelines: BEGIN, the write and COMMIT go together, one round trip. Once they are sent,
// a lost connection may have committed them all: the save is then uncertain, and settled.
ServiceResult saveInOneGo(TrdmCadConsumidor& rdm, const QSqlDatabase& db, const GravaConsumidor& v,
                          ConsumerWrite write) {
    const QList<PipelinedOutcome> outcomes =
        runPipelined(db, {{QStringLiteral("BEGIN"), {}}, {write.text, write.values}, {QStringLiteral("COMMIT"), {}}});
    const auto failed = std::find_if(outcomes.cbegin(), outcomes.cend(), [](const auto& o) { return !o.result; });
    if (failed == outcomes.cend()) {
        if (uncertainSaveOf(rdm, v.cdCliente, v.cdConsumidor))
            rdm.uncertainSave().reset();
        return true;
    }
    rdm.noteFailure();
    const QString error = ADOExceptionMessage(DatabaseError(statementFailed(write.name), failed->error),
                                              rdm.adcCadConsumidor(), QString());
    if (failed->error.type() != QSqlError::ConnectionError && !connectionLost(db)) {
        // The server refused a statement and ran nothing after it: the transaction is left to undo.
        QSqlQuery rollback(db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        return error;
    }
    return settleAfterLoss(rdm, UncertainSave{v.cdCliente, v.cdConsumidor, std::move(write.values)}, error);
}

} // namespace

ServiceResult setGravaConsumidor(TrdmCadConsumidor& rdm, const GravaConsumidor& v) {
    const TimedCall timed(lcService, "setGravaConsumidor");
    std::optional<UncertainSave> sent; // set once only the commit is left
    try {
        ConsumerWrite write = consumerWrite(v);
        if (const QSqlDatabase db = usable(rdm).adcCadConsumidor(); !rdm.inTransaction() && pipelines(db))
            return saveInOneGo(rdm, db, v, std::move(write));
        usable(rdm).StartTrans();
        try {
            execute(rdm, write.name, write.text, write.values);
            sent = UncertainSave{v.cdCliente, v.cdConsumidor, std::move(write.values)};
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
        // The commit itself failed: the server may have committed and lost only its answer.
        return settleAfterLoss(rdm, std::move(*sent), error);
    }
}

} // namespace cadcons
