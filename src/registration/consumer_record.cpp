#include "registration/consumer_record.h"

#include "platform/client_data_set.h"
#include "service/rdm_cad_consumidor.h"

#include <QDateTime>

namespace cadcons {

using registration::Carry;
using registration::FieldSpec;

namespace {

// A stored date-time as the birth-date field shows it: the date, and the time only when there is one.
QString birthDateText(const ClientDataSet& dataset) {
    if (dataset.asString(QStringLiteral("DTNASCCONS")).isEmpty())
        return {};
    const QDateTime when = dataset.asDateTime(QStringLiteral("DTNASCCONS"));
    if (!when.isValid())
        return {};
    return when.toString(when.time() == QTime(0, 0) ? QStringLiteral("dd/MM/yyyy")
                                                    : QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

// The value a field carries, as the stored row holds it.
QString storedValue(const FieldSpec& spec, const ClientDataSet& row) {
    return spec.number == registration::Nasc ? birthDateText(row) : row.asString(QLatin1String(spec.column));
}

} // namespace

void ConsumerRecord::loadStored(const ClientDataSet& row) {
    for (const FieldSpec& spec : registration::fieldCatalogue()) {
        if (spec.value && (spec.carry == Carry::Typed || spec.carry == Carry::Named))
            this->*spec.value = storedValue(spec, row);
    }
    stIdSexoCons = row.asString(QStringLiteral("IDSEXOCONS"));
    stCdSenhaConsMd5 = row.asString(QStringLiteral("CDSENHACONSMD5"));
    stCdSenhaPosMd5 = row.asString(QStringLiteral("CDSENHAPOSMD5"));
}

std::optional<QString> storedCaption(const FieldSpec& spec, const ClientDataSet& row) {
    // The sale type and the customer show the names their lists give.
    if (spec.number == registration::TipoVenda || spec.number == registration::Cliente)
        return std::nullopt;
    if (spec.carry == Carry::Named)
        return row.asString(QLatin1String(spec.nameColumn));
    // A password shows its stored form; the save takes that form back unless a new password is typed.
    return storedValue(spec, row);
}

void ConsumerRecord::saveArguments(GravaConsumidor& v, const QString& chave) const {
    using R = ConsumerRecord;
    using G = GravaConsumidor;
    // clang-format off
    static const struct {
        QString G::*argument;
        QString R::*value;
    } arguments[] = {
        {&G::cdCliente, &R::stCdCliente},         {&G::nmConsumidor, &R::stNmConsumidor},
        {&G::cdIdConsumid, &R::stCdIdConsumid},   {&G::cdTipoCons, &R::stCdTipoCons},
        {&G::nrRgConsumid, &R::stNrRgConsumid},   {&G::nrCpfRespCon, &R::stNrCpfRespCon},
        {&G::nrTeleCons, &R::stNrTeleCons},       {&G::nrTele2Cons, &R::stNrTele2Cons},
        {&G::operacao, &R::stOperacao},           {&G::cdPais, &R::stCdPais},
        {&G::sgEstado, &R::stSgEstado},           {&G::cdMunicipio, &R::stCdMunicipio},
        {&G::dsEndeCons, &R::stDsEndeCons},       {&G::nrEndeCons, &R::stNrEndeCons},
        {&G::nmBairCons, &R::stNmBairCons},       {&G::nrCepCons, &R::stNrCepCons},
        {&G::dsEmailCons, &R::stDsEmailCons},     {&G::idSexoCons, &R::stIdSexoConsGrava},
        {&G::dtNascCons, &R::stDtNascCons},       {&G::nrCelularCons, &R::stNrCelularCons},
        {&G::cdExConsumid, &R::stCdExConsumidor}, {&G::cdSenhaCons, &R::stCdSenhaConsCripto},
        {&G::cdSenhaSite, &R::stCdSenhaSiteCripto}, {&G::nmLoginCons, &R::stNMLOGINCONS},
        {&G::idTpVendaCons, &R::stIdTpVendaCons}, {&G::cdSenhaConsMd5, &R::stCdSenhaConsMd5},
        {&G::cdSenhaPosMd5, &R::stCdSenhaPosMd5},
    };
    // clang-format on
    for (const auto& a : arguments)
        v.*a.argument = this->*a.value;
    v.cdConsumidor = chave;
}

} // namespace cadcons
