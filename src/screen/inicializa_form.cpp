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

// A stored date-time as the birth-date field shows it: the date, and the time only when there is one.
QString birthDateText(const ClientDataSet& dataset) {
    if (dataset.asString(QStringLiteral("DTNASCCONS")).isEmpty())
        return {};
    const QDateTime when = dataset.asDateTime(QStringLiteral("DTNASCCONS"));
    if (!when.isValid())
        return {};
    return when.toString(when.time() == QTime(0, 0) ? QStringLiteral("dd/MM/yyyy")
                                                    : QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

} // namespace

void TfrmCadastroConsumidor::setPersistentFields() {
    lists_.setPersistentFields();
}

void TfrmCadastroConsumidor::readParameterFile(const QString& path) {
    using F = TfrmCadastroConsumidor;
    const struct {
        const char* field;
        QString F::*target; // null: the field must be there, its value is not used
    } parameters[] = {
        {"CDFILIAL", &F::stCdFilial},
        {"CDLOJA", nullptr},
        {"IDESQUEMA", &F::stIdEsquema},
        {"CDCCUSCLIE", &F::stCdCcusClie},
        {"CDTIPOCONS", &F::stCdTipoCons},
        {"CDCLIENTE", &F::stCdCliente},
        {"STPROCESSAMENTO", &F::stStProcessamento},
        {"UTILIZAIMPFIS", nullptr},
        {"IDEXCONSATFIL", &F::stIdExConsAtFil},
        {"IDEXCONSATGER", &F::stIdExConsAtGer},
        {"IDIMPMERCBOCA", &F::stIdImpMercBoca},
        {"IDBLOQCDIDCONS", &F::stIdBloqCdIdCons},
        {"IDSENCONSCENTRAL", &F::stIdSenConsCentral},
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
            this->*parameter.target = cdsParametrosKiv.asString(QLatin1String(parameter.field));
    }
    boUtilizaImpFis = cdsParametrosKiv.asBoolean(QStringLiteral("UTILIZAIMPFIS"));
}

void TfrmCadastroConsumidor::showSaleTypeName(const QString& code) {
    if (ClientDataSet& types = lists_.cdsTipoVenda; types.locate(QStringLiteral("CDTIPOVENDA"), code))
        label("lblTipovenda")->setText(types.asString(QStringLiteral("NMTIPOVENDA")));
}

void TfrmCadastroConsumidor::copyStoredConsumer() {
    const ClientDataSet& record = cdsDadosCons;
    const auto column = [&record](const char* name) { return record.asString(QLatin1String(name)); };
    const auto show = [this](const char* labelName, const QString& text) { label(labelName)->setText(text); };

    show("lblRg", column("NRRGCONSUMID"));
    show("lblCpf", column("NRCPFRESPCON"));
    show("lblTelefone", column("NRTELECONS"));
    show("lblTelComercial", column("NRTELE2CONS"));
    show("lblCelular", column("NRCELULARCONS"));
    show("lblPais", column("NMPAIS"));
    stCdPais = column("CDPAIS");
    show("lblUf", column("SGESTADO"));
    stSgEstado = column("SGESTADO");
    show("lblcidade", column("NMMUNICIPIO"));
    stCdMunicipio = column("CDMUNICIPIO");
    show("lblEndereco", column("DSENDECONS"));
    show("lblNumero", column("NRENDECONS"));
    show("lblBairro", column("NMBAIRCONS"));
    show("lblCep", column("NRCEPCONS"));
    show("lblEmail", column("DSEMAILCONS"));
    stIdSexoCons = column("IDSEXOCONS");
    show("lblCodCons", column("CDCONSUMIDOR"));
    show("lblNome", column("NMCONSUMIDOR"));
    stCdTipoConsSel = column("CDTIPOCONS");
    show("lblTipoCons", column("NMTIPOCONS"));
    show("lblCracha", column("CDIDCONSUMID"));
    stCdIdConsumid = column("CDIDCONSUMID");
    show("lblNMLOGINCONS", column("NMLOGINCONS"));
    // Both passwords are shown in their stored form; the save takes that form back unchanged unless a
    // new password is typed.
    show("lblCDSENHASITE", column("CDSENHASITE"));
    show("lblCDEXCONSUMID", column("CDEXCONSUMID"));
    show("lblCDSENHACONS", column("CDSENHACONS"));
    stIDVERSALDCON = column("IDVERSALDCON");
    stIDIMPCPFCUPOM = column("IDIMPCPFCUPOM");
    stIDCADCONFLIBCON = column("IDCADCONFLIBCON");
    stIDATUCPFCONS = column("IDATUCPFCONS");
    stCdSenhaConsMd5 = column("CDSENHACONSMD5");
    stCdSenhaPosMd5 = column("CDSENHAPOSMD5");
    stDigital = column("DIGICONSUMIDOR");
    stDigital2 = column("DIGICONSUMIDOR2");
    show("lblNasc", birthDateText(record));
    stCdTipoVenda = column("IDTPVENDACONS");
    showSaleTypeName(stCdTipoVenda);
}

void TfrmCadastroConsumidor::loadServiceLists() {
    const RegistrationLists::Accept accept = [this](const ServiceResult& result, const QString& operation,
                                                    const QString& module, const QString& context) {
        return MensagemMetodo(result, true, 0, operation, module, context, stIdEsquema);
    };
    lists_.loadCustomerName(accept, stCdCliente);
    label("lblNomeCliente")->setText(lists_.cdsNomeCliente.asString(QStringLiteral("NMFANTCLIE")));

    lists_.loadDefaultConsumerType(accept, stCdFilial);
    if (const ClientDataSet& standard = lists_.cdsTipoConsPadrao; !standard.isEmpty()) {
        stCdTipoCons = standard.asString(QStringLiteral("CDTIPOCONS"));
        label("lblTipoCons")->setText(standard.asString(QStringLiteral("NMTIPOCONS")));
    }

    lists_.loadPickLists(accept, stCdFilial);
}

void TfrmCadastroConsumidor::openConsumer() {
    boCapsLock = false;
    boShift = false;
    inCampoAtivo = stModoChamada == QLatin1String("B") ? 24 : 2;
    mudaCor();

    if (stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, stCdCliente, stCdConsumidor, QStringLiteral("X"), QStringLiteral("1"),
                              QStringLiteral("1"), QStringLiteral("GET_CONS"), answer))
            throw std::runtime_error("SenhaConsCentral_ERRO");
        cdsDadosCons.setData(centralPacket(answer.value(0)));
    } else {
        cdsDadosCons.setData(MensagemMetodo(getDadosConsumidor(stCdCliente, stCdConsumidor), true, 0,
                                            QStringLiteral("getDadosConsumidor"), kModuloLista,
                                            stCdCliente + QStringLiteral("-") + stCdConsumidor, stIdEsquema));
    }

    if (cdsDadosCons.isEmpty() || stModoChamada == QLatin1String("B")) {
        stOperacao = QStringLiteral("1");
        label("lblRg")->clear();
        label("lblNasc")->clear();
        if (!stCdConsumidor.isEmpty())
            label("lblCodCons")->setText(Ajusta(stCdConsumidor, 21));
        if (const QString saleType = cdsParaVend.asString(QStringLiteral("IDTPVENDACONS")); !saleType.isEmpty()) {
            stCdTipoVenda = saleType;
            showSaleTypeName(saleType);
        }
    } else {
        stOperacao = QStringLiteral("2");
        copyStoredConsumer();
    }

    const auto showOption = [this](const QString& value, const char* image) {
        label(image)->setPixmap(value == QLatin1String("S") ? imgMarcado() : imgDesmarcado());
    };
    showOption(stIDVERSALDCON, "imgIDVERSALDCON");
    showOption(stIDIMPCPFCUPOM, "imgIDIMPCPFCUPOM");
    showOption(stIDCADCONFLIBCON, "imgIDCADCONFLIBCON");
    showOption(stIDATUCPFCONS, "imgIDATUCPFCONS");

    if (stIdSexoCons == QLatin1String("F")) {
        label("imgFeminino")->setPixmap(imgMarcado());
        label("imgMasculino")->setPixmap(imgDesmarcado());
    } else {
        label("imgFeminino")->setPixmap(imgDesmarcado());
        label("imgMasculino")->setPixmap(imgMarcado());
        stIdSexoCons = QStringLiteral("M");
    }
}

