#include "http_stub.h"
#include "lookup_fixture.h"
#include "service/list_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <memory>

namespace cadcons::test {
namespace {

QByteArray dataFile(const char* name) {
    QFile file(QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << name;
    return file.readAll();
}

// A reply of the service's shape, in UTF-8.
QByteArray xmlReply(const QString& uf, const QString& localidade, const QString& bairro, const QString& logradouro) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xmlcep>\n  <cep>00000-000</cep>\n"
                          "  <logradouro>%4</logradouro>\n  <bairro>%3</bairro>\n  <localidade>%2</localidade>\n"
                          "  <uf>%1</uf>\n</xmlcep>\n")
        .arg(uf, localidade, bairro, logradouro)
        .toUtf8();
}

QString path(const char* cep) {
    return QStringLiteral("/ws/%1/xml/").arg(QLatin1String(cep));
}

// The address as the form shows and keeps it: street, country, state, city, neighbourhood.
struct Address {
    QString endereco, pais, cdPais, uf, sgEstado, cidade, cdMunicipio, bairro, nmBairro;
    bool operator==(const Address&) const = default;
};

void PrintTo(const Address& a, std::ostream* os) {
    *os << '{'
        << QStringList{a.endereco, a.pais, a.cdPais, a.uf, a.sgEstado, a.cidade, a.cdMunicipio, a.bairro, a.nmBairro}
               .join(QStringLiteral(" | "))
               .toStdString()
        << '}';
}

// What the operator had on screen before leaving the postal-code field.
const Address kTyped = {"Rua Velha", "Argentina", "0054", "BA", "BA", "CORDOBA", "0099", "NUEVA", "NUEVA"};

class CepLookupTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        stub = std::make_unique<HttpStub>();
        qputenv("CADCONS_CEP_URL", stub->baseUrl().toUtf8());
    }
    void TearDown() override {
        stub.reset();
        LookupTest::TearDown();
    }

    Address address() const {
        return {form->fieldText(6),
                form->fieldText(7),
                form->registration().consumer.stCdPais,
                form->fieldText(8),
                form->registration().consumer.stSgEstado,
                form->fieldText(9),
                form->registration().consumer.stCdMunicipio,
                form->fieldText(10),
                form->registration().consumer.stNmBairCons};
    }
    void setAddress(const Address& a) {
        form->setFieldText(6, a.endereco);
        form->setFieldText(7, a.pais);
        form->registration().consumer.stCdPais = a.cdPais;
        form->setFieldText(8, a.uf);
        form->registration().consumer.stSgEstado = a.sgEstado;
        form->setFieldText(9, a.cidade);
        form->registration().consumer.stCdMunicipio = a.cdMunicipio;
        form->setFieldText(10, a.bairro);
        form->registration().consumer.stNmBairCons = a.nmBairro;
    }

    // A new consumer with an address typed, the postal code typed into its field and the field active.
    void typeCep(const QString& cep) {
        if (!form)
            newConsumer();
        setAddress(kTyped);
        form->setFieldText(11, cep);
        form->selectField(11);
        form->mudaCor();
    }
    // Leaves the postal-code field with Enter, as the operator does.
    void enter() { QTest::keyClick(form.get(), Qt::Key_Return); }

    // Looks `cep` up with the stub answering `reply`; returns how long the look-up took.
    qint64 lookUp(const char* cep, CannedReply reply) {
        stub->answer(path(cep), std::move(reply));
        typeCep(QLatin1String(cep));
        QElapsedTimer clock;
        clock.start();
        form->lookups().BuscaEnderecoCEP();
        return clock.elapsed();
    }

    std::unique_ptr<HttpStub> stub;
};

