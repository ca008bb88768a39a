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

TEST_F(InicializaFormTest, BirthDateShowsTheTimeOnlyWhenThereIsOne) {
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"'1985-03-12 00:00:00'", "12/03/1985"},
        {"'1985-03-12 14:05:09'", "12/03/1985 14:05:09"},
        {"'1985-03-12 00:00:01'", "12/03/1985 00:00:01"},
        {"NULL", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        exec(QStringLiteral("UPDATE CONSUMIDOR SET DTNASCCONS = %1 WHERE CDCLIENTE = '000000000000000000001' AND "
                            "CDCONSUMIDOR = '000000000000000000001'")
                 .arg(QLatin1String(c.stored)));
        initialize(QStringLiteral("1"), QString(), kHotel, QString());
        EXPECT_EQ(text("lblNasc"), QLatin1String(c.shown));
    }
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

TEST_F(InicializaFormTest, ACodeWithoutStoredRecordOpensANewConsumer) {
    const struct {
        const char* code;
        const char* shown;
    } cases[] = {{"999", "000000000000000000999"}, {"", ""}, {"000000000000000000999", "000000000000000000999"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        initialize(QLatin1String(c.code), QString(), kHotel, QStringLiteral("A"));
        EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
        EXPECT_EQ(text("lblCodCons"), QLatin1String(c.shown));
        EXPECT_EQ(form->registration().consumer.stCdConsumidor, QLatin1String(c.code));
        EXPECT_EQ(form->activeField(), 2);
    }
}

TEST_F(InicializaFormTest, TheCallersCustomerOverridesTheParameterFileUnlessBlank) {
    const struct {
        QString argument;
        QString customer;
        const char* name;
    } cases[] = {
        {kMetalurgica, kMetalurgica, "Metalúrgica São João"},
        {QString(), kHotel, "Hotel Beira Mar"},
        {QStringLiteral("   "), kHotel, "Hotel Beira Mar"},
        {QStringLiteral("000000000000000000099"), QStringLiteral("000000000000000000099"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        initialize(QString(), QString(), c.argument, QString());
        EXPECT_EQ(form->registration().consumer.stCdCliente, c.customer);
        EXPECT_EQ(text("lblNomeCliente"), QString::fromUtf8(c.name));
    }
}

TEST_F(InicializaFormTest, DefaultConsumerTypeComesFromTheBranchElseFromTheParameterFile) {
    const struct {
        const char* branch;
        const char* tipoCons;
        const char* name;
    } cases[] = {{"0001", "01", "FUNCIONARIO"}, {"0009", "03", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.branch);
        writeParameters({{QStringLiteral("CDFILIAL"), QLatin1String(c.branch)},
                         {QStringLiteral("CDTIPOCONS"), QStringLiteral("03")}});
        initialize(QString(), QString(), QString(), QString());
        EXPECT_EQ(form->registration().consumer.stCdTipoCons, QLatin1String(c.tipoCons));
        EXPECT_EQ(text("lblTipoCons"), QLatin1String(c.name));
    }
}

TEST_F(InicializaFormTest, DefaultSaleTypeOutsideTheListIsKeptButNotShown) {
    exec(QStringLiteral("UPDATE PARAVEND SET IDTPVENDACONS = '9'"));
    initialize(QString(), QString(), QString(), QString());
    EXPECT_EQ(form->registration().consumer.stCdTipoVenda, QStringLiteral("9"));
    EXPECT_EQ(text("lblTipovenda"), QString());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(InicializaFormTest, FiscalPrinterParameterReachesTheFooter) {
    writeParameters({{QStringLiteral("UTILIZAIMPFIS"), true}});
    initialize(QString(), QString(), QString(), QString());
    EXPECT_TRUE(form->registration().boUtilizaImpFis);
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(true));
}

TEST_F(InicializaFormTest, WithoutParameterFileAndCustomerListTheFormStillOpens) {
    ASSERT_TRUE(QFile::remove(parameterFile()));
    ASSERT_TRUE(QFile::remove(customerFile()));
    initialize(QString(), QString(), QString(), QString());
    EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
    for (const QString& value : {form->registration().stCdFilial, form->registration().stIdEsquema,
                                 form->registration().stCdCcusClie, form->registration().consumer.stCdTipoCons,
                                 form->registration().consumer.stCdCliente, form->registration().stStProcessamento,
                                 form->registration().stIdSenConsCentral, form->registration().consumer.stCdTipoVenda})
        EXPECT_EQ(value, QString());
    EXPECT_FALSE(form->registration().boUtilizaImpFis);
    EXPECT_EQ(text("lblNomeCliente"), QString());
    EXPECT_EQ(text("lblTipoCons"), QString());
    EXPECT_FALSE(form->registration().lists.cdsClienFilial.active());
    EXPECT_EQ(form->registration().lists.cdsClienFilial.recordCount(), 0);
    EXPECT_EQ(form->activeField(), 2);
    EXPECT_EQ(text("lblCodTela"), fixtureFooter(false));
}

TEST_F(InicializaFormTest, HostFileNamesAreFoundWhateverTheirCase) {
    ASSERT_TRUE(QFile::rename(parameterFile(), hostDir() + QStringLiteral("parametroskiv.cds")));
    ASSERT_TRUE(QDir(hostDir()).rename(QStringLiteral("Dados"), QStringLiteral("DADOS")));
    ASSERT_TRUE(QFile::rename(hostDir() + QStringLiteral("DADOS/Cadastros/Cad_Cliente.cds"),
                              hostDir() + QStringLiteral("DADOS/Cadastros/CAD_CLIENTE.CDS")));
    initialize(QString(), QString(), QString(), QString());
    EXPECT_EQ(form->registration().stCdFilial, QStringLiteral("0001"));
    EXPECT_EQ(form->registration().lists.cdsClienFilial.recordCount(), 3);
}

TEST_F(InicializaFormTest, TheExactlyNamedParameterFileWinsOverOtherCases) {
    DataPacket other = readPacketFile(parameterFile());
    other.rows[0][other.fieldIndex(QStringLiteral("CDFILIAL"))] = QStringLiteral("0002");
    writePacketFile(other, hostDir() + QStringLiteral("parametroskiv.cds"));
    initialize(QString(), QString(), QString(), QString());
    EXPECT_EQ(form->registration().stCdFilial, QStringLiteral("0001"));
}

TEST_F(InicializaFormTest, AParameterFileWithoutOneOfItsFieldsStopsTheInitialization) {
    const char* const fields[] = {"CDFILIAL",        "CDLOJA",        "IDESQUEMA",       "CDCCUSCLIE",
                                  "CDTIPOCONS",      "CDCLIENTE",     "STPROCESSAMENTO", "UTILIZAIMPFIS",
                                  "IDEXCONSATFIL",   "IDEXCONSATGER", "IDIMPMERCBOCA",   "IDBLOQCDIDCONS",
                                  "IDSENCONSCENTRAL"};
    for (const char* field : fields) {
        SCOPED_TRACE(field);
        writeParameters({}, QLatin1String(field));
        newForm();
        try {
            form->InicializaForm(QString(), QString(), QString(), QString());
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            const QString what = QString::fromUtf8(e.what());
            EXPECT_TRUE(what.contains(QLatin1String(field))) << e.what();
            EXPECT_TRUE(what.contains(parameterFile())) << e.what();
        }
        // Nothing of the bad file is taken.
        EXPECT_EQ(form->registration().stCdFilial, QString());
        EXPECT_EQ(form->registration().stIdEsquema, QString());
        EXPECT_EQ(form->registration().consumer.stOperacao, QString());
    }
}

TEST_F(InicializaFormTest, AnUnreadableParameterFileStopsTheInitialization) {
    QFile file(parameterFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("not a data packet");
    file.close();
    EXPECT_THROW(initialize(QString(), QString(), QString(), QString()), std::exception);
}

TEST_F(InicializaFormTest, CentralServiceRefusingLeavesTheFormEmptyWithOneMessage) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    scriptCentral(false);
    initialize(QStringLiteral("1"), QString(), kHotel, QString());

    ASSERT_EQ(centralCalls.size(), 1);
    EXPECT_EQ(centralCalls[0].arguments, QStringList({"0001", kHotel, "1", "X", "1", "1", "GET_CONS"}));
    EXPECT_EQ(centralCalls[0].answerSize, 1);

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

// The central service's record is the one used; the customer stays the caller's.
TEST_F(InicializaFormTest, CentralServiceRecordOpensTheConsumerForEditing) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    const auto storedRecord = [] {
        DataPacket packet = std::get<DataPacket>(getDadosConsumidor(test::formService(), kHotel, QStringLiteral("1")));
        packet.rows[0][packet.fieldIndex(QStringLiteral("CDCLIENTE"))] = kMetalurgica;
        return packet;
    };
    const struct {
        const char* as;
        std::function<QVariant()> element0;
    } forms[] = {
        {"packet", [&] { return QVariant::fromValue(storedRecord()); }},
        {"packet XML", [&] { return QVariant(writePacketXml(storedRecord())); }},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.as);
        messages.clear();
        scriptCentral(true, f.element0);
        initialize(QStringLiteral("1"), QString(), kHotel, QString());
        EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
        EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));
        EXPECT_EQ(text("lblNome"), QStringLiteral("MARIA APARECIDA DOS SANTOS"));
        EXPECT_EQ(text("lblNasc"), QStringLiteral("12/03/1985"));
        EXPECT_EQ(form->registration().consumer.stCdCliente, kHotel);
    }
}

