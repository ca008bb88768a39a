#include "fingerprint/digital_dialog.h"

#include "fingerprint/fingerprint_enrolment.h"
#include "message_script.h"
#include "qt_printers.h"
#include "routines/sibling.h"
#include "virtual_reader.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <thread>

using namespace cadcons;
using namespace fingerprint_test;

namespace {

QString textOf(QWidget* w, const char* name) {
    auto* label = w->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

TBlendedBitBtn* keyOf(QWidget* w) {
    return w->findChild<TBlendedBitBtn*>(QStringLiteral("btnCancelar"));
}

DigitalDialog* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<DigitalDialog*>(w); d && d->isVisible())
            return d;
    }
    return nullptr;
}

// Notes every capture dialog shown, however briefly, and sends messages to a list instead of the screen.
class Watch : public QObject {
public:
    Watch() {
        qApp->installEventFilter(this);
        script_.during = [this](const MensagemArgs& m) {
            EXPECT_EQ(m.kind, kMsgInformacao);
            EXPECT_EQ(shownDialog(), nullptr) << "a message over the capture dialog";
            messages << m.text;
        };
    }
    ~Watch() override { qApp->removeEventFilter(this); }

    QStringList messages;
    QStringList readers; // of each dialog shown

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (auto* d = qobject_cast<DigitalDialog*>(watched); d && e->type() == QEvent::Show)
            readers << textOf(d, "digitalLeitor");
        return false;
    }

private:
    MessageScript script_;
};

// What the dialog says as the enrolment reports, without a reader.
TEST(DigitalDialog, FollowsTheEnrolment) {
    FingerprintEnrolment e;
    DigitalDialog dialog(e, QStringLiteral("1"), QStringLiteral("JOSE"));
    auto* bar = dialog.findChild<StageBar*>(QStringLiteral("digitalProgresso"));
    const auto shown = [&] {
        return QStringList{textOf(&dialog, "digitalDedo"), textOf(&dialog, "digitalEtapa"),
                           textOf(&dialog, "digitalInstrucao"), textOf(&dialog, "digitalAviso"),
                           QStringLiteral("%1/%2").arg(bar->completed()).arg(bar->stages())};
    };
    const QString right = QStringLiteral("Dedo 1 de 2: indicador direito");
    const QString again = QStringLiteral("Retire o dedo e coloque de novo no leitor");
    const struct {
        std::function<void()> report;
        QStringList shown;
    } steps[] = {
        {[] {}, {"", "", "Preparando o leitor biométrico...", "", "0/0"}},
        {[&] { Q_EMIT e.fingerStarted(0, 5); }, {right, "Etapa 1 de 5", "Coloque o dedo no leitor", "", "0/5"}},
        {[&] { Q_EMIT e.stageCompleted(0, 1, 5); }, {right, "Etapa 2 de 5", again, "", "1/5"}},
        {[&] { Q_EMIT e.scanRetry(0, QStringLiteral("Centralize.")); },
         {right, "Etapa 2 de 5", again, "Centralize.", "1/5"}},
        // The reader may change its count on the way.
        {[&] { Q_EMIT e.stageCompleted(0, 2, 3); }, {right, "Etapa 3 de 3", again, "", "2/3"}},
        {[&] { Q_EMIT e.stageCompleted(0, 3, 3); }, {right, "Etapa 3 de 3", "Indicador direito capturado", "", "3/3"}},
        {[&] { Q_EMIT e.fingerStarted(1, 4); },
         {"Dedo 2 de 2: indicador esquerdo", "Etapa 1 de 4", "Coloque o dedo no leitor", "", "0/4"}},
    };
    for (const auto& step : steps) {
        step.report();
        EXPECT_EQ(shown(), step.shown);
    }
}

