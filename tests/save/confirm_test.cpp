#include "save_fixture.h"

#include "platform/packet_file.h"
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

QDate dateOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return parseIsoDateTime(value.toString()).date();
}

QStringList fieldTexts(const TfrmCadastroConsumidor& form) {
    QStringList texts;
    for (int n = 1; n <= 24; ++n)
        texts << form.fieldText(n);
    return texts;
}

// Every stop of the flow leaves the form open with what was typed, writes nothing, and leaves the
// saved mark as it was (but for a missing sale parameter, which clears it).
TEST_P(ConfirmTest, EveryStopLeavesTheFormOpenWithEverythingTypedAndWritesNothing) {
    const int before = consumerCount();
    const QVariantMap ana = consumer(kCliente1, code21(3));
    ASSERT_FALSE(ana.isEmpty());
    const struct {
        const char* label;
        std::function<void()> arrange;
        const char* key; // message of the table, or nullptr for a text of its own
        int kind;
        const char* flags;
        bool gravou; // the saved mark afterwards (it was true before)
    } cases[] = {
        {"name missing", [this] { show("lblNome", ""); }, "Nome_Ninf", kMsgErro, "N", true},
        {"CPF of another consumer, declined",
         [this] {
             show("lblCpf", "28491563709");
             answers = {false};
         },
         "Cpf_Cad", kMsgPergunta, "S", true},
        {"RG of another consumer, declined",
         [this] {
             show("lblRg", "284573619");
             answers = {false};
         },
         "RG_Cad", kMsgPergunta, "S", true},
        {"badge of another consumer", [this] { show("lblCracha", "1001"); }, "Cracha_Cad", kMsgInformacao, "N", true},
        {"country not registered", [this] { show("lblPais", "Atlântida"); }, "PAIS_N_CAD", kMsgInformacao, "N", true},
        {"state not registered", [this] { show("lblUf", "ZZ"); }, "ESTADO_N_CAD", kMsgInformacao, "N", true},
        {"city not registered", [this] { show("lblcidade", "GOTHAM"); }, "MUNICI_N_CAD", kMsgInformacao, "N", true},
        // SERRO is 0002 in MG, and SP has a 0002 of its own: the city must not become Campinas.
        {"city of another state", [this] { show("lblcidade", "SERRO"); }, "MUNICI_N_CAD", kMsgInformacao, "N", true},
        {"e-mail without a dot", [this] { show("lblEmail", "ana@exemplo"); }, "EMAIL_INV", kMsgInformacao, "N", true},
        {"code of an active consumer", [this] { show("lblCodCons", "1"); }, "Cons_Cad", kMsgErro, "N", true},
        {"no cost centre in the parameters", [this] { form->registration().stCdCcusClie.clear(); }, "Param_Vnd",
         kMsgErro, "N", false},
        {"no consumer type",
         [this] {
             form->registration().consumer.stCdTipoCons.clear();
             show("lblTipoCons", "");
         },
         "Param_Vnd", kMsgErro, "N", false},
        // An inactive consumer keeps code 3: the code check lets it through and the database refuses it.
        {"database refuses the record", [this] { show("lblCodCons", "3"); }, nullptr, kMsgErro, "N", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QStringLiteral("77"));
        typePassword(21, QStringLiteral("segredo"));
        messages.clear();
        answers.clear();
        c.arrange();
        form->registration().boGravou = true;
        const QStringList shown = fieldTexts(*form);
        const QString senhaCons = form->registration().stCDSENHACONS;

        confirm();

        ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
        const MensagemArgs& m = messages[0];
        if (c.key) {
            EXPECT_EQ(m.text, msg(c.key));
        } else {
            EXPECT_FALSE(m.text.trimmed().isEmpty());
        }
        EXPECT_EQ(m.kind, c.kind);
        EXPECT_EQ(m.flag1, QLatin1String(c.flags));
        EXPECT_EQ(m.flag2, QLatin1String(c.flags));
        EXPECT_EQ(m.esquema, "001");
        EXPECT_TRUE(formOpen());
        EXPECT_EQ(form->saved(), c.gravou);
        EXPECT_EQ(fieldTexts(*form), shown);
        EXPECT_EQ(form->registration().stCDSENHACONS, senhaCons);
        EXPECT_EQ(form->registration().stCDSENHASITE, "segredo");
        EXPECT_EQ(consumerCount(), before);
        EXPECT_TRUE(consumer(kCliente1, code21(77)).isEmpty());
        EXPECT_TRUE(setConsumidorCalls.isEmpty());
    }
    EXPECT_EQ(consumer(kCliente1, code21(3)), ana);
}

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

