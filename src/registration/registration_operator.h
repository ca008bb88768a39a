#pragma once

#include <QString>

namespace cadcons {

// What the registration needs of whoever stands at the till: the form shows it with Mensagem and moves
// its highlight; tests answer from a script.
class RegistrationOperator {
public:
    virtual ~RegistrationOperator() = default;
    // A question (the operator answers yes or no): true for yes.
    virtual bool ask(const QString& text, const QString& details, const QString& esquema) = 0;
    // A notice or an error (`kind` as the message kinds: kMsgInformacao, kMsgErro), with its number.
    virtual void tell(const QString& text, const QString& details, int kind, const QString& esquema, int number) = 0;
    // The field at fault, or the one to start with, becomes the active field.
    virtual void moveTo(int field) = 0;
    // Said on the form for as long as it is shown: this registration is kept on the till and sent later.
    virtual void showWithoutDatabase(const QString& text) = 0;
};

} // namespace cadcons
