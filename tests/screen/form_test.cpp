#include "registration/field_catalogue.h"
#include "screen_fixture.h"

#include <QTest>

namespace cadcons::test {
namespace {

using FormTest = ScreenTest;

TEST_F(FormTest, IsABorderlessModalFormOfTheDesignSizeThatTakesEveryKeyItself) {
    newForm();
    EXPECT_EQ(form->size(), QSize(740, 641));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form->isModal());
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(form->focusPolicy(), Qt::StrongFocus);
    for (const QWidget* child : form->findChildren<QWidget*>())
        EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->objectName().toStdString();
    const QWidget* border = control("Shape1");
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->geometry(), form->rect());
    EXPECT_TRUE(border->testAttribute(Qt::WA_TransparentForMouseEvents));
}

// Text entry finds a field's label by its Tag: exactly one label per field carries it.
TEST_F(FormTest, EveryFieldHasItsCaptionFrameAndTaggedTextLabel) {
    newForm();
    QMap<int, QString> tagged;
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        const QVariant tag = label->property("Tag");
        if (tag.isValid() && tag.toInt() >= 1 && tag.toInt() <= 24) {
            EXPECT_FALSE(tagged.contains(tag.toInt())) << "Tag " << tag.toInt() << " twice";
            tagged[tag.toInt()] = label->objectName();
        }
    }
    EXPECT_EQ(tagged.size(), 24);
    for (const registration::FieldSpec& field : registration::fieldCatalogue()) {
        SCOPED_TRACE(field.textLabel);
        EXPECT_EQ(tagged.value(field.number), QLatin1String(field.textLabel));
        EXPECT_EQ(form->fieldLabel(field.number), labelOf(field.textLabel));
        EXPECT_EQ(form->fieldFrame(field.number), form->findChild<TBlendedShape*>(QLatin1String(field.frame)));
        EXPECT_EQ(text(field.captionLabel), QString::fromUtf8(field.caption));
        const QLabel* value = form->fieldLabel(field.number);
        EXPECT_EQ(value->text(), QLatin1String(field.textLabel)); // the design's text until initialization
        EXPECT_EQ(value->textFormat(), Qt::PlainText);
        EXPECT_EQ(value->font().pixelSize(), field.number == 24 ? 13 : 11);
        EXPECT_EQ(value->font().bold(), field.number <= 2 || field.number == 24);
        EXPECT_EQ(value->alignment() & Qt::AlignHorizontal_Mask, field.centred ? Qt::AlignHCenter : Qt::AlignLeft);
        EXPECT_TRUE(form->fieldFrame(field.number)->geometry().contains(value->geometry()));
        const QLabel* caption = labelOf(field.captionLabel);
        EXPECT_TRUE(caption->font().bold());
        EXPECT_EQ(caption->font().pixelSize(), 13);
        EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
    EXPECT_EQ(form->fieldLabel(0), nullptr);
    EXPECT_EQ(form->fieldLabel(25), nullptr);
}