TEST_P(ConfirmTest, CpfHeldByTwoConsumersListsBothOnePerLineAndSavesOnlyWhenAccepted) {
    exec(QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, IDSITCONSUMI, NRRGCONSUMID, "
                        "NRCPFRESPCON) VALUES ('000000000000000000002', '000000000000000000020', 'RITA LOPES', '1', "
                        "'RG-20', '28491563709')"));
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show("lblCpf", QStringLiteral("28491563709"));

    answers = {false};
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("O número do CPF já está cadastrado para outro(s) consumidor(es). "
                                               "Pressione o botão Detalhes para ver o(s) consumidor(es). Deseja "
                                               "continuar a operação?"));
    EXPECT_EQ(messages[0].details, QStringLiteral("000000000000000000001-MARIA APARECIDA DOS SANTOS-284573619\r\n"
                                                  "000000000000000000020-RITA LOPES-RG-20\r\n"));
    EXPECT_EQ(messages[0].kind, kMsgPergunta);
    EXPECT_TRUE(formOpen());
    EXPECT_TRUE(consumer(kCliente1, code21(77)).isEmpty());

    messages.clear();
    answers = {true};
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].details.count(QLatin1String("\r\n")), 2);
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(form->saved());
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRCPFRESPCON").toString(), "28491563709");
}

TEST_P(ConfirmTest, RgHeldByAnotherConsumerIsAskedAboutWithItsLine) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show("lblRg", QStringLiteral("128456730"));
    answers = {true};
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, msg("RG_Cad"));
    EXPECT_EQ(messages[0].details, QStringLiteral("000000000000000000002-JOSÉ CARLOS PEREIRA-128456730\r\n"));
    EXPECT_EQ(messages[0].flag1, "S");
    EXPECT_EQ(messages[0].flag2, "S");
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRRGCONSUMID").toString(), "128456730");
}

// Every database finds an empty text equal to every other: consumers without documents are not each
// other's duplicates.
TEST_P(ConfirmTest, EmptyCpfAndRgAreHeldByNobody) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET NRCPFRESPCON = '', NRRGCONSUMID = '' WHERE CDCLIENTE = "
                        "'000000000000000000001'"));
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show("lblCpf", QString());
    show("lblRg", QString());
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRCPFRESPCON").toString(), "");

    // Editing one of them: no question either.
    open(QStringLiteral("2"), kCliente1);
    ASSERT_EQ(form->registration().consumer.stOperacao, "2");
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
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
        }
        EXPECT_EQ(formOpen(), !c.saved);
        EXPECT_EQ(consumer(kCliente1, code21(code)).value("CDIDCONSUMID").toString(), c.saved ? "1001" : "");
    }
}

