#include "registration/registration_lists.h"

#include "platform/mask.h"
#include "platform/text.h"
#include "registration/list_filter.h"
#include "registration/place_names.h"
#include "routines/utility.h"
#include "service/rdm_cad_consumidor.h"

namespace cadcons {

namespace {

const QString kModulo = QStringLiteral("Lum52816");
const QString kModuloLista = QStringLiteral("Cli_Lum52816");

// Filters `ds` by `filter` for one read, and switches the filter off afterwards whatever happens.
QString firstValue(ClientDataSet& ds, const QString& filter, const QString& column) {
    const FilterOff off(ds);
    return lookup::filteredFind(ds, filter) ? ds.asString(column) : QString();
}

// The code of the row among those `filter` leaves whose `nameColumn` names the place `name`; "" when none.
QString placeCode(ClientDataSet& ds, const QString& filter, const QString& nameColumn, const QString& name,
                  const QString& codeColumn) {
    const FilterOff off(ds);
    lookup::filteredFind(ds, filter);
    return lookup::locatePlace(ds, nameColumn, name) ? ds.asString(codeColumn) : QString();
}

// Restricts `ds` to `filter`: true when a row is left, with the filter switched off again.
bool anyRow(ClientDataSet& ds, const QString& filter) {
    if (!lookup::filteredFind(ds, filter))
        return false;
    ds.setFiltered(false);
    return true;
}

qsizetype maskPlaces(const QString& mask) {
    return mask.count(u'9') + mask.count(u'0') + mask.count(u'#');
}

} // namespace

void RegistrationLists::loadCustomerName(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdCliente) {
    cdsNomeCliente.setData(
        accept(getNomeCliente(rdm, cdCliente), QStringLiteral("getNomeCliente"), kModulo, cdCliente));
}

void RegistrationLists::loadDefaultConsumerType(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdFilial) {
    cdsTipoConsPadrao.setData(
        accept(getTipoConsPadrao(rdm, cdFilial), QStringLiteral("getTipoConsPadrao"), kModulo, cdFilial));
}

void RegistrationLists::loadPickLists(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdFilial) {
    const std::pair<ClientDataSet*, ListRead> lists[] = {
        {&cdsMunicipio, getMunicipio}, {&cdsEstado, getEstado}, {&cdsPais, getPais},
        {&cdsTipoCons, getTipoCons},   {&cdsBairro, getBairro}, {&cdsTipoVenda, getTipoVenda},
    };
    for (const auto& [dataset, read] : lists) {
        QString operation = QLatin1String(listOperationName(read));
        // The message tools know the neighbourhoods' failure by this name, three blanks and all.
        if (read == getBairro)
            operation += QStringLiteral("   ");
        dataset->setData(accept(read(rdm), operation, kModuloLista, QString()));
    }

    cdsParaVend.setData(accept(getParaVend(rdm, cdFilial), QStringLiteral("getParaVend"), kModuloLista, cdFilial));
}

void RegistrationLists::loadCustomers(const QString& path) {
    cdsClienFilial.close();
    if (!path.isEmpty())
        cdsClienFilial.loadFromFile(path);
}

void RegistrationLists::setPersistentFields() {
    using L = RegistrationLists;
    const QString codigo = QStringLiteral("Código");
    const QString nome = QStringLiteral("Nome");
    const struct {
        ClientDataSet L::*dataset;
        const char* field;
        QString label;
        int width = 0;
        bool visible = true;
    } fields[] = {
        {&L::cdsClienFilial, "CDCLIENTE", QString(), 21, false},
        {&L::cdsClienFilial, "IDTPIJURCLIE", QString(), 1, false},
        {&L::cdsClienFilial, "NRINSJURCLIE", QStringLiteral("Inscrição")},
        {&L::cdsClienFilial, "NMRAZSOCCLIE", QStringLiteral("Razão Social"), 50, false},
        {&L::cdsClienFilial, "NMFANTCLIE", QStringLiteral("Nome Fantasia"), 50},
        {&L::cdsTipoConsPadrao, "CDTIPOCONS", codigo, 2},
        {&L::cdsTipoConsPadrao, "NMTIPOCONS", nome},
        {&L::cdsMunicipio, "CDPAIS", QStringLiteral("Pais"), 10, false},
        {&L::cdsMunicipio, "SGESTADO", QStringLiteral("Estado"), 2, false},
        {&L::cdsMunicipio, "CDMUNICIPIO", codigo, 10},
        {&L::cdsMunicipio, "NMMUNICIPIO", nome, 50},
        {&L::cdsEstado, "CDPAIS", QString(), 4, false},
        {&L::cdsEstado, "SGESTADO", QStringLiteral("Sigla"), 2},
        {&L::cdsEstado, "NMESTADO", nome, 30},
        {&L::cdsPais, "CDPAIS", codigo, 4},
        {&L::cdsPais, "NMPAIS", nome, 30},
        {&L::cdsTipoCons, "CDTIPOCONS", codigo, 2},
        {&L::cdsTipoCons, "NMTIPOCONS", nome},
        {&L::cdsBairro, "CDPAIS", QStringLiteral("País"), 4},
        {&L::cdsBairro, "SGESTADO", QStringLiteral("Estado"), 2},
        {&L::cdsBairro, "CDMUNICIPIO", QStringLiteral("Cidade"), 4},
        {&L::cdsBairro, "CDBAIRRO", codigo, 10},
        {&L::cdsBairro, "NMBAIRRO", nome, 50},
        {&L::cdsTipoVenda, "CDTIPOVENDA", codigo, 1},
        {&L::cdsTipoVenda, "NMTIPOVENDA", nome, 60},
    };
    for (const auto& f : fields)
        (this->*f.dataset).setDisplay(QLatin1String(f.field), FieldDisplay{f.label, f.width, f.visible});
    cdsClienFilial.setGetText(QStringLiteral("NRINSJURCLIE"),
                              [](const ClientDataSet& ds, const QString&) { return registrationNumberText(ds); });
}

QString RegistrationLists::registrationNumberText(const ClientDataSet& customers) {
    const QString number = lookup::column(customers, "NRINSJURCLIE");
    const QString mask = PictPess(lookup::column(customers, "IDTPIJURCLIE"));
    return isAsciiDigits(number) && number.size() <= maskPlaces(mask) ? formatMask(mask, number) : number;
}

QString RegistrationLists::countryFilter(const QString& cdPais) {
    return filterTerm(QStringLiteral("CDPAIS"), cdPais);
}

QString RegistrationLists::stateFilter(const QString& cdPais, const QString& sgEstado) {
    return lookup::both(countryFilter(cdPais), filterTerm(QStringLiteral("SGESTADO"), sgEstado));
}

QString RegistrationLists::cityFilter(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio) {
    return lookup::both(stateFilter(cdPais, sgEstado), filterTerm(QStringLiteral("CDMUNICIPIO"), cdMunicipio));
}

ClientDataSet& RegistrationLists::statesOf(const QString& cdPais) {
    lookup::restrict(cdsEstado, countryFilter(cdPais));
    return cdsEstado;
}

ClientDataSet& RegistrationLists::citiesOf(const QString& cdPais, const QString& sgEstado) {
    lookup::restrict(cdsMunicipio, stateFilter(cdPais, sgEstado));
    return cdsMunicipio;
}

ClientDataSet& RegistrationLists::neighbourhoodsOf(const QString& cdPais, const QString& sgEstado,
                                                   const QString& cdMunicipio) {
    lookup::restrict(cdsBairro, cityFilter(cdPais, sgEstado, cdMunicipio));
    return cdsBairro;
}

bool RegistrationLists::findState(const QString& cdPais, const QString& sgEstado) {
    lookup::restrict(cdsEstado, stateFilter(cdPais, sgEstado));
    return !cdsEstado.isEmpty();
}

bool RegistrationLists::findCity(const QString& cdPais, const QString& sgEstado, const QString& nmMunicipio) {
    return lookup::locatePlace(citiesOf(cdPais, sgEstado), QStringLiteral("NMMUNICIPIO"), nmMunicipio);
}

bool RegistrationLists::findNeighbourhood(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio,
                                          const QString& nmBairro) {
    return lookup::locatePlace(neighbourhoodsOf(cdPais, sgEstado, cdMunicipio), QStringLiteral("NMBAIRRO"), nmBairro);
}

bool RegistrationLists::hasCountry(const QString& cdPais) {
    return anyRow(cdsPais, countryFilter(cdPais));
}

bool RegistrationLists::hasState(const QString& cdPais, const QString& sgEstado) {
    return anyRow(cdsEstado, stateFilter(cdPais, sgEstado));
}

bool RegistrationLists::hasCity(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio) {
    return anyRow(cdsMunicipio, cityFilter(cdPais, sgEstado, cdMunicipio));
}

QString RegistrationLists::countryCode(const QString& nmPais) {
    return placeCode(cdsPais, QString(), QStringLiteral("NMPAIS"), nmPais, QStringLiteral("CDPAIS"));
}

QString RegistrationLists::cityCode(const QString& cdPais, const QString& sgEstado, const QString& nmMunicipio) {
    return placeCode(cdsMunicipio, stateFilter(cdPais, sgEstado), QStringLiteral("NMMUNICIPIO"), nmMunicipio,
                     QStringLiteral("CDMUNICIPIO"));
}

QString RegistrationLists::consumerTypeCode(const QString& nmTipoCons) {
    return firstValue(cdsTipoCons, filterTerm(QStringLiteral("NMTIPOCONS"), nmTipoCons), QStringLiteral("CDTIPOCONS"));
}

} // namespace cadcons