TEST_F(FormTest, OptionAndSexControlsStartMarkedAndTheScreenCodeIsVisible) {
    newForm();
    const struct {
        const char* caption;
        const char* text;
        const char* image;
    } options[] = {
        {"Label21", "Atualiza CPF Durante a Venda (F5)", "imgIDATUCPFCONS"},
        {"Label22", "Liberado para Consumo (F6)", "imgIDCADCONFLIBCON"},
        {"Label23", "Imprimir o CPF/CNPJ no Cupom Fiscal (F7)", "imgIDIMPCPFCUPOM"},
        {"Label24", "Verifica Saldo do Consumidor (F8)", "imgIDVERSALDCON"},
    };
    for (const auto& option : options) {
        EXPECT_EQ(text(option.caption), QLatin1String(option.text));
        EXPECT_TRUE(marked(option.image)) << option.image;
        EXPECT_EQ(labelOf(option.image)->size(), QSize(23, 23));
        EXPECT_TRUE(labelOf(option.image)->hasScaledContents());
    }
    EXPECT_TRUE(marked("imgFeminino"));
    EXPECT_TRUE(marked("imgMasculino"));
    EXPECT_EQ(text("lblFeminino"), QStringLiteral("Feminino"));
    EXPECT_EQ(text("lblMasculino"), QStringLiteral("Masculino"));
    EXPECT_EQ(text("lblSexo"), QStringLiteral("Sexo"));
    EXPECT_FALSE(labelOf("imgMarcado")->isVisibleTo(form.get()));
    EXPECT_EQ(labelOf("imgMarcado")->pixmap().size(), QSize(43, 29));
    EXPECT_TRUE(labelOf("imgDesmarcado")->pixmap().isNull());
    for (const char* decoration :
         {"bdsBordaNome", "blsBordaSexoFem", "blsBordaSexoMasc", "bldFeminino", "bldMasculino"})
        EXPECT_NE(form->findChild<TBlendedShape*>(QLatin1String(decoration)), nullptr) << decoration;

    const QLabel* code = labelOf("lblCodTela");
    EXPECT_EQ(code->text(), QStringLiteral("Lum52816"));
    EXPECT_EQ(code->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_TRUE(form->rect().contains(code->geometry()));
    EXPECT_GE(code->height(), QFontMetrics(code->font()).height());
    // Not under a key, where the operator could not read it.
    for (const TBlendedBitBtn* key : form->findChildren<TBlendedBitBtn*>())
        EXPECT_FALSE(key->geometry().intersects(code->geometry())) << key->objectName().toStdString();
}

struct KeySpec {
    const char* name;
    const char* caption;
    int left, top, width, fontSize; // fontSize 0: a picture key
};

// The keys the keyboard rows do not hold as plain 60-wide characters from the left edge.
// clang-format off
const KeySpec kSpecialKeys[] = {
    {"sbpDigital", "Cap. Digital", 610, 398, 124, 13}, {"sbtArroba", "@", 610, 446, 60, 21},
    {"sbtBackSpace", "", 670, 446, 64, 0},             {"sbtCCdil", "ç", 550, 494, 60, 24},
    {"sbt_", "_", 610, 494, 60, 24},                   {"sbtLimpar", "", 670, 494, 64, 0},
    {"sbtvirgula", ",", 430, 542, 60, 24},             {"sbtponto", ".", 490, 542, 60, 24},
    {"sbtBarra", "/", 550, 542, 60, 24},               {"sbtEnter", "Enter", 610, 542, 124, 21},
    {"lblSair", "", 10, 590, 60, 0},                   {"sbtShift", "Shift", 70, 590, 60, 16},
    {"sbtespaco", "", 130, 590, 300, 24},              {"sbtCapsLock", "Caps Lock", 430, 590, 120, 16},
    {"sbtContraBarra", "\\", 550, 590, 60, 24},       {"sbtConfirma", "", 610, 590, 124, 0},
};
// clang-format on

// Rows of plain character keys, 60 wide from the left edge; each is named "sbt" and its character.
const char* const kCharacterRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};

std::vector<KeySpec> keyboard() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const char* row : kCharacterRows)
            for (const char* c = row; *c; ++c)
                all.push_back(std::string("sbt") + *c);
        return all;
    }();
    std::vector<KeySpec> keys(std::begin(kSpecialKeys), std::end(kSpecialKeys));
    size_t n = 0;
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; kCharacterRows[r][i]; ++i, ++n)
            keys.push_back({names[n].c_str(), names[n].c_str() + 3, 10 + 60 * i, 398 + 48 * r, 60, 24});
    }
    return keys;
}

TEST_F(FormTest, KeyboardKeysHaveTheirNamesCaptionsPlacesAndFonts) {
    newForm();
    const std::vector<KeySpec> keys = keyboard();
    EXPECT_EQ(form->findChildren<TBlendedBitBtn*>().size(), static_cast<qsizetype>(keys.size()));
    for (const KeySpec& spec : keys) {
        SCOPED_TRACE(spec.name);
        const auto* key = form->findChild<TBlendedBitBtn*>(QLatin1String(spec.name));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->geometry(), QRect(spec.left, spec.top, spec.width, 48));
        EXPECT_EQ(key->caption(), QString::fromUtf8(spec.caption));
        if (spec.fontSize > 0) {
            EXPECT_EQ(key->font().pixelSize(), spec.fontSize);
        } else {
            EXPECT_FALSE(key->glyph().isNull()); // a picture key
        }
        EXPECT_EQ(key->color(),
                  QString(spec.name) == QLatin1String("sbtConfirma") ? QColor(34, 221, 100) : QColor(128, 128, 128));
    }
    // The fingerprint key shows its picture beside its caption.
    EXPECT_FALSE(form->findChild<TBlendedBitBtn*>(QStringLiteral("sbpDigital"))->glyph().isNull());
}

