// The physical keyboard: navigation, look-ups, function keys and the per-field character filter.

#include "routines/utility.h"
#include "screen/cad_consumidor_form.h"
#include "screen/entry/entry_text.h"
#include "widgets/blended.h"

#include "registration/list_filter.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <algorithm>

namespace cadcons {

using namespace entry;
using registration::Picker;
using namespace registration;

namespace {

using lookup::both;
using lookup::filteredFind;

Picker pickerOf(int field) {
    const registration::FieldSpec* spec = registration::fieldSpec(field);
    return spec ? spec->picker : Picker::None;
}

// X11/xkb keycodes of the digit row. A shifted symbol on these keys differs between layouts ("@" on US
// and ABNT2, '"' on UK), while the key is the same.
int virtualKeyOfKeycode(quint32 keycode) {
    if (keycode >= 10 && keycode <= 18) // "1" .. "9"
        return static_cast<int>('1' + (keycode - 10));
    if (keycode == 19)
        return '0';
    return 0;
}

// X's third-level shift (AltGr) in the native modifier state: Mod5 on every xkb layout that has one.
constexpr quint32 kLevel3Mask = 0x80;

bool isDeadKey(int qtKey) {
    return qtKey >= Qt::Key_Dead_Grave && qtKey <= Qt::Key_Dead_Longsolidusoverlay;
}

// Keys that only change what the next key types.
bool isModifierKey(int qtKey) {
    return qtKey == Qt::Key_Shift || qtKey == Qt::Key_Control || qtKey == Qt::Key_Alt || qtKey == Qt::Key_AltGr ||
           qtKey == Qt::Key_Meta || qtKey == Qt::Key_Super_L || qtKey == Qt::Key_Super_R || qtKey == Qt::Key_CapsLock ||
           qtKey == Qt::Key_Multi_key || qtKey == Qt::Key_Mode_switch;
}

// The character a typed one stands for on this screen. The fields hold no accents, so an accented letter
// is its plain letter; "ç" and "Ç" are the "ç" key's character. Anything else is returned unchanged.
QChar plainChar(QChar c) {
    if (c.unicode() == 0xE7 || c.unicode() == 0xC7)
        return QChar(0xE7);
    if (c.unicode() < 0x80)
        return c;
    const QString plain = RemoveAcentos(QString(c));
    if (plain.size() == 1 && isAsciiLetter(plain[0]))
        return plain[0];
    // A letter outside code page 1252 (a composed "ć", "ő") by its canonical decomposition: the base letter
    // and marks only. Compatibility forms such as "ª" or "²" stay what they are.
    const QString parts = QString(c).normalized(QString::NormalizationForm_D);
    if (parts.size() > 1 && isAsciiLetter(parts[0]) &&
        std::all_of(parts.begin() + 1, parts.end(), [](QChar m) { return m.isMark(); }))
        return parts[0];
    return c;
}

// The numeric pad's digits and signs have codes of their own; 0 for the pad's other keys.
int keypadVirtualKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 96 + (qtKey - Qt::Key_0);
    switch (qtKey) {
    case Qt::Key_Minus:
        return 109; // numeric pad minus, not the "-" key
    case Qt::Key_Plus:
        return 107;
    case Qt::Key_Asterisk:
        return 106;
    case Qt::Key_Slash:
        return 111;
    default:
        return 0;
    }
}

// Virtual-key codes of the keys that are neither digits, letters nor function keys; 0 for the rest.
int namedVirtualKey(int qtKey) {
    static const std::pair<int, int> keys[] = {
        {Qt::Key_Return, vk::Return},
        {Qt::Key_Enter, vk::Return},
        {Qt::Key_Escape, vk::Escape},
        {Qt::Key_Backspace, vk::Back},
        {Qt::Key_Tab, vk::Tab},
        {Qt::Key_Backtab, vk::Tab},
        {Qt::Key_Shift, vk::Shift},
        {Qt::Key_Control, vk::Control},
        {Qt::Key_Alt, vk::Menu},
        {Qt::Key_CapsLock, vk::Capital},
        {Qt::Key_Space, vk::Space},
        {Qt::Key_Left, vk::Left},
        {Qt::Key_Up, vk::Up},
        {Qt::Key_Right, vk::Right},
        {Qt::Key_Down, vk::Down},
        {Qt::Key_PageUp, 33},
        {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},
        {Qt::Key_Home, 36},
        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},
        // The "-" key, known by its characters: "-" and "_" share it on every layout this screen meets.
        {Qt::Key_Minus, vk::OemMinus},
        {Qt::Key_Underscore, vk::OemMinus},
    };
    for (const auto& [qt, code] : keys) {
        if (qt == qtKey)
            return code;
    }
    return 0;
}