TEST_F(InicializaFormTest, CentralServiceAnswersThatHoldNoRecord) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    // An empty packet: a new consumer.
    scriptCentral(true, [] {
        DataPacket packet =
            std::get<DataPacket>(getDadosConsumidor(test::formService(), kHotel, QStringLiteral("999")));
        return QVariant::fromValue(packet);
    });
    initialize(QStringLiteral("999"), QString(), kHotel, QString());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
    // Nothing usable: reported, and the form opens as after any failure there.
    scriptCentral(true, [] { return QVariant(42); });
    initialize(QStringLiteral("1"), QString(), kHotel, QString());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("SenhaConsCentral")));
    EXPECT_EQ(form->registration().consumer.stOperacao, QString());
}

// Each read goes through MensagemMetodo under its own operation and module name; its error is shown
// once. Before the stored record it stops the initialization; from the stored record on, the form
// still opens.
TEST_F(InicializaFormTest, AServiceErrorIsShownOnceUnderTheOperationsName) {
    const struct {
        const char* sabotage;
        const char* details;
        bool stops;
    } cases[] = {
        {"DROP TABLE CLIENTE", "Lum52816.getNomeCliente (000000000000000000001)", true},
        {"DROP TABLE PARAVEND", "Lum52816.getTipoConsPadrao (0001)", true},
        {"DROP TABLE MUNICIPIO", "Cli_Lum52816.getMunicipio", true},
        {"DROP TABLE ESTADO", "Cli_Lum52816.getEstado", true},
        {"DROP TABLE PAIS", "Cli_Lum52816.getPais", true},
        {"DROP TABLE BAIRRO", "Cli_Lum52816.getBairro   ", true},
        {"ALTER TABLE PARAVEND DROP COLUMN IDTPVENDACONS", "Cli_Lum52816.getParaVend (0001)", true},
        {"DROP TABLE CONSUMIDOR", "Cli_Lum52816.getDadosConsumidor (000000000000000000001-1)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sabotage);
        ASSERT_NO_FATAL_FAILURE(recreateDatabase());
        messages.clear();
        exec(QLatin1String(c.sabotage));
        newForm();
        if (c.stops) {
            EXPECT_THROW(form->InicializaForm(QStringLiteral("1"), QString(), kHotel, QString()), ShownError);
        } else {
            EXPECT_NO_THROW(form->InicializaForm(QStringLiteral("1"), QString(), kHotel, QString()));
            EXPECT_EQ(form->activeField(), 2);
            EXPECT_EQ(text("lblCodTela"), fixtureFooter(false));
        }
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].details, QLatin1String(c.details));
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_EQ(messages[0].esquema, QStringLiteral("001"));
        EXPECT_EQ(form->registration().consumer.stOperacao, QString());
    }
}

