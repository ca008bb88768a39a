#pragma once

#include "message_script.h"
#include "qt_printers.h"
#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "test_databases.h"
#include "widgets/dialogs.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariantMap>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace cadcons::test {

// Any 64-byte key serves the tests; stored passwords are checked by decrypting them with it.
inline constexpr const char* kCryptoKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
                                          "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f";

inline const QString kCliente1 = QStringLiteral("000000000000000000001");
inline const QString kCliente2 = QStringLiteral("000000000000000000002");

// Code `n` in the 21-character form the database keeps.
QString code21(int n);

// What one call of a sibling service received.
struct SiblingCall {
    QStringList texts;    // its text arguments, in order
    QVariantList context; // SetConsumidor's four values
    qsizetype arraySize = 0;
};

// A host directory of its own for each test, with the parameter file and customer list as the host
// writes them, and a fresh database of the test's backend (SQLite or PostgreSQL) holding the
// demonstration data. Messages and the sibling services are scripted: each message is recorded and
// answered from `answers` (true once they run out).
class SaveTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override;
    void TearDown() override;

    QString hostDir() const { return dir_.path() + u'/'; }
    // Rewrites the parameter file with some values replaced.
    void writeParameters(const std::map<QString, QVariant>& values);

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

    // Database of the test, through a connection of the fixture's own.
    void exec(const QString& sql);
    int consumerCount();
    // The consumer's row, column names in upper case; empty when there is none.
    QVariantMap consumer(const QString& cliente, const QString& consumidor);

    // The recorded messages' texts, and the texts of the message table's keys.
    QStringList messageTexts() const;
    QString msg(const char* key) const { return form->registration().msgPadrao.Msg(QLatin1String(key)); }

    std::unique_ptr<TfrmCadastroConsumidor> form;
    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;
    std::deque<bool>& answers = script.answers;
    // Called inside each message, after it is recorded (to act while a dialog is open).
    std::function<void(const MensagemArgs&)>& duringMessage = script.during;

    QList<SiblingCall> centralCalls, setConsumidorCalls, captureCalls;
    bool centralResult = true;
    QVariant setConsumidorAnswer = true;
    std::function<void()> duringSetConsumidor;
    QVariantList captured{QStringLiteral("TEMPLATE-1"), QStringLiteral("TEMPLATE-2")};

private:
    QString connectionName_;
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> savedEnv_;
    SiblingServices savedServices_;
};

} // namespace cadcons::test
