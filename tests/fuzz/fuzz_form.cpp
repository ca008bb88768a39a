// Random sequences of keys and touches on the registration form, initialized on the demonstration
// database. Dialogs and pick lists answer from the input, so nothing waits for an operator. After every
// step: no typed caption beyond its field's limit, and the password fields show nothing but asterisks
// (or the stored form they were loaded with).
#include "config/host_config.h"
#include "form_service.h"
#include "fuzz_support.h"
#include "registration/field_catalogue.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/blended.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

namespace {

using cadcons::TfrmCadastroConsumidor;
namespace registration = cadcons::registration;

cadcons::fuzz::HostDirectory* host = nullptr;

constexpr int kMaxSteps = 400;

struct Key {
    Qt::Key key;
    char16_t text; // 0: none
};

// Keys of a physical keyboard the form handles, and some it does not.
constexpr Key kKeys[] = {
    {Qt::Key_Return, u'\r'}, {Qt::Key_Enter, u'\r'}, {Qt::Key_Tab, u'\t'},
    {Qt::Key_Backtab, 0},    {Qt::Key_Escape, 0x1b}, {Qt::Key_Backspace, 8},
    {Qt::Key_Delete, 0x7f},  {Qt::Key_Space, u' '},  {Qt::Key_F9, 0},
    {Qt::Key_F5, 0},         {Qt::Key_F6, 0},        {Qt::Key_F7, 0},
    {Qt::Key_F8, 0},         {Qt::Key_Left, 0},      {Qt::Key_Right, 0},
    {Qt::Key_Up, 0},         {Qt::Key_Down, 0},      {Qt::Key_Home, 0},
    {Qt::Key_End, 0},        {Qt::Key_Shift, 0},     {Qt::Key_Control, 0},
    {Qt::Key_Alt, 0},        {Qt::Key_CapsLock, 0},  {Qt::Key_Minus, u'-'},
    {Qt::Key_2, u'2'},       {Qt::Key_At, u'@'},     {Qt::Key_Comma, u','},
    {Qt::Key_Period, u'.'},  {Qt::Key_Slash, u'/'},  {Qt::Key_Underscore, u'_'},
};

[[noreturn]] void fail(const char* what, int field, const QString& caption) {
    std::fprintf(stderr, "fuzz_form: %s: field %d shows \"%s\" (%lld characters)\n", what, field,
                 qUtf8Printable(caption), static_cast<long long>(caption.size()));
    std::abort();
}

bool isPasswordField(int n) {
    return n == 19 || n == 21;
}

void sendKey(QWidget* form, Qt::Key key, Qt::KeyboardModifiers mods, const QString& text) {
    QKeyEvent down(QEvent::KeyPress, key, mods, 0, 0, 0, text);
    QApplication::sendEvent(form, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, 0, 0, 0, text);
    QApplication::sendEvent(form, &up);
}

// Everything a touch can reach: keys, frames and labels, in a fixed order so an input replays alike.
QList<QWidget*> touchTargets(TfrmCadastroConsumidor& form) {
    QList<QWidget*> targets;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty())
            continue;
        if (qobject_cast<cadcons::TBlendedBitBtn*>(w) || qobject_cast<cadcons::TBlendedShape*>(w) ||
            qobject_cast<QLabel*>(w))
            targets << w;
    }
    std::sort(targets.begin(), targets.end(),
              [](const QWidget* a, const QWidget* b) { return a->objectName() < b->objectName(); });
    return targets;
}

void checkCaptions(const TfrmCadastroConsumidor& form, const std::array<QString, registration::kFieldCount>& loaded,
                   std::array<QString, registration::kFieldCount>& before) {
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        const size_t i = size_t(spec.number - 1);
        const QString caption = form.fieldText(spec.number);
        if (isPasswordField(spec.number)) {
            // The hidden value has no limit; its caption is the stored form or asterisks only.
            if (caption != loaded[i] && caption.count(u'*') != caption.size())
                fail("password field shows more than asterisks", spec.number, caption);
        } else if (spec.picker == registration::Picker::None && caption != before[i] &&
                   caption.size() > before[i].size() && caption.size() > spec.maxLength) {
            fail("caption grew beyond the field's limit", spec.number, caption);
        }
        before[i] = caption;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cadcons::fuzz::ensureApplication();
    host = new cadcons::fuzz::HostDirectory;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons;
    fuzz::Bytes in(data, size);
    host->restoreDatabase();
    fuzz::scriptDialogs(&in);

    // The call: a consumer of the demonstration data or a new one, in mode "B" or another.
    static const QString kCodes[] = {QString(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("999999")};
    const QString code = kCodes[in.pick(4)];
    const QString mode = (in.byte() & 1) ? QStringLiteral("B") : QStringLiteral("A");
    auto form = std::make_unique<TfrmCadastroConsumidor>(cadcons::test::formService(), cadcons::hostDirectory());
    try {
        form->FormCreate();
        form->InicializaForm(code, QString(), QString(), mode);
    } catch (const std::exception&) {
        return 0;
    }

    std::array<QString, registration::kFieldCount> loaded, before;
    for (int n = 1; n <= registration::kFieldCount; ++n)
        loaded[size_t(n - 1)] = before[size_t(n - 1)] = form->fieldText(n);
    const QList<QWidget*> targets = touchTargets(*form);
    // For writing seeds by hand: the index of each touch target.
    if (static const bool list = qEnvironmentVariableIsSet("CADCONS_FUZZ_FORM_TARGETS"); list) {
        for (qsizetype i = 0; i < targets.size(); ++i)
            std::fprintf(stderr, "touch %lld %s\n", static_cast<long long>(i), qPrintable(targets[i]->objectName()));
    }

    for (int step = 0; step < kMaxSteps && !in.empty(); ++step) {
        switch (in.pick(4)) {
        case 0: // a touch
            if (!targets.isEmpty())
                QTest::mouseClick(targets[qsizetype(in.pick16(unsigned(targets.size())))], Qt::LeftButton);
            break;
        case 1: { // a key the form handles specially, with any of Shift, Ctrl and Alt
            const Key& key = kKeys[in.pick(std::size(kKeys))];
            const uint8_t m = in.byte();
            Qt::KeyboardModifiers mods;
            if (m & 1)
                mods |= Qt::ShiftModifier;
            if (m & 2)
                mods |= Qt::ControlModifier;
            if (m & 4)
                mods |= Qt::AltModifier;
            sendKey(form.get(), key.key, mods, key.text ? QString(QChar(key.text)) : QString());
            break;
        }
        case 2: { // a letter or digit as a keyboard sends it: the low 7 bits choose it, the top bit is Shift
            const uint8_t c = in.byte();
            const unsigned which = (c & 0x7f) % 36;
            const bool shift = (c & 0x80) != 0;
            const char16_t ch = which < 10 ? char16_t(u'0' + which) : char16_t((shift ? u'A' : u'a') + (which - 10));
            const Qt::Key key = which < 10 ? Qt::Key(Qt::Key_0 + which) : Qt::Key(Qt::Key_A + (which - 10));
            sendKey(form.get(), key, shift ? Qt::ShiftModifier : Qt::NoModifier, QString(QChar(ch)));
            break;
        }
        default: { // any character at all, as an input method would send it
            const char16_t ch = char16_t(in.byte() | (in.byte() << 8));
            sendKey(form.get(), Qt::Key_unknown, Qt::NoModifier, QString(QChar(ch)));
            break;
        }
        }
        checkCaptions(*form, loaded, before);
    }

    form.reset();
    return 0;
}