TEST_F(CepLookupTest, AKnownCodeIsFilledFromTheLocalTableWhateverItsLength) {
    exec(QStringLiteral("INSERT INTO CEP (NRCEP, DSLOGCEP, CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO) "
                        "VALUES ('3014', 'Rua Curta', '0055', 'MG', '0001', '0002')"));
    const struct {
        const char* cep;
        Address filled;
    } cases[] = {
        {"01001000", {"Praça da Sé", "Brasil", "0055", "SP", "SP", "SAO PAULO", "0001", "SE", kTyped.nmBairro}},
        {"3014", {"Rua Curta", "Brasil", "0055", "MG", "MG", "BELO HORIZONTE", "0001", "SAVASSI", kTyped.nmBairro}},
        {"64535000", // a neighbourhood wider than the consumer's column
         {"Rua Principal", "Brasil", "0055", "PI", "PI", "SAO FRANCISCO DE ASSIS DO PIAU", "0003",
          "CONJUNTO HABITACIONAL PRESIDEN", kTyped.nmBairro}},
    };
    for (const auto& c : cases) {
        typeCep(QLatin1String(c.cep));
        enter();
        EXPECT_EQ(address(), c.filled) << c.cep;
        EXPECT_EQ(form->registration().stUltimoCep, QLatin1String(c.cep));
        EXPECT_EQ(form->activeField(), 6); // Enter moves on after the look-up
    }
    EXPECT_EQ(stub->requests(), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CepLookupTest, AServiceErrorIsReportedAndFillsNothing) {
    newConsumer();
    exec(QStringLiteral("DROP TABLE CEP"));
    typeCep(QStringLiteral("01001999"));
    enter();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_TRUE(messages[0].details.contains("getInfCEP")) << messages[0].details.toStdString();
    EXPECT_TRUE(messages[0].details.contains("01001999_")) << messages[0].details.toStdString();
    EXPECT_EQ(address(), kTyped);
    EXPECT_EQ(form->registration().stUltimoCep, "");
    EXPECT_EQ(stub->requests(), 0);
}

TEST_F(CepLookupTest, CodesTheWebIsNotAskedFor) {
    stub->answer(path("1234567"), {200, xmlReply("SP", "Sao Paulo", "Se", "Rua Errada"), 0, false});
    const char* const codes[] = {"1234567", "123456789", "   ", ""};
    for (const char* cep : codes) {
        typeCep(QLatin1String(cep));
        form->registration().stUltimoCep = QStringLiteral("earlier");
        form->lookups().BuscaEnderecoCEP();
        EXPECT_EQ(address(), kTyped) << cep;
        EXPECT_EQ(form->registration().stUltimoCep, "earlier") << cep;
    }
    EXPECT_EQ(stub->requests(), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CepLookupTest, AnUnknownCodeIsAskedForOnceUntilAnotherCodeIsLookedUp) {
    stub->answer(path("99999999"), {200, dataFile("cep-not-found.xml"), 0, false});
    typeCep(QStringLiteral("99999999"));
    enter();
    typeCep(QStringLiteral("99999999"));
    enter();
    EXPECT_EQ(stub->requests(path("99999999")), 1);
    EXPECT_EQ(form->registration().stUltimoCep, "99999999");

    typeCep(QStringLiteral("01001000")); // known locally
    enter();
    typeCep(QStringLiteral("99999999"));
    enter();
    EXPECT_EQ(stub->requests(path("99999999")), 2);
    EXPECT_EQ(stub->requests(), 2);
}

TEST_F(CepLookupTest, GoodRepliesAreReadByTheirDeclaredEncoding) {
    const QStringList filesBefore = QDir(hostDir()).entryList(QDir::Files);
    const struct {
        const char* file;
        Address filled;
    } cases[] = {
        // "Sé" finds the neighbourhood "SE" of the city.
        {"cep-found-utf8.xml", {"Praca da Se", "Brasil", "0055", "SP", "SP", "SAO PAULO", "0001", "SE", "SE"}},
        // The state comes in lower case; the list's abbreviation is shown.
        {"cep-found-latin1.xml",
         {"Praca Sete de Setembro", "Brasil", "0055", "MG", "MG", "BELO HORIZONTE", "0001", "CENTRO", "CENTRO"}},
    };
    for (const auto& c : cases) {
        lookUp("01001999", {200, dataFile(c.file), 0, false});
        EXPECT_EQ(address(), c.filled) << c.file;
        form.reset(); // a new form: the same code again
    }
    EXPECT_EQ(stub->requests(), 2);
    EXPECT_TRUE(messages.isEmpty());
    // No files left behind by the look-up (the opening keeps the lists beside them).
    QStringList filesAfter = QDir(hostDir()).entryList(QDir::Files);
    filesAfter.removeAll(ListFile::fileName());
    EXPECT_EQ(filesAfter, filesBefore);
}

TEST_F(CepLookupTest, UnknownCodesAndFailedAnswersFillNothing) {
    const QByteArray good = xmlReply("SP", "Sao Paulo", "Se", "Praca da Se");
    const struct {
        const char* what;
        CannedReply reply;
    } cases[] = {
        {"erro true", {200, dataFile("cep-not-found.xml"), 0, false}},
        {"erro \"true\"", {200, "<?xml version=\"1.0\"?><xmlcep><erro>\"true\"</erro></xmlcep>", 0, false}},
        {"empty erro", {200, "<xmlcep><erro/></xmlcep>", 0, false}},
        {"erro beside an address",
         {200, "<xmlcep><uf>SP</uf><localidade>Sao Paulo</localidade><erro>true</erro></xmlcep>", 0, false}},
        {"HTTP 300", {300, good, 0, false}}, // a status the network layer does not count as an error
        {"HTTP 400", {400, good, 0, false}},
        {"HTTP 500", {500, good, 0, false}},
        {"truncated XML", {200, good.left(good.size() - 20), 0, false}},
        {"mismatched tags", {200, "<xmlcep><uf>SP</localidade></xmlcep>", 0, false}},
        {"not XML", {200, "uf=SP&localidade=Sao Paulo", 0, false}},
        {"empty", {200, "", 0, false}},
        {"unknown encoding",
         {200, "<?xml version=\"1.0\" encoding=\"EBCDIC-US\"?><xmlcep><uf>SP</uf></xmlcep>", 0, false}},
        {"over 64 KiB", {200, "<xmlcep><uf>SP</uf><!--" + QByteArray(70000, 'x') + "--></xmlcep>", 0, false}},
    };
    for (const auto& c : cases) {
        lookUp("01001999", c.reply);
        EXPECT_EQ(address(), kTyped) << c.what;
        EXPECT_EQ(form->registration().stUltimoCep, "01001999") << c.what;
        form.reset();
    }
    EXPECT_EQ(stub->requests(), static_cast<int>(std::size(cases)));
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(" / ").toStdString();
}

TEST_F(CepLookupTest, TheWaitEndsWithTheReply) {
    const qint64 elapsed = lookUp("01001999", {200, dataFile("cep-found-utf8.xml"), 80, false});
    EXPECT_EQ(address().cidade, "SAO PAULO");
    EXPECT_LT(elapsed, 700);
}

TEST_F(CepLookupTest, TheWaitIsBoundedAndALateReplyIsNotUsed) {
    const struct {
        const char* what;
        CannedReply reply;
    } cases[] = {
        {"reply after 1.5 s", {200, dataFile("cep-found-utf8.xml"), 1500, false}},
        {"no reply at all", {200, {}, 0, true}},
    };
    for (const auto& c : cases) {
        const qint64 elapsed = lookUp("01001999", c.reply);
        EXPECT_LT(elapsed, 1600) << c.what;
        EXPECT_EQ(address(), kTyped) << c.what;
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << c.what;
        form.reset();
    }
    EXPECT_EQ(stub->requests(), 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CepLookupTest, ARefusedConnectionFillsNothing) {
    qputenv("CADCONS_CEP_URL", "http://127.0.0.1:1"); // nothing listens there
    typeCep(QStringLiteral("01001999"));
    form->lookups().BuscaEnderecoCEP();
    EXPECT_EQ(address(), kTyped);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CepLookupTest, TheFormTakesNoInputWhileItWaits) {
    stub->answer(path("01001999"), {200, dataFile("cep-found-utf8.xml"), 300, false});
    typeCep(QStringLiteral("01001999"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    bool fired = false;
    bool waitCursor = false;
    QWidget* pais = control("bdsPais");
    // Input arriving in the middle of the wait: a digit for the postal code and a touch on the country.
    QTimer::singleShot(50, form.get(), [&] {
        fired = true;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        waitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        QCoreApplication::postEvent(form.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, "5"));
        const QPointF centre = pais->rect().center();
        QCoreApplication::postEvent(pais, new QMouseEvent(QEvent::MouseButtonPress, centre, pais->mapToGlobal(centre),
                                                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(pais, new QMouseEvent(QEvent::MouseButtonRelease, centre, pais->mapToGlobal(centre),
                                                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    form->lookups().BuscaEnderecoCEP();
    EXPECT_TRUE(fired);
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->fieldText(11), "01001999");
    EXPECT_TRUE(offers.isEmpty());
    EXPECT_EQ(form->activeField(), 11);
    EXPECT_EQ(address().cidade, "SAO PAULO");
}

TEST_F(CepLookupTest, AStateOrCityMissingFromTheListsIsReported) {
    const struct {
        const char* what;
        QByteArray reply;
        const char* message;
        Address filled;
    } cases[] = {
        {"state",
         xmlReply("XX", "Lugar Nenhum", "Centro", "Rua A"),
         "ESTADO_N_CAD",
         {kTyped.endereco, "Brasil", "0055", kTyped.uf, "XX", kTyped.cidade, kTyped.cdMunicipio, kTyped.bairro,
          kTyped.nmBairro}},
        {"city",
         xmlReply("SP", "Atlântida", "Centro", "Rua A"),
         "MUNICI_N_CAD",
         {kTyped.endereco, "Brasil", "0055", "SP", "SP", kTyped.cidade, kTyped.cdMunicipio, kTyped.bairro,
          kTyped.nmBairro}},
    };
    for (const auto& c : cases) {
        messages.clear();
        lookUp("01001999", {200, c.reply, 0, false});
        EXPECT_EQ(address(), c.filled) << c.what;
        ASSERT_EQ(messages.size(), 1) << c.what;
        EXPECT_EQ(messages[0].text, msg(c.message));
        EXPECT_EQ(messages[0].kind, kMsgInformacao);
        EXPECT_EQ(messages[0].flag1, "N");
        EXPECT_EQ(messages[0].flag2, "N");
        EXPECT_EQ(messages[0].esquema, form->registration().stIdEsquema);

        // The list is left restricted, and the pickers still offer it whole.
        setAddress({"", "Brasil", "0055", "SP", "SP", "SAO PAULO", "0001", "", ""});
        offers.clear();
        form->lookups().bdsUfClick();
        form->lookups().bdsCidadeClick();
        ASSERT_EQ(offers.size(), 2);
        EXPECT_EQ(offers[0].rows.size(), 27) << c.what;
        EXPECT_EQ(offers[1].rows.size(), 4) << c.what;
        form.reset();
    }
}

TEST_F(CepLookupTest, ANeighbourhoodMissingFromTheListIsTakenAsTheServiceNamesIt) {
    lookUp("01001999", {200, xmlReply("SP", "São Paulo", "Jardim Ébano", "Rua Nova"), 0, false});
    EXPECT_EQ(address(),
              (Address{"Rua Nova", "Brasil", "0055", "SP", "SP", "SAO PAULO", "0001", "Jardim Ebano", "Jardim Ebano"}));
    EXPECT_FALSE(form->registration().lists.cdsBairro.filtered());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CepLookupTest, EscapeOnTheFieldLooksUpBeforeMovingBack) {
    stub->answer(path("01001999"), {200, dataFile("cep-found-utf8.xml"), 0, false});
    typeCep(QStringLiteral("01001999"));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(address().cidade, "SAO PAULO");
    EXPECT_EQ(form->activeField(), 5);
    EXPECT_EQ(stub->requests(), 1);
}

// Lists keep names cut to their columns, with or without accents. Serro, Olho d'Água das Flores and Pau
// d'Arco (PA) list no neighbourhood: another state's CENTRO under the same city code is not theirs.
TEST_F(CepLookupTest, PlaceNamesWithErroApostrophesOrOverlongAreMatched) {
    exec("UPDATE MUNICIPIO SET NMMUNICIPIO = 'São Francisco de Assis do Piau' WHERE SGESTADO = 'PI' AND CDMUNICIPIO = "
         "'0003'");
    const struct {
        QString uf, localidade, bairro, logradouro;
        Address filled;
    } cases[] = {
        {"MG",
         "Serro",
         "Centro",
         "Rua do Ferro",
         {"Rua do Ferro", "Brasil", "0055", "MG", "MG", "SERRO", "0002", "Centro", "Centro"}},
        {"PR",
         "Cerro Azul",
         "Bairro do Erro",
         "Travessa Serrote",
         {"Travessa Serrote", "Brasil", "0055", "PR", "PR", "CERRO AZUL", "0002", "Bairro do Erro", "Bairro do Erro"}},
        {"AL",
         "Olho d'Água das Flores",
         "Centro",
         "Rua Principal",
         {"Rua Principal", "Brasil", "0055", "AL", "AL", "OLHO D'AGUA DAS FLORES", "0003", "Centro", "Centro"}},
        {"PA",
         "Pau d'Arco",
         "Centro",
         "Rua B",
         {"Rua B", "Brasil", "0055", "PA", "PA", "PAU D'ARCO", "0002", "Centro", "Centro"}},
        {"TO",
         "Pau d'Arco",
         "Setor Sul",
         "Rua C",
         {"Rua C", "Brasil", "0055", "TO", "TO", "PAU D'ARCO", "0003", "Setor Sul", "Setor Sul"}},
        {"MA",
         "São Luís",
         "Olho d'Água",
         "Avenida dos Holandeses",
         {"Avenida dos Holandeses", "Brasil", "0055", "MA", "MA", "SAO LUIS", "0001", "OLHO D'AGUA", "OLHO D'AGUA"}},
        {"MT",
         "Vila Bela da Santíssima Trindade",
         "Centro",
         "Rua A",
         {"Rua A", "Brasil", "0055", "MT", "MT", "VILA BELA DA SANTISSIMA TRINDA", "0003", "CENTRO", "CENTRO"}},
        {"PI",
         "São Francisco de Assis do Piauí",
         "Conjunto Habitacional Presidente Humberto de Alencar Castelo Branco",
         "Rua A",
         {"Rua A", "Brasil", "0055", "PI", "PI", "São Francisco de Assis do Piau", "0003",
          "CONJUNTO HABITACIONAL PRESIDEN", "CONJUNTO HABITACIONAL PRESIDEN"}},
        {"sp",
         "santa bárbara d'oeste",
         "Parque Residencial Sant'Ana e Jardim Europa",
         "Rua A",
         {"Rua A", "Brasil", "0055", "SP", "SP", "SANTA BARBARA D'OESTE", "0004", "Parque Residencial Sant'Ana e",
          "Parque Residencial Sant'Ana e"}},
    };
    for (const auto& c : cases) {
        lookUp("01001999", {200, xmlReply(c.uf, c.localidade, c.bairro, c.logradouro), 0, false});
        EXPECT_EQ(address(), c.filled) << c.localidade.toStdString();
        form.reset();
    }
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(" / ").toStdString();
}

} // namespace
} // namespace cadcons::test
