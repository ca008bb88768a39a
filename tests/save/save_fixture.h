#pragma once

#include "host_fixture.h"
#include "message_script.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/dialogs.h"

#include <deque>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::test {

// The host directory and database of HostTest, with a form on them: messages are recorded and
// answered from `answers` (true once they run out), and a pick list counts as a fault.
class SaveTest : public HostBackendTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new form, initialized as the entry point does it and shown.
    TfrmCadastroConsumidor& open(const QString& code, const QString& customer = {}, const QString& mode = {});
    // Puts `text` into a field as the screen shows it.
    void show(int field, const QString& text);
    void show(const char* label, const QString& text);
    // Types a password on the physical keyboard into field 19 or 21.
    void typePassword(int field, const QString& password);
    // Fills a new consumer's fields with valid entries: name, CPF, RG, birth date, address, badge.
    void fillNewConsumer(const QString& code);
    void confirm();        // touches the confirm key
    bool formOpen() const; // the form is still on screen
    QString text(const char* label) const;

    // The recorded messages' texts, and the texts of the message table's keys.
    QStringList messageTexts() const;
    QString msg(const char* key) const { return form->registration().msgPadrao.Msg(QLatin1String(key)); }

    std::unique_ptr<TfrmCadastroConsumidor> form;
    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;
    std::deque<bool>& answers = script.answers;
    // Called inside each message, after it is recorded (to act while a dialog is open).
    std::function<void(const MensagemArgs&)>& duringMessage = script.during;
};

} // namespace cadcons::test