// Fields that take neither signs nor lower-case letters: code, date, CPF, postal code and the phones.
bool takesDigitsOnly(int field) {
    switch (field) {
    case CodCons:
    case Nasc:
    case Cpf:
    case Cep:
    case Telefone:
    case TelComercial:
    case Celular:
        return true;
    default:
        return false;
    }
}

} // namespace

// A pick-list field's frame opens its list.
void FormEntry::lookUpTypedCode() {
    const QString country = filterTerm(QStringLiteral("CDPAIS"), form_.consumer.stCdPais);
    if (form_.inCampoAtivo == Pais)
        takeTypedCode(form_.lists_.cdsPais, QString(), form_.fieldText(Pais));
    else if (form_.inCampoAtivo == Uf)
        takeTypedCode(form_.lists_.cdsEstado, country, asciiUpper(form_.fieldText(Uf)));
    else if (form_.inCampoAtivo == Cidade)
        takeTypedCode(form_.lists_.cdsMunicipio,
                      both(country, filterTerm(QStringLiteral("SGESTADO"), asciiUpper(form_.consumer.stSgEstado))),
                      form_.fieldText(Cidade));
    else if (form_.inCampoAtivo == CodCons)
        form_.consumer.stCdConsumidor = form_.fieldText(CodCons);
}

void FormEntry::takeTypedCode(ClientDataSet& list, const QString& scope, const QString& code) {
    if (code.isEmpty())
        return;
    const FieldSpec& spec = *fieldSpec(form_.inCampoAtivo);
    const QString column = QLatin1String(spec.column);
    const QString term = filterTerm(column, code);
    FilterOff off(list);
    if (!filteredFind(list, scope.isEmpty() ? term : both(scope, term)))
        return;
    form_.consumer.*spec.value = list.asString(column);
    form_.setFieldText(spec.number, list.asString(spec.nameColumn ? QLatin1String(spec.nameColumn) : column));
}

void FormEntry::optionKey(int key) {
    for (const OptionSpec& option : optionCatalogue()) {
        if (option.key == key)
            form_.toggleOption(option);
    }
}

bool FormEntry::FormKeyDown(int& key, ShiftState shift) {
    bool posted = false;

    if (key == vk::Return)
        lookUpTypedCode();

    optionKey(key);

    if (key == vk::Return) {
        if (form_.inCampoAtivo == Cep)
            form_.lookups_.BuscaEnderecoCEP();
        if (form_.inCampoAtivo == CodCons) {
            // A new consumer's badge follows its code; an existing one keeps a badge it already has.
            const QString code = form_.fieldText(CodCons);
            if ((form_.fieldText(Cracha).isEmpty() || form_.consumer.stOperacao == QLatin1String("1")) &&
                !code.isEmpty())
                form_.setFieldText(Cracha, code);
        }
        if (const registration::FieldSpec* spec = registration::fieldSpec(form_.inCampoAtivo))
            form_.inCampoAtivo = spec->nextOnEnter;
    }

    if (key == vk::Escape) {
        if (form_.inCampoAtivo == Cep)
            form_.lookups_.BuscaEnderecoCEP();
        if (const registration::FieldSpec* spec = registration::fieldSpec(form_.inCampoAtivo))
            form_.inCampoAtivo =
                form_.registration_->stModoChamada == QLatin1String("B") ? spec->escapeModeB : spec->escapeOtherModes;
    }

    if (key == vk::F9)
        form_.lookups_.openPicker(pickerOf(form_.inCampoAtivo));

    if (key == vk::OemMinus && shift == ssShift) {
        sbt_Click();
        posted = true;
    }

    if (key == vk::Return && shift == ssCtrl)
        form_.sbtConfirmaClick();

    if (key == vk::Capital)
        sbtCapsLockClick();
    if (key == vk::Shift)
        sbtShiftClick();
    if (key == vk::Right)
        form_.bldMasculinoClick();
    if (key == vk::Left)
        form_.bldFemininoClick();

    if (key == vk::Key2 && shift == ssShift) {
        // Through the "@" key's own path, so a password field never shows it.
        sbtArrobaClick();
        posted = true;
    }

    form_.mudaCor();
    return posted;
}

