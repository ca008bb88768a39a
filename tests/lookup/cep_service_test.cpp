#include "qt_printers.h"
#include "screen/lookup/cep_service.h"
#include "screen_fixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace cadcons::lookup {
// Found by the test framework next to the type.
inline void PrintTo(const CepAddress& a, std::ostream* os) {
    *os << '{' << QStringList{a.uf, a.localidade, a.bairro, a.logradouro}.join(" | ").toStdString() << '}';
}
} // namespace cadcons::lookup

namespace cadcons::test {
namespace {

using lookup::CepAddress;

bool same(const std::optional<CepAddress>& a, const std::optional<CepAddress>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || (a->uf == b->uf && a->localidade == b->localidade && a->bairro == b->bairro &&
                  a->logradouro == b->logradouro);
}

// The host directory and its configuration come from the screen fixture.
using CepServiceBaseTest = ScreenTest;

TEST_F(CepServiceBaseTest, TheEnvironmentOverridesTheConfigurationWhichOverridesTheDefault) {
    EXPECT_EQ(lookup::cepServiceBase(), "https://viacep.com.br");

    QFile ini(hostDir() + QStringLiteral("cadcons.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[cep]\nurl=https://cep.example.net/base\n");
    ini.close();
    EXPECT_EQ(lookup::cepServiceBase(), "https://cep.example.net/base");

    qputenv("CADCONS_CEP_URL", "http://127.0.0.1:8080");
    EXPECT_EQ(lookup::cepServiceBase(), "http://127.0.0.1:8080");
    qputenv("CADCONS_CEP_URL", "  ");
    EXPECT_EQ(lookup::cepServiceBase(), "https://cep.example.net/base");
}

TEST(CepRequestUrl, EightDigitsUnderAPlainWebAddress) {
    const struct {
        const char* base;
        const char* cep;
        const char* url; // "" for none
    } cases[] = {
        {"https://viacep.com.br/", "01001000", "https://viacep.com.br/ws/01001000/xml/"},
        {"http://127.0.0.1:8080/cep//", "30130010", "http://127.0.0.1:8080/cep/ws/30130010/xml/"},
        {"https://viacep.com.br", "0100100A", ""},
        {"https://viacep.com.br", "../../x/", ""},
        {"https://viacep.com.br?x=1", "01001000", ""},
        {"file:///etc", "01001000", ""},
        {"viacep.com.br", "01001000", ""},
    };
    for (const auto& c : cases) {
        const QUrl url = lookup::cepRequestUrl(QLatin1String(c.base), QLatin1String(c.cep));
        EXPECT_EQ(url.isValid() ? url.toString() : QString(), QLatin1String(c.url)) << c.base << " " << c.cep;
    }
}

TEST(CleanCepText, TurnsTheTextIntoCodePage1252WithoutAccents) {
    const struct {
        QString text;
        QString clean;
    } cases[] = {
        {"S\u00e3o Jo\u00e3o d'Alian\u00e7a", "Sao Joao d'Alianca"},
        {"\u0141\u00f3d\u017a", "?od?"},        // outside the code page
        {"Rua\nNova \u00fe\u00ff", "RuaNova "}, // line ends, 254 and 255 go
        {"\u20ac", "\u20ac"},                   // the euro sign is in the code page
    };
    for (const auto& c : cases)
        EXPECT_EQ(lookup::cleanCepText(c.text), c.clean) << c.text.toStdString();
}

// The replies of the public service are read in the look-up's own tests; these are the other shapes
// a reply may take.
TEST(ReadCepReply, OtherEncodingsAndShapes) {
    const CepAddress praca{"SP", "Sao Paulo", "Se", "Praca da Se"};
    const struct {
        const char* what;
        QByteArray body;
        std::optional<CepAddress> address;
    } cases[] = {
        {"windows-1252",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><xmlcep><uf>SP</uf><localidade>S\xe3o Paulo"
         "</localidade><bairro>S\xe9</bairro><logradouro>Pra\xe7"
         "a da S\xe9</logradouro></xmlcep>",
         praca},
        {"byte-order mark, no encoding",
         "\xef\xbb\xbf<?xml version=\"1.0\"?><xmlcep><uf>SP</uf><localidade>S\xc3\xa3o Paulo</localidade>"
         "<bairro>S\xc3\xa9</bairro><logradouro>Pra\xc3\xa7"
         "a da S\xc3\xa9</logradouro></xmlcep>",
         praca},
        {"character references",
         "<xmlcep><uf>SP</uf><localidade>S&#227;o Paulo</localidade><bairro>S&#xe9;</bairro>"
         "<logradouro>Pra&#231;a da S&#233;</logradouro></xmlcep>",
         praca},
        {"only children of the document element count", "<xmlcep><x><uf>RJ</uf></x><uf>MG</uf></xmlcep>",
         CepAddress{"MG", "", "", ""}},
        {"erro further down", "<xmlcep><uf>SP</uf><x><erro/></x></xmlcep>", std::nullopt},
        {"two documents", "<xmlcep/><xmlcep/>", std::nullopt},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><xmlcep/>", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<CepAddress> read = lookup::readCepReply(c.body);
        EXPECT_TRUE(same(read, c.address))
            << c.what << ": got " << (read ? ::testing::PrintToString(*read) : std::string("nothing"));
    }
}

} // namespace
} // namespace cadcons::test
