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
    for (const screen::FieldSpec& spec : screen::fieldCatalogue()) {
        if (spec.carry == screen::Carry::Typed)
            consumer.*spec.value = fieldText(spec.number);
    }
    if (stModoChamada == QLatin1String("B"))
        consumer.stCdConsumidor = fieldText(screen::CodCons);
    consumer.stNmConsumidor = fieldText(screen::Nome);
    consumer.stIdSexoConsGrava = consumer.stIdSexoCons;

    // The codes are taken again from the names shown, which the operator may have typed: a name is found
    // in its list as the address look-up finds it, whatever its accents and case, and also where the list
    // holds it cut to its column. City codes repeat from state to state, so the city is looked for in the
    // chosen country and state: by its name alone, a namesake elsewhere would give a code that may well
    // exist in this state too, and the wrong city would be saved.
    consumer.stCdPais = lists_.countryCode(fieldText(screen::Pais));
    consumer.stCdMunicipio =
        lists_.cityCode(consumer.stCdPais, consumer.stSgEstado.toUpper(), fieldText(screen::Cidade));
    consumer.stCdTipoConsSel = lists_.consumerTypeCode(fieldText(screen::TipoCons));
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
    for (QString* secret : {&consumer.stCdSenhaConsMd5, &consumer.stCdSenhaPosMd5, &consumer.stCdSenhaConsCripto,
                            &consumer.stCdSenhaSiteCripto})
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
    if (!EmptyString(consumer.stNrCpfRespCon)) {
        check(getExisteCPF(consumer.stCdCliente, carregado, consumer.stNrCpfRespCon), "getExisteCPF",
              consumer.stCdConsumidor + kSep + consumer.stCdCliente + kSep + consumer.stNrCpfRespCon,
              cdsBuscaConsumidor);
        if (!confirmDuplicates(QStringLiteral("Cpf_Cad")))
            return false;
    }
    if (!EmptyString(consumer.stNrRgConsumid)) {
        check(getExisteRG(consumer.stCdCliente, ajustado, consumer.stNrRgConsumid), "getExisteRG",
              consumer.stCdConsumidor + kSep + consumer.stCdCliente + kSep + consumer.stNrRgConsumid,
              cdsBuscaConsumidor);
        if (!confirmDuplicates(QStringLiteral("RG_Cad")))
            return false;
    }
    if (stIdBloqCdIdCons == QLatin1String("S")) {
        check(getExisteIdent(carregado, consumer.stCdIdConsumid), "getExisteIdent",
              carregado + kSep + kSep + consumer.stCdIdConsumid, cdsBuscaConsumidor);
        // A refusal, not a question: however the notice is closed, the badge is not saved.
        if (!cdsBuscaConsumidor.isEmpty()) {
            showMessage(QStringLiteral("Cracha_Cad"), kMsgInformacao, stIdEsquema);
            return false;
        }
    }
    return true;
}

