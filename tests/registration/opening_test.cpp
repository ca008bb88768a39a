#include "core_fixture.h"
#include "platform/packet_file.h"
#include "service/rdm_cad_consumidor.h"

#include <QDir>
#include <QFile>

namespace cadcons::test {
namespace {

using namespace registration;

// The opening on its own: what it reads from the host directory and the database, what each field and
// setting starts with, and how it stops.
using OpeningTest = CoreTest;
INSTANTIATE_TEST_SUITE_P(Backends, OpeningTest, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         backendName);

TEST_P(OpeningTest, BirthDateShowsTheTimeOnlyWhenThereIsOne) {
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
        open(QStringLiteral("1"), kCliente1, QString());
        EXPECT_EQ(r->fieldText(Nasc), QLatin1String(c.shown));
    }
}

TEST_P(OpeningTest, ACodeWithoutStoredRecordOpensANewConsumer) {
    const struct {
        const char* code;
        const char* shown;
    } cases[] = {{"999", "000000000000000000999"}, {"", ""}, {"000000000000000000999", "000000000000000000999"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        open(QLatin1String(c.code), kCliente1, QStringLiteral("A"));
        EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("1"));
        EXPECT_EQ(r->fieldText(CodCons), QLatin1String(c.shown));
        EXPECT_EQ(r->consumer.stCdConsumidor, QLatin1String(c.code));
        EXPECT_EQ(active(), 2);
    }
}

TEST_P(OpeningTest, TheCallersCustomerOverridesTheParameterFileUnlessBlank) {
    const struct {
        QString argument;
        QString customer;
        const char* name;
    } cases[] = {
        {kCliente2, kCliente2, "Metalúrgica São João"},
        {QString(), kCliente1, "Hotel Beira Mar"},
        {QStringLiteral("   "), kCliente1, "Hotel Beira Mar"},
        {QStringLiteral("000000000000000000099"), QStringLiteral("000000000000000000099"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        open(QString(), c.argument, QString());
        EXPECT_EQ(r->consumer.stCdCliente, c.customer);
        EXPECT_EQ(r->fieldText(Cliente), QString::fromUtf8(c.name));
    }
}

TEST_P(OpeningTest, DefaultConsumerTypeComesFromTheBranchElseFromTheParameterFile) {
    const struct {
        const char* branch;
        const char* tipoCons;
        const char* name;
    } cases[] = {{"0001", "01", "FUNCIONARIO"}, {"0009", "03", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.branch);
        writeParameters({{QStringLiteral("CDFILIAL"), QLatin1String(c.branch)},
                         {QStringLiteral("CDTIPOCONS"), QStringLiteral("03")}});
        open(QString(), QString(), QString());
        EXPECT_EQ(r->consumer.stCdTipoCons, QLatin1String(c.tipoCons));
        EXPECT_EQ(r->fieldText(TipoCons), QLatin1String(c.name));
    }
}

TEST_P(OpeningTest, DefaultSaleTypeOutsideTheListIsKeptButNotShown) {
    exec(QStringLiteral("UPDATE PARAVEND SET IDTPVENDACONS = '9'"));
    open(QString(), QString(), QString());
    EXPECT_EQ(r->consumer.stCdTipoVenda, QStringLiteral("9"));
    EXPECT_EQ(r->fieldText(TipoVenda), QString());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_P(OpeningTest, WithoutParameterFileAndCustomerListTheFormStillOpens) {
    ASSERT_TRUE(QFile::remove(parameterFile()));
    ASSERT_TRUE(QFile::remove(customerFile()));
    open(QString(), QString(), QString());
    EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
    EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("1"));
    for (const QString& value :
         {r->stCdFilial, r->stIdEsquema, r->stCdCcusClie, r->consumer.stCdTipoCons, r->consumer.stCdCliente,
          r->stStProcessamento, r->stIdSenConsCentral, r->consumer.stCdTipoVenda})
        EXPECT_EQ(value, QString());
    EXPECT_FALSE(r->boUtilizaImpFis);
    EXPECT_EQ(r->fieldText(Cliente), QString());
    EXPECT_EQ(r->fieldText(TipoCons), QString());
    EXPECT_FALSE(r->lists.cdsClienFilial.active());
    EXPECT_EQ(r->lists.cdsClienFilial.recordCount(), 0);
    EXPECT_EQ(active(), 2);
}

TEST_P(OpeningTest, HostFileNamesAreFoundWhateverTheirCase) {
    ASSERT_TRUE(QFile::rename(parameterFile(), hostDir() + QStringLiteral("parametroskiv.cds")));
    ASSERT_TRUE(QDir(hostDir()).rename(QStringLiteral("Dados"), QStringLiteral("DADOS")));
    ASSERT_TRUE(QFile::rename(hostDir() + QStringLiteral("DADOS/Cadastros/Cad_Cliente.cds"),
                              hostDir() + QStringLiteral("DADOS/Cadastros/CAD_CLIENTE.CDS")));
    open(QString(), QString(), QString());
    EXPECT_EQ(r->stCdFilial, QStringLiteral("0001"));
    EXPECT_EQ(r->lists.cdsClienFilial.recordCount(), 3);
}

TEST_P(OpeningTest, TheExactlyNamedParameterFileWinsOverOtherCases) {
    DataPacket other = readPacketFile(parameterFile());
    other.rows[0][other.fieldIndex(QStringLiteral("CDFILIAL"))] = QStringLiteral("0002");
    writePacketFile(other, hostDir() + QStringLiteral("parametroskiv.cds"));
    open(QString(), QString(), QString());
    EXPECT_EQ(r->stCdFilial, QStringLiteral("0001"));
}

TEST_P(OpeningTest, AParameterFileWithoutOneOfItsFieldsStopsTheInitialization) {
    const char* const fields[] = {"CDFILIAL",        "CDLOJA",        "IDESQUEMA",       "CDCCUSCLIE",
                                  "CDTIPOCONS",      "CDCLIENTE",     "STPROCESSAMENTO", "UTILIZAIMPFIS",
                                  "IDEXCONSATFIL",   "IDEXCONSATGER", "IDIMPMERCBOCA",   "IDBLOQCDIDCONS",
                                  "IDSENCONSCENTRAL"};
    for (const char* field : fields) {
        SCOPED_TRACE(field);
        writeParameters({}, QLatin1String(field));
        make();
        try {
            r->InicializaForm(QString(), QString(), QString(), QString());
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            const QString what = QString::fromUtf8(e.what());
            EXPECT_TRUE(what.contains(QLatin1String(field))) << e.what();
            EXPECT_TRUE(what.contains(parameterFile())) << e.what();
        }
        // Nothing of the bad file is taken.
        EXPECT_EQ(r->stCdFilial, QString());
        EXPECT_EQ(r->stIdEsquema, QString());
        EXPECT_EQ(r->consumer.stOperacao, QString());
    }
}

TEST_P(OpeningTest, AnUnreadableParameterFileStopsTheInitialization) {
    QFile file(parameterFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("not a data packet");
    file.close();
    EXPECT_THROW(open(QString(), QString(), QString()), std::exception);
}

// The central service's record is the one used; the customer stays the caller's.
TEST_P(OpeningTest, CentralServiceRecordOpensTheConsumerForEditing) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    const auto storedRecord = [] {
        DataPacket packet =
            std::get<DataPacket>(getDadosConsumidor(test::formService(), kCliente1, QStringLiteral("1")));
        packet.rows[0][packet.fieldIndex(QStringLiteral("CDCLIENTE"))] = kCliente2;
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
        open(QStringLiteral("1"), kCliente1, QString());
        EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
        EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("2"));
        EXPECT_EQ(r->fieldText(Nome), QStringLiteral("MARIA APARECIDA DOS SANTOS"));
        EXPECT_EQ(r->fieldText(Nasc), QStringLiteral("12/03/1985"));
        EXPECT_EQ(r->consumer.stCdCliente, kCliente1);
    }
}

TEST_P(OpeningTest, CentralServiceAnswersThatHoldNoRecord) {
    writeParameters({{QStringLiteral("IDSENCONSCENTRAL"), QStringLiteral("S")}});
    // An empty packet: a new consumer.
    scriptCentral(true, [] {
        DataPacket packet =
            std::get<DataPacket>(getDadosConsumidor(test::formService(), kCliente1, QStringLiteral("999")));
        return QVariant::fromValue(packet);
    });
    open(QStringLiteral("999"), kCliente1, QString());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("1"));
    // Nothing usable: reported, and the form opens as after any failure there.
    scriptCentral(true, [] { return QVariant(42); });
    open(QStringLiteral("1"), kCliente1, QString());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("SenhaConsCentral")));
    EXPECT_EQ(r->consumer.stOperacao, QString());
}

