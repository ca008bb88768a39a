#pragma once

#include "config/host_config.h"
#include "form_service.h"
#include "message_script.h"
#include "qt_printers.h"
#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::testing {

inline constexpr const char* kLetterKeys[] = {
    "sbta", "sbtb", "sbtc", "sbtd", "sbte", "sbtf", "sbtg", "sbth", "sbti", "sbtj", "sbtk", "sbtl", "sbtm",    "sbtn",
    "sbto", "sbtp", "sbtq", "sbtr", "sbts", "sbtt", "sbtu", "sbtv", "sbtw", "sbtx", "sbty", "sbtz", "sbtCCdil"};

// A form built without a database: the look-up lists are small packets, messages and pick lists are
// recorded instead of shown.
class EntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPesquisa_ = siblingServices().Pesquisa;
        script_.during = [this](const MensagemArgs& args) {
            messages << args.text;
            // Confirm on this form stops at its first check, the missing name, before the field at fault
            // becomes the active one: that message marks a confirm and the field it ran from.
            if (form && args.text == form->registration().msgPadrao.Msg(QStringLiteral("Nome_Ninf")))
                confirmedFrom << form->activeField();
        };
        siblingServices().Pesquisa = [this](ClientDataSet& ds, const QString&) {
            pickLists << ds.name();
            return false;
        };
        reset();
    }

    // A fresh form on field 2, empty passwords and recorders: also for each row of a table.
    void reset() {
        form.reset();
        messages.clear();
        pickLists.clear();
        confirmedFrom.clear();
        form = std::make_unique<TfrmCadastroConsumidor>(test::formService(), hostDirectory());
        form->registration().stModoChamada = QStringLiteral("A");
        form->registration().consumer.stOperacao = QStringLiteral("1");
        form->registration().stIdImpMercBoca = QStringLiteral("N");
        form->registration().consumer.stIdSexoCons = QStringLiteral("M");
        for (int f = 1; f <= 24; ++f)
            form->setFieldText(f, QString());
        activate(2);
    }

    void TearDown() override {
        form.reset();
        siblingServices().Pesquisa = savedPesquisa_;
    }

    void activate(int field) { form->selectField(field); }

    QString text(int field) const { return form->fieldText(field); }

    TBlendedBitBtn* key(const char* name) const {
        auto* k = form->findChild<TBlendedBitBtn*>(QString::fromLatin1(name));
        EXPECT_NE(k, nullptr) << name;
        return k;
    }
    // A touch on an on-screen key.
    void touch(const char* name) const {
        if (TBlendedBitBtn* k = key(name))
            QTest::mouseClick(k, Qt::LeftButton);
    }
    // Touches the keys named by each character: letters and digits by their key, and a few others.
    void touchKeys(const QString& keys) const {
        for (QChar c : keys) {
            const QByteArray name = c == u'\u00e7'   ? QByteArray("sbtCCdil")
                                    : c == u' '      ? QByteArray("sbtespaco")
                                    : c == u','      ? QByteArray("sbtvirgula")
                                    : c == u'.'      ? QByteArray("sbtponto")
                                    : c == u'/'      ? QByteArray("sbtBarra")
                                    : c == u'\\'     ? QByteArray("sbtContraBarra")
                                    : c == u'_'      ? QByteArray("sbt_")
                                    : c == u'@'      ? QByteArray("sbtArroba")
                                    : c == u'\b'     ? QByteArray("sbtBackSpace")
                                    : c == u'\u21e7' ? QByteArray("sbtShift")
                                    : c == u'\u21ea' ? QByteArray("sbtCapsLock")
                                                     : "sbt" + QString(c).toLatin1();
            touch(name.constData());
        }
    }

    // A key press and release as the window system delivers them, with an optional X11 keycode and
    // X modifier state.
    void press(Qt::Key k, Qt::KeyboardModifiers mods = {}, const QString& text = {}, quint32 keycode = 0,
               bool autoRepeat = false, quint32 nativeMods = 0) const {
        QKeyEvent down(QEvent::KeyPress, k, mods, keycode, 0, nativeMods, text, autoRepeat);
        QApplication::sendEvent(form.get(), &down);
        QKeyEvent up(QEvent::KeyRelease, k, mods, keycode, 0, nativeMods, text, autoRepeat);
        QApplication::sendEvent(form.get(), &up);
    }
    // A key typed with the physical Shift held: Shift goes down first, as on a real keyboard.
    void pressShifted(Qt::Key k, const QString& text, quint32 keycode = 0) const {
        press(Qt::Key_Shift, Qt::ShiftModifier);
        press(k, Qt::ShiftModifier, text, keycode);
    }

    // The captions of the 26 letter keys and the "ç" key, in a-z order.
    QString letterCaptions() const {
        QString s;
        for (const char* name : kLetterKeys) {
            const TBlendedBitBtn* k = key(name);
            s += k ? k->caption() : QStringLiteral("?");
        }
        return s;
    }

    std::unique_ptr<TfrmCadastroConsumidor> form;
    QStringList messages;     // texts of the messages that would have been shown
    QStringList pickLists;    // datasets offered in a pick list
    QList<int> confirmedFrom; // active field at each confirm

private:
    MessageScript script_{false};
    PesquisaFn savedPesquisa_;
};

inline const QString kLower = QStringLiteral("abcdefghijklmnopqrstuvwxyz\u00e7");
inline const QString kUpper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c7");

} // namespace cadcons::testing
