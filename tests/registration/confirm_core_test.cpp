#include "core_fixture.h"
#include "platform/packet_file.h"
#include "platform/text.h"
#include "routines/utility.h"

#include <QCryptographicHash>
#include <vector>

namespace cadcons::test {
namespace {

using namespace registration;

using RegistrationTest = CoreTest;
INSTANTIATE_TEST_SUITE_P(Backends, RegistrationTest,
                         ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")), backendName);

QDate dateOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return parseIsoDateTime(value.toString()).date();
}

QStringList fieldTexts(const Registration& r) {
    QStringList texts;
    for (int n = 1; n <= kFieldCount; ++n)
        texts << r.fieldText(n);
    return texts;
}

const OptionSpec& option(const char* column) {
    for (const OptionSpec& o : optionCatalogue()) {
        if (qstrcmp(o.column, column) == 0)
            return o;
    }
    throw std::invalid_argument(column);
}

// Every stop of the flow leaves the form open with what was typed, writes nothing, and leaves the
// saved mark as it was (but for a missing sale parameter, which clears it).
TEST_P(RegistrationTest, EveryStopLeavesTheFormOpenWithEverythingTypedAndWritesNothing) {
    const int before = consumerCount();
    const QVariantMap ana = consumer(kCliente1, code21(3));
    ASSERT_FALSE(ana.isEmpty());
    const struct {
        const char* label;
        std::function<void()> arrange;
        const char* key; // message of the table, or nullptr for a text of its own
        int kind;
        bool gravou; // the saved mark afterwards (it was true before)
    } cases[] = {
        {"name missing", [this] { show(Nome, ""); }, "Nome_Ninf", kMsgErro, true},
        {"CPF of another consumer, declined",
         [this] {
             show(Cpf, "28491563709");
             answers = {false};
         },
         "Cpf_Cad", kMsgPergunta, true},
        {"RG of another consumer, declined",
         [this] {
             show(Rg, "284573619");
             answers = {false};
         },
         "RG_Cad", kMsgPergunta, true},
        {"badge of another consumer", [this] { show(Cracha, "1001"); }, "Cracha_Cad", kMsgInformacao, true},
        {"country not registered", [this] { show(Pais, "Atlântida"); }, "PAIS_N_CAD", kMsgInformacao, true},
        {"state not registered", [this] { show(Uf, "ZZ"); }, "ESTADO_N_CAD", kMsgInformacao, true},
        {"city not registered", [this] { show(Cidade, "GOTHAM"); }, "MUNICI_N_CAD", kMsgInformacao, true},
        // SERRO is 0002 in MG, and SP has a 0002 of its own: the city must not become Campinas.
        {"city of another state", [this] { show(Cidade, "SERRO"); }, "MUNICI_N_CAD", kMsgInformacao, true},
        {"e-mail without a dot", [this] { show(Email, "ana@exemplo"); }, "EMAIL_INV", kMsgInformacao, true},
        {"code of an active consumer", [this] { show(CodCons, "1"); }, "Cons_Cad", kMsgErro, true},
        {"no cost centre in the parameters", [this] { r->stCdCcusClie.clear(); }, "Param_Vnd", kMsgErro, false},
        {"no consumer type",
         [this] {
             r->consumer.stCdTipoCons.clear();
             show(TipoCons, "");
         },
         "Param_Vnd", kMsgErro, false},
        // An inactive consumer keeps code 3: the code check lets it through and the database refuses it.
        {"database refuses the record", [this] { show(CodCons, "3"); }, nullptr, kMsgErro, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QStringLiteral("77"));
        typePassword(SenhaSite, QStringLiteral("segredo"));
        messages.clear();
        answers.clear();
        c.arrange();
        r->boGravou = true;
        const QStringList shown = fieldTexts(*r);
        const QString senhaCons = r->stCDSENHACONS;

        confirm();

        ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
        const ScriptedOperator::Told& m = messages[0];
        if (c.key) {
            EXPECT_EQ(m.text, msg(c.key));
        } else {
            EXPECT_FALSE(m.text.trimmed().isEmpty());
        }
        EXPECT_EQ(m.kind, c.kind);
        EXPECT_EQ(m.esquema, "001");
        EXPECT_TRUE(formOpen());
        EXPECT_EQ(r->boGravou, c.gravou);
        EXPECT_EQ(fieldTexts(*r), shown);
        EXPECT_EQ(r->stCDSENHACONS, senhaCons);
        EXPECT_EQ(r->stCDSENHASITE, "segredo");
        EXPECT_EQ(consumerCount(), before);
        EXPECT_TRUE(consumer(kCliente1, code21(77)).isEmpty());
        EXPECT_TRUE(setConsumidorCalls.isEmpty());
    }
    EXPECT_EQ(consumer(kCliente1, code21(3)), ana);
}

TEST_P(RegistrationTest, CpfHeldByTwoConsumersListsBothOnePerLineAndSavesOnlyWhenAccepted) {
    exec(QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, IDSITCONSUMI, NRRGCONSUMID, "
                        "NRCPFRESPCON) VALUES ('000000000000000000002', '000000000000000000020', 'RITA LOPES', '1', "
                        "'RG-20', '28491563709')"));
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show(Cpf, QStringLiteral("28491563709"));

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
    EXPECT_TRUE(r->boGravou);
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRCPFRESPCON").toString(), "28491563709");
}

TEST_P(RegistrationTest, RgHeldByAnotherConsumerIsAskedAboutWithItsLine) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show(Rg, QStringLiteral("128456730"));
    answers = {true};
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, msg("RG_Cad"));
    EXPECT_EQ(messages[0].details, QStringLiteral("000000000000000000002-JOSÉ CARLOS PEREIRA-128456730\r\n"));
    EXPECT_EQ(messages[0].kind, kMsgPergunta);
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRRGCONSUMID").toString(), "128456730");
}