TEST_P(ConfirmTest, EmailNeedsADotAndAnAtSignAnywhereUnlessBlank) {
    const struct {
        const char* email;
        bool accepted;
    } cases[] = {{"ana@exemplo", false}, {"ana.exemplo", false}, {"@", false}, {"ana@exemplo.com", true},
                 {".ana@", true},        {"   ", true},          {"", true}};
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.email);
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString());
        show("lblRg", QString());
        show("lblCracha", QStringLiteral("E-%1").arg(code));
        show("lblEmail", QLatin1String(c.email));
        messages.clear();
        confirm();
        if (c.accepted) {
            EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
            EXPECT_EQ(consumer(kCliente1, code21(code)).value("DSEMAILCONS").toString(), QLatin1String(c.email));
        } else {
            ASSERT_EQ(messages.size(), 1);
            EXPECT_EQ(messages[0].text, msg("EMAIL_INV"));
            EXPECT_TRUE(consumer(kCliente1, code21(code)).isEmpty());
        }
        EXPECT_EQ(formOpen(), !c.accepted);
    }
}

TEST_P(ConfirmTest, CityIsTakenFromTheChosenStateWhenNamesRepeat) {
    const struct {
        const char *uf, *cidade, *municipio;
    } cases[] = {{"PA", "PAU D'ARCO", "0002"},
                 {"TO", "PAU D'ARCO", "0003"},
                 {"MT", "Vila Bela da Santíssima Trindade", "0003"},
                 {"SP", "santa bárbara d'oeste", "0004"}};
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uf);
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString());
        show("lblRg", QString());
        show("lblCracha", QStringLiteral("C-%1").arg(code));
        show("lblUf", QLatin1String(c.uf));
        show("lblcidade", QString::fromUtf8(c.cidade));
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        const QVariantMap row = consumer(kCliente1, code21(code));
        EXPECT_EQ(row.value("SGESTADO").toString(), QLatin1String(c.uf));
        EXPECT_EQ(row.value("CDMUNICIPIO").toString(), QLatin1String(c.municipio));
    }
}

