// Confirm: the one operation of the screen that writes.

#include "config/logging.h"
#include "platform/packet_file.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "screen/busy_flag.h"
#include "screen/cad_consumidor_form.h"
#include "screen/module_state.h"
#include "service/rdm_cad_consumidor.h"
#include "widgets/dialogs.h"

#include <QLabel>
#include <stdexcept>

namespace cadcons {

namespace {

const QString kModuloValida = QStringLiteral("Cli_Lum52897");
const QString kModuloGrava = QStringLiteral("LUM52816");
const QString kModuloCentral = QStringLiteral("Cli_Lum52816");
const QString kSep = QStringLiteral("-");

// A validation query's answer into `target`; an error from the service is shown and stops the confirm.
void checkInto(ClientDataSet& target, const ServiceResult& result, const char* operation, const QString& context,
               const QString& esquema) {
    target.setData(MensagemMetodo(result, true, 0, QLatin1String(operation), kModuloValida, context, esquema));
}

// The central registration answers with a data packet (or true) when it has taken the consumer, and with
// the reason otherwise.
ServiceResult centralAnswer(const QVariant& answer) {
    if (answer.metaType() == QMetaType::fromType<DataPacket>())
        return answer.value<DataPacket>();
    if (answer.metaType() == QMetaType::fromType<bool>())
        return answer.toBool();
    const QString text = answer.toString();
    if (text.trimmed().startsWith(u'<')) {
        try {
            return readPacketXml(text.toUtf8(), QStringLiteral("the answer of SetConsumidor"));
        } catch (const PacketFileError&) {
            // Not a packet: the text is the reason, shown as it came.
        }
    }
    return text;
}

} // namespace

QString TfrmCadastroConsumidor::loadedCode() const {
    if (!insertedKey_.isEmpty())
        return insertedKey_;
    const ClientDataSet& stored = lists_.cdsDadosCons;
    return stored.isEmpty() ? QString() : stored.asString(QStringLiteral("CDCONSUMIDOR"));
}

void TfrmCadastroConsumidor::PreencheVariaveis() {
    const TimedCall timed(lcScreen, "PreencheVariaveis");
    const auto text = [this](const char* name) { return label(name)->text(); };
    if (stModoChamada == QLatin1String("B"))
        stCdConsumidor = text("lblCodCons");
    stNmConsumidor = text("lblNome");
    stDtNascCons = text("lblNasc");
    stNrRgConsumid = text("lblRg");
    stNrCpfRespCon = text("lblCpf");
    stNrTeleCons = text("lblTelefone");
    stNrCelularCons = text("lblCelular");
    stNrTele2Cons = text("lblTelComercial");
    stSgEstado = text("lblUf");
    stDsEndeCons = text("lblEndereco");
    stNrEndeCons = text("lblNumero");
    stNmBairCons = text("lblBairro");
    stNrCepCons = text("lblCep");
    stDsEmailCons = text("lblEmail");
    stIdSexoConsGrava = stIdSexoCons;
    stCdIdConsumid = text("lblCracha");
    stNMLOGINCONS = text("lblNMLOGINCONS");
    stCdExConsumidor = text("lblCDEXCONSUMID");

    // The codes are taken again from the names shown, which the operator may have typed: a name is found
    // in its list as the address look-up finds it, whatever its accents and case, and also where the list
    // holds it cut to its column. City codes repeat from state to state, so the city is looked for in the
    // chosen country and state: by its name alone, a namesake elsewhere would give a code that may well
    // exist in this state too, and the wrong city would be saved.
    stCdPais = lists_.countryCode(text("lblPais"));
    stCdMunicipio = lists_.cityCode(stCdPais, stSgEstado.toUpper(), text("lblcidade"));
    stCdTipoConsSel = lists_.consumerTypeCode(text("lblTipoCons"));
}

bool TfrmCadastroConsumidor::confirmDuplicates(const QString& key) {
    ClientDataSet& cdsBuscaConsumidor = lists_.cdsBuscaConsumidor;
    if (cdsBuscaConsumidor.isEmpty())
        return true;
    QString details;
    for (cdsBuscaConsumidor.first(); !cdsBuscaConsumidor.eof(); cdsBuscaConsumidor.next())
        details += cdsBuscaConsumidor.asString(QStringLiteral("CDCONSUMIDOR")) + kSep +
                   cdsBuscaConsumidor.asString(QStringLiteral("NMCONSUMIDOR")) + kSep +
                   cdsBuscaConsumidor.asString(QStringLiteral("NRRGCONSUMID")) + QStringLiteral("\r\n");
    return showMessage(key, kMsgPergunta, stIdEsquema, details);
}

void TfrmCadastroConsumidor::clearFormSecrets() {
    clearCallSecrets();
    for (QString* secret : {&stCdSenhaConsMd5, &stCdSenhaPosMd5, &stCdSenhaConsCripto, &stCdSenhaSiteCripto})
        secret->clear();
}

void TfrmCadastroConsumidor::sbtConfirmaClick() {
    // A touch or Ctrl+Enter while a question or a service call of this confirm is still open.
    if (busy_)
        return;
    const BusyFlag busy(busy_);
    const TimedCall timed(lcScreen, "sbtConfirmaClick");
    guarded([this] { confirma(); });
}

bool TfrmCadastroConsumidor::documentsAreFree(const QString& carregado, const QString& ajustado) {
    const auto check = [this](ServiceResult result, const char* operation, const QString& context,
                              ClientDataSet& target) { checkInto(target, result, operation, context, stIdEsquema); };
    ClientDataSet& cdsBuscaConsumidor = lists_.cdsBuscaConsumidor;
    // An empty document belongs to nobody: every database finds all the other empty ones equal to it.
    if (!EmptyString(stNrCpfRespCon)) {
        check(getExisteCPF(stCdCliente, carregado, stNrCpfRespCon), "getExisteCPF",
              stCdConsumidor + kSep + stCdCliente + kSep + stNrCpfRespCon, cdsBuscaConsumidor);
        if (!confirmDuplicates(QStringLiteral("Cpf_Cad")))
            return false;
    }
    if (!EmptyString(stNrRgConsumid)) {
        check(getExisteRG(stCdCliente, ajustado, stNrRgConsumid), "getExisteRG",
              stCdConsumidor + kSep + stCdCliente + kSep + stNrRgConsumid, cdsBuscaConsumidor);
        if (!confirmDuplicates(QStringLiteral("RG_Cad")))
            return false;
    }
    if (stIdBloqCdIdCons == QLatin1String("S")) {
        check(getExisteIdent(carregado, stCdIdConsumid), "getExisteIdent", carregado + kSep + kSep + stCdIdConsumid,
              cdsBuscaConsumidor);
        // A refusal, not a question: however the notice is closed, the badge is not saved.
        if (!cdsBuscaConsumidor.isEmpty()) {
            showMessage(QStringLiteral("Cracha_Cad"), kMsgInformacao, stIdEsquema);
            return false;
        }
    }
    return true;
}

bool TfrmCadastroConsumidor::placesAreRegistered() {
    const QString uf = stSgEstado.toUpper();
    if (!label("lblPais")->text().isEmpty() && !lists_.hasCountry(stCdPais)) {
        showMessage(QStringLiteral("PAIS_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    if (!label("lblUf")->text().isEmpty() && !lists_.hasState(stCdPais, uf)) {
        showMessage(QStringLiteral("ESTADO_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    if (!label("lblcidade")->text().isEmpty() && !lists_.hasCity(stCdPais, uf, stCdMunicipio)) {
        showMessage(QStringLiteral("MUNICI_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    return true;
}

void TfrmCadastroConsumidor::fillSaveArguments(GravaConsumidor& v, const QString& chave) const {
    v.cdCliente = stCdCliente;
    v.nmConsumidor = stNmConsumidor;
    v.cdConsumidor = chave;
    v.cdIdConsumid = stCdIdConsumid;
    v.cdCcusClie = stCdCcusClie;
    v.cdTipoCons = stCdTipoCons;
    v.nrRgConsumid = stNrRgConsumid;
    v.nrCpfRespCon = stNrCpfRespCon;
    v.nrTeleCons = stNrTeleCons;
    v.nrTele2Cons = stNrTele2Cons;
    v.stProcessamento = stStProcessamento;
    v.operacao = stOperacao;
    v.cdFilial = stCdFilial;
    v.dsDirCad = stDsDirCad;
    v.cdPais = stCdPais;
    v.sgEstado = stSgEstado;
    v.cdMunicipio = stCdMunicipio;
    v.dsEndeCons = stDsEndeCons;
    v.nrEndeCons = stNrEndeCons;
    v.nmBairCons = stNmBairCons;
    v.nrCepCons = stNrCepCons;
    v.dsEmailCons = stDsEmailCons;
    v.idSexoCons = stIdSexoConsGrava;
    v.dtNascCons = stDtNascCons;
    v.nrCelularCons = stNrCelularCons;
    v.digital = stDigital;
    v.digital2 = stDigital2;
    v.cdExConsumid = stCdExConsumidor;
    v.cdSenhaCons = stCdSenhaConsCripto;
    v.cdSenhaSite = stCdSenhaSiteCripto;
    v.nmLoginCons = stNMLOGINCONS;
    v.idImpCpfCupom = stIDIMPCPFCUPOM;
    v.idCadConfLibCon = stIDCADCONFLIBCON;
    v.idAtuCpfCons = stIDATUCPFCONS;
    v.idVerSaldCon = stIDVERSALDCON;
    v.idTpVendaCons = stIdTpVendaCons;
    v.cdSenhaConsMd5 = stCdSenhaConsMd5;
    v.cdSenhaPosMd5 = stCdSenhaPosMd5;
}

void TfrmCadastroConsumidor::saveAndPublish(bool novo, const QString& chave, const QString& carregado) {
    const QString contexto = QStringList{stCdCliente,    stNmConsumidor,    chave,
                                         stCdConsumidor, stCdCcusClie,      stCdTipoCons,
                                         stCdConsumidor, stNrCpfRespCon,    stNrTeleCons,
                                         stNrTele2Cons,  stStProcessamento, novo ? stOperacao : QStringLiteral("1"),
                                         stCdFilial,     stDsDirCad}
                                 .join(kSep);

    // Until the record is written, a failure leaves the digests as they were loaded; the typed passwords
    // themselves are never replaced, so a second confirm digests and encrypts the same plain passwords.
    const QString posMd5 = stCdSenhaPosMd5, consMd5 = stCdSenhaConsMd5;
    try {
        CriptografaSenhas();
        GravaConsumidor v;
        fillSaveArguments(v, chave);
        MensagemMetodo(setGravaConsumidor(v), true, 10, QStringLiteral("setGravaConsumidor"), kModuloGrava, contexto,
                       stIdEsquema);
    } catch (...) {
        stCdSenhaPosMd5 = posMd5;
        stCdSenhaConsMd5 = consMd5;
        stCdSenhaConsCripto.clear();
        stCdSenhaSiteCripto.clear();
        throw;
    }
    if (novo) {
        // The record exists from here on. Should the central steps below fail, the next confirm updates
        // it instead of finding its code, documents and badge taken by itself.
        insertedKey_ = chave;
        stOperacao = QStringLiteral("2");
    }

    if (!novo && stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, stCdCliente, carregado, stCdSenhaConsCripto, QStringLiteral("1"),
                              QStringLiteral("1"), QStringLiteral("UPDATE_SENHA"), answer))
            throw std::runtime_error("SenhaConsCentral_ERRO");
    }

    // The secrets go only once everything has gone through: until then the operator may confirm again,
    // and a second confirm needs the typed passwords and the fingerprints.
    QVariantList dados(10);
    MensagemMetodo(centralAnswer(SetConsumidor({stCdFilial, stDsDirCad, stIdExConsAtFil, stIdExConsAtGer}, dados)),
                   true, 0, QStringLiteral("setConsumidor"), kModuloCentral, stCdFilial + kSep + stDsDirCad,
                   stIdEsquema);
    clearFormSecrets();

    boGravou = true;
    close();
}

void TfrmCadastroConsumidor::confirma() {
    PreencheVariaveis();
    if (!Vd_Informacoes())
        return;

    const QString carregado = loadedCode();
    const QString ajustado = Ajusta(stCdConsumidor, 21);

    if (!documentsAreFree(carregado, ajustado))
        return;

    if (!placesAreRegistered())
        return;

    if (!EmptyString(stDsEmailCons) && (!stDsEmailCons.contains(u'.') || !stDsEmailCons.contains(u'@'))) {
        showMessage(QStringLiteral("EMAIL_INV"), kMsgInformacao, stIdEsquema);
        return;
    }

    const bool novo = stOperacao == QLatin1String("1");
    if (novo) {
        ClientDataSet& cdsConsumidor = lists_.cdsConsumidor;
        checkInto(cdsConsumidor, getValidaCons(ajustado, stCdCliente), "getValidaCons", stCdConsumidor + stCdCliente,
                  stIdEsquema);
        if (!cdsConsumidor.isEmpty()) {
            showMessage(QStringLiteral("Cons_Cad"), kMsgErro, stIdEsquema);
            return;
        }
    }

    if (!EmptyString(stCdTipoConsSel))
        stCdTipoCons = stCdTipoConsSel;
    if (!EmptyString(stCdTipoVenda))
        stIdTpVendaCons = stCdTipoVenda;
    if (stCdCcusClie.isEmpty() || stCdTipoCons.isEmpty() || stCdCliente.isEmpty()) {
        showMessage(QStringLiteral("Param_Vnd"), kMsgErro, stIdEsquema);
        boGravou = false;
        return;
    }

    saveAndPublish(novo, novo ? ajustado : carregado, carregado);
}

} // namespace cadcons
