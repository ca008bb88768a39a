// The two keys that run the registration's checks: Confirm and the fingerprint capture.

#include "config/logging.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "screen/busy_flag.h"
#include "screen/cad_consumidor_form.h"

#include <QGuiApplication>

namespace cadcons {

void TfrmCadastroConsumidor::sbtConfirmaClick() {
    // A touch or Ctrl+Enter while a question or a service call of this Confirm is still open.
    if (busy_)
        return;
    const BusyFlag busy(busy_);
    const TimedCall timed(lcScreen, "sbtConfirmaClick");
    guarded([this] {
        if (registration_->Confirma())
            close();
    });
}

void TfrmCadastroConsumidor::sbpDigitalClick() {
    // The capture has a window of its own; a touch that reaches the form meanwhile starts nothing.
    if (busy_)
        return;
    const BusyFlag busy(busy_);

    if (!registration_->Vd_Informacoes())
        return;
    QVariantList templates{QVariant(), QVariant()};
    // A failing capture passes its error on to the key's handler, which shows it; the templates keep
    // what they held.
    DigitalConsumidor(Ajusta(consumer.stCdConsumidor, 21), consumer.stCdCliente, fieldText(registration::Nome),
                      templates);
    registration_->stDigital = templates.value(0).toString();
    registration_->stDigital2 = templates.value(1).toString();
    // Whatever wait cursor the capture left on screen goes.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace cadcons