// What the save receives, position by position, read back from the row it wrote.
TEST_P(ConfirmTest, NewConsumerIsSavedWithEveryValueInItsPlace) {
    const struct {
        const char* processamento;
        const char* marker;
        const char* cpf;
    } cases[] = {{"CAIXA", "I", "52998224725"}, {"SERVIDOR", "S", "11144477735"}};
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.processamento);
        writeParameters({{QStringLiteral("STPROCESSAMENTO"), QLatin1String(c.processamento)}});
        const QDateTime start = QDateTime::currentDateTime().addSecs(-2);
        open({}, {}, QStringLiteral("B"));
        ++code;
        fillNewConsumer(QStringLiteral(" %1").arg(code)); // the key is trimmed and padded
        show("lblCpf", QLatin1String(c.cpf));
        show("lblRg", QStringLiteral("RG-%1").arg(code));
        show("lblCracha", QStringLiteral("B-%1").arg(code));
        show("lblTelefone", QStringLiteral("1133334444"));
        show("lblTelComercial", QStringLiteral("1155556666"));
        show("lblCelular", QStringLiteral("11999998888"));
        show("lblEndereco", QStringLiteral("Rua das Flores"));
        show("lblNumero", QStringLiteral("12B"));
        show("lblBairro", QStringLiteral("CAMBUI"));
        show("lblCep", QStringLiteral("13024000"));
        show("lblEmail", QStringLiteral("beatriz@example.com"));
        show("lblTipoCons", QStringLiteral("DIRETORIA"));
        show("lblNMLOGINCONS", QStringLiteral("beatriz.n"));
        show("lblCDEXCONSUMID", QStringLiteral("EXT-55"));
        form->registration().consumer.stCdTipoVenda = QStringLiteral("3"); // as the sale-type list leaves it
        show("lblTipovenda", QStringLiteral("A Vista"));
        typePassword(19, QStringLiteral("1234"));
        typePassword(21, QStringLiteral("nova"));
        form->entry().optionKey(vk::F5); // off
        form->entry().optionKey(vk::F7); // off
        form->bldFemininoClick();
        form->sbpDigitalClick();
        ASSERT_EQ(captureCalls.size(), code - 80);

        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(form->saved());

        const QVariantMap row = consumer(kCliente1, code21(code));
        ASSERT_FALSE(row.isEmpty());
        const auto col = [&row](const char* name) { return row.value(QLatin1String(name)).toString(); };
        EXPECT_EQ(col("CDCLIENTE"), kCliente1);                               // 1
        EXPECT_EQ(col("NMCONSUMIDOR"), "BEATRIZ NUNES");                      // 2
        EXPECT_EQ(col("CDCONSUMIDOR"), code21(code));                         // 3
        EXPECT_EQ(col("CDIDCONSUMID"), QStringLiteral("B-%1").arg(code));     // 4
        EXPECT_EQ(col("CDCCUSCLIE"), "0000000001");                           // 5
        EXPECT_EQ(col("CDTIPOCONS"), "03");                                   // 6
        EXPECT_EQ(col("NRRGCONSUMID"), QStringLiteral("RG-%1").arg(code));    // 7
        EXPECT_EQ(col("NRCPFRESPCON"), QLatin1String(c.cpf));                 // 8
        EXPECT_EQ(col("NRTELECONS"), "1133334444");                           // 9
        EXPECT_EQ(col("NRTELE2CONS"), "1155556666");                          // 10
        EXPECT_EQ(col("IDATUCONSUMI"), QLatin1String(c.marker));              // 11, 12: an insert
        EXPECT_EQ(col("CDPAIS"), "0055");                                     // 15
        EXPECT_EQ(col("SGESTADO"), "SP");                                     // 16
        EXPECT_EQ(col("CDMUNICIPIO"), "0002");                                // 17
        EXPECT_EQ(col("DSENDECONS"), "Rua das Flores");                       // 18
        EXPECT_EQ(col("NRENDECONS"), "12B");                                  // 19
        EXPECT_EQ(col("NMBAIRCONS"), "CAMBUI");                               // 20
        EXPECT_EQ(col("NRCEPCONS"), "13024000");                              // 21
        EXPECT_EQ(col("DSEMAILCONS"), "beatriz@example.com");                 // 22
        EXPECT_EQ(col("IDSEXOCONS"), "F");                                    // 23
        EXPECT_EQ(dateOf(row.value("DTNASCCONS")), QDate(1995, 8, 15));       // 24
        EXPECT_EQ(col("NRCELULARCONS"), "11999998888");                       // 25
        EXPECT_EQ(col("DIGICONSUMIDOR"), "TEMPLATE-1");                       // 26
        EXPECT_EQ(col("DIGICONSUMIDOR2"), "TEMPLATE-2");                      // 27
        EXPECT_EQ(col("CDEXCONSUMID"), "EXT-55");                             // 28
        EXPECT_EQ(DecriptoPlus(col("CDSENHACONS")), "1234");                  // 29
        EXPECT_EQ(DecriptoPlus(col("CDSENHASITE")), "nova");                  // 30
        EXPECT_EQ(col("NMLOGINCONS"), "beatriz.n");                           // 31
        EXPECT_EQ(col("IDIMPCPFCUPOM"), "N");                                 // 32
        EXPECT_EQ(col("IDCADCONFLIBCON"), "S");                               // 33
        EXPECT_EQ(col("IDATUCPFCONS"), "N");                                  // 34
        EXPECT_EQ(col("IDVERSALDCON"), "S");                                  // 35
        EXPECT_EQ(col("IDTPVENDACONS"), "3");                                 // 36
        EXPECT_EQ(col("CDSENHACONSMD5"), "00e69b3f6f150622bdcc2e51b13cce77"); // 37: site
        EXPECT_EQ(col("CDSENHAPOSMD5"), "9f0548b8c7b1af5e22eb5be74efd3597");  // 38: till
        EXPECT_EQ(col("IDSITCONSUMI"), "1");
        const QDateTime stamp = row.value("DTULTATUCSUM").metaType().id() == QMetaType::QDateTime
                                    ? row.value("DTULTATUCSUM").toDateTime()
                                    : parseIsoDateTime(col("DTULTATUCSUM"));
        EXPECT_GE(stamp, start);
        EXPECT_LE(stamp, QDateTime::currentDateTime().addSecs(2));
        // Neither password is stored as typed.
        EXPECT_NE(col("CDSENHACONS"), "1234");
        EXPECT_NE(col("CDSENHASITE"), "nova");
    }
}