// Every database finds an empty text equal to every other: consumers without documents are not each
// other's duplicates.
TEST_P(RegistrationTest, EmptyCpfAndRgAreHeldByNobody) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET NRCPFRESPCON = '', NRRGCONSUMID = '' WHERE CDCLIENTE = "
                        "'000000000000000000001'"));
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    show(Cpf, QString());
    show(Rg, QString());
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(consumer(kCliente1, code21(77)).value("NRCPFRESPCON").toString(), "");

    // Editing one of them: no question either.
    open(QStringLiteral("2"), kCliente1);
    ASSERT_EQ(r->consumer.stOperacao, "2");
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
}

// A consumer whose documents nobody else holds, with some entries changed: refused with the message
// given and nothing written, or saved with the columns given.
TEST_P(RegistrationTest, EntriesAreSavedAsShownOrRefused) {
    using Entries = std::vector<std::pair<Field, QString>>;
    using Columns = std::vector<std::pair<const char*, QString>>;
    const struct {
        Entries entries;
        const char* refusal; // message key; nullptr when saved
        Columns columns;
    } cases[] = {
        // The e-mail needs a dot and an at sign, anywhere, unless it is blank.
        {{{Email, "ana@exemplo"}}, "EMAIL_INV", {}},
        {{{Email, "ana.exemplo"}}, "EMAIL_INV", {}},
        {{{Email, "@"}}, "EMAIL_INV", {}},
        {{{Email, "ana@exemplo.com"}}, nullptr, {{"DSEMAILCONS", "ana@exemplo.com"}}},
        {{{Email, ".ana@"}}, nullptr, {{"DSEMAILCONS", ".ana@"}}},
        {{{Email, "   "}}, nullptr, {{"DSEMAILCONS", "   "}}},
        {{{Email, ""}}, nullptr, {{"DSEMAILCONS", ""}}},
        // The city is taken from the chosen state when names repeat.
        {{{Uf, "PA"}, {Cidade, "PAU D'ARCO"}}, nullptr, {{"SGESTADO", "PA"}, {"CDMUNICIPIO", "0002"}}},
        {{{Uf, "TO"}, {Cidade, "PAU D'ARCO"}}, nullptr, {{"SGESTADO", "TO"}, {"CDMUNICIPIO", "0003"}}},
        {{{Uf, "MT"}, {Cidade, "Vila Bela da Santíssima Trindade"}},
         nullptr,
         {{"SGESTADO", "MT"}, {"CDMUNICIPIO", "0003"}}},
        {{{Uf, "SP"}, {Cidade, "santa bárbara d'oeste"}}, nullptr, {{"SGESTADO", "SP"}, {"CDMUNICIPIO", "0004"}}},
    };
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries.back().second.toStdString());
        open({}, {}, QStringLiteral("B"));
        fillLoneConsumer(++code, "E");
        for (const auto& [field, text] : c.entries)
            show(field, text);
        confirm();
        EXPECT_EQ(messageTexts(), c.refusal ? QStringList{msg(c.refusal)} : QStringList{});
        EXPECT_EQ(formOpen(), c.refusal != nullptr);
        const QVariantMap row = consumer(kCliente1, code21(code));
        EXPECT_EQ(row.isEmpty(), c.refusal != nullptr);
        for (const auto& [column, value] : c.columns)
            EXPECT_EQ(row.value(QLatin1String(column)).toString(), value) << column;
    }
}