// Each read goes through MensagemMetodo under its own operation and module name; its error is shown
// once. Before the stored record it stops the initialization; from the stored record on, the form
// still opens.
TEST_P(OpeningTest, AServiceErrorIsShownOnceUnderTheOperationsName) {
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
        make();
        if (c.stops) {
            EXPECT_THROW(r->InicializaForm(QStringLiteral("1"), QString(), kCliente1, QString()), ShownError);
        } else {
            EXPECT_NO_THROW(r->InicializaForm(QStringLiteral("1"), QString(), kCliente1, QString()));
            EXPECT_EQ(active(), 2);
        }
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].details, QLatin1String(c.details));
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_EQ(messages[0].esquema, QStringLiteral("001"));
        EXPECT_EQ(r->consumer.stOperacao, QString());
    }
}

TEST_P(OpeningTest, AConnectionThatCannotOpenStopsTheInitializationAndTheNextCallRetries) {
    const QByteArray good = qgetenv("CADCONS_CONNECTION");
    qputenv("CADCONS_CONNECTION",
            QStringLiteral("Provider=QSQLITE;Data Source=%1no-such-dir/x.db").arg(hostDir()).toUtf8());
    EXPECT_THROW(open(QString(), QString(), QString()), std::exception);
    qputenv("CADCONS_CONNECTION", good);
    open(QString(), QString(), QString());
    EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("1"));
}

