// Leaving the postal-code field fills the address: from the outlet's own address table, or else from
// the public postal-code web service (see cep_service.h for where it is and how long the screen waits).

#include "registration/list_filter.h"
#include "registration/place_names.h"
#include "routines/utility.h"
#include "screen/busy_flag.h"
#include "screen/cad_consumidor_form.h"
#include "screen/lookup/cep_service.h"
#include "service/rdm_cad_consumidor.h"
#include "widgets/dialogs.h"

#include "config/logging.h"
#include "screen/entry/entry_text.h"

#include <QNetworkAccessManager>
#include <stdexcept>

namespace cadcons {

namespace {

using namespace registration;
using lookup::column;

// The form's one connection to the web service, made on its first web look-up.
QNetworkAccessManager& cepNetwork(QObject* form) {
    if (auto* existing =
            form->findChild<QNetworkAccessManager*>(QStringLiteral("cepNetwork"), Qt::FindDirectChildrenOnly))
        return *existing;
    auto* network = new QNetworkAccessManager(form);
    network->setObjectName(QStringLiteral("cepNetwork"));
    return *network;
}

// Web replies name places in full and in any case (accents are gone by now); a chain's lists may hold
// them cut to their columns, with or without accents. States are matched by code through the filter (values
// quoted, apostrophes and all), cities and neighbourhoods by name within the state or city.
void fillAddress(TfrmCadastroConsumidor& form, const lookup::CepAddress& reply) {
    RegistrationLists& lists = form.registration().lists;
    ConsumerRecord& consumer = form.registration().consumer;
    consumer.stCdPais = QStringLiteral("0055");
    form.setFieldText(Pais, QStringLiteral("Brasil"));

    // A state or city missing from the lists stops the filling with its message. Its restriction stays
    // switched on: every reader of these two lists sets its own filter before it reads.
    if (!EmptyString(reply.uf)) {
        consumer.stSgEstado = reply.uf;
        if (!lists.findState(consumer.stCdPais, entry::asciiUpper(consumer.stSgEstado))) {
            form.showMessage(QStringLiteral("ESTADO_N_CAD"), kMsgInformacao, form.registration().stIdEsquema);
            return;
        }
        consumer.stSgEstado = column(lists.cdsEstado, "SGESTADO");
        form.setFieldText(Uf, consumer.stSgEstado);
        lists.cdsEstado.setFiltered(false);
    }

    const QString uf = entry::asciiUpper(consumer.stSgEstado);
    if (!EmptyString(reply.localidade)) {
        if (!lists.findCity(consumer.stCdPais, uf, reply.localidade)) {
            form.showMessage(QStringLiteral("MUNICI_N_CAD"), kMsgInformacao, form.registration().stIdEsquema);
            return;
        }
        form.setFieldText(Cidade, column(lists.cdsMunicipio, "NMMUNICIPIO"));
        consumer.stCdMunicipio = column(lists.cdsMunicipio, "CDMUNICIPIO");
        lists.cdsMunicipio.setFiltered(false);
    }

    if (!EmptyString(reply.bairro)) {
        // City codes repeat from state to state: the neighbourhood is looked for in this state's city.
        // A neighbourhood the list lacks is taken as the service names it. Either name goes into the
        // consumer's narrower column, so it is cut to it here, where the operator still sees it.
        const QString nome = lists.findNeighbourhood(consumer.stCdPais, uf, consumer.stCdMunicipio, reply.bairro)
                                 ? column(lists.cdsBairro, "NMBAIRRO")
                                 : reply.bairro;
        consumer.stNmBairCons = lookup::fitToColumn(nome, QStringLiteral("NMBAIRCONS"));
        form.setFieldText(Bairro, consumer.stNmBairCons);
        lists.cdsBairro.setFiltered(false);
    }

    if (!EmptyString(reply.logradouro))
        form.setFieldText(Endereco, reply.logradouro);
}

} // namespace

void FormLookups::BuscaEnderecoCEP() {
    if (form_.inCampoAtivo != Cep || EmptyString(form_.fieldText(Cep)) || cepLookupRunning_)
        return;
    const TimedCall timed(lcScreen, "BuscaEnderecoCEP");
    const QString cep = form_.fieldText(Cep);

    bool ok = true;
    const ServiceResult answer = getInfCEP(form_.registration_->service(), cep, ok);
    if (!ok)
        throw std::runtime_error("getInfCEP: the data service failed without an error text");
    ClientDataSet& cdsInfCep = form_.lists_.cdsInfCep;
    cdsInfCep.setData(form_.registration_->accept(answer, 0, QStringLiteral("getInfCEP"),
                                                  QStringLiteral("Cli_Pax73305"), cep + QStringLiteral("_")));

    if (!cdsInfCep.isEmpty()) {
        cdsInfCep.first();
        form_.registration_->stUltimoCep = cep;
        form_.setFieldText(Pais, column(cdsInfCep, "NMPAIS"));
        form_.consumer.stCdPais = column(cdsInfCep, "CDPAIS");
        form_.setFieldText(Uf, column(cdsInfCep, "SGESTADO"));
        form_.consumer.stSgEstado = column(cdsInfCep, "SGESTADO");
        form_.setFieldText(Cidade, column(cdsInfCep, "NMMUNICIPIO"));
        form_.consumer.stCdMunicipio = column(cdsInfCep, "CDMUNICIPIO");
        form_.setFieldText(Endereco, column(cdsInfCep, "DSLOGCEP"));
        // The list's neighbourhood column is wider than the consumer's.
        form_.setFieldText(Bairro, lookup::fitToColumn(column(cdsInfCep, "NMBAIRRO"), QStringLiteral("NMBAIRCONS")));
        return;
    }

    if (cep == form_.registration_->stUltimoCep || cep.size() != 8)
        return;
    // Set before the attempt: a failed attempt is not repeated for the same code.
    form_.registration_->stUltimoCep = cep;

    // The web part is a convenience: whatever goes wrong in it leaves the fields to the operator,
    // without a message.
    try {
        const QUrl url = lookup::cepRequestUrl(lookup::cepServiceBase(), cep);
        if (!url.isValid())
            return;
        lookup::CepFetch fetched;
        {
            const BusyFlag running(cepLookupRunning_);
            fetched = lookup::fetchCepReply(cepNetwork(&form_), url);
        }
        if (fetched.outcome != lookup::CepFetch::Outcome::Reply)
            return;
        if (const std::optional<lookup::CepAddress> address = lookup::readCepReply(fetched.body))
            fillAddress(form_, *address);
    } catch (const std::exception&) {
    }
}

} // namespace cadcons
