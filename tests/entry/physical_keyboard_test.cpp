#include "entry_fixture.h"

using namespace cadcons;
using namespace cadcons::testing;

namespace {

enum Layout { Us, Br, BrCompose }; // BrCompose: ABNT2 with an input method composing the dead keys

DataPacket packet(QList<FieldDef> fields, QList<QVariantList> rows) {
    DataPacket p;
    p.fields = std::move(fields);
    p.rows = std::move(rows);
    return p;
}

class PhysicalKeyboardTest : public EntryTest {
protected:
    void SetUp() override {
        EntryTest::SetUp();
        loadLists();
    }
    void loadLists() {
        const auto s = FieldType::String;
        form->registration().lists.cdsPais.setData(packet(
            {{"CDPAIS", s, 4}, {"NMPAIS", s, 30}}, {{"1058", "Brasil"}, {"0639", "Argentina"}, {"X'1", "Xanadu"}}));
        form->registration().lists.cdsEstado.setData(packet(
            {{"CDPAIS", s, 4}, {"SGESTADO", s, 2}, {"NMESTADO", s, 30}},
            {{"1058", "SP", "S\u00e3o Paulo"}, {"1058", "RJ", "Rio de Janeiro"}, {"0639", "BA", "Buenos Aires"}}));
        form->registration().lists.cdsMunicipio.setData(
            packet({{"CDPAIS", s, 4}, {"SGESTADO", s, 2}, {"CDMUNICIPIO", s, 4}, {"NMMUNICIPIO", s, 30}},
                   {{"1058", "SP", "0001", "S\u00e3o Paulo"},
                    {"1058", "RJ", "0001", "Rio de Janeiro"},
                    {"1058", "SP", "D'1", "Olho d'\u00c1gua"}}));
    }
    // Every picker's preconditions hold: country, state and city shown, a new consumer.
    void preparePickers() {
        loadLists();
        form->setFieldText(6, "Rua A");
        form->setFieldText(7, "Brasil");
        form->setFieldText(8, "SP");
        form->setFieldText(9, "S\u00e3o Paulo");
        form->registration().consumer.stOperacao = "1";
    }
    // The pick lists open from the pickers' own handlers; a build may not have them yet.
    bool pickListsBuiltIn() {
        preparePickers();
        form->lookups().bdsPaisClick();
        const bool builtIn = !pickLists.isEmpty();
        reset();
        loadLists();
        return builtIn;
    }
    // Types each character as a key without modifiers, with the key code Qt gives it.
    void typeText(const QString& s) const {
        for (QChar c : s) {
            if (c == u'\b')
                press(Qt::Key_Backspace, {}, "\b");
            else
                press(Qt::Key(c.toUpper().unicode()), {}, QString(c));
        }
    }
    QColor frameColor(int field) const { return form->fieldFrame(field)->brushColor(); }
    // Types `s` with the key events (keycode, Qt key, modifiers, X state, text) of Qt's xcb plugin. ABNT2 types
    // accents with dead keys, "^" and "`" shifted, or an input method composes them, taking the keys and a
    // Shift pressed meanwhile. What a layout lacks comes on a spare key, as xdotool types it.
    void typeOn(Layout layout, const QString& s) const {
        const bool br = layout != Us;
        const QString keys =
            br ? QStringLiteral("1234567890-=\1\1qwertyuiop\1[\1\1asdfghjkl\u00e7\1'\1]zxcvbnm,.;")
               : QStringLiteral("1234567890-=\1\1qwertyuiop[]\1\1asdfghjkl;'`\1\\zxcvbnm,./"); // keycode 10..
        for (QChar c : s) {
            const QString nfd = QString(c).normalized(QString::NormalizationForm_D);
            const char16_t mark = nfd.size() == 2 ? nfd[1].unicode() : 0; // grave, acute, circumflex, tilde
            if (br && mark >= 0x300 && mark <= 0x303) {
                const bool shiftedAccent = mark == 0x300 || mark == 0x302;
                if (shiftedAccent)
                    press(Qt::Key_Shift, Qt::ShiftModifier, {}, 50);
                if (layout == BrCompose) {
                    QInputMethodEvent commit;
                    commit.setCommitString(QString(c));
                    QApplication::sendEvent(form.get(), &commit);
                    continue;
                }
                press(Qt::Key(Qt::Key_Dead_Grave + (mark - 0x300)), shiftedAccent ? Qt::ShiftModifier : Qt::NoModifier,
                      {}, mark >= 0x302 ? 48 : 34);
                c = nfd[0];
            }
            const bool shifted =
                (c.isUpper() && c.unicode() < 0x80) || c == u'@' || c == u'_' || (br && c == u'\u00bd');
            const bool altGr = br && (c == u'/' || c == u'\u00bd'); // AltGr+q, Shift+AltGr+2
            const QChar base = c == u'@' || c == u'\u00bd' ? u'2' : c == u'_' ? u'-' : altGr ? u'q' : c.toLower();
            const quint32 code = c == u' '             ? 65
                                 : br && c == u'\\'    ? 94
                                 : keys.contains(base) ? 10 + keys.indexOf(base)
                                                       : 253;
            if (shifted)
                press(Qt::Key_Shift, Qt::ShiftModifier, {}, 50);
            press(Qt::Key(c.toUpper().unicode()),
                  (shifted ? Qt::ShiftModifier : Qt::NoModifier) | (altGr ? Qt::GroupSwitchModifier : Qt::NoModifier),
                  c, code, false, (altGr ? 0x80 : 0) | (shifted ? 1 : 0));
        }
    }
};

const QColor kGray(128, 128, 128), kWhite(255, 255, 255);

TEST_F(PhysicalKeyboardTest, EnterAndEscapeMoveByTheNavigationTable) {
    // field: Enter, Escape in mode "B", Escape in other modes
    const int table[24][3] = {{2, 22, 22},  {3, 1, 22},   {4, 2, 2},    {5, 3, 3},    {11, 4, 4},   {7, 11, 11},
                              {8, 6, 6},    {9, 7, 7},    {10, 8, 8},   {23, 9, 9},   {6, 5, 5},    {13, 23, 23},
                              {14, 12, 12}, {15, 13, 13}, {16, 14, 14}, {17, 15, 15}, {18, 16, 16}, {19, 17, 17},
                              {20, 18, 18}, {21, 19, 19}, {22, 20, 20}, {24, 21, 21}, {12, 10, 10}, {1, 23, 23}};
    for (int field = 1; field <= 24; ++field) {
        const int* row = table[field - 1];
        const std::pair<Qt::Key, const char*> moves[] = {{Qt::Key_Return, "B"}, {Qt::Key_Escape, "B"},
                                                         {Qt::Key_Escape, "A"}, {Qt::Key_Escape, ""},
                                                         {Qt::Key_Return, "A"}, {Qt::Key_Enter, ""}};
        const int expected[] = {row[0], row[1], row[2], row[2], row[0], row[0]};
        for (int m = 0; m < 6; ++m) {
            form->registration().stModoChamada = moves[m].second;
            activate(field);
            QTest::keyClick(form.get(), moves[m].first);
            EXPECT_EQ(form->activeField(), expected[m]) << "field " << field << " key " << m;
            EXPECT_EQ(frameColor(expected[m]), kGray) << "field " << field;
            if (expected[m] != field) {
                EXPECT_EQ(frameColor(field), kWhite) << "field " << field;
            }
        }
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(confirmedFrom.isEmpty());
}

TEST_F(PhysicalKeyboardTest, EnterLooksUpCountryStateAndCityByCode) {
    const struct {
        int field;
        QString typed, pais, uf;
        QString shown, paisAfter, ufAfter, municipioAfter;
    } cases[] = {
        {7, "1058", "", "", "Brasil", "1058", "", ""},
        {7, "9999", "0639", "", "9999", "0639", "", ""},
        {7, "X'1", "", "", "Xanadu", "X'1", "", ""},
        {7, "Brasil", "1058", "", "Brasil", "1058", "", ""}, // a name chosen before is no code
        {8, "sp", "1058", "", "SP", "1058", "SP", ""},
        {8, "Rj", "1058", "SP", "RJ", "1058", "RJ", ""},
        {8, "ba", "1058", "SP", "ba", "1058", "SP", ""}, // the state of another country
        {8, "sp", "10'58", "", "sp", "10'58", "", ""},
        {9, "0001", "1058", "SP", "S\u00e3o Paulo", "1058", "SP", "0001"},
        {9, "0001", "1058", "rj", "Rio de Janeiro", "1058", "rj", "0001"},
        {9, "D'1", "1058", "SP", "Olho d'\u00c1gua", "1058", "SP", "D'1"},
        {9, "Olho d'\u00c1gua", "1058", "SP", "Olho d'\u00c1gua", "1058", "SP", "old"},
        {9, "0001", "0639", "SP", "0001", "0639", "SP", "old"},
    };
    for (const auto& c : cases) {
        form->registration().consumer.stCdPais = c.pais;
        form->registration().consumer.stSgEstado = c.uf;
        form->registration().consumer.stCdMunicipio = "old";
        activate(c.field);
        form->setFieldText(c.field, c.typed);
        QTest::keyClick(form.get(), Qt::Key_Return);
        const std::string what = std::to_string(c.field) + " " + c.typed.toStdString();
        EXPECT_EQ(text(c.field), c.shown) << what;
        EXPECT_EQ(form->registration().consumer.stCdPais, c.paisAfter) << what;
        EXPECT_EQ(form->registration().consumer.stSgEstado, c.ufAfter) << what;
        EXPECT_EQ(form->registration().consumer.stCdMunicipio, c.municipioAfter.isEmpty() ? "old" : c.municipioAfter)
            << what;
        EXPECT_EQ(form->activeField(), c.field + 1) << what;
        for (const ClientDataSet* ds : {&form->registration().lists.cdsPais, &form->registration().lists.cdsEstado,
                                        &form->registration().lists.cdsMunicipio})
            EXPECT_FALSE(ds->filtered()) << what << " " << ds->name().toStdString();
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

TEST_F(PhysicalKeyboardTest, CodesTypedOnTheScreenResolveCountryThenStateThenCity) {
    activate(7);
    touchKeys("1058");
    QTest::keyClick(form.get(), Qt::Key_Return);
    touchKeys("sp");
    QTest::keyClick(form.get(), Qt::Key_Return);
    touchKeys("0001");
    QTest::keyClick(form.get(), Qt::Key_Return);
    EXPECT_EQ(QStringList({text(7), text(8), text(9)}), QStringList({"Brasil", "SP", "S\u00e3o Paulo"}));
    EXPECT_EQ(QStringList({form->registration().consumer.stCdPais, form->registration().consumer.stSgEstado,
                           form->registration().consumer.stCdMunicipio}),
              QStringList({"1058", "SP", "0001"}));
    EXPECT_EQ(form->activeField(), 10);
    EXPECT_FALSE(form->registration().lists.cdsMunicipio.filter().isEmpty()) << "the filter text stays, switched off";
}

TEST_F(PhysicalKeyboardTest, EnterOnTheCodeSetsTheConsumerAndTheBadge) {
    const struct {
        const char* operacao;
        QString badge, code, badgeAfter;
    } cases[] = {
        {"1", "777", "123", "123"}, {"1", "", "123", "123"}, {"2", "777", "123", "777"},
        {"2", "", "123", "123"},    {"1", "777", "", "777"}, {"2", "", "", ""},
    };
    for (const auto& c : cases) {
        form->registration().consumer.stOperacao = c.operacao;
        form->registration().consumer.stCdConsumidor = "before";
        form->setFieldText(17, c.badge);
        form->setFieldText(1, c.code);
        activate(1);
        QTest::keyClick(form.get(), Qt::Key_Return);
        EXPECT_EQ(text(17), c.badgeAfter) << c.operacao << " " << c.badge.toStdString();
        EXPECT_EQ(form->registration().consumer.stCdConsumidor, c.code);
        EXPECT_EQ(form->activeField(), 2);
    }
}

TEST_F(PhysicalKeyboardTest, F5ToF8ToggleTheirOptionOnly) {
    QString* flags[] = {&form->registration().stIDATUCPFCONS, &form->registration().stIDCADCONFLIBCON,
                        &form->registration().stIDIMPCPFCUPOM, &form->registration().stIDVERSALDCON};
    const Qt::Key keys[] = {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8};
    for (int i = 0; i < 4; ++i) {
        for (QString* f : flags)
            *f = "S";
        activate(6);
        QTest::keyClick(form.get(), keys[i]);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(*flags[j], i == j ? "N" : "S") << "F" << 5 + i;
        QTest::keyClick(form.get(), keys[i], Qt::ShiftModifier);
        EXPECT_EQ(*flags[i], "S") << "F" << 5 + i;
        EXPECT_EQ(form->activeField(), 6);
    }
}

const QList<int> kPickerFields = {7, 8, 9, 10, 16, 22, 24};

TEST_F(PhysicalKeyboardTest, F9OnAFieldWithoutPickerDoesNothing) {
    for (int field = 1; field <= 24; ++field) {
        if (kPickerFields.contains(field))
            continue;
        reset();
        preparePickers();
        QStringList before;
        for (int f = 1; f <= 24; ++f)
            before << text(f);
        activate(field);
        QTest::keyClick(form.get(), Qt::Key_F9);
        QStringList after;
        for (int f = 1; f <= 24; ++f)
            after << text(f);
        EXPECT_EQ(after, before) << field;
        EXPECT_EQ(form->activeField(), field);
        EXPECT_TRUE(pickLists.isEmpty()) << field;
        EXPECT_TRUE(messages.isEmpty()) << field;
    }
}

TEST_F(PhysicalKeyboardTest, F9AndSpaceOpenThePickListOfTheField) {
    if (!pickListsBuiltIn())
        GTEST_SKIP() << "touching the country field opens no pick list in this build";
    const QMap<int, QString> lists = {{7, "cdsPais"},        {8, "cdsEstado"},    {9, "cdsMunicipio"},
                                      {10, "cdsBairro"},     {16, "cdsTipoCons"}, {22, "cdsTipoVenda"},
                                      {24, "cdsClienFilial"}};
    for (int field : kPickerFields) {
        reset();
        preparePickers();
        activate(field);
        QTest::keyClick(form.get(), Qt::Key_F9);
        EXPECT_EQ(pickLists, QStringList{lists[field]}) << field;
        pickLists.clear();
        typeText(" "); // sale type and customer open on F9 and touch only
        EXPECT_EQ(pickLists, field == 22 || field == 24 ? QStringList{} : QStringList{lists[field]}) << field;
        EXPECT_EQ(form->activeField(), field);
        EXPECT_TRUE(messages.isEmpty()) << field;
    }
}

TEST_F(PhysicalKeyboardTest, PickerFieldsEatEveryCharacter) {
    for (int field : kPickerFields) {
        reset();
        form->setFieldText(field, "V");
        activate(field);
        typeText("a1,.-\u00e7\b");
        EXPECT_EQ(text(field), "V") << field;
        for (QChar typed : QStringLiteral("a1 \b")) {
            QChar k = typed;
            form->entry().FormKeyPress(k);
            EXPECT_TRUE(k.isNull()) << "consumed in " << field;
        }
        EXPECT_EQ(text(field), "V") << field;
    }
}

TEST_F(PhysicalKeyboardTest, CtrlEnterConfirmsAfterMovingOnAndNoOtherEnterDoes) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool confirms;
    } cases[] = {
        {Qt::Key_Return, Qt::ControlModifier, true},
        {Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, true},
        {Qt::Key_Return, {}, false},
        {Qt::Key_Return, Qt::AltModifier, false},
        {Qt::Key_Return, Qt::ShiftModifier, false},
        {Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_Escape, Qt::ControlModifier, false},
    };
    for (const auto& c : cases) {
        reset();
        form->setFieldText(1, "42");
        activate(1);
        QTest::keyClick(form.get(), c.key, c.mods);
        EXPECT_EQ(confirmedFrom, c.confirms ? QList<int>{2} : QList<int>{}) << c.key << " " << c.mods.toInt();
        if (c.key == Qt::Key_Return) {
            EXPECT_EQ(form->registration().consumer.stCdConsumidor, "42");
        }
    }
}

TEST_F(PhysicalKeyboardTest, ShiftTwoAndShiftMinusTypeOnceOnAnyLayout) {
    const struct {
        int field;
        Qt::Key key;
        QString text;
        quint32 keycode;
        QString shown, hidden;
        bool shiftAfter;
    } cases[] = {
        {15, Qt::Key_At, "@", 0, "a@", "", false},          // US, ABNT2
        {15, Qt::Key_At, "@", 11, "a@", "", false},         // US, ABNT2 with a keycode
        {15, Qt::Key_QuoteDbl, "\"", 11, "a@", "", false},  // UK
        {15, Qt::Key_Underscore, "_", 0, "a_", "", false},  // no keycode
        {15, Qt::Key_Underscore, "_", 20, "a_", "", false}, // with one
        {2, Qt::Key_Exclam, "!", 10, "a", "", true},        // Shift+1 types nothing
        {7, Qt::Key_Underscore, "_", 20, "a_", "", false},  // also into a picker field
        {7, Qt::Key_At, "@", 11, "a@", "", false},          //
        {19, Qt::Key_Underscore, "_", 20, "*", "_", false}, // a password character
        {19, Qt::Key_At, "@", 11, "", "", true},            // none: not even in the caption
        {19, Qt::Key_QuoteDbl, "\"", 11, "", "", true},     //
    };
    for (const auto& c : cases) {
        reset();
        form->setFieldText(c.field, c.field == 19 ? "" : "a");
        activate(c.field);
        pressShifted(c.key, c.text, c.keycode);
        const std::string what = std::to_string(c.field) + " " + c.text.toStdString();
        EXPECT_EQ(text(c.field), c.shown) << what;
        EXPECT_EQ(form->registration().stCDSENHACONS, c.hidden) << what;
        EXPECT_EQ(form->entry().shiftArmed(), c.shiftAfter) << what;
    }
}

TEST_F(PhysicalKeyboardTest, CharacterFilterPerField) {
    const struct {
        int field;
        const char* impMercBoca;
        QString typed, shown;
    } cases[] = {
        {2, "N", "Ab1 ,.-@!'", "ab1 .@"}, // no comma in the name
        {6, "N", "Ab1 ,.-@!'", "ab1 ,.@"},
        {4, "N", "a1,b", "a1b"},
        {6, "N", ",5", "0,5"},
        {3, "N", "1a2/0b3 1", "12/03/1"},
        {5, "N", "123.456-7a ", "1234567"},
        {11, "N", "0100a-100", "0100100"},
        {12, "N", "99 12a,", "9912"},
        {13, "N", "99 12a.", "9912"},
        {14, "N", "99 12aZ", "9912"},
        {1, "N", "12ab ,.", "12"},
        {1, "S", "12ab ,.", "12AB"},
        {17, "N", "1a b,.", "1"},
        {17, "S", "1a b,.", "1A B,."},
        {17, "", "1a b,.", "1a b,."},
        {15, "N", "Jo.Silva", "jo.silva"},
        {18, "N", "Login1", "login1"},
        {20, "N", "Ext 9", "ext 9"},
        {23, "N", "12A", "12a"},
        {2, "N", "abc\b\b", "a"},
        {3, "N", "12\b3", "13"},
        // characters whose codes are also ABNT2 key codes are characters all the same; "ç" itself
        {2, "N", "\u00ba\u00be\u00c1\u00e2", "aa"},
        {2, "N", "\u00e7\u00c7", "\u00e7\u00e7"},
        {2, "N", "/\\\u00e1\u0107\u00aa\u00b2", "/\\ac"},
        {5, "N", "\u00ba\u00be\u00e7\u00e1", ""},
        {17, "S", "\u00ba\u00e7\u00e1", "\u00e7A"},
        {17, "N", "\u00ba\u00e7\u00e1", ""},
        {1, "S", "\u00ba\u00e7\u00e1", "A"}, // the code takes letters A to Z only
    };
    for (const auto& c : cases) {
        reset();
        form->registration().stIdImpMercBoca = c.impMercBoca;
        activate(c.field);
        typeText(c.typed);
        EXPECT_EQ(text(c.field), c.shown) << c.field << " " << c.impMercBoca << " " << c.typed.toStdString();
        EXPECT_FALSE(form->entry().capsLock());
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PhysicalKeyboardTest, TypedTextOnUsAndAbnt2Layouts) {
    const struct {
        Layout layout;
        QString typed, name, cpf, badge, password;
    } cases[] = {
        {Us, "Jo\u00e3o \u00c1vila \u00e7", "Joao avila \u00e7", "", "JOAO AVILA \u00e7", "Joo vila \u00e7"},
        {Br, "Jo\u00e3o \u00c1vila", "Joao Avila", "", "JOAO AVILA", "Joao Avila"},
        {BrCompose, "Jo\u00e3o \u00c1vila", "Joao Avila", "", "JOAO AVILA", "Joo vila"},
        {Br, "Concei\u00e7\u00e3o C\u00e2mara Sim\u00f5es", "Concei\u00e7ao Camara Simoes", "",
         "CONCEI\u00e7AO CAMARA SIMO", "Concei\u00e7ao Camara Simoes"},
        {Br, "In\u00eas L\u00edvia Gl\u00f3ria L\u00facia \u00c0", "Ines Livia Gloria Lucia A", "",
         "INES LIVIA GLORIA LUC", "Ines Livia Gloria Lucia A"},
        {BrCompose, "In\u00eas L\u00edvia Gl\u00f3ria L\u00facia \u00c0", "Ines Livia Gloria Lucia A", "",
         "INES LIVIA GLORIA LUC", "Ins Lvia Glria Lcia "},
        {Us, "12/3\\4\u00bd@5_6", "12/3\\4@5_6", "1234@5_6", "12/3\\4@5_6", "12/3\\45_6"},
        {Br, "12/3\\4\u00bd@5_6", "12/3\\4@5_6", "1234@5_6", "12/3\\4@5_6", "12/3\\45_6"},
    };
    for (const auto& c : cases) {
        QStringList held;
        for (int field : {2, 5, 17, 21}) {
            reset();
            form->registration().stIdImpMercBoca = "S";
            activate(field);
            typeOn(c.layout, c.typed);
            held << (field == 21 ? form->registration().stCDSENHASITE : text(field));
            // Shift is spent by every letter the name takes (a refused one elsewhere leaves it armed).
            EXPECT_TRUE(field != 2 || !form->entry().shiftArmed()) << c.typed.toStdString();
        }
        EXPECT_EQ(held, QStringList({c.name, c.cpf, c.badge, c.password})) << c.layout << " " << c.typed.toStdString();
        EXPECT_EQ(text(21), QString(c.password.size(), u'*'));
    }
}

TEST_F(PhysicalKeyboardTest, LettersFollowTheOnScreenCaseAndForcedUpperRestoresCapsLock) {
    const struct {
        int field;
        bool caps, shift;
        QString typed, shown;
        bool shiftAfter;
    } cases[] = {
        {2, true, false, "ab", "AB", false},  {2, false, true, "ab", "Ab", false},
        {17, false, true, "ab", "AB", false}, {17, true, false, "ab", "AB", false},
        {1, false, false, "ab", "AB", false},
    };
    for (const auto& c : cases) {
        reset();
        form->registration().stIdImpMercBoca = "S";
        form->entry().setCapsLock(c.caps);
        form->entry().setShift(c.shift);
        activate(c.field);
        typeText(c.typed);
        EXPECT_EQ(text(c.field), c.shown) << c.field;
        EXPECT_EQ(form->entry().capsLock(), c.caps) << c.field;
        EXPECT_EQ(form->entry().shiftArmed(), c.shiftAfter) << c.field;
    }
    reset();
    pressShifted(Qt::Key_A, "A");
    typeText("b");
    EXPECT_EQ(text(2), "Ab") << "a held Shift arms the on-screen Shift, the letter spends it";
}

TEST_F(PhysicalKeyboardTest, PasswordsTakeCharactersAsTypedAndShowAsterisks) {
    activate(19);
    pressShifted(Qt::Key_A, "A");
    typeText("b1");
    EXPECT_EQ(text(19), "***");
    EXPECT_EQ(form->registration().stCDSENHACONS, "Ab1");
    EXPECT_FALSE(form->entry().shiftArmed());
    typeText("\b");
    EXPECT_EQ(text(19), "**");
    EXPECT_EQ(form->registration().stCDSENHACONS, "Ab");
    typeText("-@!\u00e1\u00ba'");
    EXPECT_EQ(form->registration().stCDSENHACONS, "Ab-");
    EXPECT_EQ(text(19), "***");

    // every one of the 71 characters, into the other password
    QString all = " ,-./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\\_abcdefghijklmnopqrstuvwxyz\u00c7\u00e7";
    ASSERT_EQ(all.size(), 71);
    activate(21);
    form->entry().setCapsLock(true); // the on-screen case does not apply to the physical keyboard
    typeText(all);
    EXPECT_EQ(form->registration().stCDSENHASITE, all);
    EXPECT_EQ(text(21), QString(71, u'*'));
    EXPECT_EQ(form->registration().stCDSENHACONS, "Ab-");
}

TEST_F(PhysicalKeyboardTest, ClearThenTypingShowsEveryHiddenCharacter) {
    activate(19);
    typeText("abc");
    touch("sbtLimpar");
    EXPECT_EQ(text(19), "");
    typeText("d");
    EXPECT_EQ(text(19), "****");
    EXPECT_EQ(form->registration().stCDSENHACONS, "abcd");
}

TEST_F(PhysicalKeyboardTest, ShiftAndCapsLockToggleOncePerPressNotPerRepeat) {
    press(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(form->entry().shiftArmed());
    EXPECT_EQ(letterCaptions(), kUpper);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Shift, Qt::ShiftModifier, {}, 50, true);
    EXPECT_TRUE(form->entry().shiftArmed());
    press(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(form->entry().shiftArmed());
    EXPECT_EQ(letterCaptions(), kLower);

    press(Qt::Key_CapsLock);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_CapsLock, {}, {}, 66, true);
    EXPECT_TRUE(form->entry().capsLock());
    EXPECT_EQ(letterCaptions(), kUpper);
    press(Qt::Key_CapsLock);
    EXPECT_FALSE(form->entry().capsLock());

    press(Qt::Key_Backspace, {}, "\b"); // other keys still repeat
    form->setFieldText(2, "abc");
    press(Qt::Key_Backspace, {}, "\b", 22, true);
    press(Qt::Key_Backspace, {}, "\b", 22, true);
    EXPECT_EQ(text(2), "a");
}

TEST_F(PhysicalKeyboardTest, ArrowsChooseTheSexAndCtrlOrAltTypeNothing) {
    const struct {
        const char* before;
        Qt::Key key;
        const char* after;
    } cases[] = {{"F", Qt::Key_Right, "M"}, {"M", Qt::Key_Left, "F"}, {"M", Qt::Key_Right, "M"},
                 {"F", Qt::Key_Left, "F"},  {"M", Qt::Key_Up, "M"},   {"F", Qt::Key_Down, "F"}};
    for (const auto& c : cases) {
        form->registration().consumer.stIdSexoCons = c.before;
        QTest::keyClick(form.get(), c.key);
        EXPECT_EQ(form->registration().consumer.stIdSexoCons, c.after) << c.before << " " << c.key;
        EXPECT_EQ(form->activeField(), 2);
    }
    press(Qt::Key_A, Qt::ControlModifier, "\x01");
    press(Qt::Key_B, Qt::AltModifier, "b");
    EXPECT_EQ(text(2), "");
}

TEST_F(PhysicalKeyboardTest, AnyKeyRepaintsTheActiveField) {
    activate(5);
    form->selectField(9); // moved without a repaint
    press(Qt::Key_Tab, {}, "\t");
    EXPECT_EQ(frameColor(9), kGray);
    EXPECT_EQ(frameColor(5), kWhite);
}

TEST(VirtualKey, QtKeysMapToTheCodesTheHandlersTest) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        quint32 keycode;
        int vk;
        ShiftState shift;
    } cases[] = {
        {Qt::Key_Return, {}, 0, 13, 0},
        {Qt::Key_Enter, Qt::KeypadModifier, 0, 13, 0},
        {Qt::Key_Escape, {}, 0, 27, 0},
        {Qt::Key_Backspace, {}, 0, 8, 0},
        {Qt::Key_F5, {}, 0, 116, 0},
        {Qt::Key_F8, Qt::ShiftModifier, 0, 119, ssShift},
        {Qt::Key_F9, {}, 0, 120, 0},
        {Qt::Key_Left, {}, 0, 37, 0},
        {Qt::Key_Up, {}, 0, 38, 0},
        {Qt::Key_Right, {}, 0, 39, 0},
        {Qt::Key_Down, {}, 0, 40, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, 50, 16, 0}, // Qt reports the state before the press
        {Qt::Key_CapsLock, {}, 66, 20, 0},
        {Qt::Key_0, {}, 0, 48, 0},
        {Qt::Key_9, {}, 0, 57, 0},
        {Qt::Key_A, Qt::ControlModifier, 0, 65, ssCtrl},
        {Qt::Key_Z, Qt::AltModifier, 0, 90, ssAlt},
        {Qt::Key_Minus, {}, 20, 189, 0},
        {Qt::Key_Minus, {}, 0, 189, 0},
        {Qt::Key_Underscore, Qt::ShiftModifier, 0, 189, ssShift},
        {Qt::Key_At, Qt::ShiftModifier, 0, 50, ssShift},
        {Qt::Key_At, {}, 0, 0, 0},                              // "@" without Shift is no "2" key
        {Qt::Key_QuoteDbl, Qt::ShiftModifier, 11, 50, ssShift}, // UK Shift+2
        {Qt::Key_QuoteDbl, Qt::ShiftModifier, 0, 0, ssShift},   // unknown key
        {Qt::Key_Exclam, Qt::ShiftModifier, 10, 49, ssShift},   // Shift+1
        {Qt::Key_ParenRight, Qt::ShiftModifier, 19, 48, ssShift},
        {Qt::Key_ParenLeft, Qt::ShiftModifier, 18, 57, ssShift}, // Shift+0
        {Qt::Key_Question, Qt::ShiftModifier, 20, 0, ssShift},   // a layout whose "-" is elsewhere
        {Qt::Key_2, Qt::KeypadModifier, 88, 98, 0},              // numeric pad
        {Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier, 82, 109, ssShift},
        {Qt::Key_Return, Qt::ControlModifier | Qt::KeypadModifier | Qt::MetaModifier, 0, 13, ssCtrl},
        {Qt::Key_Return, Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier, 0, 13, ssShift | ssAlt | ssCtrl},
    };
    for (const auto& c : cases) {
        const QKeyEvent e(QEvent::KeyPress, c.key, c.mods, c.keycode, 0, 0);
        EXPECT_EQ(FormEntry::virtualKey(&e), c.vk) << std::hex << c.key << " keycode " << std::dec << c.keycode;
        EXPECT_EQ(FormEntry::shiftState(&e), c.shift) << std::hex << c.key;
    }
}

} // namespace