// The same steps when the host speaks English: the module's translation covers the dialog too.
TEST(DigitalDialog, SpeaksTheHostsLanguage) {
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/cadcons_en.qm")));
    QCoreApplication::installTranslator(&english);
    FingerprintEnrolment e;
    DigitalDialog dialog(e, QStringLiteral("1"), QStringLiteral("JOSE"));
    const auto shown = [&] {
        return QStringList{textOf(&dialog, "digitalDedo"), textOf(&dialog, "digitalEtapa"),
                           textOf(&dialog, "digitalInstrucao"), keyOf(&dialog)->caption()};
    };
    const QString right = QStringLiteral("Finger 1 of 2: right index finger");
    const struct {
        std::function<void()> report;
        QStringList shown;
    } steps[] = {
        {[] {}, {"", "", "Preparing the fingerprint reader...", "Cancel"}},
        {[&] { Q_EMIT e.fingerStarted(0, 5); }, {right, "Step 1 of 5", "Place your finger on the reader", "Cancel"}},
        {[&] { Q_EMIT e.stageCompleted(0, 1, 5); },
         {right, "Step 2 of 5", "Lift your finger and place it on the reader again", "Cancel"}},
        {[&] { Q_EMIT e.stageCompleted(0, 5, 5); }, {right, "Step 5 of 5", "Right index finger captured", "Cancel"}},
        {[&] { Q_EMIT e.fingerStarted(1, 4); },
         {"Finger 2 of 2: left index finger", "Step 1 of 4", "Place your finger on the reader", "Cancel"}},
    };
    for (const auto& step : steps) {
        step.report();
        EXPECT_EQ(shown(), step.shown);
    }
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Fingerprint Capture"));
    QCoreApplication::removeTranslator(&english);
}

// The whole capture as the form calls it: the list it passes, the messages, the dialog.
enum class Operator { Waits, TouchesCancel, PressesEscape, ClosesWindow, ReadsFailureAndCloses };

struct Flow {
    const char* name;
    VirtualReader::Kind reader;
    QStringList commands;
    Operator hand;
    QString actWhen; // the finger and the stage the dialog shows
    bool captured;
    QStringList messages;
};

void PrintTo(const Flow& f, std::ostream* os) {
    *os << f.name;
}

class CaptureFlows : public ::testing::TestWithParam<Flow> {};

TEST_P(CaptureFlows, FillBothTemplatesOrNeither) {
    const Flow& f = GetParam();
    VirtualReader reader(f.reader);
    CommandFeeder feeder(reader.socketPath(), f.commands);
    Watch watch;
    bool acted = false;
    // The operator acts once the reader has read the whole script: it waits for a finger, or has failed.
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        DigitalDialog* d = shownDialog();
        if (!d || acted || f.hand == Operator::Waits || feeder.sent() < f.commands.size())
            return;
        if (f.hand == Operator::ReadsFailureAndCloses) {
            if (keyOf(d)->caption() != QStringLiteral("Fechar"))
                return;
            EXPECT_EQ(textOf(d, "digitalInstrucao"), QStringLiteral("A memória do leitor biométrico está cheia."));
            EXPECT_EQ(textOf(d, "digitalAviso"), QStringLiteral("Nenhuma digital foi guardada."));
            // Finger-sized, on the screen.
            EXPECT_GE(keyOf(d)->height(), 64);
            EXPECT_GE(keyOf(d)->width(), 200);
            EXPECT_TRUE(d->screen()->availableGeometry().contains(d->frameGeometry()));
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(d, &enter);
            acted = true;
            return;
        }
        if (textOf(d, "digitalDedo") + u'|' + textOf(d, "digitalEtapa") != f.actWhen)
            return;
        // Delivered at once, so that what the dialog shows right after can be looked at.
        const QString awaiting = textOf(d, "digitalInstrucao");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(d, &enter);
        EXPECT_EQ(textOf(d, "digitalInstrucao"), awaiting) << "Enter stopped the capture";
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (f.hand == Operator::TouchesCancel)
            keyOf(d)->click();
        else if (f.hand == Operator::PressesEscape)
            QCoreApplication::sendEvent(d, &escape);
        else
            d->close();
        acted = true;
        // Up, saying so, until the reader has let go.
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(textOf(d, "digitalInstrucao"), QStringLiteral("Cancelando a captura..."));
        EXPECT_FALSE(keyOf(d)->isEnabled());
    });
    hand.start(10);
    QTimer::singleShot(30000, &hand, [] {
        if (DigitalDialog* d = shownDialog()) {
            ADD_FAILURE() << "the capture dialog stayed open";
            d->done(QDialog::Rejected);
        }
    });

    QVariantList templates{QStringLiteral("velho-1"), QStringLiteral("velho-2")};
    captureDigitalConsumidor(QStringLiteral("42"), QStringLiteral("9"), QStringLiteral("ANA"), templates);

    ASSERT_EQ(templates.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(templates[i].typeId(), QMetaType::QString);
        EXPECT_EQ(decodeTemplate(templates[i].toString()).scanId,
                  f.captured ? QStringLiteral("dedo-%1").arg(QChar(u'a' + i)) : QString());
        EXPECT_EQ(templates[i].toString().isEmpty(), !f.captured);
    }
    EXPECT_EQ(watch.messages, f.messages);
    EXPECT_EQ(watch.readers, f.reader == VirtualReader::None
                                 ? QStringList()
                                 : QStringList{QStringLiteral("Leitor: Virtual device for debugging")});
    EXPECT_EQ(acted, f.hand != Operator::Waits);
    EXPECT_FALSE(reader.listening());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<DigitalDialog*>(w), nullptr) << "the dialog was left behind";
}

