#include "registration/registration.h"

#include "registration/registration_operator.h"

#include <utility>

namespace cadcons {

using registration::fieldSpec;
using registration::OptionSpec;

namespace {

// Overwrites the characters before letting the string go, so a secret does not linger in freed memory.
void wipe(QString& s) {
    if (!s.isEmpty() && !s.isDetached())
        s.detach();
    s.fill(QChar(u'\0'));
    s.clear();
}

} // namespace

Registration::Registration(TrdmCadConsumidor& service, RegistrationOperator& op, QString hostDirectory)
    : stDsDirCad(std::move(hostDirectory))
    , msgPadrao(msgPadraoRows())
    , service_(service)
    , operator_(op) {
    // The lists carry their columns' titles and widths whoever shows them.
    lists.setPersistentFields();
}

Registration::~Registration() {
    clearSecrets();
    // Lists read anew in this call are kept on the till's disk for the next process: written once the call
    // is over, not while the operator waits for the screen.
    service_.lists().flush();
}

void Registration::clearSecrets() {
    for (QString* secret : {&stCDSENHACONS, &stCDSENHASITE, &stDigital, &stDigital2, &consumer.stCdSenhaConsMd5,
                            &consumer.stCdSenhaPosMd5, &consumer.stCdSenhaConsCripto, &consumer.stCdSenhaSiteCripto})
        wipe(*secret);
}

QString Registration::fieldText(int number) const {
    return fieldSpec(number) ? fields_[static_cast<size_t>(number - 1)] : QString();
}

void Registration::setFieldText(int number, const QString& text) {
    if (fieldSpec(number))
        fields_[static_cast<size_t>(number - 1)] = text;
}

void Registration::clearFields() {
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        if (registration::clearable(spec))
            setFieldText(spec.number, QString());
    }
}

const QString& Registration::toggleOption(const OptionSpec& option) {
    QString& value = this->*option.value;
    value = value == QLatin1String("S") ? QStringLiteral("N") : QStringLiteral("S");
    return value;
}

bool Registration::optionOn(const OptionSpec& option) const {
    return this->*option.value == QLatin1String("S");
}

// Touching the sex already chosen changes nothing, and with no sex chosen (an opening stopped early)
// neither choice applies.
bool Registration::chooseSex(const QString& sex) {
    const QString other = sex == QLatin1String("F") ? QStringLiteral("M") : QStringLiteral("F");
    if (consumer.stIdSexoCons != other)
        return false;
    consumer.stIdSexoCons = sex;
    return true;
}

void Registration::leave() {
    consumer.stCdConsumidor.clear();
    consumer.stNmConsumidor.clear();
    consumer.stCdCliente.clear();
    boGravou = false;
}

// Questions (kind 1) carry "S" in both flags; every other kind "N".
bool Registration::showMessage(const QString& key, int kind, const QString& esquema, const QString& details) {
    if (kind == kMsgPergunta)
        return operator_.ask(msgPadrao.Msg(key), details, esquema);
    operator_.tell(msgPadrao.Msg(key), details, kind, esquema, 0);
    return true;
}

DataPacket Registration::accept(const ServiceResult& result, int number, const QString& operation,
                                const QString& module, const QString& context) {
    if (const auto* packet = std::get_if<DataPacket>(&result))
        return *packet;
    const std::optional<ServiceFailure> failure = serviceFailure(result, operation, module, context);
    if (!failure)
        return {}; // true: a save that went through
    operator_.tell(failure->text, failure->details, kMsgErro, stIdEsquema, number);
    throw ShownError(failure->text.toStdString());
}

} // namespace cadcons
