// The pick lists of the registration form: country, state, city, neighbourhood, consumer type, sale type
// and customer, each chosen from the search dialog of the sibling package.

#include "platform/mask.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "screen/cad_consumidor_form.h"
#include "screen/lookup/list_filter.h"
#include "screen/lookup/place_names.h"
#include "widgets/dialogs.h"

#include "screen/entry/entry_text.h"

namespace cadcons {

namespace {

// Field numbers of the fields the pickers read and write.
constexpr int kPais = 7, kUf = 8, kCidade = 9, kBairro = 10, kTipoCons = 16, kTipoVenda = 22, kCliente = 24;

// The pickers' messages go out under the screen's own scheme.
const QString kPickerEsquema = QStringLiteral("002");

using lookup::both;
using lookup::column;
using lookup::restrict;

// The dialog's answer, and a row to take it from: a choice in an empty list is no choice.
bool choose(ClientDataSet& ds) {
    return Pesquisa(ds, QStringLiteral("N")) && ds.recNo() >= 0;
}

bool isPlainDigits(const QString& text) {
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

qsizetype maskPlaces(const QString& mask) {
    return mask.count(u'9') + mask.count(u'0') + mask.count(u'#');
}

} // namespace

void TfrmCadastroConsumidor::bdsPaisClick() {
    selectField(kPais);
    cdsPais.setFiltered(false);
    const QString before = stCdPais;
    if (!choose(cdsPais))
        return;
    setFieldText(kPais, column(cdsPais, "NMPAIS"));
    stCdPais = column(cdsPais, "CDPAIS");
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
    if (fieldText(kPais).isEmpty()) {
        showMessage(QStringLiteral("PAIS_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    FilterOff off(cdsEstado);
    restrict(cdsEstado, filterTerm(QStringLiteral("CDPAIS"), stCdPais));
    const QString before = stSgEstado;
    if (!choose(cdsEstado))
        return;
    stSgEstado = column(cdsEstado, "SGESTADO");
    setFieldText(kUf, stSgEstado);
    if (stSgEstado != before) {
        setFieldText(kCidade, QString());
        stCdMunicipio.clear();
    }
}

void TfrmCadastroConsumidor::bdsCidadeClick() {
    selectField(kCidade);
    if (fieldText(kPais).isEmpty()) {
        showMessage(QStringLiteral("PAIS_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    if (fieldText(kUf).isEmpty()) {
        showMessage(QStringLiteral("ESTADO_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    FilterOff off(cdsMunicipio);
    // The state is compared in upper case: an abbreviation kept in lower case still finds its cities.
    restrict(cdsMunicipio, both(filterTerm(QStringLiteral("CDPAIS"), stCdPais),
                                filterTerm(QStringLiteral("SGESTADO"), entry::asciiUpper(stSgEstado))));
    if (!choose(cdsMunicipio))
        return;
    setFieldText(kCidade, column(cdsMunicipio, "NMMUNICIPIO"));
    stCdMunicipio = column(cdsMunicipio, "CDMUNICIPIO");
}

void TfrmCadastroConsumidor::bdsBairroClick() {
    selectField(kBairro);
    const struct {
        int field;
        const char* message;
    } required[] = {{kPais, "PAIS_N_INF"}, {kUf, "ESTADO_N_INF"}, {kCidade, "MUNICIPIO_N_INF"}};
    for (const auto& r : required) {
        if (fieldText(r.field).isEmpty()) {
            showMessage(QLatin1String(r.message), kMsgErro, kPickerEsquema);
            return;
        }
    }
    FilterOff off(cdsBairro);
    restrict(cdsBairro, both(both(filterTerm(QStringLiteral("CDPAIS"), stCdPais),
                                  filterTerm(QStringLiteral("SGESTADO"), entry::asciiUpper(stSgEstado))),
                             filterTerm(QStringLiteral("CDMUNICIPIO"), stCdMunicipio)));
    if (!choose(cdsBairro))
        return;
    // The neighbourhood is stored by its name, in a column narrower than the list's.
    stNmBairCons = lookup::fitToColumn(column(cdsBairro, "NMBAIRRO"), QStringLiteral("NMBAIRCONS"));
    setFieldText(kBairro, stNmBairCons);
}

void TfrmCadastroConsumidor::bdsTipoConsClick() {
    selectField(kTipoCons);
    cdsTipoCons.setFiltered(false);
    if (!choose(cdsTipoCons))
        return;
    setFieldText(kTipoCons, column(cdsTipoCons, "NMTIPOCONS"));
    stCdTipoConsSel = column(cdsTipoCons, "CDTIPOCONS");
}

void TfrmCadastroConsumidor::bdsTipoVendaClick() {
    selectField(kTipoVenda);
    if (!choose(cdsTipoVenda))
        return;
    setFieldText(kTipoVenda, column(cdsTipoVenda, "NMTIPOVENDA"));
    stCdTipoVenda = column(cdsTipoVenda, "CDTIPOVENDA");
}

// An existing consumer keeps the customer it belongs to.
void TfrmCadastroConsumidor::bdsNomeClienteClick() {
    selectField(kCliente);
    if (stOperacao != QLatin1String("1"))
        return;
    if (!choose(cdsClienFilial))
        return;
    setFieldText(kCliente, column(cdsClienFilial, "NMFANTCLIE"));
    stCdCliente = column(cdsClienFilial, "CDCLIENTE");
}

// A number that is not plain digits, or longer than the mask, is shown as stored: the mask would
// garble or cut it.
void TfrmCadastroConsumidor::cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool) {
    const QString number = column(sender, "NRINSJURCLIE");
    const QString mask = PictPess(column(sender, "IDTPIJURCLIE"));
    text = isPlainDigits(number) && number.size() <= maskPlaces(mask) ? formatMask(mask, number) : number;
}

} // namespace cadcons
