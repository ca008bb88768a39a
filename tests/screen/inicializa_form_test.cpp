#include "form_service.h"
#include "platform/packet_file.h"
#include "screen_fixture.h"
#include "service/rdm_cad_consumidor.h"

#include <QDir>
#include <QFile>

namespace cadcons::test {
namespace {

using InicializaFormTest = ScreenTest;

const QString kHotel = QStringLiteral("000000000000000000001");
const QString kMetalurgica = QStringLiteral("000000000000000000002");

// The labels that only a stored record fills; lblNomeCliente, lblTipoCons and lblTipovenda come from
// the customer and the branch defaults.
const char* const kRecordLabels[] = {
    "lblTelefone",     "lblTelComercial", "lblCelular",    "lblCep",      "lblEmail",  "lblBairro",
    "lblcidade",       "lblUf",           "lblPais",       "lblEndereco", "lblNumero", "lblCpf",
    "lblRg",           "lblNasc",         "lblNome",       "lblCodCons",  "lblCracha", "lblNMLOGINCONS",
    "lblCDEXCONSUMID", "lblCDSENHASITE",  "lblCDSENHACONS"};

const char* const kOptionImages[] = {"imgIDATUCPFCONS", "imgIDCADCONFLIBCON", "imgIDIMPCPFCUPOM", "imgIDVERSALDCON"};

QString fixtureFooter(bool fiscalPrinter) {
    return MontaRodapeGeral(fiscalPrinter, QStringLiteral("Lum52816"), QStringLiteral("S"));
}

TEST_F(InicializaFormTest, NewConsumerOpensWithTheOutletsDefaults) {
    initialize(QString(), QStringLiteral("Fulano de Tal"), QString(), QStringLiteral("A"));
    EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
    EXPECT_EQ(form->registration().consumer.stNmConsumidor, QStringLiteral("Fulano de Tal"));
    EXPECT_EQ(form->registration().stModoChamada, QStringLiteral("A"));

    // Every parameter of the file, where the form keeps it.
    const std::pair<QString, QString> parameters[] = {
        {form->registration().stCdFilial, "0001"},         {form->registration().stIdEsquema, "001"},
        {form->registration().stCdCcusClie, "0000000001"}, {form->registration().consumer.stCdCliente, kHotel},
        {form->registration().stStProcessamento, "CAIXA"}, {form->registration().stIdExConsAtFil, "N"},
        {form->registration().stIdExConsAtGer, "N"},       {form->registration().stIdImpMercBoca, "N"},
        {form->registration().stIdBloqCdIdCons, "S"},      {form->registration().stIdSenConsCentral, "N"},
    };
    for (const auto& [actual, expected] : parameters)
        EXPECT_EQ(actual, expected);
    EXPECT_FALSE(form->registration().boUtilizaImpFis);

    EXPECT_EQ(text("lblNomeCliente"), QStringLiteral("Hotel Beira Mar"));
    EXPECT_EQ(form->registration().consumer.stCdTipoCons, QStringLiteral("01"));
    EXPECT_EQ(text("lblTipoCons"), QStringLiteral("FUNCIONARIO"));
    EXPECT_EQ(form->registration().consumer.stCdTipoVenda, QStringLiteral("7"));
    EXPECT_EQ(text("lblTipovenda"), QStringLiteral("Todos"));
    for (const char* name : kRecordLabels)
        EXPECT_EQ(text(name), QString()) << name; // the name given by the caller is not shown

    EXPECT_EQ(form->activeField(), 2);
    EXPECT_EQ(highlightedField(*form), 2);
    EXPECT_FALSE(form->entry().capsLock());
    EXPECT_FALSE(form->entry().shiftArmed());
    EXPECT_EQ(form->registration().stIDVERSALDCON + form->registration().stIDIMPCPFCUPOM +
                  form->registration().stIDCADCONFLIBCON + form->registration().stIDATUCPFCONS,
              QStringLiteral("SSSS"));
    for (const char* image : kOptionImages)
        EXPECT_TRUE(marked(image)) << image;
    EXPECT_EQ(form->registration().consumer.stIdSexoCons, QStringLiteral("M"));
    EXPECT_FALSE(marked("imgFeminino"));
    EXPECT_TRUE(marked("imgMasculino"));
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(false));