// What the save receives, position by position, read back from the row it wrote.
TEST_P(RegistrationTest, NewConsumerIsSavedWithEveryValueInItsPlace) {
    const struct {
        const char* processamento;
        const char* marker;
        const char* cpf;
        const char* nasc; // a two-digit year is taken in the century window
    } cases[] = {{"CAIXA", "I", "52998224725", "15/08/1995"}, {"SERVIDOR", "S", "11144477735", "15/08/95"}};
    int code = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.processamento);
        writeParameters({{QStringLiteral("STPROCESSAMENTO"), QLatin1String(c.processamento)}});
        const QDateTime start = QDateTime::currentDateTime().addSecs(-2);
        open({}, {}, QStringLiteral("B"));
        ++code;
        fillNewConsumer(QStringLiteral(" %1").arg(code)); // the key is trimmed and padded
        show(Cpf, QLatin1String(c.cpf));
        show(Nasc, QLatin1String(c.nasc));
        show(Rg, QStringLiteral("RG-%1").arg(code));
        show(Cracha, QStringLiteral("B-%1").arg(code));
        show(Telefone, QStringLiteral("1133334444"));
        show(TelComercial, QStringLiteral("1155556666"));
        show(Celular, QStringLiteral("11999998888"));
        show(Endereco, QStringLiteral("Rua das Flores"));
        show(Numero, QStringLiteral("12B"));
        show(Bairro, QStringLiteral("CAMBUI"));
        show(Cep, QStringLiteral("13024000"));
        show(Email, QStringLiteral("beatriz@example.com"));
        show(TipoCons, QStringLiteral("DIRETORIA"));
        show(LoginCons, QStringLiteral("beatriz.n"));
        show(ExConsumid, QStringLiteral("EXT-55"));
        r->consumer.stCdTipoVenda = QStringLiteral("3"); // as the sale-type list leaves it
        show(TipoVenda, QStringLiteral("A Vista"));
        typePassword(SenhaCons, QStringLiteral("1234"));
        typePassword(SenhaSite, QStringLiteral("nova"));
        for (const char* column : {"IDIMPCPFCUPOM", "IDATUCPFCONS"}) // off
            r->toggleOption(option(column));
        r->chooseSex(QStringLiteral("F"));
        capture();

        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(r->boGravou);

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
TEST_P(RegistrationTest, FailedSaveNamesTheOperationWithItsContext) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("3"));
    show(Telefone, QStringLiteral("1133334444"));
    show(TelComercial, QStringLiteral("1155556666"));
    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].number, 10);
    EXPECT_EQ(messages[0].details,
              QStringLiteral("LUM52816.setGravaConsumidor (000000000000000000001-BEATRIZ NUNES-000000000000000000003-"
                             "3-0000000001-01-3-52998224725-1133334444-1155556666-CAIXA-1-0001-") +
                  hostDir() + u')');
}

TEST_P(RegistrationTest, EditedConsumerIsUpdatedUnderItsLoadedCodeWithoutAskingAboutItsOwnDocuments) {
    const struct {
        int code;
        const char* marker; // stored "A" stays "A"; stored "I" stays "I"
    } cases[] = {{1, "A"}, {2, "I"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const QVariantMap before = consumer(kCliente1, code21(c.code));
        const int count = consumerCount();
        open(QString::number(c.code), kCliente1);
        ASSERT_EQ(r->consumer.stOperacao, "2");
        show(Telefone, QStringLiteral("1140041234"));
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

TEST_P(RegistrationTest, PasswordsNotRetypedKeepTheirStoredFormsAndDigests) {
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
            typePassword(SenhaCons, c.typedTill);
        if (!c.typedSite.isEmpty())
            typePassword(SenhaSite, c.typedSite);
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        const QVariantMap row = consumer(kCliente1, code21(4));
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), c.till);
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHASITE").toString()), c.site);
        EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), c.tillMd5);
        EXPECT_EQ(row.value("CDSENHACONSMD5").toString(), c.siteMd5);
    }
}

