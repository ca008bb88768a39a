#pragma once

#include "platform/service_result.h"
#include "platform/sql_provider.h"
#include "service/list_cache.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <array>
#include <map>
#include <memory>
#include <optional>

namespace cadcons {

class OfflineQueue;

// A save whose commit was sent but whose answer never came back: the database may or may not hold it.
struct UncertainSave {
    QString cdCliente;
    QString cdConsumidor;
    StatementBindings values;
};

// The consumer data service: one connection, adcCadConsumidor, and the statements of the catalogue. The
// module owns one for its lifetime and hands it to every operation; it is not re-entrant.
class TrdmCadConsumidor {
public:
    // `connectionName` names the Qt connection; tests give each object its own.
    explicit TrdmCadConsumidor(const QString& connectionName = QStringLiteral("adcCadConsumidor"));
    ~TrdmCadConsumidor();
    TrdmCadConsumidor(const TrdmCadConsumidor&) = delete;
    TrdmCadConsumidor& operator=(const TrdmCadConsumidor&) = delete;

    // Opens adcCadConsumidor unless it is open and still answers: BeforeConnect, connect, AfterConnect.
    // A connection the server has dropped (session ended, server restarted) is made anew rather than
    // kept for the life of the process. Either way the reference lists' versions are read (see ListCache).
    // Throws DatabaseError when the connection cannot be made.
    void open();
    // open() failed: the call goes on without the database, from the lists kept on the till's disk for the
    // configured one. False when there are none. Until the next open(), every operation that would reach
    // the database fails at once instead of trying to connect.
    bool openWithoutDatabase();
    bool withoutDatabase() const { return withoutDatabase_; }
    void close();
    bool connected() const;
    // The open connection answers a statement now; nothing is made anew to ask.
    bool answersNow() const { return connected() && answers(); }
    // How many connections open() has made: a count that moved under an operation tells it lost its own.
    int connectionsMade() const { return connectionsMade_; }
    QSqlDatabase adcCadConsumidor() const;

    void adcCadConsumidorBeforeConnect();
    void adcCadConsumidorAfterConnect();
    void MtsDataModuleActivate();
    void MtsDataModuleDeactivate();

    void StartTrans();
    void CommitTrans();
    void RollbackTrans();

    bool inTransaction() const { return inTransaction_; }

    // An operation failed: before the next one, the connection is asked whether it still answers.
    void noteFailure() { suspect_ = true; }
    // Before an operation, outside a transaction: after a failure, a connection that the server or the
    // driver dropped is made anew. Throws DatabaseError when it cannot be.
    void reviveIfBroken();

    // True when the connected database is Oracle: the statements kept per database kind take their
    // Oracle text then.
    bool isOracle() const;

    // The statement of `text`, prepared on this connection at its first use and kept until the connection
    // goes. Not on PostgreSQL, whose statements go unnamed with their values (runUnnamed): a pooler in
    // front of the server would hand a kept statement's name to other tills. Throws DatabaseError naming
    // the statement `name` when it cannot be prepared.
    QSqlQuery& prepared(const char* name, const QString& text);
    // A statement that failed is prepared anew at its next use.
    void forgetStatement(const QString& text);

    // The reference lists this process has read, kept between openings.
    ListCache& lists() { return lists_; }
    // Reads sent ahead of the operations that ask them (prefetchConfirmChecks), by statement and values;
    // each answers its operation once.
    std::map<QString, ServiceResult>& readsAhead() { return readsAhead_; }
    // The till's queue of registrations waiting for the database ([offline] on, lists kept on disk), opened
    // at its first use; nullptr when there is none. Throws QueueError when its file can be neither opened
    // nor made.
    OfflineQueue* offlineQueue();
    // The save whose commit answer was lost, until settleUncertainSave has told what became of it.
    std::optional<UncertainSave>& uncertainSave() { return uncertainSave_; }
    const std::optional<UncertainSave>& uncertainSave() const { return uncertainSave_; }

private:
    bool answers() const;
    // The till's kept lists' file, where the host configuration says now.
    void useListFile();
    void closeConnection();

