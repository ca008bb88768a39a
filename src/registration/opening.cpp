// The opening of a call: what the screen starts with.

#include "registration/registration.h"

#include "config/connection.h"
#include "config/host_config.h"
#include "config/logging.h"
#include "platform/packet_file.h"
#include "registration/queue_sender.h"
#include "registration/registration_operator.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "service/offline_queue.h"
#include "service/rdm_cad_consumidor.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace cadcons {

namespace {

const QString kModuloLista = QStringLiteral("Cli_Lum52816");

// The host names its files in its own case and Linux compares names exactly: each part of the path is
// taken as written when it exists, else the entry that matches it without regard to case. Returns ""
// when there is no such file.
QString findHostFile(const QString& directory, const QString& relativePath) {
    QString path = directory;
    if (!path.endsWith(u'/'))
        path += u'/';
    const QStringList parts = relativePath.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        QString found;
        if (const QFileInfo exact(path + parts[i]); exact.exists())
            found = exact.filePath();
        else {
            const QStringList entries =
                QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& entry : entries) {
                if (entry.compare(parts[i], Qt::CaseInsensitive) == 0) {
                    found = path + entry;
                    break;
                }
            }
        }
        if (found.isEmpty())
            return {};
        const QFileInfo info(found);
        if (last)
            return info.isFile() ? found : QString();
        if (!info.isDir())
            return {};
        path = found + u'/';
    }
    return {};
}

// Element 0 of the central password service's answer: a packet, or the packet's XML as the service may
// pass it on from the wire.
DataPacket centralPacket(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<DataPacket>())
        return value.value<DataPacket>();
    const QString source = QStringLiteral("the answer of SenhaConsCentral");
    if (value.metaType() == QMetaType::fromType<QByteArray>())
        return readPacketXml(value.toByteArray(), source);
    if (value.metaType() == QMetaType::fromType<QString>())
        return readPacketXml(value.toString().toUtf8(), source);
    throw std::runtime_error("SenhaConsCentral answered GET_CONS without a consumer packet");
}

// The till's queue; none when the configuration names no place for it or it cannot be opened.
OfflineQueue* queueOf(TrdmCadConsumidor& service) {
    try {
        return service.offlineQueue();
    } catch (const std::exception& e) {
        // The configuration check names a wrong setting; a queue that cannot be opened is logged.
        qCWarning(lcScreen, "no queue of registrations on this till: %s", e.what());
        return nullptr;
    }
}

} // namespace

void Registration::readParameterFile(const QString& path) {
    const struct {
        const char* field;
        QString* target; // null: the field must be there, its value is not used
    } parameters[] = {
        {"CDFILIAL", &stCdFilial},
        {"CDLOJA", nullptr},
        {"IDESQUEMA", &stIdEsquema},
        {"CDCCUSCLIE", &stCdCcusClie},
        {"CDTIPOCONS", &consumer.stCdTipoCons},
        {"CDCLIENTE", &consumer.stCdCliente},
        {"STPROCESSAMENTO", &stStProcessamento},
        {"UTILIZAIMPFIS", nullptr},
        {"IDEXCONSATFIL", &stIdExConsAtFil},
        {"IDEXCONSATGER", &stIdExConsAtGer},
        {"IDIMPMERCBOCA", &stIdImpMercBoca},
        {"IDBLOQCDIDCONS", &stIdBloqCdIdCons},
        {"IDSENCONSCENTRAL", &stIdSenConsCentral},
    };
    ClientDataSet& cdsParametrosKiv = lists.cdsParametrosKiv;
    cdsParametrosKiv.loadFromFile(path);
    // All fields are checked before any is taken, so a bad file leaves no half-read parameters.
    for (const auto& parameter : parameters) {
        if (!cdsParametrosKiv.hasField(QLatin1String(parameter.field)))
            throw std::runtime_error(QStringLiteral("The parameter file %1 has no field %2")
                                         .arg(QDir::toNativeSeparators(path), QLatin1String(parameter.field))
                                         .toStdString());
    }
    for (const auto& parameter : parameters) {
        if (parameter.target)
            *parameter.target = cdsParametrosKiv.asString(QLatin1String(parameter.field));
    }
    boUtilizaImpFis = cdsParametrosKiv.asBoolean(QStringLiteral("UTILIZAIMPFIS"));
}

void Registration::showSaleTypeName(const QString& code) {
    if (ClientDataSet& types = lists.cdsTipoVenda; types.locate(QStringLiteral("CDTIPOVENDA"), code))
        setFieldText(registration::TipoVenda, types.asString(QStringLiteral("NMTIPOVENDA")));
}

void Registration::copyStoredConsumer() {
    const ClientDataSet& record = lists.cdsDadosCons;
    consumer.loadStored(record);
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        if (const std::optional<QString> caption = storedCaption(spec, record))
            setFieldText(spec.number, *caption);
    }
    for (const registration::OptionSpec& option : registration::optionCatalogue())
        this->*option.value = record.asString(QLatin1String(option.column));
    stDigital = record.asString(QStringLiteral("DIGICONSUMIDOR"));
    stDigital2 = record.asString(QStringLiteral("DIGICONSUMIDOR2"));
    showSaleTypeName(consumer.stCdTipoVenda);
}

