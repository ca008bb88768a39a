#pragma once

#include "platform/client_data_set.h"
#include "platform/service_result.h"

#include <QString>
#include <functional>

namespace cadcons {

class TrdmCadConsumidor;

// The lists of the registration form: the parameter file, the customer list, the data service's pick
// lists and the answers of the look-ups, with the filters the address chain (country, state, city,
// neighbourhood) switches on them. The registration holds one; the pickers, the postal-code look-up and
// Confirm read the lists through it. The lists are read from the data service `rdm`; a service error goes
// to `Accept`, which tells the operator.
class RegistrationLists {
public:
    // Passes a service answer on as a packet; an error text is shown and thrown (MensagemMetodo).
    using Accept = std::function<DataPacket(const ServiceResult& result, const QString& operation,
                                            const QString& module, const QString& context)>;

    // --- loading
    // The customer's name (cdsNomeCliente).
    void loadCustomerName(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdCliente);
    // The branch's default consumer type (cdsTipoConsPadrao).
    void loadDefaultConsumerType(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdFilial);
    // The six pick lists, then the branch's sale parameters (cdsParaVend). The first failure stops.
    void loadPickLists(TrdmCadConsumidor& rdm, const Accept& accept, const QString& cdFilial);
    // The customer list of the host's file; closed when there is no file (`path` empty).
    void loadCustomers(const QString& path);
    // Display labels and visibility of the persistent fields, as the pick lists show them.
    void setPersistentFields();
    // A customer's registration number as the customer list shows it: under the edit mask of the
    // customer's person type, or as stored when the mask would garble or cut it.
    static QString registrationNumberText(const ClientDataSet& customers);

    // --- the address chain. A state abbreviation is compared as given: callers pass it in the case
    // the list holds (upper).
    static QString countryFilter(const QString& cdPais);
    static QString stateFilter(const QString& cdPais, const QString& sgEstado);
    static QString cityFilter(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio);

    // Each restricts its list afresh, judged on the whole list, and leaves the restriction on.
    ClientDataSet& statesOf(const QString& cdPais);
    ClientDataSet& citiesOf(const QString& cdPais, const QString& sgEstado);
    ClientDataSet& neighbourhoodsOf(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio);
    // cdsEstado restricted to the one state; true when the list holds it.
    bool findState(const QString& cdPais, const QString& sgEstado);
    // The state's cities, on the one `nmMunicipio` names (see locatePlace); false when none does.
    bool findCity(const QString& cdPais, const QString& sgEstado, const QString& nmMunicipio);
    // The city's neighbourhoods, on the one `nmBairro` names; false when none does.
    bool findNeighbourhood(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio,
                           const QString& nmBairro);

    // --- Confirm's checks. True when the list holds the place, with its filter switched off again; with
    // none the restriction stays on, as the pick list switches it off before its next use.
    bool hasCountry(const QString& cdPais);
    bool hasState(const QString& cdPais, const QString& sgEstado);
    bool hasCity(const QString& cdPais, const QString& sgEstado, const QString& cdMunicipio);

    // --- codes of the names the screen shows, "" when the list has none; filters are off afterwards.
    QString countryCode(const QString& nmPais);
    QString cityCode(const QString& cdPais, const QString& sgEstado, const QString& nmMunicipio);
    QString consumerTypeCode(const QString& nmTipoCons);

    ClientDataSet cdsParametrosKiv{QStringLiteral("cdsParametrosKiv")};
    ClientDataSet cdsClienFilial{QStringLiteral("cdsClienFilial")};
    ClientDataSet cdsNomeCliente{QStringLiteral("cdsNomeCliente")};
    ClientDataSet cdsTipoConsPadrao{QStringLiteral("cdsTipoConsPadrao")};
    ClientDataSet cdsMunicipio{QStringLiteral("cdsMunicipio")};
    ClientDataSet cdsEstado{QStringLiteral("cdsEstado")};
    ClientDataSet cdsPais{QStringLiteral("cdsPais")};
    ClientDataSet cdsTipoCons{QStringLiteral("cdsTipoCons")};
    ClientDataSet cdsBairro{QStringLiteral("cdsBairro")};
    ClientDataSet cdsTipoVenda{QStringLiteral("cdsTipoVenda")};
    ClientDataSet cdsParaVend{QStringLiteral("cdsParaVend")};
    ClientDataSet cdsDadosCons{QStringLiteral("cdsDadosCons")};
    ClientDataSet cdsBuscaConsumidor{QStringLiteral("cdsBuscaConsumidor")};
    ClientDataSet cdsInfCep{QStringLiteral("cdsInfCep")};
    // Receives the consumer-code check of a new consumer.
    ClientDataSet cdsConsumidor{QStringLiteral("cdsConsumidor")};
};

} // namespace cadcons