TEST_F(FormTest, EveryKeyIsEnabled) {
    newForm();
    for (const KeySpec& spec : keyboard()) {
        EXPECT_TRUE(control(spec.name)->isEnabled()) << spec.name;
    }
}

TEST_F(FormTest, EachCharacterKeyTypesItsCharacterIntoTheActiveField) {
    newForm();
    form->selectField(6); // the street address takes every character
    form->mudaCor();
    const struct {
        const char* key;
        const char* typed;
    } keys[] = {{"sbt1", "1"},     {"sbt0", "0"},      {"sbtq", "q"},
                {"sbtm", "m"},     {"sbtCCdil", "ç"},  {"sbtvirgula", ","},
                {"sbtponto", "."}, {"sbtBarra", "/"},  {"sbtContraBarra", "\\"},
                {"sbt_", "_"},     {"sbtArroba", "@"}, {"sbtespaco", " "}};
    for (const auto& k : keys) {
        form->setFieldText(6, QStringLiteral("x"));
        click(k.key);
        EXPECT_EQ(form->fieldText(6), QStringLiteral("x") + QString::fromUtf8(k.typed)) << k.key;
    }
}

struct Selection {
    const char* control;
    int field;           // 0: the click changes nothing
    bool onEdge = false; // a frame: touched on its edge, outside its text label
};

// Every touch target of the fields, and the ones that have no action.
const Selection kSelections[] = {
    {"bdsCodCons", 1, true},
    {"lblCodCons", 1},
    {"lblCdCons", 1},
    {"bdsNome", 2, true},
    {"lblNome", 2},
    {"lblNmCons", 2},
    {"bdsNasc", 3, true},
    {"lblNasc", 3},
    {"lblDtNascimento", 3},
    {"bdsRg", 4, true},
    {"lblRg", 4},
    {"Label1", 4},
    {"bdsCpf", 5, true},
    {"lblCpf", 5},
    {"Label9", 5},
    {"bdsEndereco", 6, true},
    {"lblEndereco", 6},
    {"Label6", 6},
    {"lblNum", 6},
    {"bdsPais", 7, true},
    {"lblPais", 7},
    {"Label5", 7},
    {"bdsUf", 8, true},
    {"lblUf", 8},
    {"Label11", 8},
    {"bdsCidade", 9, true},
    {"lblcidade", 9},
    {"Label12", 9},
    {"bdsBairro", 10, true},
    {"lblBairro", 10},
    {"Label14", 10},
    {"bdsCep", 11, true},
    {"lblCep", 11},
    {"Label15", 11},
    {"lblTelefone", 12},
    {"lblResidencial", 12},
    {"lblTelComercial", 13},
    {"lblComercial", 13},
    {"bdsCelular", 14, true},
    {"lblCelular", 14},
    {"lblCel", 14},
    {"bdsEmail", 15, true},
    {"lblEmail", 15},
    {"Label16", 15},
    {"bdsTipoCons", 16, true},
    {"lblTipoCons", 16},
    {"lblTpCons", 16},
    {"bdsCracha", 17, true},
    {"lblCracha", 17},
    {"lblCdIdConsumid", 17},
    {"bdsNMLOGINCONS", 18, true},
    {"lblNMLOGINCONS", 18},
    {"Label17", 18},
    {"bdsCDSENHACONS", 19, true},
    {"lblCDSENHACONS", 19},
    {"Label18", 19},
    {"bdsCDEXCONSUMID", 20, true},
    {"lblCDEXCONSUMID", 20},
    {"Label19", 20},
    {"bdsCDSENHASITE", 21, true},
    {"lblCDSENHASITE", 21},
    {"Label20", 21},
    {"bdsTipoVenda", 22, true},
    {"lblTipovenda", 22},
    {"bdsNumero", 23, true},
    {"lblNumero", 23},
    {"bdsNomeCliente", 24, true},
    {"lblNomeCliente", 24},
    // No action: the phone frames outside their labels, decorations, and three captions.
    {"bdsTelefone", 0, true},
    {"bdsTelComercial", 0, true},
    {"blsBordaSexoFem", 0, true},
    {"blsBordaSexoMasc", 0, true},
    {"Label2", 0},
    {"lblCliente", 0},
    {"lblSexo", 0},
};