const QString a = QStringLiteral("SCAN dedo-a");
const QString b = QStringLiteral("SCAN dedo-b");

INSTANTIATE_TEST_SUITE_P(
    DigitalCapture, CaptureFlows,
    ::testing::Values(
        Flow{"NoReader", VirtualReader::None, {}, Operator::Waits, {}, false, {"Nenhum leitor biométrico encontrado."}},
        Flow{"TwoFingers", VirtualReader::Device, QStringList(5, a) + QStringList(5, b), Operator::Waits, {}, true, {}},
        Flow{"CancelKey",
             VirtualReader::Device,
             {a, a},
             Operator::TouchesCancel,
             "Dedo 1 de 2: indicador direito|Etapa 3 de 5",
             false,
             {}},
        Flow{"EscapeInTheSecondFinger",
             VirtualReader::Device,
             QStringList(5, a) + QStringList{b},
             Operator::PressesEscape,
             "Dedo 2 de 2: indicador esquerdo|Etapa 2 de 5",
             false,
             {}},
        Flow{"WindowClosed",
             VirtualReader::Device,
             {},
             Operator::ClosesWindow,
             "Dedo 1 de 2: indicador direito|Etapa 1 de 5",
             false,
             {}},
        Flow{"ReaderFails", VirtualReader::Device, {a, "ERROR 8"}, Operator::ReadsFailureAndCloses, {}, false, {}}),
    [](const ::testing::TestParamInfo<Flow>& info) { return std::string(info.param.name); });

TEST(DigitalCapture, AwayFromTheScreenThreadShowsNothing) {
    VirtualReader reader(VirtualReader::Device);
    Watch watch;
    QVariantList templates; // also made two long
    std::thread([&] { captureDigitalConsumidor(QStringLiteral("1"), {}, {}, templates); }).join();
    EXPECT_EQ(templates, (QVariantList{QString(), QString()}));
    EXPECT_TRUE(watch.messages.isEmpty());
}

TEST(DigitalCapture, DefaultServiceGoesOnlyWhereNoneIs) {
    VirtualReader none(VirtualReader::None);
    Watch watch;
    DigitalConsumidorFn& service = siblingServices().DigitalConsumidor;
    const DigitalConsumidorFn saved = service;
    QVariantList templates{QStringLiteral("velho"), QStringLiteral("velho")};

    service = nullptr;
    installDefaultDigitalConsumidor();
    DigitalConsumidor(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("JOSE"), templates);
    EXPECT_EQ(templates, (QVariantList{QString(), QString()}));
    EXPECT_EQ(watch.messages, QStringList{QStringLiteral("Nenhum leitor biométrico encontrado.")});

    bool hostsOwn = false;
    service = [&](const QString&, const QString&, const QString&, QVariantList&) { hostsOwn = true; };
    installDefaultDigitalConsumidor();
    DigitalConsumidor(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("JOSE"), templates);
    EXPECT_TRUE(hostsOwn);
    service = saved;
}

// CTest runs the program twice, once told to keep Qt off GLib's loop, so that the timer iterating it for
// libfprint is tested too.
TEST(FingerprintEventLoop, IsGLibUnlessToldNot) {
    EXPECT_EQ(QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib"),
              qEnvironmentVariableIsEmpty("QT_NO_GLIB"));
}

} // namespace
