#include "platform/filter.h"

#include <gtest/gtest.h>

using namespace cadcons;

TEST(Filter, ParsesTheTextsTheScreenBuilds) {
    using Terms = QList<FilterTerm>;
    const std::pair<const char*, Terms> cases[] = {
        {"", {}},
        {"   \t", {}},
        {" CDPAIS = '1058' AND SGESTADO = 'SP'", Terms{{"CDPAIS", "1058"}, {"SGESTADO", "SP"}}},
        {"SGESTADO = 'SP'AND CDMUNICIPIO ='0001'", Terms{{"SGESTADO", "SP"}, {"CDMUNICIPIO", "0001"}}},
        {"CDPAIS='1'and SGESTADO='sp'", Terms{{"CDPAIS", "1"}, {"SGESTADO", "sp"}}},
        {"NMMUNICIPIO = 'Olho d''\u00c1gua'", Terms{{"NMMUNICIPIO", "Olho d'\u00c1gua"}}},
        {"NMBAIRRO = ' a  AND b '", Terms{{"NMBAIRRO", " a  AND b "}}},
        {"X = '''' AND Y = ''", Terms{{"X", "'"}, {"Y", ""}}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseFilter(QString::fromUtf8(text)), expected) << text;
}

TEST(Filter, RefusesMalformedTextsQuotingThem) {
    const char* cases[] = {
        "CDPAIS = '1058",                  // missing closing quote
        "CDPAIS '1058'",                   // missing =
        "CDPAIS = 1058",                   // value without quotes
        "CDPAIS = '1' AND  ",              // dangling AND
        "CDPAIS = '1' OR SGESTADO = 'SP'", // only AND joins terms
        "CDPAIS = '1' junk",               // trailing junk
        "= '1'",                           // empty column name
        "CDPAIS = '1' AND = '2'",          //
        "CDPAIS = '1' ANDSGESTADO = 'SP'", // keyword run into the column
        "CDPAIS = \"1\"",                  //
    };
    for (const char* c : cases) {
        const QString text = QString::fromUtf8(c);
        try {
            parseFilter(text);
            ADD_FAILURE() << "accepted: " << text.toStdString();
        } catch (const FilterError& e) {
            EXPECT_TRUE(QString(e.what()).contains(u'"' + text + u'"')) << e.what();
        }
    }
}

TEST(Filter, QuotedValuesComeBackUnchanged) {
    const QString values[] = {QString(), QStringLiteral("Olho d'\u00c1gua"), QStringLiteral("''"),
                              QStringLiteral(" x ' AND Y = 'z"), QStringLiteral("%1 %2")};
    for (const QString& v : values)
        EXPECT_EQ(parseFilter(filterTerm("NMBAIRRO", v)), QList<FilterTerm>({{"NMBAIRRO", v}}));
    EXPECT_EQ(quoteFilterValue("''"), "''''''");
    EXPECT_EQ(filterTerm("A", "d'x"), "A = 'd''x'");
}