TEST_F(FormTest, ATouchOnAFieldControlMakesExactlyThatFieldActive) {
    newForm();
    form->registration().consumer.stOperacao = QStringLiteral("2"); // the customer field then opens no list either
    // The address chain filled, so that its pickers open rather than ask for the place above.
    for (const auto& [field, text] :
         {std::pair{registration::Pais, "Brasil"}, {registration::Uf, "SP"}, {registration::Cidade, "CAMPINAS"}})
        form->setFieldText(field, QLatin1String(text));
    for (const Selection& s : kSelections) {
        SCOPED_TRACE(s.control);
        form->selectField(5);
        form->mudaCor();
        QWidget* target = control(s.control);
        ASSERT_NE(target, nullptr);
        clickAt(target, s.onEdge ? QPoint(2, target->height() / 2) : target->rect().center());
        const int expected = s.field == 0 ? 5 : s.field;
        EXPECT_EQ(form->activeField(), expected);
        EXPECT_EQ(highlightedField(*form), expected);
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.first().text.toStdString();
}

TEST_F(FormTest, TheNameBorderAroundTheNameFieldHasNoAction) {
    newForm();
    form->selectField(5);
    form->mudaCor();
    QWidget* border = control("bdsBordaNome");
    clickAt(border, QPoint(1, border->height() / 2));
    EXPECT_EQ(form->activeField(), 5);
    EXPECT_EQ(highlightedField(*form), 5);
}

TEST_F(FormTest, APressThatLeavesTheControlBeforeReleaseIsNoClick) {
    newForm();
    form->selectField(5);
    form->mudaCor();
    QWidget* name = control("lblNome");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, name->mapTo(form.get(), name->rect().center()));
    QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, QPoint(700, 250));
    EXPECT_EQ(form->activeField(), 5);
}

TEST_F(FormTest, HighlightFollowsTheSelectedField) {
    newForm();
    for (int n : {1, 12, 24}) {
        form->selectField(n);
        form->mudaCor();
        EXPECT_EQ(highlightedField(*form), n);
    }
    for (int outside : {0, 25, -1}) {
        form->selectField(outside);
        form->mudaCor();
        EXPECT_EQ(highlightedField(*form), 0) << outside;
    }
}

