// Fingerprint capture.

#include "routines/sibling.h"
#include "routines/utility.h"
#include "screen/busy_flag.h"
#include "screen/cad_consumidor_form.h"
#include "screen/module_state.h"

#include <QGuiApplication>
#include <QLabel>

namespace cadcons {

void TfrmCadastroConsumidor::sbpDigitalClick() {
    // The capture has a window of its own; a touch that reaches the form meanwhile starts nothing.
    if (busy_)
        return;
    const BusyFlag busy(busy_);

    if (!Vd_Informacoes())
        return;
    QVariantList templates{QVariant(), QVariant()};
    // A failing capture passes its error on to the key's handler, which shows it; the templates keep
    // what they held.
    DigitalConsumidor(Ajusta(consumer.stCdConsumidor, 21), consumer.stCdCliente, fieldText(screen::Nome), templates);
    stDigital = templates.value(0).toString();
    stDigital2 = templates.value(1).toString();
    // Whatever wait cursor the capture left on screen goes.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace cadcons