// Positions 13 and 14 are stored nowhere; the save's context text, shown when the save fails, carries
// the fourteen values it is made of.
TEST_P(ConfirmTest, FailedSaveNamesTheOperationWithItsContext) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("3"));
    show("lblTelefone", QStringLiteral("1133334444"));
    show("lblTelComercial", QStringLiteral("1155556666"));
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].number, 10);
    EXPECT_EQ(messages[0].details,
              QStringLiteral("LUM52816.setGravaConsumidor (000000000000000000001-BEATRIZ NUNES-000000000000000000003-"
                             "3-0000000001-01-3-52998224725-1133334444-1155556666-CAIXA-1-0001-") +
                  hostDir() + u')');
}

TEST_P(ConfirmTest, EditedConsumerIsUpdatedUnderItsLoadedCodeWithoutAskingAboutItsOwnDocuments) {
    const struct {
        int code;
        const char* marker; // stored "A" stays "A"; stored "I" stays "I"
    } cases[] = {{1, "A"}, {2, "I"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const QVariantMap before = consumer(kCliente1, code21(c.code));
        const int count = consumerCount();
        open(QString::number(c.code), kCliente1);
        ASSERT_EQ(form->registration().consumer.stOperacao, "2");
        show("lblTelefone", QStringLiteral("1140041234"));
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(consumerCount(), count);

        QVariantMap after = consumer(kCliente1, code21(c.code));
        EXPECT_EQ(after.value("NRTELECONS").toString(), "1140041234");
        EXPECT_EQ(after.value("IDATUCONSUMI").toString(), QLatin1String(c.marker));
        // What was not touched keeps its value; empty texts stay empty (null or not).
        for (const char* column :
             {"NMCONSUMIDOR", "NRCPFRESPCON", "NRRGCONSUMID", "CDIDCONSUMID", "CDEXCONSUMID", "DSEMAILCONS",
              "IDSEXOCONS", "CDPAIS", "SGESTADO", "CDMUNICIPIO", "NMLOGINCONS", "IDIMPCPFCUPOM", "IDCADCONFLIBCON",
              "IDATUCPFCONS", "IDVERSALDCON", "IDTPVENDACONS", "CDTIPOCONS", "NRTELE2CONS"}) {
            EXPECT_EQ(after.value(column).toString(), before.value(column).toString()) << column;
        }
        EXPECT_EQ(dateOf(after.value("DTNASCCONS")), dateOf(before.value("DTNASCCONS")));
    }
}

TEST_P(ConfirmTest, PasswordsNotRetypedKeepTheirStoredFormsAndDigests) {
    const QString till = CriptoPlus(QStringLiteral("velha"));
    const QString site = CriptoPlus(QStringLiteral("antiga"), 250);
    exec(QStringLiteral("UPDATE CONSUMIDOR SET CDSENHACONS = '%1', CDSENHASITE = '%2', CDSENHAPOSMD5 = 'pos-old', "
                        "CDSENHACONSMD5 = 'site-old' WHERE CDCLIENTE = '000000000000000000001' AND CDCONSUMIDOR = "
                        "'000000000000000000004'")
             .arg(till, site));
    const struct {
        const char* label;
        QString typedTill, typedSite;
        QString till, site, tillMd5, siteMd5; // expected plain passwords and digests
    } cases[] = {
        {"nothing retyped", {}, {}, "velha", "antiga", "pos-old", "site-old"},
        {"site retyped", {}, "nova", "velha", "nova", "pos-old", "00e69b3f6f150622bdcc2e51b13cce77"},
        {"till retyped",
         "1234",
         {},
         "1234",
         "nova",
         "9f0548b8c7b1af5e22eb5be74efd3597",
         "00e69b3f6f150622bdcc2e51b13cce77"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        open(QStringLiteral("4"), kCliente1);
        if (!c.typedTill.isEmpty())
            typePassword(19, c.typedTill);
        if (!c.typedSite.isEmpty())
            typePassword(21, c.typedSite);
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        const QVariantMap row = consumer(kCliente1, code21(4));
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), c.till);
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHASITE").toString()), c.site);
        EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), c.tillMd5);
        EXPECT_EQ(row.value("CDSENHACONSMD5").toString(), c.siteMd5);
    }
}