    EXPECT_TRUE(form->registration().lists.cdsClienFilial.active());
    EXPECT_EQ(form->registration().lists.cdsClienFilial.recordCount(), 3);
    EXPECT_EQ(form->registration().lists.cdsPais.recordCount(), 1);
    EXPECT_EQ(form->registration().lists.cdsEstado.recordCount(), 27);
    EXPECT_EQ(form->registration().lists.cdsTipoCons.recordCount(), 4);
    EXPECT_EQ(form->registration().lists.cdsTipoVenda.recordCount(), 7);
    EXPECT_GT(form->registration().lists.cdsMunicipio.recordCount(), 50);
    EXPECT_GT(form->registration().lists.cdsBairro.recordCount(), 50);
    EXPECT_EQ(form->registration().lists.cdsParaVend.recordCount(), 1);
}

TEST_F(InicializaFormTest, ExistingConsumerFillsEveryFieldFromTheStoredRecord) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET CDSENHASITE = 'site-stored', CDSENHACONS = 'till-stored', "
                        "CDSENHACONSMD5 = 'md5-site', CDSENHAPOSMD5 = 'md5-till', DIGICONSUMIDOR = 'template-1', "
                        "DIGICONSUMIDOR2 = 'template-2', IDVERSALDCON = 'N' "
                        "WHERE CDCLIENTE = '000000000000000000001' AND CDCONSUMIDOR = '000000000000000000001'"));
    initialize(QStringLiteral("1"), QStringLiteral("Maria"), kHotel, QString());
    EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));

    const std::pair<const char*, const char*> labels[] = {
        {"lblRg", "284573619"},
        {"lblCpf", "28491563709"},
        {"lblTelefone", "1132851740"},
        {"lblTelComercial", "1131450200"},
        {"lblCelular", "11987450321"},
        {"lblPais", "Brasil"},
        {"lblUf", "SP"},
        {"lblcidade", "SAO PAULO"},
        {"lblEndereco", "Avenida Paulista"},
        {"lblNumero", "1000"},
        {"lblBairro", "BELA VISTA"},
        {"lblCep", "01310100"},
        {"lblEmail", "maria.santos@example.com"},
        {"lblCodCons", "000000000000000000001"},
        {"lblNome", "MARIA APARECIDA DOS SANTOS"},
        {"lblTipoCons", "FUNCIONARIO"},
        {"lblCracha", "1001"},
        {"lblNMLOGINCONS", "maria.santos"},
        {"lblCDSENHASITE", "site-stored"},
        {"lblCDEXCONSUMID", "9000000001"},
        {"lblCDSENHACONS", "till-stored"},
        {"lblNasc", "12/03/1985"},
        {"lblTipovenda", "Débito Consumidor"},
        {"lblNomeCliente", "Hotel Beira Mar"},
    };
    for (const auto& [name, expected] : labels)
        EXPECT_EQ(text(name), QString::fromUtf8(expected)) << name;

    const std::pair<QString, const char*> state[] = {
        {form->registration().consumer.stCdPais, "0055"},
        {form->registration().consumer.stSgEstado, "SP"},
        {form->registration().consumer.stCdMunicipio, "0001"},
        {form->registration().consumer.stIdSexoCons, "F"},
        {form->registration().consumer.stCdTipoConsSel, "01"},
        {form->registration().consumer.stCdIdConsumid, "1001"},
        {form->registration().consumer.stCdSenhaConsMd5, "md5-site"},
        {form->registration().consumer.stCdSenhaPosMd5, "md5-till"},
        {form->registration().stDigital, "template-1"},
        {form->registration().stDigital2, "template-2"},
        {form->registration().consumer.stCdTipoVenda, "1"},
        {form->registration().consumer.stCdCliente, "000000000000000000001"},
        {form->registration().stIDVERSALDCON, "N"},
        {form->registration().stIDIMPCPFCUPOM, "S"},
        {form->registration().stIDCADCONFLIBCON, "S"},
        {form->registration().stIDATUCPFCONS, "S"},
    };
    for (const auto& [actual, expected] : state)
        EXPECT_EQ(actual, QString::fromUtf8(expected));
    // The hidden passwords are only ever what the operator types.
    EXPECT_TRUE(form->registration().stCDSENHACONS.isEmpty());
    EXPECT_TRUE(form->registration().stCDSENHASITE.isEmpty());

    EXPECT_FALSE(marked("imgIDVERSALDCON"));
    EXPECT_TRUE(marked("imgIDIMPCPFCUPOM"));
    EXPECT_TRUE(marked("imgFeminino"));
    EXPECT_FALSE(marked("imgMasculino"));
    EXPECT_EQ(form->activeField(), 2);
    EXPECT_EQ(highlightedField(*form), 2);
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(false));
}

TEST_F(InicializaFormTest, ExistingConsumersShowTheirOwnFlagsSexAndEmptyColumns) {
    const struct {
        const char* code;
        const char* flags; // IDATUCPFCONS, IDCADCONFLIBCON, IDIMPCPFCUPOM, IDVERSALDCON
        const char* sex;
        const char* tipoVenda;
        const char* nomeTipoVenda;
        const char* nomeTipoCons;
    } consumers[] = {
        {"2", "NSNS", "M", "3", "A Vista", "HOSPEDE"},
        {"3", "SNSN", "F", "2", "Crédito Pessoal", "FUNCIONARIO"},
        {"4", "SSSS", "M", "7", "Todos", "DIRETORIA"},
    };
    for (const auto& c : consumers) {
        SCOPED_TRACE(c.code);
        initialize(QLatin1String(c.code), QString(), kHotel, QString());
        EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));
        EXPECT_EQ(form->registration().stIDATUCPFCONS + form->registration().stIDCADCONFLIBCON +
                      form->registration().stIDIMPCPFCUPOM + form->registration().stIDVERSALDCON,
                  QLatin1String(c.flags));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(marked(kOptionImages[i]), c.flags[i] == 'S') << kOptionImages[i];
        EXPECT_EQ(form->registration().consumer.stIdSexoCons, QLatin1String(c.sex));
        EXPECT_EQ(marked("imgFeminino"), c.sex[0] == 'F');
        EXPECT_EQ(marked("imgMasculino"), c.sex[0] == 'M');
        EXPECT_EQ(form->registration().consumer.stCdTipoVenda, QLatin1String(c.tipoVenda));
        EXPECT_EQ(text("lblTipovenda"), QString::fromUtf8(c.nomeTipoVenda));
        EXPECT_EQ(text("lblTipoCons"), QString::fromUtf8(c.nomeTipoCons));
    }
    // Consumer 2 has neither a birth date, a commercial phone nor a login.
    initialize(QStringLiteral("2"), QString(), kHotel, QString());
    EXPECT_EQ(text("lblNasc"), QString());
    EXPECT_EQ(text("lblTelComercial"), QString());
    EXPECT_EQ(text("lblNMLOGINCONS"), QString());
}

