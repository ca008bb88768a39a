#include "save_fixture.h"

#include "widgets/blended.h"

#include <QGuiApplication>
#include <QTest>
#include <stdexcept>

namespace cadcons::test {
namespace {

using DigitalTest = SaveTest;
INSTANTIATE_TEST_SUITE_P(Backends, DigitalTest, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         backendName);

void touchCapture(TfrmCadastroConsumidor& form) {
    auto* key = form.findChild<TBlendedBitBtn*>(QStringLiteral("sbpDigital"));
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->isEnabled());
    QTest::mouseClick(key, Qt::LeftButton);
}

TEST_P(DigitalTest, CaptureRunsOnlyAfterTheEntriesAreValid) {
    open(QStringLiteral("55"), kCliente1);
    show("lblNome", QString());
    show("lblCracha", QStringLiteral("X1"));
    touchCapture(*form);
    EXPECT_TRUE(captureCalls.isEmpty());
    EXPECT_EQ(messageTexts(), QStringList{msg("Nome_Ninf")});
    EXPECT_EQ(form->activeField(), 2);
}

TEST_P(DigitalTest, CaptureGetsTheAdjustedCodeTheCustomerAndTheNameShownAndKeepsBothTemplates) {
    open(QStringLiteral(" 55"), kCliente1);
    show("lblNome", QStringLiteral("ANA LIMA"));
    show("lblCracha", QStringLiteral("X1"));
    siblingServices().DigitalConsumidor = [this](const QString& code, const QString& customer, const QString& name,
                                                 QVariantList& templates) {
        captureCalls << SiblingCall{{code, customer, name}, {}, templates.size()};
        QGuiApplication::setOverrideCursor(Qt::WaitCursor); // the capture's own wait
        templates[0] = QByteArray("BYTES-1");
        templates[1] = QStringLiteral("TEXT-2");
    };
    touchCapture(*form);
    ASSERT_EQ(captureCalls.size(), 1);
    EXPECT_EQ(captureCalls[0].texts, (QStringList{code21(55), kCliente1, "ANA LIMA"}));
    EXPECT_EQ(captureCalls[0].arraySize, 2);
    EXPECT_EQ(form->registration().stDigital, "BYTES-1");
    EXPECT_EQ(form->registration().stDigital2, "TEXT-2");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_P(DigitalTest, EmptyCaptureEmptiesTheLoadedTemplatesAndTheSaveStoresThat) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET DIGICONSUMIDOR = 'OLD-1', DIGICONSUMIDOR2 = 'OLD-2' WHERE CDCLIENTE = "
                        "'000000000000000000001' AND CDCONSUMIDOR = '000000000000000000004'"));
    open(QStringLiteral("4"), kCliente1);
    ASSERT_EQ(form->registration().stDigital, "OLD-1");
    captured = {QVariant(), QVariant()};
    touchCapture(*form);
    EXPECT_EQ(form->registration().stDigital, "");
    EXPECT_EQ(form->registration().stDigital2, "");
    confirm();
    EXPECT_FALSE(formOpen());
    const QVariantMap row = consumer(kCliente1, code21(4));
    EXPECT_EQ(row.value("DIGICONSUMIDOR").toString(), "");
    EXPECT_EQ(row.value("DIGICONSUMIDOR2").toString(), "");
}

TEST_P(DigitalTest, LoadedTemplatesAreSavedAgainWhenNoCaptureIsMade) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET DIGICONSUMIDOR = 'OLD-1', DIGICONSUMIDOR2 = 'OLD-2' WHERE CDCLIENTE = "
                        "'000000000000000000001' AND CDCONSUMIDOR = '000000000000000000004'"));
    open(QStringLiteral("4"), kCliente1);
    confirm();
    EXPECT_FALSE(formOpen());
    const QVariantMap row = consumer(kCliente1, code21(4));
    EXPECT_EQ(row.value("DIGICONSUMIDOR").toString(), "OLD-1");
    EXPECT_EQ(row.value("DIGICONSUMIDOR2").toString(), "OLD-2");
}

TEST_P(DigitalTest, FailingCaptureIsShownAndChangesNothing) {
    open(QStringLiteral("4"), kCliente1);
    form->registration().stDigital = QStringLiteral("KEEP-1");
    form->registration().stDigital2 = QStringLiteral("KEEP-2");
    siblingServices().DigitalConsumidor = [](const QString&, const QString&, const QString&, QVariantList& templates) {
        templates[0] = QStringLiteral("HALF");
        throw std::runtime_error("Leitor biométrico desconectado");
    };
    touchCapture(*form);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("Leitor biométrico desconectado"));
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_EQ(form->registration().stDigital, "KEEP-1");
    EXPECT_EQ(form->registration().stDigital2, "KEEP-2");
    EXPECT_TRUE(formOpen());
    // The failed capture does not hold the form busy.
    messages.clear();
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
}

// The options and the sex, switched on the keyboard, reach the record.
TEST_P(DigitalTest, OptionsAndSexChosenOnTheKeyboardAreSaved) {
    open(QStringLiteral("4"), kCliente1); // stored: all four options "S", sex "M"
    ASSERT_EQ(form->registration().consumer.stIdSexoCons, "M");
    for (Qt::Key key : {Qt::Key_F5, Qt::Key_F8, Qt::Key_F8, Qt::Key_F6, Qt::Key_Left})
        QTest::keyClick(form.get(), key);
    confirm();
    EXPECT_FALSE(formOpen());
    const QVariantMap row = consumer(kCliente1, code21(4));
    EXPECT_EQ(row.value("IDATUCPFCONS").toString(), "N");
    EXPECT_EQ(row.value("IDCADCONFLIBCON").toString(), "N");
    EXPECT_EQ(row.value("IDIMPCPFCUPOM").toString(), "S");
    EXPECT_EQ(row.value("IDVERSALDCON").toString(), "S");
    EXPECT_EQ(row.value("IDSEXOCONS").toString(), "F");
}

} // namespace
} // namespace cadcons::test
