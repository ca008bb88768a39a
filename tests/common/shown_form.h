#pragma once

#include "screen/cad_consumidor_form.h"

#include <QApplication>

namespace cadcons::test {

// The registration form on screen during a call of the module, if any.
inline TfrmCadastroConsumidor* shownForm() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TfrmCadastroConsumidor*>(widget); form && form->isVisible())
            return form;
    }
    return nullptr;
}

} // namespace cadcons::test
