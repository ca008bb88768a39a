#include "platform/mask.h"
#include "routines/utility.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace cadcons;

// CPF lines: digits, expected, reason; after the "# CNPJ" header: digits, ..., the masked number.
TEST(Utility, CpfOkAndPictPessFollowTheVectors) {
    QFile file(QStringLiteral(CADCONS_TEST_DATA_DIR "/cpf-vectors.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    int cpf = 0, cnpj = 0;
    bool inCnpj = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        inCnpj = inCnpj || line.startsWith(QLatin1String("# CNPJ"));
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (f.isEmpty() || f[0].startsWith(u'#'))
            continue;
        if (inCnpj) {
            ++cnpj;
            for (const char* kind : {"J", "", "X", "f"})
                EXPECT_EQ(formatMask(PictPess(kind), f[0]), f.last()) << kind;
        } else {
            ++cpf;
            EXPECT_EQ(CPFOk(f[0]), f[1] == QLatin1String("true")) << f[0].toStdString();
        }
    }
    EXPECT_GE(cpf, 10);
    EXPECT_GE(cnpj, 1);
    EXPECT_EQ(formatMask(PictPess("F"), "52998224725"), "529.982.247-25");
    // Only ASCII digits (the last is 11111111111 in Arabic-Indic digits), nothing around them.
    for (const QString& text : {QStringLiteral(" 52998224725"), QStringLiteral("529.982.247-25"), QString(11, u'١')})
        EXPECT_FALSE(CPFOk(text)) << text.toStdString();
}

TEST(Utility, AjustaEmptyStringReplicate) {
    const struct {
        const char* text;
        int width;
        const char* expected;
    } cases[] = {
        {"123", 6, "000123"}, {"  42 ", 5, "00042"}, {" 1234567 ", 5, "1234567"}, {"", 3, "000"}, {"abc", 0, "abc"}};
    for (const auto& c : cases) {
        const QString once = Ajusta(c.text, c.width);
        EXPECT_EQ(once, c.expected) << c.text;
        EXPECT_EQ(Ajusta(once, c.width), once) << c.text;
    }
    for (const auto& [text, blank] :
         {std::pair{"", true}, {" ", true}, {"\t \n", true}, {"\u00a0", true}, {"a", false}, {" 0 ", false}})
        EXPECT_EQ(EmptyString(text), blank) << text;
    EXPECT_EQ(Replicate("ab", 2), "abab");
    EXPECT_EQ(Replicate("*", 0), "");
    EXPECT_EQ(Replicate("*", -3), "");
}

TEST(Utility, RemoveAcentosTakesEveryCp1252AccentAndNothingElse) {
    const QString accented = QStringLiteral("ÀÁÂÃÄÅàáâãäåÈÉÊËèéêëÌÍÎÏìíîïÒÓÔÕÖØòóôõöøÙÚÛÜùúûüÝýÿŸÑñŠšŽžÇç");
    for (QChar c : accented) {
        // The plain letter is the first of the decomposed form; Ø has no decomposition.
        const QChar plain = c == u'Ø'   ? u'O'
                            : c == u'ø' ? u'o'
                                        : QString(c).normalized(QString::NormalizationForm_D)[0];
        EXPECT_EQ(RemoveAcentos(c), QString(plain)) << QString(c).toStdString();
    }
    QString others = QStringLiteral("Œœƒ€ˆ");
    for (char16_t c = 1; c <= 0xFF; ++c)
        if (!accented.contains(QChar(c)))
            others += QChar(c);
    EXPECT_EQ(RemoveAcentos(others), others);
    EXPECT_EQ(RemoveAcentos("São Paulo - Açaí"), "Sao Paulo - Acai");
    EXPECT_EQ(RemoveAcentos("Jose\u0301"), "Jose"); // a combining accent
}
