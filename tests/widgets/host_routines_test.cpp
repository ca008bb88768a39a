#include "message_script.h"
#include "qt_printers.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMap>
#include <QTranslator>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

using namespace cadcons;

namespace {

DataPacket somePacket() {
    DataPacket p;
    p.fields = {{QStringLiteral("CDPAIS"), FieldType::String, 3}, {QStringLiteral("NMPAIS"), FieldType::String, 40}};
    p.rows = {{QStringLiteral("105"), QStringLiteral("Brasil")}};
    return p;
}

TEST(MensagemMetodo, PassesPacketsReportsAndRaisesErrors) {
    const struct {
        const char* name;
        ServiceResult result;
        bool show;
        std::optional<DataPacket> yields; // nothing: it raises
        std::optional<QString> shownText; // nothing: no message
        QString raisedMustContain;
    } cases[] = {
        {"packet", somePacket(), true, somePacket(), std::nullopt, {}},
        {"empty packet", DataPacket{}, true, DataPacket{}, std::nullopt, {}},
        {"true after a save", true, true, DataPacket{}, std::nullopt, {}},
        {"error text", QStringLiteral("ORA-00942: tabela não existe"), true, std::nullopt,
         QStringLiteral("ORA-00942: tabela não existe"), QStringLiteral("ORA-00942: tabela não existe")},
        {"error text, not shown", QStringLiteral("timeout"), false, std::nullopt, std::nullopt,
         QStringLiteral("timeout")},
        {"false", false, true, std::nullopt,
         QStringLiteral("A operação Cadastro.getPais falhou sem informar o motivo."),
         QStringLiteral("Cadastro.getPais")},
        {"blank error text", QStringLiteral("  "), true, std::nullopt,
         QStringLiteral("A operação Cadastro.getPais falhou sem informar o motivo."),
         QStringLiteral("Cadastro.getPais")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageScript rec;
        if (c.yields) {
            EXPECT_EQ(MensagemMetodo(c.result, c.show, 0, "getPais", "Cadastro", "Pais", "007"), *c.yields);
        } else {
            try {
                MensagemMetodo(c.result, c.show, 10, "getPais", "Cadastro", "Pais", "007");
                ADD_FAILURE() << "did not raise";
            } catch (const MensagemMetodoError& e) {
                EXPECT_TRUE(QString::fromUtf8(e.what()).contains(c.raisedMustContain)) << e.what();
            }
        }
        if (!c.shownText) {
            EXPECT_TRUE(rec.shown.empty());
            continue;
        }
        ASSERT_EQ(rec.shown.size(), 1);
        const MensagemArgs& a = rec.shown.front();
        EXPECT_EQ(a.text, *c.shownText);
        EXPECT_EQ(a.details, "Cadastro.getPais (Pais)");
        EXPECT_EQ(a.flag1, "N");
        EXPECT_EQ(a.flag2, "N");
        EXPECT_EQ(a.kind, kMsgErro);
        EXPECT_EQ(a.extra, "");
        EXPECT_EQ(a.esquema, "007");
        EXPECT_EQ(a.number, 10);
        EXPECT_EQ(a.dataset, nullptr);
    }
}

TEST(MensagemMetodo, DetailsWithoutAContext) {
    MessageScript rec;
    EXPECT_THROW(MensagemMetodo(QStringLiteral("erro"), true, 0, "getBairro", "Cadastro", "", "002"),
                 MensagemMetodoError);
    ASSERT_EQ(rec.shown.size(), 1);
    EXPECT_EQ(rec.shown.front().details, "Cadastro.getBairro");
}

TEST(MontaRodapeGeral, Variants) {
    const QString v = QStringLiteral("cadcons " EXPECTED_VERSION);
    const struct {
        bool impFis;
        QString caption;
        QString flag;
        QString footer;
    } cases[] = {
        {false, "Lum52816", "S", "Lum52816 - " + v},
        {true, "Lum52816", "S", "Lum52816 - " + v + " - ECF"},
        {true, "Lum52816", "s", "Lum52816 - " + v + " - ECF"},
        {false, "Lum52816", "N", "Lum52816"},
        {true, "Lum52816", "N", "Lum52816 - ECF"},
        {true, " Lum52816 ", "", "Lum52816 - ECF"},
        {false, "", "S", v},
        {false, "", "N", ""},
        // Built again from its own result: the same text, or the printer mark taken off.
        {true, "Lum52816 - " + v + " - ECF", "S", "Lum52816 - " + v + " - ECF"},
        {false, "Lum52816 - " + v + " - ECF", "S", "Lum52816 - " + v},
        {true, "Lum52816 - ECF", "N", "Lum52816 - ECF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MontaRodapeGeral(c.impFis, c.caption, c.flag), c.footer)
            << c.impFis << " '" << c.caption.toStdString() << "' " << c.flag.toStdString();
}

// An English translation of a few captions of the registration screen.
class English : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        contexts.insert(QString::fromLatin1(context));
        if (qstrcmp(context, "TfrmCadastroConsumidor") != 0)
            return {};
        return words.value(QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }

    QMap<QString, QString> words{
        {"Nome", "Name"}, {"Endereço", "Address"}, {"Cidade(F9)", "City(F9)"}, {"Cap. Digital", "Fingerprint"}};
    mutable QSet<QString> contexts;
};

struct Screen {
    QWidget form;
    QLabel* name = new QLabel(QStringLiteral("Nome"), &form);
    QLabel* address = new QLabel(QStringLiteral("Endereço"), &form);
    QWidget* panel = new QWidget(&form);
    QLabel* city = new QLabel(QStringLiteral("Cidade(F9)"), panel);
    QLabel* untranslated = new QLabel(QStringLiteral("Sexo"), &form);
    TBlendedBitBtn* finger = new TBlendedBitBtn(&form);
    TBlendedBitBtn* enter = new TBlendedBitBtn(panel);
    Screen() {
        finger->setCaption(QStringLiteral("Cap. Digital"));
        enter->setCaption(QStringLiteral("Enter"));
    }
};

TEST(Trad, TranslatesLabelsAndKeysThroughTheInstalledTranslator) {
    {
        Screen s;
        Trad(&s.form); // no translator: the Portuguese texts stay
        EXPECT_EQ(s.name->text(), "Nome");
        EXPECT_EQ(s.address->text(), "Endereço");
        EXPECT_EQ(s.finger->caption(), "Cap. Digital");
    }
    English english;
    QCoreApplication::installTranslator(&english);
    Screen s;
    Trad(&s.form);
    QCoreApplication::removeTranslator(&english);

    EXPECT_EQ(s.name->text(), "Name");
    EXPECT_EQ(s.address->text(), "Address");
    EXPECT_EQ(s.city->text(), "City(F9)");
    EXPECT_EQ(s.untranslated->text(), "Sexo");
    EXPECT_EQ(s.finger->caption(), "Fingerprint");
    EXPECT_EQ(s.enter->caption(), "Enter");
    EXPECT_TRUE(english.contexts.contains("TfrmCadastroConsumidor"));
    Trad(nullptr);
}

} // namespace
