// Posting text into the active field, and the on-screen keyboard.

#include "routines/utility.h"
#include "screen/cad_consumidor_form.h"
#include "screen/entry/entry_text.h"
#include "service/catalogue.h"
#include "widgets/blended.h"

#include <QLabel>
#include <algorithm>

namespace cadcons {

using namespace entry;

namespace {

QString* hiddenPassword(Registration& registration, int field) {
    if (field == registration::SenhaCons)
        return &registration.stCDSENHACONS;
    if (field == registration::SenhaSite)
        return &registration.stCDSENHASITE;
    return nullptr;
}

int utf8Bytes(QChar c) {
    return c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
}

// A password stops at what its column can hold once encrypted (UTF-8 bytes, so "ç" counts twice), and
// at the field's own length: what the operator could type is what the save stores. Counted in place,
// so no copy of the password is left in freed memory.
bool passwordHasRoomFor(int field, const QString& hidden, QChar ch) {
    const registration::FieldSpec* spec = registration::fieldSpec(field);
    if (!spec || hidden.size() >= spec->maxLength)
        return false;
    int bytes = utf8Bytes(ch);
    for (QChar c : hidden)
        bytes += utf8Bytes(c);
    return bytes <= maxCriptoPlusInput(sql::columnWidth(QLatin1String(spec->column)));
}

// A caption that is saved as it stands takes no more than its column holds, so Confirm never refuses a
// length the operator could type (the badge's 22, the external code's 50 and the neighbourhood's 50
// are wider than their columns). The other pick-list fields save a code found from the caption.
int typingLimit(const registration::FieldSpec& spec) {
    if (spec.picker != registration::Picker::None && spec.picker != registration::Picker::Bairro)
        return spec.maxLength;
    const int width = sql::columnWidth(QLatin1String(spec.column));
    return width > 0 ? std::min(spec.maxLength, width) : spec.maxLength;
}

} // namespace

void FormEntry::PostaTexto(int field, const QString& text, bool erase) {
    const registration::FieldSpec* spec = registration::fieldSpec(field);
    if (!spec || !form_.fieldLabel(field))
        return;
    const QString caption = form_.fieldText(field);

    if (erase) {
        if (!caption.isEmpty())
            form_.setFieldText(field, caption.left(caption.size() - 1));
        return;
    }

    QString piece = text;
    if (piece == QLatin1String(",")) {
        if (field <= registration::Rg) // code, name, date and RG take no decimals
            return;
        if (caption.isEmpty()) {
            // A value typed as ",5" reads as "0,5".
            form_.setFieldText(field, QStringLiteral("0,"));
            return;
        }
    }

    if (caption.size() >= typingLimit(*spec))
        return;

    if (field == registration::Nasc) {
        const QChar c = piece.size() == 1 ? piece[0] : QChar();
        if (!((c >= u'0' && c <= u'9') || c == u'/'))
            return;
        // dd/mm/yyyy: the separators come by themselves after the day and the month.
        if (caption.size() == 2 || caption.size() == 5)
            piece.prepend(u'/');
    }

    if (boCapsLock || boShift) {
        form_.setFieldText(field, caption + asciiUpper(piece));
        if (boShift)
            sbtShiftClick(); // one-shot: released exactly as its key would
    } else {
        form_.setFieldText(field, caption + asciiLower(piece));
    }
}

void FormEntry::postChar(const QString& ch) {
    // A password typed on the screen goes where the physical keyboard puts it: never into the caption,
    // whose text the save would store as an already encrypted password.
    if (isPasswordField(form_.inCampoAtivo)) {
        if (ch.size() == 1)
            appendPassword(form_.inCampoAtivo, ch[0], true);
        return;
    }
    PostaTexto(form_.inCampoAtivo, ch, false);
}

bool FormEntry::appendPassword(int field, QChar ch, bool screenCase) {
    QString* hidden = hiddenPassword(*form_.registration_, field);
    if (!hidden || !isPasswordChar(ch))
        return false;
    if (screenCase)
        ch = (boCapsLock || boShift) ? asciiUpper(ch) : asciiLower(ch);
    if (!passwordHasRoomFor(field, *hidden, ch))
        return false;
    hidden->append(ch);
    showPasswordMask(field);
    // Shift is spent on this character as on any other, so it does not leak into the next field.
    if (boShift)
        sbtShiftClick();
    return true;
}

void FormEntry::erasePassword(int field) {
    QString* hidden = hiddenPassword(*form_.registration_, field);
    if (!hidden)
        return;
    if (!hidden->isEmpty())
        hidden->chop(1);
    showPasswordMask(field);
}

void FormEntry::showPasswordMask(int field) {
    if (const QString* hidden = hiddenPassword(*form_.registration_, field))
        form_.setFieldText(field, Replicate(QStringLiteral("*"), static_cast<int>(hidden->size())));
}

void FormEntry::sbtBackSpaceClick() {
    if (isPasswordField(form_.inCampoAtivo))
        erasePassword(form_.inCampoAtivo);
    else
        PostaTexto(form_.inCampoAtivo, QString(), true);
}

void FormEntry::sbtEspacoClick() {
    postChar(QStringLiteral(" "));
}

void FormEntry::sbt_Click() {
    postChar(QStringLiteral("_"));
}

void FormEntry::sbtArrobaClick() {
    postChar(QStringLiteral("@"));
}

void FormEntry::sbtCapsLockClick() {
    boCapsLock = !boCapsLock;
    setLetterCaptions(boCapsLock);
}

void FormEntry::sbtShiftClick() {
    boShift = !boShift;
    setLetterCaptions(boShift);
}

void FormEntry::setLetterCaptions(bool upper) {
    const QList<TBlendedBitBtn*> keys = form_.findChildren<TBlendedBitBtn*>();
    auto find = [&keys](const QString& name) -> TBlendedBitBtn* {
        for (TBlendedBitBtn* key : keys) {
            if (key->objectName().compare(name, Qt::CaseInsensitive) == 0)
                return key;
        }
        return nullptr;
    };
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        const QChar c(letter);
        if (TBlendedBitBtn* key = find(QStringLiteral("sbt") + c))
            key->setCaption(upper ? asciiUpper(c) : c);
    }
    if (TBlendedBitBtn* key = find(QStringLiteral("sbtCCdil")))
        key->setCaption(upper ? QStringLiteral("\u00C7") : QStringLiteral("\u00E7"));
}

void FormEntry::sbtEnterClick() {
    // Alt alone: the full Enter handling, but never the Ctrl+Enter confirm.
    int key = vk::Return;
    form_.guarded([&] { FormKeyDown(key, ssAlt); });
}

void FormEntry::sbtLimparClick() {
    if (const registration::FieldSpec* spec = registration::fieldSpec(form_.inCampoAtivo);
        spec && registration::clearable(*spec))
        form_.setFieldText(form_.inCampoAtivo, QString());
}

} // namespace cadcons