void Registration::loadServiceLists() {
    const RegistrationLists::Accept accept = [this](const ServiceResult& result, const QString& operation,
                                                    const QString& module, const QString& context) {
        return this->accept(result, 0, operation, module, context);
    };
    lists.loadCustomerName(service_, accept, consumer.stCdCliente);
    setFieldText(registration::Cliente, lists.cdsNomeCliente.asString(QStringLiteral("NMFANTCLIE")));

    lists.loadDefaultConsumerType(service_, accept, stCdFilial);
    if (const ClientDataSet& standard = lists.cdsTipoConsPadrao; !standard.isEmpty()) {
        consumer.stCdTipoCons = standard.asString(QStringLiteral("CDTIPOCONS"));
        setFieldText(registration::TipoCons, standard.asString(QStringLiteral("NMTIPOCONS")));
    }

    lists.loadPickLists(service_, accept, stCdFilial);
}

// The stored record of the call's consumer, from the central password service when the parameters say
// so, else from the data service.
void Registration::readStoredConsumer() {
    if (stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, consumer.stCdCliente, consumer.stCdConsumidor, QStringLiteral("X"),
                              QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("GET_CONS"), answer))
            throw std::runtime_error("SenhaConsCentral_ERRO");
        lists.cdsDadosCons.setData(centralPacket(answer.value(0)));
        return;
    }
    lists.cdsDadosCons.setData(accept(getDadosConsumidor(service_, consumer.stCdCliente, consumer.stCdConsumidor), 0,
                                      QStringLiteral("getDadosConsumidor"), kModuloLista,
                                      consumer.stCdCliente + QStringLiteral("-") + consumer.stCdConsumidor));
}

void Registration::openService() {
    offline_ = false;
    try {
        service_.open();
    } catch (const DatabaseError& e) {
        // A new consumer may wait on the till for the database, when the till keeps what the screen shows.
        if (stModoChamada != QLatin1String("B") || !queueOf(service_) || !service_.openWithoutDatabase())
            throw;
        qCWarning(lcScreen, "%s: the registration opens without the database and waits on the till", e.what());
        offline_ = true;
        return;
    }
    // What waits on the till goes first: a code this call takes may be one of them.
    if (OfflineQueue* queue = queueOf(service_); queue && queue->waiting() > 0)
        sendQueue(service_, *queue);
}

void Registration::openConsumer() {
    operator_.moveTo(stModoChamada == QLatin1String("B") ? registration::Cliente : registration::Nome);
    if (!offline_)
        readStoredConsumer();

    if (lists.cdsDadosCons.isEmpty() || stModoChamada == QLatin1String("B")) {
        consumer.stOperacao = QStringLiteral("1");
        setFieldText(registration::Rg, QString());
        setFieldText(registration::Nasc, QString());
        if (!consumer.stCdConsumidor.isEmpty())
            setFieldText(registration::CodCons, Ajusta(consumer.stCdConsumidor, 21));
        if (const QString saleType = lists.cdsParaVend.asString(QStringLiteral("IDTPVENDACONS")); !saleType.isEmpty()) {
            consumer.stCdTipoVenda = saleType;
            showSaleTypeName(saleType);
        }
    } else {
        consumer.stOperacao = QStringLiteral("2");
        copyStoredConsumer();
    }
    if (consumer.stIdSexoCons != QLatin1String("F"))
        consumer.stIdSexoCons = QStringLiteral("M");
}

void Registration::InicializaForm(const QString& code, const QString& name, const QString& customer,
                                  const QString& mode) {
    const TimedCall timed(lcScreen, "InicializaForm");
    // Passwords and fingerprints of an earlier opening must not reach this one's save.
    clearSecrets();

    consumer.stCdConsumidor = code;
    consumer.stNmConsumidor = name;
    stModoChamada = mode;

    // The connection opens once and then stays open. Opening tells in one statement whether it still
    // answers and which of the lists it keeps have changed.
    openService();

    clearFields();
    for (const registration::OptionSpec& option : registration::optionCatalogue())
        this->*option.value = QStringLiteral("S");
    stUltimoCep.clear();

    const QString directory = hostDirectory();
    if (const QString parameters = findHostFile(directory, QStringLiteral("PARAMETROSKIV.CDS")); !parameters.isEmpty())
        readParameterFile(parameters);

    lists.loadCustomers(findHostFile(directory, QStringLiteral("Dados/Cadastros/Cad_Cliente.cds")));
    if (!EmptyString(customer))
        consumer.stCdCliente = customer;

    loadServiceLists();

    // Told to the operator here (or by accept already): either way the screen opens with what was
    // filled so far.
    if (offline_)
        operator_.showWithoutDatabase(msgPadrao.Msg(QStringLiteral("Cons_SemBanco")));
    try {
        openConsumer();
    } catch (const ShownError&) {
    } catch (const std::exception& e) {
        operator_.tell(QString::fromUtf8(e.what()), QString(), kMsgErro, QStringLiteral("002"), 0);
    }
}

} // namespace cadcons
