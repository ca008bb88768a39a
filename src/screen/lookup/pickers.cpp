// The pick lists of the registration form: country, state, city, neighbourhood, consumer type, sale type
// and customer, each chosen from the search dialog of the sibling package.

#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "screen/lookup/list_filter.h"
#include "screen/lookup/place_names.h"
#include "widgets/dialogs.h"

#include "screen/entry/entry_text.h"

#include <functional>

namespace cadcons {

namespace {

// Field numbers of the fields the pickers read and write.
constexpr int kPais = 7, kUf = 8, kCidade = 9, kBairro = 10, kTipoCons = 16, kTipoVenda = 22, kCliente = 24;

// The pickers' messages go out under the screen's own scheme.
const QString kPickerEsquema = QStringLiteral("002");

using lookup::column;

// The dialog's answer, and a row to take it from: a choice in an empty list is no choice.
bool choose(ClientDataSet& ds) {
    return Pesquisa(ds, QStringLiteral("N")) && ds.recNo() >= 0;
}

// The address chain is chosen from the top: country, state, city. False, with the message of the first
// of the `count` fields that is empty, when one is.
bool placeFieldsFilled(TfrmCadastroConsumidor& form, int count) {
    const struct {
        int field;
        const char* message;
    } required[] = {{kPais, "PAIS_N_INF"}, {kUf, "ESTADO_N_INF"}, {kCidade, "MUNICIPIO_N_INF"}};
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
    selectField(kPais);
    ClientDataSet& countries = lists_.cdsPais;
    countries.setFiltered(false);
    const QString before = stCdPais;
    if (!choose(countries))
        return;
    setFieldText(kPais, column(countries, "NMPAIS"));
    stCdPais = column(countries, "CDPAIS");
    // State and city belong to the country; the neighbourhood is kept, as it is stored by name.
    if (stCdPais != before) {
        setFieldText(kUf, QString());
        stSgEstado.clear();
        setFieldText(kCidade, QString());
        stCdMunicipio.clear();
    }
}

void TfrmCadastroConsumidor::bdsUfClick() {
    selectField(kUf);
    const QString before = stSgEstado;
    offerPlaces(
        *this, 1, lists_.cdsEstado, [this] { lists_.statesOf(stCdPais); },
        [this, &before](const ClientDataSet& states) {
            stSgEstado = column(states, "SGESTADO");
            setFieldText(kUf, stSgEstado);
            if (stSgEstado != before) {
                setFieldText(kCidade, QString());
                stCdMunicipio.clear();
            }
        });
}

// The state is compared in upper case: an abbreviation kept in lower case still finds its cities and
// neighbourhoods.
void TfrmCadastroConsumidor::bdsCidadeClick() {
    selectField(kCidade);
    offerPlaces(
        *this, 2, lists_.cdsMunicipio, [this] { lists_.citiesOf(stCdPais, entry::asciiUpper(stSgEstado)); },
        [this](const ClientDataSet& cities) {
            setFieldText(kCidade, column(cities, "NMMUNICIPIO"));
            stCdMunicipio = column(cities, "CDMUNICIPIO");
        });
}

void TfrmCadastroConsumidor::bdsBairroClick() {
    selectField(kBairro);
    const auto restrictList = [this] {
        lists_.neighbourhoodsOf(stCdPais, entry::asciiUpper(stSgEstado), stCdMunicipio);
    };
    offerPlaces(*this, 3, lists_.cdsBairro, restrictList, [this](const ClientDataSet& neighbourhoods) {
        // The neighbourhood is stored by its name, in a column narrower than the list's.
        stNmBairCons = lookup::fitToColumn(column(neighbourhoods, "NMBAIRRO"), QStringLiteral("NMBAIRCONS"));
        setFieldText(kBairro, stNmBairCons);
    });
}

void TfrmCadastroConsumidor::bdsTipoConsClick() {
    selectField(kTipoCons);
    ClientDataSet& types = lists_.cdsTipoCons;
    types.setFiltered(false);
    if (!choose(types))
        return;
    setFieldText(kTipoCons, column(types, "NMTIPOCONS"));
    stCdTipoConsSel = column(types, "CDTIPOCONS");
}

void TfrmCadastroConsumidor::bdsTipoVendaClick() {
    selectField(kTipoVenda);
    if (!choose(lists_.cdsTipoVenda))
        return;
    setFieldText(kTipoVenda, column(lists_.cdsTipoVenda, "NMTIPOVENDA"));
    stCdTipoVenda = column(lists_.cdsTipoVenda, "CDTIPOVENDA");
}

// An existing consumer keeps the customer it belongs to.
void TfrmCadastroConsumidor::bdsNomeClienteClick() {
    selectField(kCliente);
    if (stOperacao != QLatin1String("1"))
        return;
    if (!choose(lists_.cdsClienFilial))
        return;
    setFieldText(kCliente, column(lists_.cdsClienFilial, "NMFANTCLIE"));
    stCdCliente = column(lists_.cdsClienFilial, "CDCLIENTE");
}

void TfrmCadastroConsumidor::cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool) {
    text = RegistrationLists::registrationNumberText(sender);
}

} // namespace cadcons
