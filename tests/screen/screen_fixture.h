#pragma once

#include "host_fixture.h"
#include "message_script.h"
#include "platform/data_packet.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QLabel>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::test {

// The host directory and database of HostTest (on SQLite), with a form on them: messages recorded
// instead of shown, every pick list left without a choice.
class ScreenTest : public HostTest {
protected:
    void SetUp() override;
    void TearDown() override;

    TfrmCadastroConsumidor& newForm();
    // A new form, initialized as the entry point does it.
    TfrmCadastroConsumidor& initialize(const QString& code, const QString& name, const QString& customer,
                                       const QString& mode);

    QLabel* labelOf(const char* name) const;
    QString text(const char* name) const;
    bool marked(const char* image) const; // shows the mark picture

    // Shows the form and clicks at `point` of `control` through the window, so the click lands on
    // whatever the operator would hit there.
    void clickAt(QWidget* control, QPoint point);
    void click(const char* name); // at the control's centre
    QWidget* control(const char* name) const;

    std::unique_ptr<TfrmCadastroConsumidor> form;
    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;
};

// The field whose frame is gray and whose text is black; 0 when none is; -1 when the highlight is not
// exactly one field (gray frame and black text together, every other field white and gray).
int highlightedField(const TfrmCadastroConsumidor& form);

} // namespace cadcons::test