void FormEntry::FormKeyPress(QChar& key) {
    const int field = form_.inCampoAtivo;

    // Picker fields are chosen from their list, never typed; space opens the list where one is offered.
    if (const Picker picker = pickerOf(field); picker != Picker::None) {
        // Sale type and customer open only on F9 or a touch.
        if (key == u' ' && picker != Picker::TipoVenda && picker != Picker::Cliente) {
            form_.lookups_.openPicker(picker);
        }
        key = QChar(0);
        return;
    }

    // Passwords take the character as typed into the hidden value; the caption only ever shows "*".
    if (isPasswordField(field)) {
        if (key == QChar(8))
            erasePassword(field);
        else
            appendPassword(field, key, false);
        return;
    }

    // The layout has already made the key a character; an accented one counts as its plain letter.
    const QChar ch = asciiUpper(plainChar(key));
    if (ch >= u'0' && ch <= u'9') {
        PostaTexto(field, QString(ch), false);
        return;
    }
    if (ch == QChar(8)) {
        PostaTexto(field, QString(), true);
        return;
    }

    typeSign(field, ch);
}

void FormEntry::typeSign(int field, QChar ch) {
    const auto post = [this, field](const QString& text) { PostaTexto(field, text, false); };
    const QString& mercBoca = form_.registration_->stIdImpMercBoca;
    const bool forcedUpper = (field == CodCons || field == Cracha) && mercBoca == QLatin1String("S");
    const bool general = !takesDigitsOnly(field) && !(field == Cracha && mercBoca == QLatin1String("N"));
    if (general) {
        switch (ch.unicode()) {
        // What the on-screen keys of these fields type, typed as itself. The case rule leaves "ç" alone.
        case u' ':
        case u',':
        case u'.':
        case u'/':
        case u'\\':
        case u'@':
        case u'_':
        case 0xE7:
            post(QString(ch));
            return;
        default:
            break;
        }
        if (ch >= u'A' && ch <= u'Z' && !forcedUpper) {
            // Lower case, so the on-screen Shift and Caps Lock decide the case, not the keyboard.
            post(QString(asciiLower(ch)));
            return;
        }
    }

    // Letters A to Z only: the consumer code takes no "ç" (the badge has taken it above).
    if (forcedUpper && ch >= u'A' && ch <= u'Z') {
        // Codes and badges printed in upper case: Caps Lock for this one character, whatever happens.
        struct Restore {
            bool& flag;
            const bool saved;
            ~Restore() { flag = saved; }
        } restore{boCapsLock, boCapsLock};
        boCapsLock = true;
        post(QString(ch));
    }
}