TEST_F(InicializaFormTest, AConnectionThatCannotOpenStopsTheInitializationAndTheNextCallRetries) {
    const QByteArray good = qgetenv("CADCONS_CONNECTION");
    qputenv("CADCONS_CONNECTION",
            QStringLiteral("Provider=QSQLITE;Data Source=%1no-such-dir/x.db").arg(hostDir()).toUtf8());
    EXPECT_THROW(initialize(QString(), QString(), QString(), QString()), std::exception);
    qputenv("CADCONS_CONNECTION", good);
    initialize(QString(), QString(), QString(), QString());
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("1"));
}

TEST_F(InicializaFormTest, TheDataServiceObjectServesEveryCall) {
    initialize(QString(), QString(), QString(), QString());
    TrdmCadConsumidor* first = &form->registration().service();
    EXPECT_TRUE(first->connected());
    initialize(QStringLiteral("1"), QString(), kHotel, QString());
    EXPECT_EQ(&form->registration().service(), first);
    EXPECT_EQ(form->registration().consumer.stOperacao, QStringLiteral("2"));
}

TEST_F(InicializaFormTest, SecretsOfAnEarlierOpeningAreNotInherited) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET DIGICONSUMIDOR = 'stored', DIGICONSUMIDOR2 = 'stored' "
                        "WHERE CDCLIENTE = '000000000000000000001' AND CDCONSUMIDOR = '000000000000000000001'"));
    const struct {
        const char* code;
        const char* digital;
    } cases[] = {{"", ""}, {"999", ""}, {"1", "stored"}};
    initialize(QString(), QString(), kHotel, QString());
    Registration& r = form->registration();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        r.stCDSENHACONS = r.stCDSENHASITE = r.stDigital = r.stDigital2 = QStringLiteral("earlier");
        form->InicializaForm(QLatin1String(c.code), QString(), kHotel, QString());
        EXPECT_EQ(r.stCDSENHACONS, QString());
        EXPECT_EQ(r.stCDSENHASITE, QString());
        EXPECT_EQ(r.stDigital, QLatin1String(c.digital));
        EXPECT_EQ(r.stDigital2, QLatin1String(c.digital));
    }
    // Even when the opening stops early.
    r.stCDSENHACONS = r.stDigital = QStringLiteral("earlier");
    writeParameters({}, QStringLiteral("CDLOJA"));
    EXPECT_THROW(form->InicializaForm(QString(), QString(), QString(), QString()), std::exception);
    EXPECT_EQ(r.stCDSENHACONS, QString());
    EXPECT_EQ(r.stDigital, QString());
}

