// The pick lists of the registration form: country, state, city, neighbourhood, consumer type, sale type
// and customer, each chosen from the search dialog of the sibling package.

#include "cad_consumidor_form.h"
#include "dialogs.h"
#include "list_filter.h"
#include "mask.h"
#include "place_names.h"
#include "sibling.h"
#include "utility.h"

#include "entry/entry_text.h"

namespace cadcons {

namespace {

// The pickers' messages go out under the screen's own scheme.
const QString kPickerEsquema = QStringLiteral("002");

using lookup::both;
using namespace screen;
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
    selectField(Pais);
    cdsPais.setFiltered(false);
    const QString before = consumer.stCdPais;
    if (!choose(cdsPais))
        return;
    setFieldText(Pais, column(cdsPais, "NMPAIS"));
    consumer.stCdPais = column(cdsPais, "CDPAIS");
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
    if (fieldText(Pais).isEmpty()) {
        showMessage(QStringLiteral("PAIS_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    FilterOff off(cdsEstado);
    restrict(cdsEstado, filterTerm(QStringLiteral("CDPAIS"), consumer.stCdPais));
    const QString before = consumer.stSgEstado;
    if (!choose(cdsEstado))
        return;
    consumer.stSgEstado = column(cdsEstado, "SGESTADO");
    setFieldText(Uf, consumer.stSgEstado);
    if (consumer.stSgEstado != before) {
        setFieldText(Cidade, QString());
        consumer.stCdMunicipio.clear();
    }
}

void TfrmCadastroConsumidor::bdsCidadeClick() {
    selectField(Cidade);
    if (fieldText(Pais).isEmpty()) {
        showMessage(QStringLiteral("PAIS_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    if (fieldText(Uf).isEmpty()) {
        showMessage(QStringLiteral("ESTADO_N_INF"), kMsgErro, kPickerEsquema);
        return;
    }
    FilterOff off(cdsMunicipio);
    // The state is compared in upper case: an abbreviation kept in lower case still finds its cities.
    restrict(cdsMunicipio, both(filterTerm(QStringLiteral("CDPAIS"), consumer.stCdPais),
                                filterTerm(QStringLiteral("SGESTADO"), entry::asciiUpper(consumer.stSgEstado))));
    if (!choose(cdsMunicipio))
        return;
    setFieldText(Cidade, column(cdsMunicipio, "NMMUNICIPIO"));
    consumer.stCdMunicipio = column(cdsMunicipio, "CDMUNICIPIO");
}

void TfrmCadastroConsumidor::bdsBairroClick() {
    selectField(Bairro);
    const struct {
        Field field;
        const char* message;
    } required[] = {{Pais, "PAIS_N_INF"}, {Uf, "ESTADO_N_INF"}, {Cidade, "MUNICIPIO_N_INF"}};
    for (const auto& r : required) {
        if (fieldText(r.field).isEmpty()) {
            showMessage(QLatin1String(r.message), kMsgErro, kPickerEsquema);
            return;
        }
    }
    FilterOff off(cdsBairro);
    restrict(cdsBairro, both(both(filterTerm(QStringLiteral("CDPAIS"), consumer.stCdPais),
                                  filterTerm(QStringLiteral("SGESTADO"), entry::asciiUpper(consumer.stSgEstado))),
                             filterTerm(QStringLiteral("CDMUNICIPIO"), consumer.stCdMunicipio)));
    if (!choose(cdsBairro))
        return;
    // The neighbourhood is stored by its name, in a column narrower than the list's.
    consumer.stNmBairCons = lookup::fitToColumn(column(cdsBairro, "NMBAIRRO"), QStringLiteral("NMBAIRCONS"));
    setFieldText(Bairro, consumer.stNmBairCons);
}

void TfrmCadastroConsumidor::bdsTipoConsClick() {
    selectField(TipoCons);
    cdsTipoCons.setFiltered(false);
    if (!choose(cdsTipoCons))
        return;
    setFieldText(TipoCons, column(cdsTipoCons, "NMTIPOCONS"));
    consumer.stCdTipoConsSel = column(cdsTipoCons, "CDTIPOCONS");
}

void TfrmCadastroConsumidor::bdsTipoVendaClick() {
    selectField(TipoVenda);
    if (!choose(cdsTipoVenda))
        return;
    setFieldText(TipoVenda, column(cdsTipoVenda, "NMTIPOVENDA"));
    consumer.stCdTipoVenda = column(cdsTipoVenda, "CDTIPOVENDA");
}

// An existing consumer keeps the customer it belongs to.
void TfrmCadastroConsumidor::bdsNomeClienteClick() {
    selectField(Cliente);
    if (consumer.stOperacao != QLatin1String("1"))
        return;
    if (!choose(cdsClienFilial))
        return;
    setFieldText(Cliente, column(cdsClienFilial, "NMFANTCLIE"));
    consumer.stCdCliente = column(cdsClienFilial, "CDCLIENTE");
}

// A number that is not plain digits, or longer than the mask, is shown as stored: the mask would
// garble or cut it.
void TfrmCadastroConsumidor::cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool) {
    const QString number = column(sender, "NRINSJURCLIE");
    const QString mask = PictPess(column(sender, "IDTPIJURCLIE"));
    text = isPlainDigits(number) && number.size() <= maskPlaces(mask) ? formatMask(mask, number) : number;
}

} // namespace cadcons