bool TfrmCadastroConsumidor::placesAreRegistered() {
    const QString uf = consumer.stSgEstado.toUpper();
    if (!fieldText(screen::Pais).isEmpty() && !lists_.hasCountry(consumer.stCdPais)) {
        showMessage(QStringLiteral("PAIS_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    if (!fieldText(screen::Uf).isEmpty() && !lists_.hasState(consumer.stCdPais, uf)) {
        showMessage(QStringLiteral("ESTADO_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    if (!fieldText(screen::Cidade).isEmpty() && !lists_.hasCity(consumer.stCdPais, uf, consumer.stCdMunicipio)) {
        showMessage(QStringLiteral("MUNICI_N_CAD"), kMsgInformacao, stIdEsquema);
        return false;
    }
    return true;
}

void TfrmCadastroConsumidor::fillSaveArguments(GravaConsumidor& v, const QString& chave) const {
    consumer.saveArguments(v, chave);
    v.cdCcusClie = stCdCcusClie;
    v.stProcessamento = stStProcessamento;
    v.cdFilial = stCdFilial;
    v.dsDirCad = stDsDirCad;
    v.digital = stDigital;
    v.digital2 = stDigital2;
    v.idImpCpfCupom = stIDIMPCPFCUPOM;
    v.idCadConfLibCon = stIDCADCONFLIBCON;
    v.idAtuCpfCons = stIDATUCPFCONS;
    v.idVerSaldCon = stIDVERSALDCON;
}

void TfrmCadastroConsumidor::saveAndPublish(bool novo, const QString& chave, const QString& carregado) {
    const QString contexto = QStringList{consumer.stCdCliente,
                                         consumer.stNmConsumidor,
                                         chave,
                                         consumer.stCdConsumidor,
                                         stCdCcusClie,
                                         consumer.stCdTipoCons,
                                         consumer.stCdConsumidor,
                                         consumer.stNrCpfRespCon,
                                         consumer.stNrTeleCons,
                                         consumer.stNrTele2Cons,
                                         stStProcessamento,
                                         novo ? consumer.stOperacao : QStringLiteral("1"),
                                         stCdFilial,
                                         stDsDirCad}
                                 .join(kSep);

    // Until the record is written, a failure leaves the digests as they were loaded; the typed passwords
    // themselves are never replaced, so a second confirm digests and encrypts the same plain passwords.
    const QString posMd5 = consumer.stCdSenhaPosMd5, consMd5 = consumer.stCdSenhaConsMd5;
    try {
        CriptografaSenhas();
        GravaConsumidor v;
        fillSaveArguments(v, chave);
        MensagemMetodo(setGravaConsumidor(v), true, 10, QStringLiteral("setGravaConsumidor"), kModuloGrava, contexto,
                       stIdEsquema);
    } catch (...) {
        consumer.stCdSenhaPosMd5 = posMd5;
        consumer.stCdSenhaConsMd5 = consMd5;
        consumer.stCdSenhaConsCripto.clear();
        consumer.stCdSenhaSiteCripto.clear();
        throw;
    }
    if (novo) {
        // The record exists from here on. Should the central steps below fail, the next confirm updates
        // it instead of finding its code, documents and badge taken by itself.
        insertedKey_ = chave;
        consumer.stOperacao = QStringLiteral("2");
    }

    if (!novo && stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, consumer.stCdCliente, carregado, consumer.stCdSenhaConsCripto,
                              QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("UPDATE_SENHA"), answer))
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

void TfrmCadastroConsumidor::adoptUncertainInsert(const QString& ajustado) {
    // The last save of this consumer may have been committed with its answer lost on the way back.
    const ServiceResult settled = settleUncertainSave(consumer.stCdCliente, ajustado);
    if (isError(settled))
        MensagemMetodo(settled, true, 10, QStringLiteral("settleUncertainSave"), kModuloGrava,
                       consumer.stCdCliente + kSep + ajustado, stIdEsquema);
    const bool* found = std::get_if<bool>(&settled);
    if (found && *found && consumer.stOperacao == QLatin1String("1")) {
        // It is in the database as this form wrote it: from here on it is an edit of this form's record.
        insertedKey_ = ajustado;
        consumer.stOperacao = QStringLiteral("2");
    }
}

void TfrmCadastroConsumidor::confirma() {
    PreencheVariaveis();
    if (!Vd_Informacoes())
        return;

    const QString ajustado = Ajusta(consumer.stCdConsumidor, 21);
    adoptUncertainInsert(ajustado);
    const QString carregado = loadedCode();

    if (!documentsAreFree(carregado, ajustado))
        return;

    if (!placesAreRegistered())
        return;

    if (!EmptyString(consumer.stDsEmailCons) &&
        (!consumer.stDsEmailCons.contains(u'.') || !consumer.stDsEmailCons.contains(u'@'))) {
        showMessage(QStringLiteral("EMAIL_INV"), kMsgInformacao, stIdEsquema);
        return;
    }

    const bool novo = consumer.stOperacao == QLatin1String("1");
    if (novo) {
        ClientDataSet& cdsConsumidor = lists_.cdsConsumidor;
        checkInto(cdsConsumidor, getValidaCons(ajustado, consumer.stCdCliente), "getValidaCons",
                  consumer.stCdConsumidor + consumer.stCdCliente, stIdEsquema);
        if (!cdsConsumidor.isEmpty()) {
            showMessage(QStringLiteral("Cons_Cad"), kMsgErro, stIdEsquema);
            return;
        }
    }

    if (!EmptyString(consumer.stCdTipoConsSel))
        consumer.stCdTipoCons = consumer.stCdTipoConsSel;
    if (!EmptyString(consumer.stCdTipoVenda))
        consumer.stIdTpVendaCons = consumer.stCdTipoVenda;
    if (stCdCcusClie.isEmpty() || consumer.stCdTipoCons.isEmpty() || consumer.stCdCliente.isEmpty()) {
        showMessage(QStringLiteral("Param_Vnd"), kMsgErro, stIdEsquema);
        boGravou = false;
        return;
    }

    saveAndPublish(novo, novo ? ajustado : carregado, carregado);
}

} // namespace cadcons
