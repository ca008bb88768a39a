#pragma once

#include "platform/client_data_set.h"
#include "registration/field_catalogue.h"
#include "registration/registration.h"
#include "registration/registration_operator.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QLabel;

namespace cadcons {

class TBlendedShape;
class TBlendedBitBtn;
class TrdmCadConsumidor;

// Shift, Alt and Ctrl of a key event, as the key handlers test them.
enum ShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using ShiftState = unsigned;

// Virtual-key codes the key handlers test.
namespace vk {
inline constexpr int Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Capital = 20, Escape = 27,
                     Space = 32, Left = 37, Up = 38, Right = 39, Down = 40, Key2 = 50, F5 = 116, F6 = 117, F7 = 118,
                     F8 = 119, F9 = 120, OemMinus = 189;
}

// The consumer registration screen: a borderless touch form without edit boxes, the view of one
// Registration. Each field is a rounded frame with a label showing the registration's value; the keyboards
// post into the active field, and the registration reaches the operator through the form's messages.
class TfrmCadastroConsumidor : public QDialog, private RegistrationOperator {
    Q_OBJECT
public:
    // `service` is the module's data service; `hostDirectory` the module's, with its trailing "/".
    TfrmCadastroConsumidor(TrdmCadConsumidor& service, const QString& hostDirectory, QWidget* parent = nullptr);
    ~TfrmCadastroConsumidor() override;

    // The registration this form shows.
    Registration& registration() { return *registration_; }
    const Registration& registration() const { return *registration_; }

    // --- life of a call
    void FormCreate();
    // The registration's opening, then its values on the screen.
    void InicializaForm(const QString& code, const QString& name, const QString& customer, const QString& mode);
    void lblSairClick();
    // True once the call's consumer was saved (the registration's boGravou).
    bool saved() const { return registration_->boGravou; }

    // --- fields and highlight
    QLabel* fieldLabel(int number) const; // the text label whose Tag is `number`
    TBlendedShape* fieldFrame(int number) const;
    QString fieldText(int number) const; // caption of the field's text label
    void setFieldText(int number, const QString& text);
    void mudaCor();
    void sbtLimparClick();

    // The active field (1 to 24), highlighted; a touch on a field selects it and opens its picker.
    int activeField() const { return inCampoAtivo; }
    void selectField(int number);
    void fieldTouched(registration::Field field);
    // The pick lists (F9, or a touch on the field).
    void bdsPaisClick();
    void bdsUfClick();
    void bdsCidadeClick();
    void bdsBairroClick();
    void bdsTipoConsClick();
    void bdsTipoVendaClick();
    void bdsNomeClienteClick();

    // --- option flags and sex
    void toggleOption(const registration::OptionSpec& option);
    void bldFemininoClick();
    void bldMasculinoClick();

    // --- Confirm, the fingerprint capture and the address of a postal code
    void sbtConfirmaClick();
    void sbpDigitalClick();
    void BuscaEnderecoCEP();

    // --- text entry (entry/)
    void PostaTexto(int field, const QString& text, bool erase);
    void postChar(const QString& ch); // PostaTexto on the active field; the password fields feed their hidden value
    void sbtCapsLockClick();
    void sbtShiftClick();
    void sbtEnterClick();
    void sbtBackSpaceClick();
    void sbtEspacoClick();
    void sbt_Click();
    void sbtArrobaClick();
    // Returns true when the key-down already posted the key's character (Shift+2, Shift+-), so the
    // character event of the same key press must not post it again.
    bool FormKeyDown(int& key, ShiftState shift);
    // Opens the pick list of a field's kind (F9, the space bar).
    void openPicker(registration::Picker picker);
    // Enter on country, state, city or consumer code: the list's row of the code typed into the field.
    void lookUpTypedCode();
    // F5 to F8 switch the four options.
    void optionKey(int key);
    // The on-screen Caps Lock and Shift.
    bool capsLock() const { return boCapsLock; }
    void setCapsLock(bool on) { boCapsLock = on; }
    bool shiftArmed() const { return boShift; }
    void setShift(bool on) { boShift = on; }
    void FormKeyPress(QChar& key);
    // Maps a Qt key event to the virtual-key code and shift state the handlers test.
    static int virtualKey(const QKeyEvent* event);
    static ShiftState shiftState(const QKeyEvent* event);
    // What the input method may show and learn of the active field, and where it is.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // A keyed message of the table, with Mensagem.
    bool showMessage(const QString& key, int kind, const QString& esquema, const QString& details = {});

