#include "config/host_config.h"
#include "form_service.h"
#include "qt_printers.h"
#include "registration/registration.h"
#include "routines/utility.h"
#include "scripted_operator.h"

#include <QDate>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::test {
namespace {

using namespace registration;

// Validation needs no database and no screen: a registration, its operator scripted.
class ValidationTest : public ::testing::Test {
protected:
    struct Entries {
        const char* mode;
        QString code, name, cpf, nasc, cracha;
    };
    bool validate(const Entries& e) {
        op = ScriptedOperator{};
        r = std::make_unique<Registration>(formService(), op, hostDirectory());
        r->stModoChamada = QLatin1String(e.mode);
        r->stIdEsquema = QStringLiteral("007");
        r->consumer.stNrCpfRespCon = QStringLiteral("before");
        for (const auto& [field, text] :
             {std::pair{CodCons, e.code}, {Nome, e.name}, {Cpf, e.cpf}, {Nasc, e.nasc}, {Cracha, e.cracha}})
            r->setFieldText(field, text);
        return r->Vd_Informacoes();
    }
    QString msg(const char* key) const { return r->msgPadrao.Msg(QLatin1String(key)); }

    ScriptedOperator op;
    std::unique_ptr<Registration> r;
};

const QString kCpf = QStringLiteral("52998224725");

TEST_F(ValidationTest, FirstFailingEntryIsReportedThenItsFieldBecomesActive) {
    const struct {
        Entries entries;
        const char* key; // nullptr: valid
        int moveTo;      // the field the operator is moved to; 0 for none
    } cases[] = {
        {{"B", "", "", kCpf, "", "X1"}, "CodCons_Ninf", CodCons},
        {{"B", "12", "", kCpf, "", "X1"}, "Nome_Ninf", Nome},
        {{"A", "", "ANA", kCpf, "", "X1"}, nullptr, 0}, // the code is only required in mode "B"
        {{"", "", "ANA", "", "", "X1"}, nullptr, 0},
        {{"A", "", "", "", "", ""}, "Nome_Ninf", Nome},
        {{"A", "", "ANA", "5299822472", "", "X1"}, "Cpf_Inv", 0},
        {{"A", "", "ANA", "529982247250", "", "X1"}, "Cpf_Inv", 0},
        {{"A", "", "ANA", "52998224726", "", "X1"}, "Cpf_Inv", 0}, // wrong check digit
        {{"A", "", "ANA", "11111111111", "", "X1"}, "Cpf_Inv", 0}, // right check digits, nobody's
        {{"A", "", "ANA", "00000000000", "", "X1"}, "Cpf_Inv", 0},
        {{"A", "", "ANA", "99999999999", "", "X1"}, "Cpf_Inv", 0},
        {{"A", "", "ANA", kCpf, "31/12/1899", "X1"}, "DATA_INVALIDA", Nasc},
        {{"A", "", "ANA", kCpf, "01/01/1900", "X1"}, nullptr, 0},
        {{"A", "", "ANA", kCpf, "29/02/2000", "X1"}, nullptr, 0},
        {{"A", "", "ANA", kCpf, "01/01/85", "X1"}, nullptr, 0}, // a two-digit year, as the short date has it
        {{"A", "", "ANA", kCpf, "   ", "X1"}, nullptr, 0},      // blank: no birth date
        {{"A", "", "ANA", kCpf, "", ""}, "Cracha_Ninf", Cracha},
        {{"A", "", "ANA", kCpf, "01/01/1900", ""}, "Cracha_Ninf", Cracha},
    };
    for (const auto& c : cases) {
        const Entries& e = c.entries;
        SCOPED_TRACE(testing::Message() << e.mode << "|" << e.code.toStdString() << "|" << e.name.toStdString() << "|"
                                        << e.cpf.toStdString() << "|" << e.nasc.toStdString() << "|"
                                        << e.cracha.toStdString());
        EXPECT_EQ(validate(e), c.key == nullptr);
        EXPECT_EQ(op.moves, c.moveTo ? QList<int>{c.moveTo} : QList<int>{});
        if (!c.key) {
            EXPECT_TRUE(op.told.isEmpty());
            continue;
        }
        ASSERT_EQ(op.told.size(), 1);
        const ScriptedOperator::Told& m = op.told[0];
        EXPECT_EQ(m.text, msg(c.key));
        EXPECT_FALSE(m.text.isEmpty()) << c.key;
        EXPECT_EQ(m.kind, kMsgErro);
        EXPECT_EQ(m.esquema, "007");
        EXPECT_EQ(m.details, "");
    }
}

TEST_F(ValidationTest, MissingNameReadsTheNameMessageOfTheTable) {
    EXPECT_FALSE(validate({"A", "", "", "", "", "X1"}));
    ASSERT_EQ(op.told.size(), 1);
    EXPECT_EQ(op.told[0].text, QStringLiteral("Nome do consumidor não informado."));
}

TEST_F(ValidationTest, DisplayedCpfIsKeptForTheSaveEvenWhenItIsRefused) {
    const struct { QString cpf, kept; } cases[] = {{kCpf, kCpf}, {"123", "123"}, {"", "before"}};
    for (const auto& c : cases) {
        validate({"A", "", "ANA", c.cpf, "", "X1"});
        EXPECT_EQ(r->consumer.stNrCpfRespCon, c.kept) << c.cpf.toStdString();
    }
}

TEST_F(ValidationTest, DateThatDoesNotExistShowsTheConversionErrorAndLeavesTheActiveField) {
    for (const QString& nasc : {QStringLiteral("31/02/2000"), QStringLiteral("12/34"), QStringLiteral("1a/01/2000"),
                                QStringLiteral("01/01/985")}) {
        EXPECT_FALSE(validate({"A", "", "ANA", "", nasc, "X1"}));
        ASSERT_EQ(op.told.size(), 1) << nasc.toStdString();
        EXPECT_EQ(op.told[0].text, QStringLiteral("'%1' não é uma data válida").arg(nasc));
        EXPECT_EQ(op.told[0].kind, kMsgErro);
        EXPECT_EQ(op.told[0].esquema, "007");
        EXPECT_TRUE(op.moves.isEmpty());
    }
}

TEST(ShortDate, TwoDigitYearsFallInTheCenturyWindowAroundThisYear) {
    const int year = QDate::currentDate().year();
    const struct {
        QString text;
        QDate date;
    } cases[] = {
        {"01/01/85", QDate(year - 50 <= 1985 && 1985 < year + 50 ? 1985 : 2085, 1, 1)},
        {"5/3/2001", QDate(2001, 3, 5)},
        {QStringLiteral("01/01/%1").arg((year - 50) % 100, 2, 10, QLatin1Char('0')), QDate(year - 50, 1, 1)},
        {QStringLiteral("01/01/%1").arg((year + 49) % 100, 2, 10, QLatin1Char('0')), QDate(year + 49, 1, 1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToDate(c.text), c.date) << c.text.toStdString();
}

} // namespace
} // namespace cadcons::test
