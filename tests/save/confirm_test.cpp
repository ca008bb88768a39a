#include "save_fixture.h"

#include "platform/text.h"
#include "routines/utility.h"
#include "test_databases.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace cadcons::test {
namespace {

using ConfirmTest = SaveTest;
INSTANTIATE_TEST_SUITE_P(Backends, ConfirmTest, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         backendName);

// A password field takes no more than its column holds once encrypted (the till password's 40
// characters hold 14 UTF-8 bytes): the character past that is not typed, and what was typed is saved.
TEST_P(ConfirmTest, PasswordsStopAtWhatTheirColumnHoldsAndTheLongestIsSaved) {
    const struct {
        int field;
        QString typed, kept;
        const char *column, *digestColumn;
    } cases[] = {
        {19, QStringLiteral("Abcdefghijklm9Z"), QStringLiteral("Abcdefghijklm9"), "CDSENHACONS", "CDSENHAPOSMD5"},
        {19, QStringLiteral("\u00E7\u00E7\u00E7\u00E7\u00E7\u00E7\u00E7a"),
         QStringLiteral("\u00E7\u00E7\u00E7\u00E7\u00E7\u00E7\u00E7"), "CDSENHACONS", "CDSENHAPOSMD5"},
        {21, QString(200, u'x') + u'y', QString(171, u'x'), "CDSENHASITE", "CDSENHACONSMD5"},
    };
    int code = 60;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << ", " << c.typed.size() << " typed");
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString());
        show("lblRg", QString());
        show("lblCracha", QStringLiteral("P-%1").arg(code));
        typePassword(c.field, c.typed);
        EXPECT_EQ(form->fieldText(c.field), QString(c.kept.size(), u'*'));
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        const QVariantMap row = consumer(kCliente1, code21(code));
        EXPECT_EQ(DecriptoPlus(row.value(QLatin1String(c.column)).toString()), c.kept);
        const QByteArray salted = toCp1252(QStringLiteral("kulap") + c.kept + QStringLiteral("8264"));
        EXPECT_EQ(row.value(QLatin1String(c.digestColumn)).toString(),
                  QString::fromLatin1(QCryptographicHash::hash(salted, QCryptographicHash::Md5).toHex()));
    }
}

// The badge notice is a refusal: however the operator closes it, nothing is saved and the form stays
// open. The real dialog is shown and closed as the operator would.
TEST_P(ConfirmTest, BadgeOfAnotherConsumerIsRefusedHoweverTheNoticeIsClosed) {
    using Close = DialogScript;
    const auto key = [](Qt::Key k) -> Close { return [k](QDialog* d) { QTest::keyClick(d->windowHandle(), k); }; };
    const struct {
        const char* parameter;
        const char* how;
        Close close;
        bool saved;
    } cases[] = {
        {"S", "touch on OK",
         [](QDialog* d) { QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOk")), Qt::LeftButton); },
         false},
        {"S", "Enter", key(Qt::Key_Return), false},
        {"S", "Escape", key(Qt::Key_Escape), false},
        {"S", "window closed", [](QDialog* d) { d->close(); }, false},
        {"N", "never shown", nullptr, true},
    };
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.parameter << ", " << c.how);
        writeParameters({{QStringLiteral("IDBLOQCDIDCONS"), QLatin1String(c.parameter)}});
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString());
        show("lblRg", QString());
        show("lblCracha", QStringLiteral("1001"));
        messages.clear();
        mensagemHandler() = [this, &c](const MensagemArgs& args) {
            messages.append(args);
            return withMessage(c.close, [&] { return showMensagemDialog(args); });
        };
        confirm();
        ASSERT_EQ(messages.size(), c.saved ? 0 : 1) << messageTexts().join(u'|').toStdString();
        if (!c.saved) {
            EXPECT_EQ(messages[0].text, msg("Cracha_Cad"));
            EXPECT_EQ(messages[0].kind, kMsgInformacao);
            EXPECT_EQ(messages[0].flag1 + messages[0].flag2, "NN"); // a notice, not a question
        }
        EXPECT_EQ(formOpen(), !c.saved);
        EXPECT_EQ(consumer(kCliente1, code21(code)).value("CDIDCONSUMID").toString(), c.saved ? "1001" : "");
    }
}

TEST_P(ConfirmTest, SecretsAreEmptyAfterASaveAndAtTheStartOfTheNextCall) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    typePassword(19, QStringLiteral("1234"));
    typePassword(21, QStringLiteral("nova"));
    form->sbpDigitalClick();
    ASSERT_EQ(form->registration().stDigital, "TEMPLATE-1");
    confirm();
    ASSERT_FALSE(formOpen());
    for (const QString* secret :
         {&form->registration().stCDSENHACONS, &form->registration().stCDSENHASITE, &form->registration().stDigital,
          &form->registration().stDigital2, &form->registration().consumer.stCdSenhaPosMd5,
          &form->registration().consumer.stCdSenhaConsMd5, &form->registration().consumer.stCdSenhaConsCripto,
          &form->registration().consumer.stCdSenhaSiteCripto})
        EXPECT_TRUE(secret->isEmpty()) << secret->toStdString();

    // A call left without saving: nothing of it reaches the next one.
    open({}, {}, QStringLiteral("B"));
    typePassword(19, QStringLiteral("abc"));
    form->registration().stDigital = QStringLiteral("LEFT-BEHIND");
    form->registration().stDigital2 = QStringLiteral("LEFT-BEHIND");
    form->registration().stCDSENHASITE = QStringLiteral("xyz");
    open(QStringLiteral("1"), kCliente1);
    EXPECT_EQ(form->registration().stCDSENHACONS, "");
    EXPECT_EQ(form->registration().stCDSENHASITE, "");
    EXPECT_EQ(form->registration().stDigital, ""); // the stored consumer has none
    EXPECT_EQ(form->registration().stDigital2, "");
}

TEST_P(ConfirmTest, ConfirmDoesNotStartAgainWhileItsQuestionOrItsServiceCallIsOpen) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET NRCPFRESPCON = '52998224725' WHERE CDCLIENTE = "
                        "'000000000000000000002' AND CDCONSUMIDOR = '000000000000000000010'"));
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    const auto again = [this] {
        confirm();
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier);
        QApplication::sendEvent(form.get(), &down);
        form->sbtConfirmaClick();
    };
    // Without the guard each nested confirm would ask again; a few levels are enough to tell.
    int nested = 0;
    const auto againOnce = [&] {
        if (nested++ < 3)
            again();
    };
    duringMessage = [&](const MensagemArgs&) { againOnce(); };
    duringSetConsumidor = againOnce;
    answers = {true};
    confirm();
    ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString(); // the CPF question, once
    EXPECT_EQ(messages[0].flag1 + messages[0].flag2, "SS");
    EXPECT_EQ(setConsumidorCalls.size(), 1);
    EXPECT_FALSE(formOpen());
    EXPECT_FALSE(consumer(kCliente1, code21(77)).isEmpty());

    // Once it has returned, Confirm runs again.
    duringMessage = nullptr;
    open({}, {}, QStringLiteral("B"));
    messages.clear();
    confirm();
    EXPECT_EQ(messageTexts(), QStringList{msg("CodCons_Ninf")});
    confirm();
    EXPECT_EQ(messages.size(), 2);
}

} // namespace
} // namespace cadcons::test
