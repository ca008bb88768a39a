#include "registration/field_catalogue.h"
#include "screen_fixture.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QTranslator>
#include <set>

namespace cadcons::test {

namespace {

// Every text on the form that is a caption or a key's caption, by object name. Value labels (filled from
// the consumer's record), the screen code and one-character keys (letters, digits, signs) are no captions.
std::map<QString, QString> captions(QWidget& form) {
    std::set<QString> values = {QStringLiteral("lblCodTela")};
    for (const auto& field : registration::fieldCatalogue())
        values.insert(QLatin1String(field.textLabel));
    std::map<QString, QString> out;
    for (QLabel* label : form.findChildren<QLabel*>())
        if (!label->text().isEmpty() && !values.count(label->objectName()))
            out[label->objectName()] = label->text();
    for (TBlendedBitBtn* key : form.findChildren<TBlendedBitBtn*>())
        if (key->caption().size() > 1)
            out[key->objectName()] = key->caption();
    return out;
}

class TranslationTest : public ScreenTest {
protected:
    void TearDown() override {
        qputenv("CADCONS_LANGUAGE", "pt_BR");
        newForm(); // puts the Portuguese texts back for the tests that follow
        ScreenTest::TearDown();
    }
};

} // namespace

TEST_F(TranslationTest, EnglishSwitchesEveryCaptionAndPortugueseStaysTheDefault) {
    const std::map<QString, QString> portuguese = captions(newForm());
    ASSERT_GT(portuguese.size(), 30u);
    EXPECT_EQ(portuguese.at(QStringLiteral("lblNmCons")), QStringLiteral("Nome"));

    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/cadcons_en.qm")));
    qputenv("CADCONS_LANGUAGE", "en");
    TfrmCadastroConsumidor& form = newForm();
    const std::map<QString, QString> shown = captions(form);

    QStringList untranslated;
    for (const auto& [name, source] : portuguese) {
        const QString translation = english.translate("TfrmCadastroConsumidor", source.toUtf8().constData());
        if (translation.isEmpty()) {
            untranslated << QStringLiteral("%1 \"%2\"").arg(name, source);
            continue;
        }
        EXPECT_EQ(shown.at(name), translation) << name.toStdString();
        // A longer English caption still fits the label the Portuguese one was sized for.
        if (auto* label = form.findChild<QLabel*>(name)) {
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
                << name.toStdString() << " " << label->text().toStdString();
        }
    }
    EXPECT_TRUE(untranslated.isEmpty()) << "captions left untranslated:\n" << untranslated.join(u'\n').toStdString();
    EXPECT_EQ(shown.at(QStringLiteral("lblNmCons")), QStringLiteral("Name"));

    // A language the module ships nothing for leaves the system's own texts.
    qputenv("CADCONS_LANGUAGE", "de");
    EXPECT_EQ(captions(newForm()), portuguese);
    qputenv("CADCONS_LANGUAGE", "pt_BR");
    EXPECT_EQ(captions(newForm()), portuguese);
}

TEST_F(TranslationTest, DialogButtonsAndOperatorMessagesFollowTheLanguage) {
    qputenv("CADCONS_LANGUAGE", "en");
    const TMessages& messages = newForm().registration().msgPadrao;
    EXPECT_EQ(QCoreApplication::translate("Mensagem", "Sim"), QStringLiteral("Yes"));
    EXPECT_EQ(QCoreApplication::translate("Pesquisa", "Cancelar"), QStringLiteral("Cancel"));
    for (const MessageRow& row : messages.rows())
        EXPECT_NE(messages.Msg(row.key), row.text) << row.key.toStdString() << " left in Portuguese";
    EXPECT_EQ(messages.Msg(QStringLiteral("Cpf_Inv")), QStringLiteral("Invalid CPF number."));
    qputenv("CADCONS_LANGUAGE", "pt_BR");
    EXPECT_EQ(newForm().registration().msgPadrao.Msg(QStringLiteral("Cpf_Inv")),
              QStringLiteral("Número do CPF inválido."));
    EXPECT_EQ(QCoreApplication::translate("Mensagem", "Sim"), QStringLiteral("Sim"));
}

} // namespace cadcons::test