    // The mark picture and the empty one.
    QPixmap imgMarcado() const;
    QPixmap imgDesmarcado() const { return {}; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Text composed by an input method (dead keys, compose sequences) arrives here instead of as keys.
    void inputMethodEvent(QInputMethodEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildForm();
    void buildChoices(); // sex and the four option flags
    void buildFooter();  // mark pictures, screen code and border
    void buildKeyboard();
    void decorateKeys(); // the glyphs and the confirm key's colour
    void bindClick(const char* objectName, std::function<void()> handler);
    // RegistrationOperator: Mensagem and the highlight.
    bool ask(const QString& text, const QString& details, const QString& esquema) override;
    void tell(const QString& text, const QString& details, int kind, const QString& esquema, int number) override;
    void moveTo(int field) override;
    // Every field label, the options and the sex as the registration holds them.
    void showRegistration();
    void showSex();
    // Runs a handler that may fail and reports its error with message kind 3, as every form handler does;
    // an error MensagemMetodo has shown already is not shown twice. `schema` is the message's schema.
    void guarded(const std::function<void()>& handler);
    void guarded(const std::function<void()>& handler, const QString& schema);
    void setLetterCaptions(bool upper);
    void FormClose();

    QHash<QString, std::function<void()>> clickHandlers_; // by objectName

    std::unique_ptr<Registration> registration_;
    RegistrationLists& lists_; // the registration's
    ConsumerRecord& consumer;  // the registration's
    int inCampoAtivo = 0;
    bool boCapsLock = false;
    bool boShift = false;

    // --- form building and initialization helpers
    // The named label of the form; throws std::logic_error when the form has none.
    QLabel* label(const char* objectName) const;
    void bindClicks();

    std::array<QLabel*, registration::kFieldCount> fieldLabels_{};
    std::array<TBlendedShape*, registration::kFieldCount> fieldFrames_{};
    QPointer<QWidget> pressedControl_; // the bound control a left press went down on

    // --- text entry (entry/): additions
private:
    // The password fields (SenhaCons, SenhaSite) keep their characters in the hidden module strings and
    // show one "*" per character. Appends an accepted password character (with the on-screen case when `screenCase`)
    // and releases Shift; false when the field is no password field or the character is not accepted.
    bool appendPassword(int field, QChar ch, bool screenCase);
    // Enter on the active place field: the row of `list` within `scope` whose code is `code`; the field
    // shows the row's name (the state its code) and the consumer keeps the code. Nothing when `code` is "".
    void takeTypedCode(ClientDataSet& list, const QString& scope, const QString& code);
    // A key's character other than a digit or Backspace into an ordinary field.
    void typeSign(int field, QChar ch);
    // Each character of a key's or an input method's text through the character filter.
    void typeText(const QString& text);
    // Physical Shift presses since the last other key, and the on-screen Shift before the first of them.
    int shiftPresses_ = 0;
    bool shiftBeforePresses_ = false;
    // A dead key was pressed with Shift held while the on-screen Shift was armed.
    bool deadKeyShift_ = false;
    void erasePassword(int field);
    void showPasswordMask(int field);

    // --- pick lists and postal-code look-up (lookup/): additions
public:
    // Display text of a customer's registration number in the customer list: the number under the edit
    // mask of the customer's person type. Sets `text` alike for display and for editing.
    void cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool displayText);

private:
    bool cepLookupRunning_ = false; // the web wait must not start a second look-up

    bool busy_ = false; // Confirm or fingerprint capture under way: a second touch must not start another
};

} // namespace cadcons
