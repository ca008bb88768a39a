#include "entry_fixture.h"

using namespace cadcons;
using namespace cadcons::testing;

namespace {

struct PostCase {
    int field;
    QString before;
    bool caps, shift;
    QString typed;
    QString after;
    bool shiftAfter;
};

using PostaTextoTest = EntryTest;

TEST_F(PostaTextoTest, AddingFollowsCommaLengthDateAndCaseRules) {
    const QString x49(49, u'x'), x50(50, u'x');
    const PostCase cases[] = {
        // length, compared before adding
        {2, x49, false, false, "a", x49 + "a", false},
        {2, x50, false, false, "a", x50, false},
        {1, QString(20, u'1'), false, false, "2", QString(20, u'1') + "2", false},
        {1, QString(21, u'1'), false, false, "2", QString(21, u'1'), false},
        {8, "S", false, false, "p", "Sp", false},
        {8, "SP", false, true, "a", "SP", true}, // refused: Shift stays armed
        // no longer than the column the caption is saved in: badge, external code, neighbourhood
        {17, QString(20, u'1'), false, false, "2", QString(20, u'1') + "2", false},
        {17, QString(21, u'1'), false, false, "2", QString(21, u'1'), false},
        {20, QString(21, u'x'), false, false, "y", QString(21, u'x'), false},
        {10, QString(30, u'x'), false, false, "y", QString(30, u'x'), false},
        {11, "0100100", false, false, "0", "01001000", false},
        {11, "01001000", false, false, "0", "01001000", false},
        {22, "", false, false, "a", "a", false},
        {22, "Venda a vista", false, false, "a", "Venda a vista", false}, // a picked name blocks typing
        {24, "", false, false, "x", "x", false},
        {24, "x", false, false, "y", "x", false},
        // comma
        {6, "", false, false, ",", "0,", false},
        {6, "", false, true, ",", "0,", true}, // "0," skips the case rule, Shift stays armed
        {6, "Rua", false, false, ",", "Rua,", false},
        {6, "Rua", false, true, ",", "Rua,", false},
        {8, "", false, false, ",", "0,", false}, // before the length rule
        {8, "SP", false, false, ",", "SP", false},
        {1, "", false, false, ",", "", false},
        {2, "", false, false, ",", "", false},
        {2, "Ana", false, false, ",", "Ana", false},
        {3, "12", false, false, ",", "12", false},
        {4, "12", false, false, ",", "12", false},
        // birth date
        {3, "", false, false, "1", "1", false},
        {3, "1", false, false, "2", "12", false},
        {3, "12", false, false, "0", "12/0", false},
        {3, "12/0", false, false, "3", "12/03", false},
        {3, "12/03", false, false, "1", "12/03/1", false},
        {3, "12/03/199", false, false, "0", "12/03/1990", false},
        {3, "12/03/1990", false, false, "1", "12/03/1990", false},
        {3, "12", false, false, "/", "12//", false},
        {3, "", false, false, "a", "", false},
        {3, "12", false, false, "a", "12", false},
        {3, "12/03", false, false, "x", "12/03", false},
        {3, "12", false, true, "a", "12", true},
        {3, "12/", false, false, "0", "12/0", false}, // after erasing a digit no second separator
        {3, "12/03/", false, false, "1", "12/03/1", false},
        {3, "1", false, false, "\u0661", "1", false}, // a non-ASCII digit is no digit here
        // case
        {2, "", false, false, "A", "a", false},
        {2, "", false, true, "a", "A", false},
        {2, "", true, false, "a", "A", false},
        {2, "", true, true, "a", "A", false},
        {2, "", false, true, "1", "1", false},
        {2, "", false, true, " ", " ", false},
        {15, "a", false, true, "@", "a@", false},
        {2, "", true, false, "\u00e7", "\u00e7", false},
        {2, "", false, true, "\u00e7", "\u00e7", false},
        {2, "", false, false, "\u00c7", "\u00c7", false},
        {2, "", true, false, "\u00e1", "\u00e1", false},
    };
    for (const PostCase& c : cases) {
        activate(c.field);
        form->setFieldText(c.field, c.before);
        form->entry().setCapsLock(c.caps);
        form->entry().setShift(c.shift);
        form->entry().PostaTexto(c.field, c.typed, false);
        const std::string where =
            "field " + std::to_string(c.field) + " '" + c.before.toStdString() + "' + '" + c.typed.toStdString() + "'";
        EXPECT_EQ(text(c.field), c.after) << where;
        EXPECT_EQ(form->entry().shiftArmed(), c.shiftAfter) << where;
        EXPECT_EQ(form->entry().capsLock(), c.caps) << where;
        EXPECT_EQ(form->activeField(), c.field) << where;
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PostaTextoTest, ShiftReleasedByACharacterShowsLowerCaseKeys) {
    form->entry().sbtShiftClick();
    EXPECT_EQ(letterCaptions(), kUpper);
    form->entry().PostaTexto(2, "b", false);
    EXPECT_EQ(text(2), "B");
    EXPECT_FALSE(form->entry().shiftArmed());
    EXPECT_EQ(letterCaptions(), kLower);
}

TEST_F(PostaTextoTest, ErasingRemovesTheLastCharacterOnly) {
    const struct {
        int field;
        QString before, after;
    } cases[] = {
        {2, "", ""}, {2, "abc", "ab"}, {3, "12/", "12"}, {3, "12/0", "12/"}, {19, "***", "**"}, {24, "Loja", "Loj"},
    };
    for (const auto& c : cases) {
        form->setFieldText(c.field, c.before);
        form->entry().setShift(true);
        form->entry().PostaTexto(c.field, QString(), true);
        EXPECT_EQ(text(c.field), c.after) << c.field;
        EXPECT_TRUE(form->entry().shiftArmed()) << "erasing spends no Shift";
    }
}

TEST_F(PostaTextoTest, EightDigitsMakeADate) {
    for (QChar d : QStringLiteral("25121990"))
        form->entry().PostaTexto(3, QString(d), false);
    EXPECT_EQ(text(3), "25/12/1990");
}

TEST_F(PostaTextoTest, AFieldNumberOutsideTheCatalogueChangesNothing) {
    form->setFieldText(2, "a");
    for (int field : {0, 25, -1}) {
        form->entry().PostaTexto(field, "b", false);
        form->entry().PostaTexto(field, QString(), true);
    }
    EXPECT_EQ(text(2), "a");
}

} // namespace
