#pragma once

#include "platform/service_result.h"
#include "routines/messages.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <stdexcept>

namespace cadcons {

class ClientDataSet;

// What a message call carries, in the order of the call.
struct MensagemArgs {
    QString text;
    QString details; // shown by a "Detalhes" button when not empty
    QString flag1;
    QString flag2;
    int kind = kMsgInformacao;
    QString extra;
    QString esquema;
    int number = 0;
    ClientDataSet* dataset = nullptr;
};

// Shows a message modally. A question (kind 1) is true when the operator answers "Sim" (Enter, S) and
// false for "Não" (Escape, N); any other kind is true however the operator closes it.
bool Mensagem(const QString& text, const QString& details, const QString& flag1, const QString& flag2, int kind,
              const QString& extra, const QString& esquema, int number, ClientDataSet* dataset);

// The function that shows messages: the real dialog by default; tests put a script in its place.
using MensagemFn = std::function<bool(const MensagemArgs&)>;
MensagemFn& mensagemHandler();
// The real dialog: modal, centred on the parent's window (or the screen), a coloured strip per kind.
// Its parts are named for scripts: "btnSim", "btnNao", "btnOk", "btnDetalhes", "mensagemTexto",
// "mensagemDetalhes". Without a widget application on the calling thread the text goes to stderr and
// the answer is false. The flags, the extra text, the number and the dataset are not shown.
bool showMensagemDialog(const MensagemArgs& args, QWidget* parent = nullptr);

// Raised by MensagemMetodo after it has shown a service error, so that the calling handler stops.
class MensagemMetodoError : public ShownError {
public:
    using ShownError::ShownError;
};

// Passes a service result on: the packet as it is; an error text is shown (kind 3, with the operation,
// module and context in the details) and then raised as MensagemMetodoError. `true` (a save) yields an
// empty packet; `false` and a blank error text are reported and raised as errors too.
DataPacket MensagemMetodo(const ServiceResult& result, bool show, int number, const QString& operation,
                          const QString& module, const QString& context, const QString& esquema);

// Footer of the screen: the screen code, " - cadcons <version>" when `flag` is "S", and " - ECF" with a
// fiscal printer. A caption that already is a footer is rebuilt from its screen code.
QString MontaRodapeGeral(bool utilizaImpFis, const QString& caption, const QString& flag);

// Translates the texts of a form's labels and the captions of its touch keys in place through the
// installed Qt translators, in the context "TfrmCadastroConsumidor" (none is installed by default: the
// screen's own texts are Portuguese).
void Trad(QWidget* form);

} // namespace cadcons
