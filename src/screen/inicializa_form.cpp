#include "screen/cad_consumidor_form.h"

#include "config/host_config.h"
#include "config/logging.h"
#include "platform/packet_file.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "screen/module_state.h"
#include "service/rdm_cad_consumidor.h"
#include "widgets/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
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

} // namespace

void TfrmCadastroConsumidor::setPersistentFields() {
    lists_.setPersistentFields();
}

void TfrmCadastroConsumidor::readParameterFile(const QString& path) {
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
    ClientDataSet& cdsParametrosKiv = lists_.cdsParametrosKiv;
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

void TfrmCadastroConsumidor::showSaleTypeName(const QString& code) {
    if (ClientDataSet& types = lists_.cdsTipoVenda; types.locate(QStringLiteral("CDTIPOVENDA"), code))
        setFieldText(screen::TipoVenda, types.asString(QStringLiteral("NMTIPOVENDA")));
}

void TfrmCadastroConsumidor::copyStoredConsumer() {
    const ClientDataSet& record = lists_.cdsDadosCons;
    consumer.loadStored(record);
    for (const screen::FieldSpec& spec : screen::fieldCatalogue()) {
        if (const std::optional<QString> caption = storedCaption(spec, record))
            setFieldText(spec.number, *caption);
    }
    const auto column = [&record](const char* name) { return record.asString(QLatin1String(name)); };
    stIDVERSALDCON = column("IDVERSALDCON");
    stIDIMPCPFCUPOM = column("IDIMPCPFCUPOM");
    stIDCADCONFLIBCON = column("IDCADCONFLIBCON");
    stIDATUCPFCONS = column("IDATUCPFCONS");
    stDigital = column("DIGICONSUMIDOR");
    stDigital2 = column("DIGICONSUMIDOR2");
    showSaleTypeName(consumer.stCdTipoVenda);
}

void TfrmCadastroConsumidor::loadServiceLists() {
    const RegistrationLists::Accept accept = [this](const ServiceResult& result, const QString& operation,
                                                    const QString& module, const QString& context) {
        return MensagemMetodo(result, true, 0, operation, module, context, stIdEsquema);
    };
    lists_.loadCustomerName(accept, consumer.stCdCliente);
    setFieldText(screen::Cliente, lists_.cdsNomeCliente.asString(QStringLiteral("NMFANTCLIE")));

    lists_.loadDefaultConsumerType(accept, stCdFilial);
    if (const ClientDataSet& standard = lists_.cdsTipoConsPadrao; !standard.isEmpty()) {
        consumer.stCdTipoCons = standard.asString(QStringLiteral("CDTIPOCONS"));
        setFieldText(screen::TipoCons, standard.asString(QStringLiteral("NMTIPOCONS")));
    }

    lists_.loadPickLists(accept, stCdFilial);
}

void TfrmCadastroConsumidor::openConsumer() {
    boCapsLock = false;
    boShift = false;
    inCampoAtivo = stModoChamada == QLatin1String("B") ? screen::Cliente : screen::Nome;
    mudaCor();

    if (stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, consumer.stCdCliente, consumer.stCdConsumidor, QStringLiteral("X"),
                              QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("GET_CONS"), answer))
            throw std::runtime_error("SenhaConsCentral_ERRO");
        lists_.cdsDadosCons.setData(centralPacket(answer.value(0)));
    } else {
        lists_.cdsDadosCons.setData(MensagemMetodo(getDadosConsumidor(consumer.stCdCliente, consumer.stCdConsumidor),
                                                   true, 0, QStringLiteral("getDadosConsumidor"), kModuloLista,
                                                   consumer.stCdCliente + QStringLiteral("-") + consumer.stCdConsumidor,
                                                   stIdEsquema));
    }

    if (lists_.cdsDadosCons.isEmpty() || stModoChamada == QLatin1String("B")) {
        consumer.stOperacao = QStringLiteral("1");
        setFieldText(screen::Rg, QString());
        setFieldText(screen::Nasc, QString());
        if (!consumer.stCdConsumidor.isEmpty())
            setFieldText(screen::CodCons, Ajusta(consumer.stCdConsumidor, 21));
        if (const QString saleType = lists_.cdsParaVend.asString(QStringLiteral("IDTPVENDACONS"));
            !saleType.isEmpty()) {
            consumer.stCdTipoVenda = saleType;
            showSaleTypeName(saleType);
        }
    } else {
        consumer.stOperacao = QStringLiteral("2");
        copyStoredConsumer();
    }

    const auto showOption = [this](const QString& value, const char* image) {
        label(image)->setPixmap(value == QLatin1String("S") ? imgMarcado() : imgDesmarcado());
    };
    showOption(stIDVERSALDCON, "imgIDVERSALDCON");
    showOption(stIDIMPCPFCUPOM, "imgIDIMPCPFCUPOM");
    showOption(stIDCADCONFLIBCON, "imgIDCADCONFLIBCON");
    showOption(stIDATUCPFCONS, "imgIDATUCPFCONS");

    if (consumer.stIdSexoCons == QLatin1String("F")) {
        label("imgFeminino")->setPixmap(imgMarcado());
        label("imgMasculino")->setPixmap(imgDesmarcado());
    } else {
        label("imgFeminino")->setPixmap(imgDesmarcado());
        label("imgMasculino")->setPixmap(imgMarcado());
        consumer.stIdSexoCons = QStringLiteral("M");
    }
}

void TfrmCadastroConsumidor::InicializaForm(const QString& code, const QString& name, const QString& customer,
                                            const QString& mode) {
    const TimedCall timed(lcScreen, "InicializaForm");
    // Passwords and fingerprints typed or captured in an earlier call must not reach this one's save.
    clearCallSecrets();

    consumer.stCdConsumidor = code;
    consumer.stNmConsumidor = name;
    stModoChamada = mode;

    // The service object lives for the process; its connection opens once and then stays open. Opening
    // tells in one statement whether it still answers and which of the lists it keeps have changed.
    if (!rdmCadConsumidor)
        rdmCadConsumidor = new TrdmCadConsumidor();
    rdmCadConsumidor->open();

    clearFields();
    stIDVERSALDCON = stIDIMPCPFCUPOM = stIDCADCONFLIBCON = stIDATUCPFCONS = QStringLiteral("S");
    stUltimoCep.clear();

    const QString directory = hostDirectory();
    if (const QString parameters = findHostFile(directory, QStringLiteral("PARAMETROSKIV.CDS")); !parameters.isEmpty())
        readParameterFile(parameters);

    lists_.loadCustomers(findHostFile(directory, QStringLiteral("Dados/Cadastros/Cad_Cliente.cds")));
    if (!EmptyString(customer))
        consumer.stCdCliente = customer;

    loadServiceLists();

    // Already shown by MensagemMetodo, or reported here: either way the screen opens with what was filled so far.
    guarded([this] { openConsumer(); }, QStringLiteral("002"));

    QLabel* footer = label("lblCodTela");
    footer->setText(MontaRodapeGeral(boUtilizaImpFis, footer->text(), QStringLiteral("S")));
}

} // namespace cadcons