TEST_F(FormTest, ClearEmptiesTheActiveFieldOnlyAndKeepsWhatLiesBehindIt) {
    newForm();
    const struct {
        int field;
        bool emptied;
    } cases[] = {{2, true}, {6, true}, {11, true}, {23, true}, {19, true}, {22, true}, {24, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        for (int n = 1; n <= 24; ++n)
            form->setFieldText(n, QStringLiteral("v%1").arg(n));
        form->registration().stCDSENHACONS = QStringLiteral("abc");
        form->registration().consumer.stCdTipoVenda = QStringLiteral("7");
        form->selectField(c.field);
        form->mudaCor();
        click("sbtLimpar");
        for (int n = 1; n <= 24; ++n)
            EXPECT_EQ(form->fieldText(n), n == c.field && c.emptied ? QString() : QStringLiteral("v%1").arg(n)) << n;
        EXPECT_EQ(form->activeField(), c.field);
        EXPECT_EQ(form->registration().stCDSENHACONS, QStringLiteral("abc"));
        EXPECT_EQ(form->registration().consumer.stCdTipoVenda, QStringLiteral("7"));
    }
}

TEST_F(FormTest, ClearDoesNothingWithoutAnActiveField) {
    newForm();
    form->setFieldText(2, QStringLiteral("Ana"));
    form->selectField(0);
    form->entry().sbtLimparClick();
    EXPECT_EQ(form->fieldText(2), QStringLiteral("Ana"));
}

TEST_F(FormTest, AnOptionToggledByItsImageOrCaption) {
    newForm();
    const struct {
        const char* image;
        const char* caption;
        QString* value;
    } options[] = {
        {"imgIDATUCPFCONS", "Label21", &form->registration().stIDATUCPFCONS},
        {"imgIDCADCONFLIBCON", "Label22", &form->registration().stIDCADCONFLIBCON},
        {"imgIDIMPCPFCUPOM", "Label23", &form->registration().stIDIMPCPFCUPOM},
        {"imgIDVERSALDCON", "Label24", &form->registration().stIDVERSALDCON},
    };
    for (const auto& option : options) {
        SCOPED_TRACE(option.image);
        for (const char* target : {option.image, option.caption}) {
            *option.value = QStringLiteral("S");
            click(target);
            EXPECT_EQ(*option.value, QStringLiteral("N"));
            EXPECT_FALSE(marked(option.image));
            click(target);
            EXPECT_EQ(*option.value, QStringLiteral("S"));
            EXPECT_TRUE(marked(option.image));
        }
        // Anything but "S" turns into "S".
        for (const QString& odd : {QString(), QStringLiteral("X"), QStringLiteral("s")}) {
            *option.value = odd;
            labelOf(option.image)->clear();
            click(option.caption);
            EXPECT_EQ(*option.value, QStringLiteral("S"));
            EXPECT_TRUE(marked(option.image));
        }
    }
    // One option does not touch the others.
    form->registration().stIDATUCPFCONS = form->registration().stIDCADCONFLIBCON =
        form->registration().stIDIMPCPFCUPOM = form->registration().stIDVERSALDCON = QStringLiteral("S");
    click("imgIDCADCONFLIBCON");
    EXPECT_EQ(form->registration().stIDATUCPFCONS + form->registration().stIDCADCONFLIBCON +
                  form->registration().stIDIMPCPFCUPOM + form->registration().stIDVERSALDCON,
              QStringLiteral("SNSS"));
}

TEST_F(FormTest, SexChoiceMovesTheMarkOnlyFromTheOtherSex) {
    newForm();
    const struct {
        const char* before;
        const char* touched;
        const char* after;
        bool femaleMarked, maleMarked;
    } cases[] = {
        {"M", "bldFeminino", "F", true, false},  {"M", "lblFeminino", "F", true, false},
        {"M", "imgFeminino", "F", true, false},  {"F", "bldMasculino", "M", false, true},
        {"F", "lblMasculino", "M", false, true}, {"F", "imgMasculino", "M", false, true},
        {"M", "bldMasculino", "M", false, true}, {"F", "lblFeminino", "F", true, false},
        {"", "bldFeminino", "", true, true},     {"", "imgMasculino", "", true, true},
        {"X", "lblMasculino", "X", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " then " + c.touched);
        form->registration().consumer.stIdSexoCons = QString::fromLatin1(c.before);
        // The pictures as the state says, or both marked as the design shows them before initialization.
        const bool chosen = form->registration().consumer.stIdSexoCons == QLatin1String("M") ||
                            form->registration().consumer.stIdSexoCons == QLatin1String("F");
        labelOf("imgFeminino")
            ->setPixmap(!chosen || form->registration().consumer.stIdSexoCons == QLatin1String("F")
                            ? labelOf("imgMarcado")->pixmap()
                            : QPixmap());
        labelOf("imgMasculino")
            ->setPixmap(!chosen || form->registration().consumer.stIdSexoCons == QLatin1String("M")
                            ? labelOf("imgMarcado")->pixmap()
                            : QPixmap());
        click(c.touched);
        EXPECT_EQ(form->registration().consumer.stIdSexoCons, QString::fromLatin1(c.after));
        EXPECT_EQ(marked("imgFeminino"), c.femaleMarked);
        EXPECT_EQ(marked("imgMasculino"), c.maleMarked);
    }
}

TEST_F(FormTest, ExitClearsTheCallButNotTheFieldsAndClosesTheForm) {
    newForm();
    form->registration().consumer.stCdConsumidor = QStringLiteral("12");
    form->registration().consumer.stNmConsumidor = QStringLiteral("Ana");
    form->registration().consumer.stCdCliente = QStringLiteral("000000000000000000001");
    form->registration().boGravou = true;
    form->setFieldText(1, QStringLiteral("000000000000000000012"));
    form->setFieldText(2, QStringLiteral("Ana"));
    click("lblSair");
    EXPECT_TRUE(form->registration().consumer.stCdConsumidor.isEmpty());
    EXPECT_TRUE(form->registration().consumer.stNmConsumidor.isEmpty());
    EXPECT_TRUE(form->registration().consumer.stCdCliente.isEmpty());
    EXPECT_FALSE(form->saved());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->fieldText(1), QStringLiteral("000000000000000000012"));
    EXPECT_EQ(form->fieldText(2), QStringLiteral("Ana"));
}

