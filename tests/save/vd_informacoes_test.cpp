#include "message_script.h"
#include "qt_printers.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QLabel>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons {
namespace {

// Validation needs no database: a bare form, messages recorded.
class VdInformacoesTest : public ::testing::Test {
protected:
    void SetUp() override {
        script.during = [this](const MensagemArgs&) { activeAtMessage << form->inCampoAtivo; };
    }

    struct Entries {
        const char* mode;
        QString code, name, cpf, nasc, cracha;
    };
    bool validate(const Entries& e) {
        form = std::make_unique<TfrmCadastroConsumidor>();
        messages.clear();
        activeAtMessage.clear();
        form->stModoChamada = QLatin1String(e.mode);
        form->stIdEsquema = QStringLiteral("007");
        form->consumer.stNrCpfRespCon = QStringLiteral("before");
        set("lblCodCons", e.code);
        set("lblNome", e.name);
        set("lblCpf", e.cpf);
        set("lblNasc", e.nasc);
        set("lblCracha", e.cracha);
        form->inCampoAtivo = 9;
        form->mudaCor();
        return form->Vd_Informacoes();
    }
    void set(const char* label, const QString& text) { form->findChild<QLabel*>(QLatin1String(label))->setText(text); }
    QString msg(const char* key) const { return form->msgPadrao.Msg(QLatin1String(key)); }

    std::unique_ptr<TfrmCadastroConsumidor> form;
    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;
    QList<int> activeAtMessage;

private:
};

const QString kCpf = QStringLiteral("52998224725");

TEST_F(VdInformacoesTest, FirstFailingEntryIsReportedAndTheFieldAtFaultBecomesActive) {
    const struct {
        Entries entries;
        const char* key; // nullptr: valid
        int active;      // active field afterwards
    } cases[] = {
        {{"B", "", "", kCpf, "", "X1"}, "CodCons_Ninf", 1},
        {{"B", "12", "", kCpf, "", "X1"}, "Nome_Ninf", 2},
        {{"A", "", "ANA", kCpf, "", "X1"}, nullptr, 9}, // the code is only required in mode "B"
        {{"", "", "ANA", "", "", "X1"}, nullptr, 9},
        {{"A", "", "", "", "", ""}, "Nome_Ninf", 2},
        {{"A", "", "ANA", "5299822472", "", "X1"}, "Cpf_Inv", 9},
        {{"A", "", "ANA", "529982247250", "", "X1"}, "Cpf_Inv", 9},
        {{"A", "", "ANA", "52998224726", "", "X1"}, "Cpf_Inv", 9}, // wrong check digit
        {{"A", "", "ANA", "11111111111", "", "X1"}, "Cpf_Inv", 9}, // right check digits, nobody's
        {{"A", "", "ANA", "00000000000", "", "X1"}, "Cpf_Inv", 9},
        {{"A", "", "ANA", "99999999999", "", "X1"}, "Cpf_Inv", 9},
        {{"A", "", "ANA", kCpf, "31/12/1899", "X1"}, "DATA_INVALIDA", 3},
        {{"A", "", "ANA", kCpf, "01/01/1900", "X1"}, nullptr, 9},
        {{"A", "", "ANA", kCpf, "29/02/2000", "X1"}, nullptr, 9},
        {{"A", "", "ANA", kCpf, "   ", "X1"}, nullptr, 9}, // blank: no birth date
        {{"A", "", "ANA", kCpf, "", ""}, "Cracha_Ninf", 17},
        {{"A", "", "ANA", kCpf, "01/01/1900", ""}, "Cracha_Ninf", 17},
    };
    for (const auto& c : cases) {
        const Entries& e = c.entries;
        SCOPED_TRACE(testing::Message() << e.mode << "|" << e.code.toStdString() << "|" << e.name.toStdString() << "|"
                                        << e.cpf.toStdString() << "|" << e.nasc.toStdString() << "|"
                                        << e.cracha.toStdString());
        EXPECT_EQ(validate(e), c.key == nullptr);
        EXPECT_EQ(form->inCampoAtivo, c.active);
        if (!c.key) {
            EXPECT_TRUE(messages.isEmpty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1);
        const MensagemArgs& m = messages[0];
        EXPECT_EQ(m.text, msg(c.key));
        EXPECT_FALSE(m.text.isEmpty()) << c.key;
        EXPECT_EQ(m.kind, kMsgErro);
        EXPECT_EQ(m.flag1, "N");
        EXPECT_EQ(m.flag2, "N");
        EXPECT_EQ(m.esquema, "007");
        EXPECT_EQ(m.details, "");
        // The operator reads the message with the highlight where it was.
        EXPECT_EQ(activeAtMessage, QList<int>{9});
        // The highlight follows the active field.
        EXPECT_EQ(form->fieldFrame(c.active)->brushColor(), QColor(128, 128, 128));
    }
}

TEST_F(VdInformacoesTest, MissingNameReadsTheNameMessageOfTheTable) {
    EXPECT_FALSE(validate({"A", "", "", "", "", "X1"}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("Nome do consumidor não informado."));
}

TEST_F(VdInformacoesTest, DisplayedCpfIsKeptForTheSaveEvenWhenItIsRefused) {
    const struct { QString cpf, kept; } cases[] = {{kCpf, kCpf}, {"123", "123"}, {"", "before"}};
    for (const auto& c : cases) {
        validate({"A", "", "ANA", c.cpf, "", "X1"});
        EXPECT_EQ(form->consumer.stNrCpfRespCon, c.kept) << c.cpf.toStdString();
    }
}

TEST_F(VdInformacoesTest, DateThatDoesNotExistShowsTheConversionErrorAndLeavesTheActiveField) {
    for (const QString& nasc : {QStringLiteral("31/02/2000"), QStringLiteral("12/34"), QStringLiteral("1a/01/2000")}) {
        EXPECT_FALSE(validate({"A", "", "ANA", "", nasc, "X1"}));
        ASSERT_EQ(messages.size(), 1) << nasc.toStdString();
        EXPECT_TRUE(messages[0].text.contains(nasc)) << messages[0].text.toStdString();
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_EQ(messages[0].esquema, "007");
        EXPECT_EQ(form->inCampoAtivo, 9);
    }
}

} // namespace
} // namespace cadcons
