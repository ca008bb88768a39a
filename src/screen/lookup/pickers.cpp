// The pick lists of the registration form: country, state, city, neighbourhood, consumer type, sale type
// and customer, each chosen from the search dialog of the sibling package.

#include "registration/list_filter.h"
#include "registration/place_names.h"
#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/dialogs.h"

#include "screen/entry/entry_text.h"

#include <functional>

namespace cadcons {

namespace {

// The pickers' messages go out under the screen's own scheme.
const QString kPickerEsquema = QStringLiteral("002");

using namespace registration;
using lookup::column;

// The dialog's answer, and a row to take it from: a choice in an empty list is no choice.
bool choose(ClientDataSet& ds) {
    return Pesquisa(ds, QStringLiteral("N")) && ds.recNo() >= 0;
}

// The address chain is chosen from the top: country, state, city. False, with the message of the first
// of the `count` fields that is empty, when one is.
bool placeFieldsFilled(TfrmCadastroConsumidor& form, int count) {
    const struct {
        Field field;
        const char* message;
    } required[] = {{Pais, "PAIS_N_INF"}, {Uf, "ESTADO_N_INF"}, {Cidade, "MUNICIPIO_N_INF"}};
    for (int i = 0; i < count; ++i) {
        if (form.fieldText(required[i].field).isEmpty()) {
            form.showMessage(QLatin1String(required[i].message), kMsgErro, kPickerEsquema);
            return false;
        }
    }
    return true;
}

// Offers `list` as `restrictList` leaves it, once the `above` places over it are filled, and hands the
// operator's choice to `take`. The restriction goes off again afterwards, whatever happens.
void offerPlaces(TfrmCadastroConsumidor& form, int above, ClientDataSet& list,
                 const std::function<void()>& restrictList, const std::function<void(const ClientDataSet&)>& take) {
    if (!placeFieldsFilled(form, above))
        return;
    const FilterOff off(list);
    restrictList();
    if (choose(list))
        take(list);
}

} // namespace

void FormLookups::openPicker(registration::Picker picker) {
    using Handler = void (FormLookups::*)();
    static const std::pair<Picker, Handler> pickers[] = {
        {Picker::Pais, &FormLookups::bdsPaisClick},           {Picker::Uf, &FormLookups::bdsUfClick},
        {Picker::Cidade, &FormLookups::bdsCidadeClick},       {Picker::Bairro, &FormLookups::bdsBairroClick},
        {Picker::TipoCons, &FormLookups::bdsTipoConsClick},   {Picker::TipoVenda, &FormLookups::bdsTipoVendaClick},
        {Picker::Cliente, &FormLookups::bdsNomeClienteClick},
    };
    for (const auto& [kind, handler] : pickers) {
        if (kind == picker)
            (this->*handler)();
    }
}

void FormLookups::bdsPaisClick() {
    form_.selectField(Pais);
    ClientDataSet& countries = form_.lists_.cdsPais;
    countries.setFiltered(false);
    const QString before = form_.consumer.stCdPais;
    if (!choose(countries))
        return;
    form_.setFieldText(Pais, column(countries, "NMPAIS"));
    form_.consumer.stCdPais = column(countries, "CDPAIS");
    // State and city belong to the country; the neighbourhood is kept, as it is stored by name.
    if (form_.consumer.stCdPais != before) {
        form_.setFieldText(Uf, QString());
        form_.consumer.stSgEstado.clear();
        form_.setFieldText(Cidade, QString());
        form_.consumer.stCdMunicipio.clear();
    }
}

void FormLookups::bdsUfClick() {
    form_.selectField(Uf);
    const QString before = form_.consumer.stSgEstado;
    offerPlaces(
        form_, 1, form_.lists_.cdsEstado, [this] { form_.lists_.statesOf(form_.consumer.stCdPais); },
        [this, &before](const ClientDataSet& states) {
            form_.consumer.stSgEstado = column(states, "SGESTADO");
            form_.setFieldText(Uf, form_.consumer.stSgEstado);
            if (form_.consumer.stSgEstado != before) {
                form_.setFieldText(Cidade, QString());
                form_.consumer.stCdMunicipio.clear();
            }
        });
}

// The state is compared in upper case: an abbreviation kept in lower case still finds its cities and
// neighbourhoods.
void FormLookups::bdsCidadeClick() {
    form_.selectField(Cidade);
    offerPlaces(
        form_, 2, form_.lists_.cdsMunicipio,
        [this] { form_.lists_.citiesOf(form_.consumer.stCdPais, entry::asciiUpper(form_.consumer.stSgEstado)); },
        [this](const ClientDataSet& cities) {
            form_.setFieldText(Cidade, column(cities, "NMMUNICIPIO"));
            form_.consumer.stCdMunicipio = column(cities, "CDMUNICIPIO");
        });
}

void FormLookups::bdsBairroClick() {
    form_.selectField(Bairro);
    const auto restrictList = [this] {
        form_.lists_.neighbourhoodsOf(form_.consumer.stCdPais, entry::asciiUpper(form_.consumer.stSgEstado),
                                      form_.consumer.stCdMunicipio);
    };
    offerPlaces(form_, 3, form_.lists_.cdsBairro, restrictList, [this](const ClientDataSet& neighbourhoods) {
        // The neighbourhood is stored by its name, in a column narrower than the list's.
        form_.consumer.stNmBairCons =
            lookup::fitToColumn(column(neighbourhoods, "NMBAIRRO"), QStringLiteral("NMBAIRCONS"));
        form_.setFieldText(Bairro, form_.consumer.stNmBairCons);
    });
}

void FormLookups::bdsTipoConsClick() {
    form_.selectField(TipoCons);
    ClientDataSet& types = form_.lists_.cdsTipoCons;
    types.setFiltered(false);
    if (!choose(types))
        return;
    form_.setFieldText(TipoCons, column(types, "NMTIPOCONS"));
    form_.consumer.stCdTipoConsSel = column(types, "CDTIPOCONS");
}

void FormLookups::bdsTipoVendaClick() {
    form_.selectField(TipoVenda);
    if (!choose(form_.lists_.cdsTipoVenda))
        return;
    form_.setFieldText(TipoVenda, column(form_.lists_.cdsTipoVenda, "NMTIPOVENDA"));
    form_.consumer.stCdTipoVenda = column(form_.lists_.cdsTipoVenda, "CDTIPOVENDA");
}

// An existing consumer keeps the customer it belongs to.
void FormLookups::bdsNomeClienteClick() {
    form_.selectField(Cliente);
    if (form_.consumer.stOperacao != QLatin1String("1"))
        return;
    if (!choose(form_.lists_.cdsClienFilial))
        return;
    form_.setFieldText(Cliente, column(form_.lists_.cdsClienFilial, "NMFANTCLIE"));
    form_.consumer.stCdCliente = column(form_.lists_.cdsClienFilial, "CDCLIENTE");
}

void FormLookups::cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool) {
    text = RegistrationLists::registrationNumberText(sender);
}

} // namespace cadcons