TEST_F(InicializaFormTest, PickListsShowTheirColumnsUnderTheirOwnTitles) {
    initialize(QString(), QString(), QString(), QString());
    const struct {
        const ClientDataSet* dataset;
        const char* field;
        const char* label;
        bool visible;
    } columns[] = {
        {&form->registration().lists.cdsClienFilial, "CDCLIENTE", "CDCLIENTE", false},
        {&form->registration().lists.cdsClienFilial, "NRINSJURCLIE", "Inscrição", true},
        {&form->registration().lists.cdsClienFilial, "NMRAZSOCCLIE", "Razão Social", false},
        {&form->registration().lists.cdsClienFilial, "NMFANTCLIE", "Nome Fantasia", true},
        {&form->registration().lists.cdsMunicipio, "CDPAIS", "Pais", false},
        {&form->registration().lists.cdsMunicipio, "NMMUNICIPIO", "Nome", true},
        {&form->registration().lists.cdsEstado, "SGESTADO", "Sigla", true},
        {&form->registration().lists.cdsPais, "CDPAIS", "Código", true},
        {&form->registration().lists.cdsBairro, "CDPAIS", "País", true},
        {&form->registration().lists.cdsBairro, "CDMUNICIPIO", "Cidade", true},
        {&form->registration().lists.cdsTipoVenda, "CDTIPOVENDA", "Código", true},
        {&form->registration().lists.cdsTipoConsPadrao, "CDTIPOCONS", "Código", true},
    };
    for (const auto& c : columns) {
        const FieldDisplay display = c.dataset->display(QLatin1String(c.field));
        EXPECT_EQ(display.label, QString::fromUtf8(c.label)) << c.dataset->name().toStdString() << "." << c.field;
        EXPECT_EQ(display.visible, c.visible) << c.dataset->name().toStdString() << "." << c.field;
    }
    EXPECT_EQ(form->registration().lists.cdsMunicipio.display(QStringLiteral("NMMUNICIPIO")).width, 50);
}

} // namespace
} // namespace cadcons::test