    QString connectionName_;
    bool inTransaction_ = false;
    bool suspect_ = false;        // an operation failed since the last look
    bool closedOnPurpose_ = true; // not opened yet, or closed by close()
    bool withoutDatabase_ = false;
    int connectionsMade_ = 0;
    std::unique_ptr<OfflineQueue> queue_;
    ListCache lists_;
    std::map<QString, QSqlQuery> statements_; // by text; a node's query stays where it is
    std::optional<UncertainSave> uncertainSave_;
    std::map<QString, ServiceResult> readsAhead_;
};

// The read operations. Each runs its statement on the service `rdm` and returns the whole result as a
// packet, or the error text. None throws.
ServiceResult getMunicipio(TrdmCadConsumidor& rdm);
ServiceResult getEstado(TrdmCadConsumidor& rdm);
ServiceResult getPais(TrdmCadConsumidor& rdm);
ServiceResult getBairro(TrdmCadConsumidor& rdm);
ServiceResult getTipoCons(TrdmCadConsumidor& rdm);
ServiceResult getTipoVenda(TrdmCadConsumidor& rdm);
ServiceResult getTipoConsPadrao(TrdmCadConsumidor& rdm, const QString& cdFilial);
ServiceResult getParaVend(TrdmCadConsumidor& rdm, const QString& cdFilial);
ServiceResult getNomeCliente(TrdmCadConsumidor& rdm, const QString& cdCliente);
ServiceResult getDadosConsumidor(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& key);
ServiceResult getValidaCons(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdCliente);
ServiceResult getExisteCPF(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                           const QString& cpf);
ServiceResult getExisteRG(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor,
                          const QString& rg);
ServiceResult getExisteIdent(TrdmCadConsumidor& rdm, const QString& cdConsumidor, const QString& cdIdConsumid);
// `ok` is false only when something other than a database failure escaped; the result is then empty.
ServiceResult getInfCEP(TrdmCadConsumidor& rdm, const QString& cep, bool& ok);

// The checks a Confirm is about to make, each with the values its operation will be given: the CPF and the
// RG (with the code each leaves out), the badge (with the code it leaves out), a new consumer's code.
struct ConfirmChecks {
    QString cdCliente;
    std::optional<std::pair<QString, QString>> cpf, rg, badge;
    std::optional<QString> code;
};
// Sends the reads of those checks together, ahead of them: on PostgreSQL one round trip instead of one
// each. getExisteCPF, getExisteRG, getExisteIdent and getValidaCons asked with the same values then answer
// from what came back, each once, a failure as the read would have met it; what is not asked goes at the
// next call, or with readsAhead().clear(). Elsewhere nothing is kept and each check reads on its own.
// Never throws.
void prefetchConfirmChecks(TrdmCadConsumidor& rdm, const ConfirmChecks& checks);

// The reference lists read whole, each with its operation: the one place their names are written. Hosts
// call the operations by these names, and a failure is reported under them.
using ListRead = ServiceResult (*)(TrdmCadConsumidor& rdm);
struct ListOperation {
    const char* name;
    ListRead read;
};
inline constexpr ListOperation kListOperations[] = {
    {"getMunicipio", getMunicipio}, {"getEstado", getEstado},     {"getPais", getPais},
    {"getBairro", getBairro},       {"getTipoCons", getTipoCons}, {"getTipoVenda", getTipoVenda},
};
// The name of the list operation `read`.
constexpr const char* listOperationName(ListRead read) {
    for (const ListOperation& operation : kListOperations)
        if (operation.read == read)
            return operation.name;
    return "";
}

// The values of a save. Their order in a call is kSaveArguments'.
struct GravaConsumidor {
    QString cdCliente;
    QString nmConsumidor;
    QString cdConsumidor; // already adjusted to 21 characters
    QString cdIdConsumid;
    QString cdCcusClie;
    QString cdTipoCons;
    QString nrRgConsumid;
    QString nrCpfRespCon;
    QString nrTeleCons;
    QString nrTele2Cons;
    QString stProcessamento; // "SERVIDOR" marks an insert "S"
    QString operacao;        // "1" inserts, anything else updates
    QString cdFilial;        // not used
    QString dsDirCad;        // not used
    QString cdPais;
    QString sgEstado;
    QString cdMunicipio;
    QString dsEndeCons;
    QString nrEndeCons;
    QString nmBairCons;
    QString nrCepCons;
    QString dsEmailCons;
    QString idSexoCons;
    QString dtNascCons; // dd/MM/yyyy (or dd/MM/yy), or empty
    QString nrCelularCons;
    QString digital;
    QString digital2;
    QString cdExConsumid;
    QString cdSenhaCons;
    QString cdSenhaSite;
    QString nmLoginCons;
    QString idImpCpfCupom;
    QString idCadConfLibCon;
    QString idAtuCpfCons;
    QString idVerSaldCon;
    QString idTpVendaCons;
    QString cdSenhaConsMd5;
    QString cdSenhaPosMd5;
};

// One value of a save's call: its member, and its name where the call is made by name (cadcons-service).
struct SaveArgument {
    QString GravaConsumidor::*member;
    const char* name;
};

// The save's call, in order: the one place that order is written.
inline constexpr SaveArgument kSaveArguments[] = {
    {&GravaConsumidor::cdCliente, "CUSTOMER"},
    {&GravaConsumidor::nmConsumidor, "NAME"},
    {&GravaConsumidor::cdConsumidor, "CODE"},
    {&GravaConsumidor::cdIdConsumid, "BADGE"},
    {&GravaConsumidor::cdCcusClie, "COSTCENTRE"},
    {&GravaConsumidor::cdTipoCons, "TYPE"},
    {&GravaConsumidor::nrRgConsumid, "RG"},
    {&GravaConsumidor::nrCpfRespCon, "CPF"},
    {&GravaConsumidor::nrTeleCons, "PHONE"},
    {&GravaConsumidor::nrTele2Cons, "PHONE2"},
    {&GravaConsumidor::stProcessamento, "PROCESSING"},
    {&GravaConsumidor::operacao, "OPERATION"},
    {&GravaConsumidor::cdFilial, "BRANCH"},
    {&GravaConsumidor::dsDirCad, "HOSTDIR"},
    {&GravaConsumidor::cdPais, "COUNTRY"},
    {&GravaConsumidor::sgEstado, "STATE"},
    {&GravaConsumidor::cdMunicipio, "CITY"},
    {&GravaConsumidor::dsEndeCons, "STREET"},
    {&GravaConsumidor::nrEndeCons, "NUMBER"},
    {&GravaConsumidor::nmBairCons, "DISTRICT"},
    {&GravaConsumidor::nrCepCons, "POSTALCODE"},
    {&GravaConsumidor::dsEmailCons, "EMAIL"},
    {&GravaConsumidor::idSexoCons, "SEX"},
    {&GravaConsumidor::dtNascCons, "BIRTHDATE"},
    {&GravaConsumidor::nrCelularCons, "MOBILE"},
    {&GravaConsumidor::digital, "FINGER1"},
    {&GravaConsumidor::digital2, "FINGER2"},
    {&GravaConsumidor::cdExConsumid, "EXTERNAL"},
    {&GravaConsumidor::cdSenhaCons, "PASSWORD"},
    {&GravaConsumidor::cdSenhaSite, "SITEPASSWORD"},
    {&GravaConsumidor::nmLoginCons, "LOGIN"},
    {&GravaConsumidor::idImpCpfCupom, "FLAGCPF"},
    {&GravaConsumidor::idCadConfLibCon, "FLAGCONF"},
    {&GravaConsumidor::idAtuCpfCons, "FLAGUPDCPF"},
    {&GravaConsumidor::idVerSaldCon, "FLAGBALANCE"},
    {&GravaConsumidor::idTpVendaCons, "SALETYPE"},
    {&GravaConsumidor::cdSenhaConsMd5, "SITEMD5"},
    {&GravaConsumidor::cdSenhaPosMd5, "TILLMD5"},
};

// Inserts or updates one consumer in one transaction: true, or the error text with nothing written. When
// the commit itself fails (its answer lost with the link), the row is looked at on a connection that answers:
// true when it holds what this save wrote; when no connection answers, the error text, and the save is kept
// for settleUncertainSave.
ServiceResult setGravaConsumidor(TrdmCadConsumidor& rdm, const GravaConsumidor& values);
// When the commit of a save got no answer and the row could not be checked then, the save is kept until
// this tells: true when the consumer's row holds exactly what that save wrote, false when it does not or
// no such save is pending, the error text when the database still cannot be asked.
ServiceResult settleUncertainSave(TrdmCadConsumidor& rdm, const QString& cdCliente, const QString& cdConsumidor);
// Whether the consumer's row already holds what a save of `values` writes, its time aside: true or false, or
// the error text. A queued save sent once already (its process killed, its answer lost) is found by it.
ServiceResult holdsQueuedSave(TrdmCadConsumidor& rdm, const GravaConsumidor& values);

} // namespace cadcons