TEST_P(ConfirmTest, NoPasswordTypedForANewConsumerStoresNoneAndNoDigest) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    confirm();
    const QVariantMap row = consumer(kCliente1, code21(77));
    ASSERT_FALSE(row.isEmpty());
    for (const char* column : {"CDSENHACONS", "CDSENHASITE", "CDSENHAPOSMD5", "CDSENHACONSMD5"})
        EXPECT_EQ(row.value(column).toString(), "") << column;
}

// The save fails after the passwords were digested and encrypted; the operator sees why, mends it, and
// confirms again: the passwords stored are the typed ones, encrypted once.
TEST_P(ConfirmTest, RetryAfterAFailedSaveStoresThePasswordsEncryptedOnce) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("3"));
    typePassword(19, QStringLiteral("1234"));
    typePassword(21, QStringLiteral("nova"));
    const QStringList shown = fieldTexts(*form);

    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(formOpen());
    EXPECT_EQ(fieldTexts(*form), shown);
    EXPECT_EQ(text("lblCDSENHACONS"), "****");
    EXPECT_EQ(form->registration().stCDSENHACONS, "1234");
    EXPECT_EQ(form->registration().stCDSENHASITE, "nova");
    EXPECT_EQ(form->registration().consumer.stCdSenhaPosMd5, "");
    EXPECT_EQ(form->registration().consumer.stCdSenhaConsMd5, "");

    exec(QStringLiteral("DELETE FROM CONSUMIDOR WHERE CDCLIENTE = '000000000000000000001' AND CDCONSUMIDOR = "
                        "'000000000000000000003'"));
    messages.clear();
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    const QVariantMap row = consumer(kCliente1, code21(3));
    EXPECT_EQ(row.value("NMCONSUMIDOR").toString(), "BEATRIZ NUNES");
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "1234");
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHASITE").toString()), "nova");
    EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), "9f0548b8c7b1af5e22eb5be74efd3597");
    EXPECT_EQ(row.value("CDSENHACONSMD5").toString(), "00e69b3f6f150622bdcc2e51b13cce77");
}

TEST_P(ConfirmTest, CentralPasswordRefusedAfterTheLocalSaveKeepsTheFormForAnotherTry) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    open(QStringLiteral("1"), kCliente1);
    ASSERT_EQ(form->registration().consumer.stOperacao, "2");
    ASSERT_EQ(text("lblNome"), "MARIA APARECIDA DOS SANTOS");
    typePassword(19, QStringLiteral("segredo"));
    show("lblTelefone", QStringLiteral("1140041234"));
    centralCalls.clear();
    centralResult = false;

    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, "SenhaConsCentral_ERRO");
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_EQ(messages[0].esquema, "001");
    EXPECT_TRUE(formOpen());
    EXPECT_FALSE(form->saved());
    EXPECT_TRUE(setConsumidorCalls.isEmpty());
    // Saved locally all the same.
    QVariantMap row = consumer(kCliente1, code21(1));
    EXPECT_EQ(row.value("NRTELECONS").toString(), "1140041234");
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "segredo");
    EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), "49d207ce77f26ee4d6a7fb5d6872d1fe");
    ASSERT_EQ(centralCalls.size(), 1);
    EXPECT_EQ(centralCalls[0].texts, (QStringList{"0001", kCliente1, code21(1), row.value("CDSENHACONS").toString(),
                                                  "1", "1", "UPDATE_SENHA"}));
    EXPECT_EQ(centralCalls[0].arraySize, 1);
    EXPECT_EQ(form->registration().stCDSENHACONS, "segredo");

    centralResult = true;
    messages.clear();
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(form->saved());
    ASSERT_EQ(centralCalls.size(), 2);
    row = consumer(kCliente1, code21(1));
    EXPECT_EQ(centralCalls[1].texts[3], row.value("CDSENHACONS").toString());
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "segredo");
    ASSERT_EQ(setConsumidorCalls.size(), 1);
}

