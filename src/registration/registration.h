#pragma once

#include "platform/service_result.h"
#include "registration/consumer_record.h"
#include "registration/field_catalogue.h"
#include "registration/registration_lists.h"
#include "routines/messages.h"
#include "service/rdm_cad_consumidor.h"

#include <QString>
#include <array>

namespace cadcons {

class OfflineQueue;
class RegistrationOperator;
class TrdmCadConsumidor;
struct GravaConsumidor;

// One call of the registration, free of widgets: the call's parameters and settings, the consumer, the
// lists, the sex and the option flags, and the passwords and fingerprints until they are encrypted and
// saved. Its operations are the opening (InicializaForm) and Confirm (Confirma). It reaches the operator
// through a RegistrationOperator only, so a test drives it with a script and no screen.
class Registration {
public:
    // `hostDirectory` is the module's (stDsDirCad), with its trailing "/".
    Registration(TrdmCadConsumidor& service, RegistrationOperator& op, QString hostDirectory);
    ~Registration(); // the secrets are wiped, not just released
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    // --- the opening: the parameter file, the customer list, the service's lists, then the consumer of
    // the call, new or stored, into the fields. A failure of the last step is told to the operator and
    // the screen opens with what was filled so far; a failure before it throws.
    void InicializaForm(const QString& code, const QString& name, const QString& customer, const QString& mode);

    // --- Confirm: collects the fields, validates, asks about documents others hold, checks the places,
    // the e-mail and the code, encrypts the passwords, saves, and registers centrally. True once all of
    // it has gone through (boGravou); false after telling the operator why not. Throws what it did not
    // tell (a ShownError when it did).
    bool Confirma();
    // True when the entries that must be there are there and well formed; false after telling the
    // operator which one is wrong and moving to it.
    bool Vd_Informacoes();
    // Copies the fields into the consumer, the codes of the names shown included.
    void PreencheVariaveis();
    // Digests and stored forms of the passwords for the save. The typed passwords stay as they are until
    // the save has gone through, so a Confirm that fails later can simply be repeated.
    void CriptografaSenhas();
    // The operator leaves without saving: the call hands back no consumer.
    void leave();

    // --- the fields, as the form shows them (numbers as registration::Field)
    QString fieldText(int number) const;
    void setFieldText(int number, const QString& text);
    // Every field but the customer empty.
    void clearFields();
    // The option switched; its new value.
    const QString& toggleOption(const registration::OptionSpec& option);
    bool optionOn(const registration::OptionSpec& option) const;
    // The sex chosen, "F" or "M"; false when it was chosen already or none is (an opening stopped early).
    bool chooseSex(const QString& sex);
    // Empties the passwords as typed, their digests and stored forms, and the fingerprints.
    void clearSecrets();

    // A keyed message of the table to the operator; a question's answer.
    bool showMessage(const QString& key, int kind, const QString& esquema, const QString& details = {});
    // A service answer as a packet; an error is told to the operator and thrown as a ShownError.
    DataPacket accept(const ServiceResult& result, int number, const QString& operation, const QString& module,
                      const QString& context);
    TrdmCadConsumidor& service() { return service_; }
    RegistrationOperator& operatorAtTill() { return operator_; }

    // --- the call's parameters and settings (the parameter file's, and the call's mode)
    QString stIdEsquema, stCdFilial, stCdCcusClie, stStProcessamento, stModoChamada, stIdExConsAtFil, stIdExConsAtGer,
        stIdImpMercBoca, stIdBloqCdIdCons, stIdSenConsCentral;
    bool boUtilizaImpFis = false;
    const QString stDsDirCad; // the host directory
    QString stUltimoCep;      // the postal code last looked up
    bool boGravou = false;    // the consumer was saved and published

    ConsumerRecord consumer;
    RegistrationLists lists;
    // The four options, "S" or "N" (optionCatalogue).
    QString stIDVERSALDCON, stIDIMPCPFCUPOM, stIDCADCONFLIBCON, stIDATUCPFCONS;
    // Secrets until the save: the passwords as typed and the fingerprint templates.
    QString stCDSENHACONS, stCDSENHASITE, stDigital, stDigital2;

    // The operator message table.
    TMessages msgPadrao;
    static QList<MessageRow> msgPadraoRows();

private:
    void readParameterFile(const QString& path);
    void loadServiceLists();
    void openService();
    void openConsumer();
    void readStoredConsumer();
    void copyStoredConsumer();
    void showSaleTypeName(const QString& code);
    void adoptUncertainInsert(const QString& ajustado);
    ConfirmChecks checksOf(const QString& carregado, const QString& ajustado, bool novo) const;
    bool documentsAreFree(const QString& carregado, const QString& ajustado);
    bool confirmDuplicates(const QString& key);
    bool placesAreRegistered();
    bool emailIsValid();
    bool codeIsFree(const QString& ajustado);
    bool parametersAreSet();
    void save(bool novo, const QString& chave);
    bool confirmWithoutDatabase();
    void publish(bool novo, const QString& carregado);
    void fillSaveArguments(GravaConsumidor& v, const QString& chave) const;
    QString loadedCode() const;

    TrdmCadConsumidor& service_;
    RegistrationOperator& operator_;
    std::array<QString, registration::kFieldCount> fields_;
    QString insertedKey_;  // the consumer this call inserted, when a later step of that Confirm failed
    bool offline_ = false; // the database did not answer at the opening: Confirm queues on the till
};

} // namespace cadcons
