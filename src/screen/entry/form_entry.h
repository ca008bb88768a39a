#pragma once

#include <QChar>
#include <QString>

class QInputMethodEvent;
class QKeyEvent;

namespace cadcons {

class ClientDataSet;
class TfrmCadastroConsumidor;

// Shift, Alt and Ctrl of a key event, as the key handlers test them.
enum ShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using ShiftState = unsigned;

// Virtual-key codes the key handlers test.
namespace vk {
inline constexpr int Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Capital = 20, Escape = 27,
                     Space = 32, Left = 37, Up = 38, Right = 39, Down = 40, Key2 = 50, F5 = 116, F6 = 117, F7 = 118,
                     F8 = 119, F9 = 120, OemMinus = 189;
}

// The form's text entry: the on-screen keys, the physical keys and the input method, the on-screen Shift
// and Caps Lock, and the text rules every character goes through (PostaTexto) into the active field.
class FormEntry {
public:
    explicit FormEntry(TfrmCadastroConsumidor& form)
        : form_(form) {}

    void PostaTexto(int field, const QString& text, bool erase);
    void postChar(const QString& ch); // PostaTexto on the active field; the password fields feed their hidden value
    void sbtCapsLockClick();
    void sbtShiftClick();
    void sbtEnterClick();
    void sbtBackSpaceClick();
    void sbtEspacoClick();
    void sbt_Click();
    void sbtArrobaClick();
    // Empties the active field, unless it is the customer.
    void sbtLimparClick();
    // Returns true when the key-down already posted the key's character (Shift+2, Shift+-), so the
    // character event of the same key press must not post it again.
    bool FormKeyDown(int& key, ShiftState shift);
    void FormKeyPress(QChar& key);
    // Enter on country, state, city or consumer code: the list's row of the code typed into the field.
    void lookUpTypedCode();
    // F5 to F8 switch the four options.
    void optionKey(int key);
    // A key the form received, and text an input method composed (dead keys, compose sequences).
    void keyPress(QKeyEvent* event);
    void inputMethod(QInputMethodEvent* event);

    // The on-screen Caps Lock and Shift.
    bool capsLock() const { return boCapsLock; }
    void setCapsLock(bool on) { boCapsLock = on; }
    bool shiftArmed() const { return boShift; }
    void setShift(bool on) { boShift = on; }

    // Maps a Qt key event to the virtual-key code and shift state the handlers test.
    static int virtualKey(const QKeyEvent* event);
    static ShiftState shiftState(const QKeyEvent* event);

private:
    // The password fields (SenhaCons, SenhaSite) keep their characters in the registration's hidden
    // values and show one "*" per character. Appends an accepted password character (with the on-screen
    // case when `screenCase`) and releases Shift; false when the field is no password field or the
    // character is not accepted.
    bool appendPassword(int field, QChar ch, bool screenCase);
    void erasePassword(int field);
    void showPasswordMask(int field);
    // Enter on the active place field: the row of `list` within `scope` whose code is `code`; the field
    // shows the row's name (the state its code) and the consumer keeps the code. Nothing when `code` is "".
    void takeTypedCode(ClientDataSet& list, const QString& scope, const QString& code);
    // A key's character other than a digit or Backspace into an ordinary field.
    void typeSign(int field, QChar ch);
    // Each character of a key's or an input method's text through the character filter.
    void typeText(const QString& text);
    void setLetterCaptions(bool upper);

    TfrmCadastroConsumidor& form_;
    bool boCapsLock = false;
    bool boShift = false;
    // Physical Shift presses since the last other key, and the on-screen Shift before the first of them.
    int shiftPresses_ = 0;
    bool shiftBeforePresses_ = false;
    // A dead key was pressed with Shift held while the on-screen Shift was armed.
    bool deadKeyShift_ = false;
};

} // namespace cadcons
