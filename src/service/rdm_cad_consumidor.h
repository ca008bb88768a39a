#pragma once

#include "platform/service_result.h"
#include "platform/sql_provider.h"
#include "service/list_cache.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <array>
#include <map>
#include <optional>

namespace cadcons {

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
    void close();
    bool connected() const;
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
    // The save whose commit answer was lost, until settleUncertainSave has told what became of it.
    std::optional<UncertainSave>& uncertainSave() { return uncertainSave_; }
    const std::optional<UncertainSave>& uncertainSave() const { return uncertainSave_; }

private:
    bool answers() const;
    void closeConnection();

    QString connectionName_;
    bool inTransaction_ = false;
    bool suspect_ = false;        // an operation failed since the last look
    bool closedOnPurpose_ = true; // not opened yet, or closed by close()
    ListCache lists_;
    std::map<QString, QSqlQuery> statements_; // by text; a node's query stays where it is
    std::optional<UncertainSave> uncertainSave_;
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

// The 38 values of a save, in the order of the call.
struct GravaConsumidor {
    QString cdCliente;       // 1
    QString nmConsumidor;    // 2
    QString cdConsumidor;    // 3, already adjusted to 21 characters
    QString cdIdConsumid;    // 4
    QString cdCcusClie;      // 5
    QString cdTipoCons;      // 6
    QString nrRgConsumid;    // 7
    QString nrCpfRespCon;    // 8
    QString nrTeleCons;      // 9
    QString nrTele2Cons;     // 10
    QString stProcessamento; // 11: "SERVIDOR" marks an insert "S"
    QString operacao;        // 12: "1" inserts, anything else updates
    QString cdFilial;        // 13, not used
    QString dsDirCad;        // 14, not used
    QString cdPais;          // 15
    QString sgEstado;        // 16
    QString cdMunicipio;     // 17
    QString dsEndeCons;      // 18
    QString nrEndeCons;      // 19
    QString nmBairCons;      // 20
    QString nrCepCons;       // 21
    QString dsEmailCons;     // 22
    QString idSexoCons;      // 23
    QString dtNascCons;      // 24, dd/MM/yyyy or empty
    QString nrCelularCons;   // 25
    QString digital;         // 26
    QString digital2;        // 27
    QString cdExConsumid;    // 28
    QString cdSenhaCons;     // 29
    QString cdSenhaSite;     // 30
    QString nmLoginCons;     // 31
    QString idImpCpfCupom;   // 32
    QString idCadConfLibCon; // 33
    QString idAtuCpfCons;    // 34
    QString idVerSaldCon;    // 35
    QString idTpVendaCons;   // 36
    QString cdSenhaConsMd5;  // 37
    QString cdSenhaPosMd5;   // 38

    static constexpr int kArgumentCount = 38;
    // The values in call order, for tools that take them as a list.
    static const std::array<QString GravaConsumidor::*, kArgumentCount> kArguments;
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

} // namespace cadcons