void TfrmCadastroConsumidor::InicializaForm(const QString& code, const QString& name, const QString& customer,
                                            const QString& mode) {
    const TimedCall timed(lcScreen, "InicializaForm");
    // Passwords and fingerprints typed or captured in an earlier call must not reach this one's save.
    clearCallSecrets();

    stCdConsumidor = code;
    stNmConsumidor = name;
    stModoChamada = mode;

    // The service object lives for the process; its connection opens once and then stays open.
    if (!rdmCadConsumidor)
        rdmCadConsumidor = new TrdmCadConsumidor();
    rdmCadConsumidor->open();
    // One statement tells which of the lists this process keeps have changed since it read them.
    checkListVersions();

    for (const char* cleared :
         {"lblTelefone",    "lblTelComercial", "lblCelular",     "lblCep",        "lblEmail",    "lblBairro",
          "lblcidade",      "lblUf",           "lblPais",        "lblEndereco",   "lblNumero",   "lblCpf",
          "lblRg",          "lblNasc",         "lblNome",        "lblCodCons",    "lblTipoCons", "lblCracha",
          "lblNMLOGINCONS", "lblCDEXCONSUMID", "lblCDSENHASITE", "lblCDSENHACONS"})
        label(cleared)->clear();
    stIDVERSALDCON = stIDIMPCPFCUPOM = stIDCADCONFLIBCON = stIDATUCPFCONS = QStringLiteral("S");
    label("lblTipovenda")->clear();
    stUltimoCep.clear();

    const QString directory = hostDirectory();
    if (const QString parameters = findHostFile(directory, QStringLiteral("PARAMETROSKIV.CDS")); !parameters.isEmpty())
        readParameterFile(parameters);

    lists_.loadCustomers(findHostFile(directory, QStringLiteral("Dados/Cadastros/Cad_Cliente.cds")));
    if (!EmptyString(customer))
        stCdCliente = customer;

    loadServiceLists();

    // Already shown by MensagemMetodo, or reported here: either way the screen opens with what was filled so far.
    guarded([this] { openConsumer(); }, QStringLiteral("002"));

    QLabel* footer = label("lblCodTela");
    footer->setText(MontaRodapeGeral(boUtilizaImpFis, footer->text(), QStringLiteral("S")));
}

} // namespace cadcons