TEST_F(FormTest, ClosingTheFormEndsTheCallAndItsSecrets) {
    newForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->registration().stCDSENHACONS = QStringLiteral("typed");
    form->registration().stDigital = QStringLiteral("captured");
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->registration().stCDSENHACONS + form->registration().stDigital, QString());
}

// A failing handler is reported once, never carried out of the event loop.
TEST_F(FormTest, AHandlerErrorIsShownAsAnErrorMessage) {
    newForm();
    form->registration().stIdEsquema = QStringLiteral("001");
    form->registration().stIDATUCPFCONS = QStringLiteral("S");
    labelOf("imgIDATUCPFCONS")->setObjectName(QStringLiteral("renamed")); // the handler's image is gone
    click("Label21");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("imgIDATUCPFCONS"))) << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_EQ(messages[0].flag1, QStringLiteral("N"));
    EXPECT_EQ(messages[0].flag2, QStringLiteral("N"));
    EXPECT_EQ(messages[0].esquema, QStringLiteral("001"));
}

TEST_F(FormTest, MessageTableHoldsTheScreensMessagesByKey) {
    newForm();
    const QList<MessageRow>& rows = form->registration().msgPadrao.rows();
    const QStringList keys = {"Nome_NInf",    "Rg_NInf",      "Telefone_NInf", "Cpf_NInf",      "Celular_NInf",
                              "Cons_Cad",     "Param_Vnd",    "Ope_N_Cons",    "Cpf_Inv",       "Cpf_Cad",
                              "RG_Cad",       "PAIS_N_INF",   "ESTADO_N_INF",  "DATA_INVALIDA", "Email_NInf",
                              "CodCons_Ninf", "MUNICI_N_CAD", "PAIS_N_CAD",    "ESTADO_N_CAD",  "MUNICIPIO_N_INF",
                              "EMAIL_INV",    "Cracha_Cad",   "Cracha_Ninf",   "Cons_SemBanco", "Cons_Fila"};
    QStringList actual;
    for (const MessageRow& row : rows) {
        actual << row.key;
        EXPECT_FALSE(row.text.isEmpty()) << row.key.toStdString();
    }
    EXPECT_EQ(actual, keys);
    EXPECT_EQ(form->registration().msgPadrao.Msg(QStringLiteral("Cpf_Inv")), QStringLiteral("Número do CPF inválido."));
    // Validation asks for "Nome_Ninf"; the row is keyed "Nome_NInf".
    EXPECT_EQ(form->registration().msgPadrao.Msg(QStringLiteral("Nome_Ninf")),
              QStringLiteral("Nome do consumidor não informado."));
    EXPECT_EQ(form->registration().msgPadrao.Msg(QStringLiteral("Cracha_Cad")),
              QStringLiteral("O número de Identificação/Crachá já está cadastrado para outro consumidor no banco de "
                             "dados. Informe outro código."));
}

TEST_F(FormTest, KeyedMessagesCarryTheFlagsOfTheirKind) {
    newForm();
    const struct {
        const char* key;
        int kind;
        const char* flag;
    } cases[] = {{"Cpf_Cad", kMsgPergunta, "S"}, {"PAIS_N_CAD", kMsgInformacao, "N"}, {"Cpf_Inv", kMsgErro, "N"}};
    for (const auto& c : cases) {
        messages.clear();
        form->showMessage(QLatin1String(c.key), c.kind, QStringLiteral("001"), QStringLiteral("linha"));
        ASSERT_EQ(messages.size(), 1);
        const MensagemArgs& m = messages[0];
        EXPECT_EQ(m.text, form->registration().msgPadrao.Msg(QLatin1String(c.key)));
        EXPECT_EQ(m.details, QStringLiteral("linha"));
        EXPECT_EQ(m.flag1, QLatin1String(c.flag));
        EXPECT_EQ(m.flag2, QLatin1String(c.flag));
        EXPECT_EQ(m.kind, c.kind);
        EXPECT_EQ(m.esquema, QStringLiteral("001"));
        EXPECT_EQ(m.number, 0);
        EXPECT_EQ(m.dataset, nullptr);
    }
    messages.clear();
    form->showMessage(QStringLiteral("NoSuchKey"), kMsgErro, QStringLiteral("002"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.isEmpty());
}

} // namespace
} // namespace cadcons::test
