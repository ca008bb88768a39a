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

void TfrmCadastroConsumidor::bdsPaisClick() {
    selectField(Pais);
    ClientDataSet& countries = lists_.cdsPais;
    countries.setFiltered(false);
    const QString before = consumer.stCdPais;
    if (!choose(countries))
        return;
    setFieldText(Pais, column(countries, "NMPAIS"));
    consumer.stCdPais = column(countries, "CDPAIS");
    // State and city belong to the country; the neighbourhood is kept, as it is stored by name.
    if (consumer.stCdPais != before) {
        setFieldText(Uf, QString());
        consumer.stSgEstado.clear();
        setFieldText(Cidade, QString());
        consumer.stCdMunicipio.clear();
    }
}

void TfrmCadastroConsumidor::bdsUfClick() {
    selectField(Uf);
    const QString before = consumer.stSgEstado;
    offerPlaces(
        *this, 1, lists_.cdsEstado, [this] { lists_.statesOf(consumer.stCdPais); },
        [this, &before](const ClientDataSet& states) {
            consumer.stSgEstado = column(states, "SGESTADO");
            setFieldText(Uf, consumer.stSgEstado);
            if (consumer.stSgEstado != before) {
                setFieldText(Cidade, QString());
                consumer.stCdMunicipio.clear();
            }
        });
}

// The state is compared in upper case: an abbreviation kept in lower case still finds its cities and
// neighbourhoods.
void TfrmCadastroConsumidor::bdsCidadeClick() {
    selectField(Cidade);
    offerPlaces(
        *this, 2, lists_.cdsMunicipio,
        [this] { lists_.citiesOf(consumer.stCdPais, entry::asciiUpper(consumer.stSgEstado)); },
        [this](const ClientDataSet& cities) {
            setFieldText(Cidade, column(cities, "NMMUNICIPIO"));
            consumer.stCdMunicipio = column(cities, "CDMUNICIPIO");
        });
}

void TfrmCadastroConsumidor::bdsBairroClick() {
    selectField(Bairro);
    const auto restrictList = [this] {
        lists_.neighbourhoodsOf(consumer.stCdPais, entry::asciiUpper(consumer.stSgEstado), consumer.stCdMunicipio);
    };
    offerPlaces(*this, 3, lists_.cdsBairro, restrictList, [this](const ClientDataSet& neighbourhoods) {
        // The neighbourhood is stored by its name, in a column narrower than the list's.
        consumer.stNmBairCons = lookup::fitToColumn(column(neighbourhoods, "NMBAIRRO"), QStringLiteral("NMBAIRCONS"));
        setFieldText(Bairro, consumer.stNmBairCons);
    });
}

void TfrmCadastroConsumidor::bdsTipoConsClick() {
    selectField(TipoCons);
    ClientDataSet& types = lists_.cdsTipoCons;
    types.setFiltered(false);
    if (!choose(types))
        return;
    setFieldText(TipoCons, column(types, "NMTIPOCONS"));
    consumer.stCdTipoConsSel = column(types, "CDTIPOCONS");
}

void TfrmCadastroConsumidor::bdsTipoVendaClick() {
    selectField(TipoVenda);
    if (!choose(lists_.cdsTipoVenda))
        return;
    setFieldText(TipoVenda, column(lists_.cdsTipoVenda, "NMTIPOVENDA"));
    consumer.stCdTipoVenda = column(lists_.cdsTipoVenda, "CDTIPOVENDA");
}

// An existing consumer keeps the customer it belongs to.
void TfrmCadastroConsumidor::bdsNomeClienteClick() {
    selectField(Cliente);
    if (consumer.stOperacao != QLatin1String("1"))
        return;
    if (!choose(lists_.cdsClienFilial))
        return;
    setFieldText(Cliente, column(lists_.cdsClienFilial, "NMFANTCLIE"));
    consumer.stCdCliente = column(lists_.cdsClienFilial, "CDCLIENTE");
}

void TfrmCadastroConsumidor::cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool) {
    text = RegistrationLists::registrationNumberText(sender);
}

} // namespace cadcons