TEST_P(OpeningTest, TheDataServiceObjectServesEveryCall) {
    open(QString(), QString(), QString());
    TrdmCadConsumidor* first = &r->service();
    EXPECT_TRUE(first->connected());
    open(QStringLiteral("1"), kCliente1, QString());
    EXPECT_EQ(&r->service(), first);
    EXPECT_EQ(r->consumer.stOperacao, QStringLiteral("2"));
}

TEST_P(OpeningTest, SecretsOfAnEarlierOpeningAreNotInherited) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET DIGICONSUMIDOR = 'stored', DIGICONSUMIDOR2 = 'stored' "
                        "WHERE CDCLIENTE = '000000000000000000001' AND CDCONSUMIDOR = '000000000000000000001'"));
    const struct {
        const char* code;
        const char* digital;
    } cases[] = {{"", ""}, {"999", ""}, {"1", "stored"}};
    open(QString(), kCliente1, QString());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        r->stCDSENHACONS = r->stCDSENHASITE = r->stDigital = r->stDigital2 = QStringLiteral("earlier");
        r->InicializaForm(QLatin1String(c.code), QString(), kCliente1, QString());
        EXPECT_EQ(r->stCDSENHACONS, QString());
        EXPECT_EQ(r->stCDSENHASITE, QString());
        EXPECT_EQ(r->stDigital, QLatin1String(c.digital));
        EXPECT_EQ(r->stDigital2, QLatin1String(c.digital));
    }
    // Even when the opening stops early.
    r->stCDSENHACONS = r->stDigital = QStringLiteral("earlier");
    writeParameters({}, QStringLiteral("CDLOJA"));
    EXPECT_THROW(r->InicializaForm(QString(), QString(), QString(), QString()), std::exception);
    EXPECT_EQ(r->stCDSENHACONS, QString());
    EXPECT_EQ(r->stDigital, QString());
}

TEST_P(OpeningTest, PickListsShowTheirColumnsUnderTheirOwnTitles) {
    open(QString(), QString(), QString());
    const struct {
        const ClientDataSet* dataset;
        const char* field;
        const char* label;
        bool visible;
    } columns[] = {
        {&r->lists.cdsClienFilial, "CDCLIENTE", "CDCLIENTE", false},
        {&r->lists.cdsClienFilial, "NRINSJURCLIE", "Inscrição", true},
        {&r->lists.cdsClienFilial, "NMRAZSOCCLIE", "Razão Social", false},
        {&r->lists.cdsClienFilial, "NMFANTCLIE", "Nome Fantasia", true},
        {&r->lists.cdsMunicipio, "CDPAIS", "Pais", false},
        {&r->lists.cdsMunicipio, "NMMUNICIPIO", "Nome", true},
        {&r->lists.cdsEstado, "SGESTADO", "Sigla", true},
        {&r->lists.cdsPais, "CDPAIS", "Código", true},
        {&r->lists.cdsBairro, "CDPAIS", "País", true},
        {&r->lists.cdsBairro, "CDMUNICIPIO", "Cidade", true},
        {&r->lists.cdsTipoVenda, "CDTIPOVENDA", "Código", true},
        {&r->lists.cdsTipoConsPadrao, "CDTIPOCONS", "Código", true},
    };
    for (const auto& c : columns) {
        const FieldDisplay display = c.dataset->display(QLatin1String(c.field));
        EXPECT_EQ(display.label, QString::fromUtf8(c.label)) << c.dataset->name().toStdString() << "." << c.field;
        EXPECT_EQ(display.visible, c.visible) << c.dataset->name().toStdString() << "." << c.field;
    }
    EXPECT_EQ(r->lists.cdsMunicipio.display(QStringLiteral("NMMUNICIPIO")).width, 50);
}

} // namespace
} // namespace cadcons::test