TEST_P(RegistrationTest, NoPasswordTypedForANewConsumerStoresNoneAndNoDigest) {
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
TEST_P(RegistrationTest, RetryAfterAFailedSaveStoresThePasswordsEncryptedOnce) {
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("3"));
    typePassword(SenhaCons, QStringLiteral("1234"));
    typePassword(SenhaSite, QStringLiteral("nova"));
    const QStringList shown = fieldTexts(*r);

    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(formOpen());
    EXPECT_EQ(fieldTexts(*r), shown);
    EXPECT_EQ(r->fieldText(SenhaCons), "****");
    EXPECT_EQ(r->stCDSENHACONS, "1234");
    EXPECT_EQ(r->stCDSENHASITE, "nova");
    EXPECT_EQ(r->consumer.stCdSenhaPosMd5, "");
    EXPECT_EQ(r->consumer.stCdSenhaConsMd5, "");

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

TEST_P(RegistrationTest, CentralPasswordRefusedAfterTheLocalSaveKeepsTheFormForAnotherTry) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    open(QStringLiteral("1"), kCliente1);
    ASSERT_EQ(r->consumer.stOperacao, "2");
    ASSERT_EQ(r->fieldText(Nome), "MARIA APARECIDA DOS SANTOS");
    typePassword(SenhaCons, QStringLiteral("segredo"));
    show(Telefone, QStringLiteral("1140041234"));
    centralCalls.clear();
    centralResult = false;

    confirm();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, "SenhaConsCentral_ERRO");
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_EQ(messages[0].esquema, "001");
    EXPECT_TRUE(formOpen());
    EXPECT_FALSE(r->boGravou);
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
    EXPECT_EQ(r->stCDSENHACONS, "segredo");

    centralResult = true;
    messages.clear();
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(r->boGravou);
    ASSERT_EQ(centralCalls.size(), 2);
    row = consumer(kCliente1, code21(1));
    EXPECT_EQ(centralCalls[1].texts[3], row.value("CDSENHACONS").toString());
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "segredo");
    ASSERT_EQ(setConsumidorCalls.size(), 1);
}

TEST_P(RegistrationTest, NewConsumerNeverTouchesTheCentralPassword) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("77"));
    typePassword(SenhaCons, QStringLiteral("segredo"));
    centralCalls.clear();
    confirm();
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(centralCalls.isEmpty());
    EXPECT_EQ(setConsumidorCalls.size(), 1);
}

// The central registration comes after the local save. When it refuses, the operator confirms again:
// that needs the typed password and the fingerprints, or the second save would store the masked
// caption and lose the templates.
TEST_P(RegistrationTest, CentralRegistrationRefusedKeepsTheFormOpenWithItsSecretsForAnotherTry) {
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
        typePassword(SenhaCons, QStringLiteral("1234"));
        capture();
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
        EXPECT_FALSE(r->boGravou);
        EXPECT_EQ(r->stCDSENHACONS, "1234");
        EXPECT_EQ(r->stDigital, "TEMPLATE-1");
        EXPECT_FALSE(consumer(kCliente1, code21(c.consumerCode)).isEmpty()); // saved locally

        // The second try updates the record the first one wrote: its own code, documents and badge are
        // not taken by somebody else.
        const int count = consumerCount();
        setConsumidorAnswer = true;
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(r->boGravou);
        EXPECT_EQ(consumerCount(), count);
        EXPECT_EQ(setConsumidorCalls.size(), 2);
        const QVariantMap row = consumer(kCliente1, code21(c.consumerCode));
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "1234");
        EXPECT_EQ(row.value("CDSENHAPOSMD5").toString(), "9f0548b8c7b1af5e22eb5be74efd3597");
        EXPECT_EQ(row.value("DIGICONSUMIDOR").toString(), "TEMPLATE-1");
    }
}

TEST_P(RegistrationTest, CentralRegistrationMayAnswerWithAPacketOrTrue) {
    DataPacket packet;
    packet.fields << FieldDef{QStringLiteral("OK"), FieldType::String, 1};
    const QVariant answers[] = {QVariant(true), QVariant::fromValue(packet), QString::fromUtf8(writePacketXml(packet))};
    int code = 80;
    for (const QVariant& answer : answers) {
        SCOPED_TRACE(answer.typeName());
        open({}, {}, QStringLiteral("B"));
        fillLoneConsumer(++code, "P");
        messages.clear();
        setConsumidorAnswer = answer;
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
    }
}

} // namespace
} // namespace cadcons::test
