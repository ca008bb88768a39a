#pragma once

#include "service_result.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <stdexcept>

namespace cadcons {

class ClientDataSet;

// Message kinds.
inline constexpr int kMsgInformacao = 0; // a notice
inline constexpr int kMsgPergunta = 1;   // a question: "Sim" / "Não"
inline constexpr int kMsgErro = 3;       // an error

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

// Shows a message modally; true when the operator confirms (kind 1: "Sim"; other kinds: OK).
// Enter answers yes/OK, Escape answers no.
bool Mensagem(const QString& text, const QString& details, const QString& flag1, const QString& flag2, int kind,
              const QString& extra, const QString& esquema, int number, ClientDataSet* dataset);

// The function that shows messages: the real dialog by default; tests put a script in its place.
using MensagemFn = std::function<bool(const MensagemArgs&)>;
MensagemFn& mensagemHandler();
// The real dialog.
bool showMensagemDialog(const MensagemArgs& args, QWidget* parent = nullptr);

// Raised by MensagemMetodo after it has shown a service error, so that the calling handler stops.
class MensagemMetodoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Passes a service result on: the packet as it is; an error text is shown (kind 3, with the operation,
// module and context in the details) and then raised as MensagemMetodoError. `true` (a save) yields an
// empty packet.
DataPacket MensagemMetodo(const ServiceResult& result, bool show, int number, const QString& operation,
                          const QString& module, const QString& context, const QString& esquema);

// Footer of the screen: the screen code, the module version and, with a fiscal printer, its mark.
QString MontaRodapeGeral(bool utilizaImpFis, const QString& caption, const QString& flag);

// Translates the captions of a form in place through the installed Qt translators (none by default:
// the screen's own texts are Portuguese).
void Trad(QWidget* form);

} // namespace cadcons
