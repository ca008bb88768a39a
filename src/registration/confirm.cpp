// Confirm: the one operation of the registration that writes.

#include "config/logging.h"
#include "platform/packet_file.h"
#include "registration/md5.h"
#include "registration/queue_sender.h"
#include "registration/registration.h"
#include "registration/registration_operator.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "service/catalogue.h"
#include "service/offline_queue.h"
#include "service/rdm_cad_consumidor.h"

#include <QDate>
#include <functional>
#include <stdexcept>

namespace cadcons {

using registration::fieldCatalogue;
using registration::FieldSpec;

namespace {

const QString kModuloValida = QStringLiteral("Cli_Lum52897");
const QString kModuloGrava = QStringLiteral("LUM52816");
const QString kModuloCentral = QStringLiteral("Cli_Lum52816");
const QString kSep = QStringLiteral("-");

qint64 toInt64(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

// Eleven equal digits pass the check-digit rule, yet name nobody.
bool repeatedDigits(qint64 cpf) {
    constexpr qint64 kOnes = 11111111111;
    return cpf >= 0 && cpf <= 9 * kOnes && cpf % kOnes == 0;
}

// A newly typed password gets a fresh digest and stored form; one not retyped keeps what its field
// shows, the stored form loaded with the record (or nothing), and its digest stays as loaded.
void storedForms(const QString& typed, const QString& shown, int columnWidth, QString& digest, QString& stored) {
    if (typed.isEmpty()) {
        stored = shown;
        return;
    }
    QString salted = QLatin1String(kSaltPrefix) + typed + QLatin1String(kSaltSuffix);
    digest = MD5(salted);
    salted.fill(QChar(u'\0'));
    stored = CriptoPlus(typed, columnWidth);
}

// The waiting registrations of the customer that hold `v`'s document, as the duplicate question lists
// the consumers found.
QString waitingHolders(const OfflineQueue& queue, const GravaConsumidor& v, QString GravaConsumidor::*document) {
    QString details;
    for (const OfflineQueue::Record& r : queue.records())
        if (r.refused.isEmpty() && r.values.cdCliente == v.cdCliente && r.values.*document == v.*document)
            details += r.values.cdConsumidor + kSep + r.values.nmConsumidor + kSep + r.values.nrRgConsumid +
                       QStringLiteral("\r\n");
    return details;
}

// Without the database, the code, badge and documents are held against the registrations already waiting
// on this till: a code or badge refuses, a document asks, as the database's checks would.
bool freeOnThisTill(Registration& r, const OfflineQueue& queue, const GravaConsumidor& v) {
    const QStringList clashes = queue.clashes(v);
    const auto refuses = [&r](const char* key, int kind) {
        r.showMessage(QLatin1String(key), kind, r.stIdEsquema);
        return false;
    };
    if (clashes.contains(QLatin1String("code")))
        return refuses("Cons_Cad", kMsgErro);
    if (clashes.contains(QLatin1String("badge")) && r.stIdBloqCdIdCons == QLatin1String("S"))
        return refuses("Cracha_Cad", kMsgInformacao);
    const struct {
        const char* clash;
        const char* key;
        QString GravaConsumidor::*document;
    } documents[] = {{"CPF", "Cpf_Cad", &GravaConsumidor::nrCpfRespCon},
                     {"RG", "RG_Cad", &GravaConsumidor::nrRgConsumid}};
    for (const auto& d : documents)
        if (clashes.contains(QLatin1String(d.clash)) &&
            !r.showMessage(QLatin1String(d.key), kMsgPergunta, r.stIdEsquema, waitingHolders(queue, v, d.document)))
            return false;
    return true;
}

} // namespace

QString Registration::loadedCode() const {
    if (!insertedKey_.isEmpty())
        return insertedKey_;
    const ClientDataSet& stored = lists.cdsDadosCons;
    return stored.isEmpty() ? QString() : stored.asString(QStringLiteral("CDCONSUMIDOR"));
}

void Registration::PreencheVariaveis() {
    const TimedCall timed(lcScreen, "PreencheVariaveis");
    for (const FieldSpec& spec : fieldCatalogue()) {
        if (spec.carry == registration::Carry::Typed)
            consumer.*spec.value = fieldText(spec.number);
    }
    if (stModoChamada == QLatin1String("B"))
        consumer.stCdConsumidor = fieldText(registration::CodCons);
    consumer.stNmConsumidor = fieldText(registration::Nome);
    consumer.stIdSexoConsGrava = consumer.stIdSexoCons;

    // The codes are taken again from the names shown, which the operator may have typed: a name is found
    // in its list as the address look-up finds it, whatever its accents and case, and also where the list
    // holds it cut to its column. City codes repeat from state to state, so the city is looked for in the
    // chosen country and state: by its name alone, a namesake elsewhere would give a code that may well
    // exist in this state too, and the wrong city would be saved.
    consumer.stCdPais = lists.countryCode(fieldText(registration::Pais));
    consumer.stCdMunicipio =
        lists.cityCode(consumer.stCdPais, consumer.stSgEstado.toUpper(), fieldText(registration::Cidade));
    consumer.stCdTipoConsSel = lists.consumerTypeCode(fieldText(registration::TipoCons));
}

bool Registration::Vd_Informacoes() {
    using namespace registration;
    // The operator reads the message first; then the field at fault is the one the keys type into.
    const auto fails = [this](const char* key, int focus) {
        showMessage(QLatin1String(key), kMsgErro, stIdEsquema);
        if (focus != NoField)
            operator_.moveTo(focus);
        return false;
    };
    try {
        if (stModoChamada == QLatin1String("B") && fieldText(CodCons).isEmpty())
            return fails("CodCons_Ninf", CodCons);
        if (fieldText(Nome).isEmpty())
            return fails("Nome_Ninf", Nome);
        if (const QString cpf = fieldText(Cpf); !cpf.isEmpty()) {
            consumer.stNrCpfRespCon = cpf;
            if (cpf.size() != 11 || !CPFOk(cpf) || repeatedDigits(toInt64(cpf)))
                return fails("Cpf_Inv", NoField);
        }
        if (const QString nasc = fieldText(Nasc); !EmptyString(nasc) && StrToDate(nasc) <= QDate(1899, 12, 31))
            return fails("DATA_INVALIDA", Nasc);
        if (fieldText(Cracha).isEmpty())
            return fails("Cracha_Ninf", Cracha);
        return true;
    } catch (const ShownError&) {
        return false;
    } catch (const std::exception& e) {
        // A conversion's own text, as the operator would be told any other failure.
        operator_.tell(QString::fromUtf8(e.what()), QString(), kMsgErro, stIdEsquema, 0);
        return false;
    }
}

void Registration::CriptografaSenhas() {
    // Nothing is assigned until both are made: a password too long for its column leaves the state as it was.
    QString posMd5 = consumer.stCdSenhaPosMd5, consMd5 = consumer.stCdSenhaConsMd5, senhaCons, senhaSite;
    storedForms(stCDSENHACONS, fieldText(registration::SenhaCons), sql::columnWidth(QStringLiteral("CDSENHACONS")),
                posMd5, senhaCons);
    storedForms(stCDSENHASITE, fieldText(registration::SenhaSite), sql::columnWidth(QStringLiteral("CDSENHASITE")),
                consMd5, senhaSite);
    consumer.stCdSenhaPosMd5 = posMd5;
    consumer.stCdSenhaConsMd5 = consMd5;
    consumer.stCdSenhaConsCripto = senhaCons;
    consumer.stCdSenhaSiteCripto = senhaSite;
}

bool Registration::confirmDuplicates(const QString& key) {
    ClientDataSet& cdsBuscaConsumidor = lists.cdsBuscaConsumidor;
    if (cdsBuscaConsumidor.isEmpty())
        return true;
    QString details;
    for (cdsBuscaConsumidor.first(); !cdsBuscaConsumidor.eof(); cdsBuscaConsumidor.next())
        details += cdsBuscaConsumidor.asString(QStringLiteral("CDCONSUMIDOR")) + kSep +
                   cdsBuscaConsumidor.asString(QStringLiteral("NMCONSUMIDOR")) + kSep +
                   cdsBuscaConsumidor.asString(QStringLiteral("NRRGCONSUMID")) + QStringLiteral("\r\n");
    const bool go = showMessage(key, kMsgPergunta, stIdEsquema, details);
    // The operator took their time: the checks still to come read the database as it is now.
    service_.readsAhead().clear();
    return go;
}

// The reads documentsAreFree and codeIsFree will make, with the same values.
ConfirmChecks Registration::checksOf(const QString& carregado, const QString& ajustado, bool novo) const {
    ConfirmChecks checks{consumer.stCdCliente, {}, {}, {}, {}};
    if (!EmptyString(consumer.stNrCpfRespCon))
        checks.cpf = {{carregado, consumer.stNrCpfRespCon}};
    if (!EmptyString(consumer.stNrRgConsumid))
        checks.rg = {{ajustado, consumer.stNrRgConsumid}};
    if (stIdBloqCdIdCons == QLatin1String("S"))
        checks.badge = {{carregado, consumer.stCdIdConsumid}};
    if (novo)
        checks.code = ajustado;
    return checks;
}

bool Registration::documentsAreFree(const QString& carregado, const QString& ajustado) {
    ClientDataSet& found = lists.cdsBuscaConsumidor;
    const auto check = [&](const ServiceResult& result, const char* operation, const QString& context) {
        found.setData(accept(result, 0, QLatin1String(operation), kModuloValida, context));
    };
    const QString& cliente = consumer.stCdCliente;
    // An empty document belongs to nobody: every database finds all the other empty ones equal to it.
    if (!EmptyString(consumer.stNrCpfRespCon)) {
        check(getExisteCPF(service_, cliente, carregado, consumer.stNrCpfRespCon), "getExisteCPF",
              consumer.stCdConsumidor + kSep + cliente + kSep + consumer.stNrCpfRespCon);
        if (!confirmDuplicates(QStringLiteral("Cpf_Cad")))
            return false;
    }
    if (!EmptyString(consumer.stNrRgConsumid)) {
        check(getExisteRG(service_, cliente, ajustado, consumer.stNrRgConsumid), "getExisteRG",
              consumer.stCdConsumidor + kSep + cliente + kSep + consumer.stNrRgConsumid);
        if (!confirmDuplicates(QStringLiteral("RG_Cad")))
            return false;
    }
    if (stIdBloqCdIdCons == QLatin1String("S")) {
        check(getExisteIdent(service_, carregado, consumer.stCdIdConsumid), "getExisteIdent",
              carregado + kSep + kSep + consumer.stCdIdConsumid);
        // A refusal, not a question: however the notice is closed, the badge is not saved.
        if (!found.isEmpty()) {
            showMessage(QStringLiteral("Cracha_Cad"), kMsgInformacao, stIdEsquema);
            return false;
        }
    }
    return true;
}

bool Registration::placesAreRegistered() {
    using namespace registration;
    const QString uf = consumer.stSgEstado.toUpper();
    // Each list is asked only when its field is filled: the checks leave their filters on.
    const struct {
        Field field;
        std::function<bool()> registered;
        const char* message;
    } places[] = {
        {Pais, [&] { return lists.hasCountry(consumer.stCdPais); }, "PAIS_N_CAD"},
        {Uf, [&] { return lists.hasState(consumer.stCdPais, uf); }, "ESTADO_N_CAD"},
        {Cidade, [&] { return lists.hasCity(consumer.stCdPais, uf, consumer.stCdMunicipio); }, "MUNICI_N_CAD"},
    };
    for (const auto& place : places) {
        if (!fieldText(place.field).isEmpty() && !place.registered()) {
            showMessage(QLatin1String(place.message), kMsgInformacao, stIdEsquema);
            return false;
        }
    }
    return true;
}

bool Registration::emailIsValid() {
    const QString& email = consumer.stDsEmailCons;
    if (EmptyString(email) || (email.contains(u'.') && email.contains(u'@')))
        return true;
    showMessage(QStringLiteral("EMAIL_INV"), kMsgInformacao, stIdEsquema);
    return false;
}

// A new consumer's code must be free.
bool Registration::codeIsFree(const QString& ajustado) {
    ClientDataSet& cdsConsumidor = lists.cdsConsumidor;
    cdsConsumidor.setData(accept(getValidaCons(service_, ajustado, consumer.stCdCliente), 0,
                                 QStringLiteral("getValidaCons"), kModuloValida,
                                 consumer.stCdConsumidor + consumer.stCdCliente));
    if (cdsConsumidor.isEmpty())
        return true;
    showMessage(QStringLiteral("Cons_Cad"), kMsgErro, stIdEsquema);
    return false;
}

// The types chosen replace the defaults; without a cost centre, a type and a customer nothing is saved.
bool Registration::parametersAreSet() {
    if (!EmptyString(consumer.stCdTipoConsSel))
        consumer.stCdTipoCons = consumer.stCdTipoConsSel;
    if (!EmptyString(consumer.stCdTipoVenda))
        consumer.stIdTpVendaCons = consumer.stCdTipoVenda;
    if (!stCdCcusClie.isEmpty() && !consumer.stCdTipoCons.isEmpty() && !consumer.stCdCliente.isEmpty())
        return true;
    showMessage(QStringLiteral("Param_Vnd"), kMsgErro, stIdEsquema);
    boGravou = false;
    return false;
}

void Registration::fillSaveArguments(GravaConsumidor& v, const QString& chave) const {
    consumer.saveArguments(v, chave);
    v.cdCcusClie = stCdCcusClie;
    v.stProcessamento = stStProcessamento;
    v.cdFilial = stCdFilial;
    v.dsDirCad = stDsDirCad;
    v.digital = stDigital;
    v.digital2 = stDigital2;
    for (const registration::OptionSpec& option : registration::optionCatalogue())
        v.*option.save = this->*option.value;
}

// Writes the consumer under `chave` in one transaction. Until the record is written, a failure leaves the
// digests as they were loaded; the typed passwords themselves are never replaced, so a second Confirm
// digests and encrypts the same plain passwords.
void Registration::save(bool novo, const QString& chave) {
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
    const QString posMd5 = consumer.stCdSenhaPosMd5, consMd5 = consumer.stCdSenhaConsMd5;
    try {
        CriptografaSenhas();
        GravaConsumidor v;
        fillSaveArguments(v, chave);
        if (offline_) {
            service_.offlineQueue()->append(v,
                                            {stIdExConsAtFil, stIdExConsAtGer, stIdBloqCdIdCons == QLatin1String("S")});
            qCInfo(lcScreen, "consumer %s of customer %s queued until the database answers",
                   qUtf8Printable(v.cdConsumidor.trimmed()), qUtf8Printable(v.cdCliente));
        } else
            accept(setGravaConsumidor(service_, v), 10, QStringLiteral("setGravaConsumidor"), kModuloGrava, contexto);
    } catch (...) {
        consumer.stCdSenhaPosMd5 = posMd5;
        consumer.stCdSenhaConsMd5 = consMd5;
        consumer.stCdSenhaConsCripto.clear();
        consumer.stCdSenhaSiteCripto.clear();
        throw;
    }
    if (novo) {
        // The record exists from here on. Should the central steps fail, the next Confirm updates it
        // instead of finding its code, documents and badge taken by itself.
        insertedKey_ = chave;
        consumer.stOperacao = QStringLiteral("2");
    }
}

// The central steps after the save: the central password of an edited consumer, when the parameters ask
// for it, then the central registration. The secrets go only once everything has gone through: until
// then the operator may confirm again, and a second Confirm needs the typed passwords and fingerprints.
void Registration::publish(bool novo, const QString& carregado) {
    if (!novo && stIdSenConsCentral == QLatin1String("S")) {
        QVariantList answer{QVariant()};
        if (!SenhaConsCentral(stCdFilial, consumer.stCdCliente, carregado, consumer.stCdSenhaConsCripto,
                              QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("UPDATE_SENHA"), answer))
            throw std::runtime_error("SenhaConsCentral_ERRO");
    }
    QVariantList dados(10);
    accept(centralAnswer(SetConsumidor({stCdFilial, stDsDirCad, stIdExConsAtFil, stIdExConsAtGer}, dados)), 0,
           QStringLiteral("setConsumidor"), kModuloCentral, stCdFilial + kSep + stDsDirCad);
    clearSecrets();
    boGravou = true;
}

void Registration::adoptUncertainInsert(const QString& ajustado) {
    // The last save of this consumer may have been committed with its answer lost on the way back.
    const ServiceResult settled = settleUncertainSave(service_, consumer.stCdCliente, ajustado);
    if (isError(settled))
        accept(settled, 10, QStringLiteral("settleUncertainSave"), kModuloGrava,
               consumer.stCdCliente + kSep + ajustado);
    const bool* found = std::get_if<bool>(&settled);
    if (found && *found && consumer.stOperacao == QLatin1String("1")) {
        // It is in the database as this call wrote it: from here on it is an edit of this call's record.
        insertedKey_ = ajustado;
        consumer.stOperacao = QStringLiteral("2");
    }
}

bool Registration::confirmWithoutDatabase() {
    if (!placesAreRegistered() || !emailIsValid() || !parametersAreSet())
        return false;
    const QString ajustado = Ajusta(consumer.stCdConsumidor, 21);
    GravaConsumidor v;
    fillSaveArguments(v, ajustado);
    if (!freeOnThisTill(*this, *service_.offlineQueue(), v))
        return false;
    save(true, ajustado);
    clearSecrets();
    boGravou = true;
    showMessage(QStringLiteral("Cons_Fila"), kMsgInformacao, stIdEsquema);
    return true;
}

bool Registration::Confirma() {
    PreencheVariaveis();
    if (!Vd_Informacoes())
        return false;
    if (offline_)
        return confirmWithoutDatabase();

    const QString ajustado = Ajusta(consumer.stCdConsumidor, 21);
    adoptUncertainInsert(ajustado);
    const QString carregado = loadedCode();
    const bool novo = consumer.stOperacao == QLatin1String("1");
    // The checks' reads go together; whatever no check takes goes with this Confirm.
    struct DropReadsAhead {
        TrdmCadConsumidor& service;
        ~DropReadsAhead() { service.readsAhead().clear(); }
    } drop{service_};
    prefetchConfirmChecks(service_, checksOf(carregado, ajustado, novo));
    if (!documentsAreFree(carregado, ajustado) || !placesAreRegistered() || !emailIsValid())
        return false;
    if ((novo && !codeIsFree(ajustado)) || !parametersAreSet())
        return false;

    save(novo, novo ? ajustado : carregado);
    publish(novo, carregado);
    return true;
}

} // namespace cadcons
