#include "entry_fixture.h"

using namespace cadcons;
using namespace cadcons::testing;

namespace {

using OnScreenKeyboardTest = EntryTest;

constexpr QChar kShift = u'\u21e7', kCaps = u'\u21ea'; // stand for the Shift and Caps Lock keys in touchKeys

TEST_F(OnScreenKeyboardTest, EveryCharacterKeyTypesItsCharacter) {
    QList<std::pair<QByteArray, QString>> keys = {
        {"sbtCCdil", "\u00e7"},   {"sbtvirgula", ","}, {"sbtponto", "."},  {"sbtBarra", "/"},
        {"sbtContraBarra", "\\"}, {"sbt_", "_"},       {"sbtArroba", "@"}, {"sbtespaco", " "},
    };
    for (char c = '0'; c <= '9'; ++c)
        keys.append({QByteArray("sbt") + c, QString(QChar::fromLatin1(c))});
    for (char c = 'a'; c <= 'z'; ++c)
        keys.append({QByteArray("sbt") + c, QString(QChar::fromLatin1(c))});
    activate(15);
    for (const auto& [name, typed] : keys) {
        form->setFieldText(15, "x");
        touch(name.constData());
        EXPECT_EQ(text(15), "x" + typed) << name.constData();
        EXPECT_EQ(form->activeField(), 15);
    }
}

TEST_F(OnScreenKeyboardTest, ShiftAndCapsLockSetTheCaseAndTheKeyCaptions) {
    const struct {
        QString touches;
        QString typed;
        bool shift, caps;
        QString captions;
    } cases[] = {
        {QString(kShift), "", true, false, kUpper},
        {QString(kShift) + "a", "A", false, false, kLower},
        {QString(kShift) + kShift + "a", "a", false, false, kLower},
        {QString(kCaps) + "bc", "BC", false, true, kUpper},
        {QString(kCaps) + "bc\u00e7", "BC\u00e7", false, true, kUpper}, // the key shows "Ç", types "ç"
        {QString(kCaps) + kShift + "d", "D", false, true, kLower},      // captions follow the last toggle
        {QString(kCaps) + kShift + "de", "DE", false, true, kLower},
        {QString(kShift) + kCaps, "", true, true, kUpper},
        {QString(kCaps) + kCaps + "f", "f", false, false, kLower},
        {QString(kShift) + kCaps + kCaps, "", true, false, kLower}, // Caps off: lower captions, Shift armed
        {QString(kShift) + "1a", "1a", false, false, kLower},       // a digit spends Shift too
    };
    for (const auto& c : cases) {
        reset();
        touchKeys(c.touches);
        const std::string what = c.touches.toStdString();
        EXPECT_EQ(text(2), c.typed) << what;
        EXPECT_EQ(form->entry().shiftArmed(), c.shift) << what;
        EXPECT_EQ(form->entry().capsLock(), c.caps) << what;
        EXPECT_EQ(letterCaptions(), c.captions) << what;
        EXPECT_EQ(key("sbtShift")->caption(), "Shift");
        EXPECT_EQ(key("sbtCapsLock")->caption(), "Caps Lock");
    }
}

TEST_F(OnScreenKeyboardTest, LetterKeysAreFoundWhateverTheCaseOfTheirName) {
    key("sbtq")->setObjectName("sbtQ");
    key("sbtCCdil")->setObjectName("SBTCCDIL");
    touchKeys(QString(kShift));
    EXPECT_EQ(form->findChild<TBlendedBitBtn*>("sbtQ")->caption(), "Q");
    EXPECT_EQ(form->findChild<TBlendedBitBtn*>("SBTCCDIL")->caption(), "\u00c7");
}

TEST_F(OnScreenKeyboardTest, BackspaceErasesAndOnAnEmptyFieldDoesNothing) {
    touchKeys("ab\b");
    EXPECT_EQ(text(2), "a");
    touchKeys("\b\b\b");
    EXPECT_EQ(text(2), "");
}

TEST_F(OnScreenKeyboardTest, PasswordsTypedOnTheScreenStayHidden) {
    const struct {
        int field;
        QString touches;
        QString hidden;
    } cases[] = {
        {19, "ab1", "ab1"},
        {19, QString(kShift) + "ab", "Ab"},
        {19, QString(kCaps) + "ab\u00e7", "AB\u00e7"},
        {19, "_ ,./\\", "_ ,./\\"}, // no "0," for a leading comma
        {19, "a@b", "ab"},          // "@" is no password character
        {19, "abc\b\bd", "ad"},
        {19, "\b", ""},
        {21, QString(kShift) + "x9", "X9"},
    };
    for (const auto& c : cases) {
        reset();
        activate(c.field);
        const QString& hidden = c.field == 19 ? form->registration().stCDSENHACONS : form->registration().stCDSENHASITE;
        const QString& other = c.field == 19 ? form->registration().stCDSENHASITE : form->registration().stCDSENHACONS;
        const std::string what = std::to_string(c.field) + " " + c.touches.toStdString();
        for (QChar t : c.touches) {
            touchKeys(QString(t));
            EXPECT_EQ(text(c.field), QString(hidden.size(), u'*')) << what;
        }
        EXPECT_EQ(hidden, c.hidden) << what;
        EXPECT_TRUE(other.isEmpty()) << what;
        EXPECT_FALSE(form->entry().shiftArmed()) << what;
    }
}

TEST_F(OnScreenKeyboardTest, RefusedPasswordCharacterKeepsShiftArmed) {
    activate(19);
    touchKeys(QString(kShift) + "@");
    EXPECT_TRUE(form->entry().shiftArmed());
    EXPECT_EQ(text(19), "");
    EXPECT_EQ(form->registration().stCDSENHACONS, "");
}

TEST_F(OnScreenKeyboardTest, ClearKeepsTheHiddenPasswordAndTheNextCharacterShowsAll) {
    activate(19);
    touchKeys("abc");
    touch("sbtLimpar");
    EXPECT_EQ(text(19), "");
    EXPECT_EQ(form->registration().stCDSENHACONS, "abc");
    touchKeys("d");
    EXPECT_EQ(text(19), "****");
    EXPECT_EQ(form->registration().stCDSENHACONS, "abcd");
}

TEST_F(OnScreenKeyboardTest, EnterMovesAndLooksUpButNeverConfirms) {
    activate(1);
    touchKeys("123");
    touch("sbtEnter");
    EXPECT_EQ(form->activeField(), 2);
    EXPECT_EQ(form->registration().consumer.stCdConsumidor, "123");
    EXPECT_EQ(text(17), "123");
    touch("sbtEnter");
    EXPECT_EQ(form->activeField(), 3);
    EXPECT_TRUE(confirmedFrom.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