void FormEntry::keyPress(QKeyEvent* event) {
    event->accept();
    int key = virtualKey(event);
    const ShiftState shift = shiftState(event);
    const int qtKey = event->key();
    const bool shiftHeld = event->modifiers() & Qt::ShiftModifier;

    // A held Shift or Caps Lock repeats its key-down; a repeat is not a new press, or holding Shift
    // would flip the on-screen state on every repeat and leave it wherever the release happens to fall.
    if (event->isAutoRepeat() && (key == vk::Shift || key == vk::Capital))
        return;

    if (key == vk::Shift) {
        if (shiftPresses_++ == 0)
            shiftBeforePresses_ = boShift;
    } else if (!isModifierKey(qtKey)) {
        shiftPresses_ = 0;
    }
    // A Shift that reached an accent's dead key ("^", "`" on ABNT2) was for the accent: the letter that
    // follows without Shift is typed as the on-screen state was.
    if (deadKeyShift_ && !isModifierKey(qtKey) && !isDeadKey(qtKey)) {
        deadKeyShift_ = false;
        if (!shiftHeld && boShift)
            sbtShiftClick();
    }

    bool posted = false;
    form_.guarded([&] { posted = FormKeyDown(key, shift); });
    if (key == vk::Shift && deadKeyShift_) {
        // Shift pressed again after the accent: the on-screen Shift, still armed, is now the letter's.
        deadKeyShift_ = false;
        sbtShiftClick();
        return;
    }
    // Shift+2 and Shift+- were typed by the key-down; their character ("@", '"', "_" by layout) must not
    // be typed again.
    if (posted)
        return;

    // A dead key types nothing by itself; the letter after it comes as its own key, or composed by the
    // input method.
    if (isDeadKey(qtKey)) {
        deadKeyShift_ = boShift && shiftHeld;
        return;
    }

    // Shortcuts with Ctrl or Alt type nothing.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return;

    if (key == vk::Back) {
        QChar ch(8);
        form_.guarded([&] { FormKeyPress(ch); });
        return;
    }
    typeText(event->text());
}

void FormEntry::typeText(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127) // Enter, Escape, Tab and other control characters
            continue;
        form_.guarded([&] { FormKeyPress(c); });
    }
}

void FormEntry::inputMethod(QInputMethodEvent* event) {
    event->accept();
    const QString text = event->commitString();
    if (text.isEmpty())
        return; // a composition under way shows nothing until it is committed
    // The keys of a composition, and a Shift pressed during one, never come here; a Shift pressed before
    // it did, and armed the on-screen Shift. The composed letter's own case tells whether Shift was meant
    // for the letter or only for the accent ("^" and "`" are shifted on ABNT2).
    const bool upper = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isUpper(); });
    const bool wanted = upper || (shiftPresses_ > 0 ? shiftBeforePresses_ : boShift);
    shiftPresses_ = 0;
    if (boShift != wanted)
        sbtShiftClick();
    deadKeyShift_ = false;
    typeText(text);
    form_.mudaCor();
}

QVariant TfrmCadastroConsumidor::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints: {
        // Names and codes are typed as they are; a password is never shown nor learnt by the input method.
        Qt::InputMethodHints hints = Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;
        if (isPasswordField(inCampoAtivo))
            hints |= Qt::ImhHiddenText | Qt::ImhSensitiveData;
        return int(hints);
    }
    case Qt::ImCursorRectangle:
        if (const TBlendedShape* frame = fieldFrame(inCampoAtivo))
            return QRect(frame->mapTo(this, QPoint(0, 0)), frame->size());
        return QRect();
    default:
        return QDialog::inputMethodQuery(query);
    }
}

int FormEntry::virtualKey(const QKeyEvent* event) {
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    const int qtKey = event->key();

#if defined(Q_OS_LINUX)
    // The digit keys are known by their place, as their virtual-key codes are on every layout; with AltGr
    // they type "¹", "²", "½" and the like, and are no digit keys.
    const bool altGr = (event->modifiers() & Qt::GroupSwitchModifier) || (event->nativeModifiers() & kLevel3Mask);
    if (!keypad && !altGr) {
        if (const int code = virtualKeyOfKeycode(event->nativeScanCode()))
            return code;
    }
#endif

    if (keypad) {
        if (const int code = keypadVirtualKey(qtKey))
            return code;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    // Without a keycode the "2" key is recognised by its US/ABNT2 shifted symbol only.
    if (qtKey == Qt::Key_At)
        return (event->modifiers() & Qt::ShiftModifier) ? vk::Key2 : 0;
    return namedVirtualKey(qtKey);
}

ShiftState FormEntry::shiftState(const QKeyEvent* event) {
    const Qt::KeyboardModifiers m = event->modifiers();
    ShiftState state = 0;
    if (m & Qt::ShiftModifier)
        state |= ssShift;
    if (m & Qt::AltModifier)
        state |= ssAlt;
    if (m & Qt::ControlModifier)
        state |= ssCtrl;
    return state;
}

} // namespace cadcons