TEST_P(ConfirmTest, NewConsumerNeverTouchesTheCentralPassword) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    typePassword(19, QStringLiteral("segredo"));
    centralCalls.clear();
    confirm();
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(centralCalls.isEmpty());
    EXPECT_EQ(setConsumidorCalls.size(), 1);
}

// The central registration comes after the local save. When it refuses, the operator confirms again:
// that needs the typed password and the fingerprints, or the second save would store the masked
// caption and lose the templates.
TEST_P(ConfirmTest, CentralRegistrationRefusedKeepsTheFormOpenWithItsSecretsForAnotherTry) {
    const struct {
        const char* label;
        QString code;
        int consumerCode;
    } cases[] = {{"existing consumer", QStringLiteral("4"), 4}, {"new consumer", QString(), 77}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.code.isEmpty()) {
            open({}, {}, QStringLiteral("B"));
            fillNewConsumer(QStringLiteral("77"));
        } else {
            open(c.code, kCliente1);
        }
        typePassword(19, QStringLiteral("1234"));
        form->sbpDigitalClick();
        messages.clear();
        setConsumidorCalls.clear();
        setConsumidorAnswer = QStringLiteral("Central fora do ar");
        confirm();
        ASSERT_EQ(setConsumidorCalls.size(), 1);
        EXPECT_EQ(setConsumidorCalls[0].context, (QVariantList{"0001", hostDir(), "N", "N"}));
        EXPECT_EQ(setConsumidorCalls[0].arraySize, 10);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].text, "Central fora do ar");
        EXPECT_EQ(messages[0].details, QStringLiteral("Cli_Lum52816.setConsumidor (0001-") + hostDir() + u')');
        EXPECT_TRUE(formOpen());
        EXPECT_FALSE(form->saved());
        EXPECT_EQ(form->registration().stCDSENHACONS, "1234");
        EXPECT_EQ(form->registration().stDigital, "TEMPLATE-1");
        EXPECT_FALSE(consumer(kCliente1, code21(c.consumerCode)).isEmpty()); // saved locally

        // The second try updates the record the first one wrote: its own code, documents and badge are
        // not taken by somebody else.
        const int count = consumerCount();
        setConsumidorAnswer = true;
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(form->saved());
        EXPECT_EQ(consumerCount(), count);
        EXPECT_EQ(setConsumidorCalls.size(), 2);
        const QVariantMap row = consumer(kCliente1, code21(c.consumerCode));
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "1234");
        EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), "9f0548b8c7b1af5e22eb5be74efd3597");
        EXPECT_EQ(row.value("DIGICONSUMIDOR").toString(), "TEMPLATE-1");
    }
}

TEST_P(ConfirmTest, CentralRegistrationMayAnswerWithAPacketOrTrue) {
    DataPacket packet;
    packet.fields << FieldDef{QStringLiteral("OK"), FieldType::String, 1};
    const QVariant answers[] = {QVariant(true), QVariant::fromValue(packet), QString::fromUtf8(writePacketXml(packet))};
    int code = 80;
    for (const QVariant& answer : answers) {
        SCOPED_TRACE(answer.typeName());
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString());
        show("lblRg", QString());
        show("lblCracha", QStringLiteral("P-%1").arg(code));
        messages.clear();
        setConsumidorAnswer = answer;
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
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
    EXPECT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString(); // the CPF question, once
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