TEST_F(InicializaFormTest, AStoredConsumerWithoutSexOpensAsMale) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET IDSEXOCONS = NULL WHERE CDCLIENTE = '000000000000000000001' AND "
                        "CDCONSUMIDOR = '000000000000000000001'"));
    initialize(QStringLiteral("1"), QString(), kHotel, QString());
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));
    EXPECT_EQ(form->registration().consumer.stIdSexoCons, QStringLiteral("M"));
    EXPECT_FALSE(marked("imgFeminino"));
    EXPECT_TRUE(marked("imgMasculino"));
}

TEST_F(InicializaFormTest, ModeBAlwaysRegistersANewConsumerWithTheTypedCode) {
    initialize(QStringLiteral("1"), QStringLiteral("Maria"), kHotel, QStringLiteral("B"));
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
    EXPECT_EQ(text("lblCodCons"), QStringLiteral("000000000000000000001"));
    for (const char* name : kRecordLabels) {
        if (QLatin1String(name) != QLatin1String("lblCodCons")) {
            EXPECT_EQ(text(name), QString()) << name;
        }
    }
    EXPECT_EQ(form->activeField(), 24);
    EXPECT_EQ(highlightedField(*form), 24);
    EXPECT_EQ(form->registration().consumer.stIdSexoCons, QStringLiteral("M"));
    EXPECT_EQ(form->registration().consumer.stCdTipoVenda, QStringLiteral("7"));
    EXPECT_EQ(text("lblTipovenda"), QStringLiteral("Todos"));
    // Only an exact "B" is that mode.
    initialize(QStringLiteral("1"), QString(), kHotel, QStringLiteral("b"));
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));
    EXPECT_EQ(form->activeField(), 2);
}

TEST_F(InicializaFormTest, FiscalPrinterParameterReachesTheFooter) {
    writeParameters({{QStringLiteral("UTILIZAIMPFIS"), true}});
    initialize(QString(), QString(), QString(), QString());
    EXPECT_TRUE(form->registration().boUtilizaImpFis);
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(true));
}

TEST_F(InicializaFormTest, CentralServiceRefusingLeavesTheFormEmptyWithOneMessage) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    scriptCentral(false);
    initialize(QStringLiteral("1"), QString(), kHotel, QString());

    ASSERT_EQ(centralCalls.size(), 1);
    EXPECT_EQ(centralCalls[0].texts, QStringList({"0001", kHotel, "1", "X", "1", "1", "GET_CONS"}));
    EXPECT_EQ(centralCalls[0].arraySize, 1);

    ASSERT_EQ(messages.size(), 1);
    const MensagemArgs& m = messages[0];
    EXPECT_EQ(m.text, QStringLiteral("SenhaConsCentral_ERRO"));
    EXPECT_EQ(m.details, QString());
    EXPECT_EQ(m.flag1, QStringLiteral("N"));
    EXPECT_EQ(m.flag2, QStringLiteral("N"));
    EXPECT_EQ(m.kind, kMsgErro);
    EXPECT_EQ(m.extra, QString());
    EXPECT_EQ(m.esquema, QStringLiteral("002"));
    EXPECT_EQ(m.number, 0);
    EXPECT_EQ(m.dataset, nullptr);

    EXPECT_EQ(form->registration().consumer.stOperacao, QString());
    EXPECT_EQ(form->registration().consumer.stIdSexoCons, QString());
    for (const char* name : kRecordLabels)
        EXPECT_EQ(text(name), QString()) << name;
    EXPECT_EQ(text("lblTipovenda"), QString());
    EXPECT_EQ(text("lblNomeCliente"), QStringLiteral("Hotel Beira Mar"));
    EXPECT_EQ(text("lblTipoCons"), QStringLiteral("FUNCIONARIO"));
    for (const char* image : kOptionImages)
        EXPECT_TRUE(marked(image)) << image;
    EXPECT_TRUE(marked("imgFeminino"));
    EXPECT_TRUE(marked("imgMasculino"));
    EXPECT_EQ(form->activeField(), 2);
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(false));
}

} // namespace
} // namespace cadcons::test
