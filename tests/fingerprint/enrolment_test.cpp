#include "fingerprint/fingerprint_enrolment.h"
#include "qt_printers.h"
#include "virtual_reader.h"

#include <QEventLoop>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <fprint.h>
#include <gtest/gtest.h>

using namespace cadcons;
using namespace fingerprint_test;
using Outcome = FingerprintEnrolment::Outcome;

namespace cadcons {
void PrintTo(FingerprintEnrolment::Outcome o, std::ostream* os) {
    *os << QMetaEnum::fromType<FingerprintEnrolment::Outcome>().valueToKey(int(o));
}
} // namespace cadcons

namespace {

const QString kCode = QStringLiteral("000000000000000000123");
const QString kName = QStringLiteral("MARIA DA SILVA");
const QString a = QStringLiteral("SCAN dedo-a");
const QString b = QStringLiteral("SCAN dedo-b");
const QString press = QStringLiteral("SET_SCAN_TYPE press"); // the virtual readers start as swipe readers

QStringList times(int n, const QString& command) {
    return QStringList(n, command);
}

// Signals in order: "F<finger>" as a finger starts, "<finger>:<done>/<stages>", "R<finger>:<hint>".
struct EnrolRun {
    Outcome outcome = Outcome::None;
    QStringList templates, events;
    QString error;
};

// `hook` may connect more before the start; it sees the events as they come.
EnrolRun enrol(const std::function<void(FingerprintEnrolment&, const QStringList&)>& hook = {}) {
    EnrolRun run;
    FingerprintEnrolment e;
    if (!e.findReader()) {
        ADD_FAILURE() << "no virtual reader";
        return run;
    }
    QObject::connect(&e, &FingerprintEnrolment::fingerStarted, &e,
                     [&](int finger, int) { run.events << QStringLiteral("F%1").arg(finger); });
    QObject::connect(&e, &FingerprintEnrolment::stageCompleted, &e, [&](int finger, int done, int stages) {
        run.events << QStringLiteral("%1:%2/%3").arg(finger).arg(done).arg(stages);
    });
    QObject::connect(&e, &FingerprintEnrolment::scanRetry, &e,
                     [&](int finger, const QString& hint) { run.events << QStringLiteral("R%1:").arg(finger) + hint; });
    if (hook)
        hook(e, run.events);
    QEventLoop loop;
    QObject::connect(&e, &FingerprintEnrolment::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, [&] {
        ADD_FAILURE() << "the enrolment did not finish";
        loop.quit();
    });
    e.start(kCode, kName);
    if (e.isRunning())
        loop.exec();
    EXPECT_FALSE(e.isRunning());
    run.outcome = e.outcome();
    run.templates = e.templates();
    run.error = e.errorText();
    return run;
}

QStringList stages(int finger, int count) {
    QStringList out{QStringLiteral("F%1").arg(finger)};
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("%1:%2/%3").arg(finger).arg(i).arg(count);
    return out;
}

// Both templates as libfprint reads them back: each finger in its place, the consumer on both.
void expectTemplates(const QStringList& templates, const char* driver, const QStringList& ids = {}) {
    ASSERT_EQ(templates.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const DecodedTemplate t = decodeTemplate(templates[i]);
        ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
        EXPECT_EQ(t.driver, QLatin1String(driver));
        EXPECT_EQ(t.finger, i == 0 ? FP_FINGER_RIGHT_INDEX : FP_FINGER_LEFT_INDEX);
        EXPECT_EQ(t.username, kCode);
        EXPECT_EQ(t.description, kName);
        EXPECT_EQ(t.scanId, ids.value(i));
    }
    EXPECT_NE(templates[0], templates[1]);
}

struct Script {
    const char* name;
    QStringList commands;
    Outcome outcome;
    QStringList events; // how the enrolment's reports begin
    QString error;
};

void PrintTo(const Script& s, std::ostream* os) {
    *os << s.name;
}

class VirtualDeviceScripts : public ::testing::TestWithParam<Script> {};

TEST_P(VirtualDeviceScripts, EndAsTheReaderTells) {
    const Script& s = GetParam();
    VirtualReader reader(VirtualReader::Device);
    CommandFeeder feeder(reader.socketPath(), s.commands);
    const EnrolRun run = enrol();
    EXPECT_EQ(run.outcome, s.outcome) << run.error.toStdString();
    EXPECT_EQ(run.events.mid(0, s.events.size()), s.events);
    EXPECT_EQ(run.error, s.error);
    if (s.outcome == Outcome::Captured)
        expectTemplates(run.templates, "virtual_device", {QStringLiteral("dedo-a"), QStringLiteral("dedo-b")});
    else
        EXPECT_TRUE(run.templates.isEmpty()) << "nothing half-captured may come back";
}

INSTANTIATE_TEST_SUITE_P(
    FingerprintEnrolment, VirtualDeviceScripts,
    ::testing::Values(
        Script{"TwoFingers", times(5, a) + times(5, b), Outcome::Captured, stages(0, 5) + stages(1, 5), {}},
        // A different id within one finger is a bad scan to the virtual reader.
        Script{"RetriesSayWhatToDo",
               QStringList{press, a, "RETRY 1", "RETRY 2", "RETRY 3", "SCAN outro"} + times(4, a) + times(5, b),
               Outcome::Captured,
               {"F0", "0:1/5", "R0:Leitura incompleta. Coloque o dedo de novo.", "R0:Centralize o dedo no leitor.",
                "R0:Retire o dedo do leitor e coloque de novo.", "R0:Leitura não aproveitada. Coloque o dedo de novo.",
                "0:2/5"},
               {}},
        Script{"SwipeReaderSaysPass",
               QStringList{QStringLiteral("SET_SCAN_TYPE swipe"), a, "RETRY 1"} + times(4, a) + times(5, b),
               Outcome::Captured,
               {"F0", "0:1/5", "R0:Passagem curta demais. Passe o dedo de novo, mais devagar."},
               {}},
        Script{"StagesAsTheReaderCounts",
               QStringList{"SET_ENROLL_STAGES 3"} + times(3, a) + times(3, b),
               Outcome::Captured,
               QStringList{"F0", "0:1/3", "0:2/3", "0:3/3"} + stages(1, 3),
               {}},
        Script{"ReaderFull",
               {a, QStringLiteral("ERROR %1").arg(FP_DEVICE_ERROR_DATA_FULL)},
               Outcome::Failed,
               {"F0", "0:1/5"},
               QStringLiteral("A memória do leitor biométrico está cheia.")},
        Script{"OtherErrorsCarryLibfprintsText",
               {QStringLiteral("ERROR %1").arg(FP_DEVICE_ERROR_PROTO)},
               Outcome::Failed,
               {"F0"},
               "Falha na captura da digital: The driver encountered a protocol error with the device."},
        // The first finger was captured, but the pair is all or nothing.
        Script{"ReaderUnpluggedAtTheSecondFinger",
               times(5, a) + QStringList{QStringLiteral("ERROR %1").arg(FP_DEVICE_ERROR_REMOVED)}, Outcome::Failed,
               stages(0, 5) + QStringList{"F1"}, QStringLiteral("O leitor biométrico foi desconectado.")}),
    [](const ::testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

TEST(FingerprintEnrolment, NoReaderFinishesAtOnce) {
    VirtualReader reader(VirtualReader::None);
    FingerprintEnrolment e;
    EXPECT_FALSE(e.findReader());
    QList<Outcome> finished;
    QObject::connect(&e, &FingerprintEnrolment::finished, &e, [&](Outcome o) { finished << o; });
    e.start(kCode, kName);
    EXPECT_EQ(finished, QList<Outcome>{Outcome::NoReader});
    EXPECT_FALSE(e.isRunning());
    EXPECT_TRUE(e.templates().isEmpty());
    EXPECT_EQ(e.errorText(), QStringLiteral("Nenhum leitor biométrico encontrado."));
}

// Cancelled while the reader waits in the second finger (it waits for as long as no command comes):
// nothing comes back, the reader is closed.
TEST(FingerprintEnrolment, CancelLeavesNothing) {
    VirtualReader reader(VirtualReader::Device);
    const QStringList commands = times(5, a) + QStringList{b};
    CommandFeeder feeder(reader.socketPath(), commands);
    QTimer poll;
    const EnrolRun run = enrol([&](FingerprintEnrolment& e, const QStringList& events) {
        QObject::connect(&poll, &QTimer::timeout, &e, [&] {
            if (feeder.sent() == commands.size() && events.endsWith(QStringLiteral("1:1/5")))
                e.cancel();
        });
        poll.start(5);
    });
    EXPECT_EQ(run.outcome, Outcome::Cancelled);
    EXPECT_EQ(run.events, stages(0, 5) + QStringList({"F1", "1:1/5"}));
    EXPECT_TRUE(run.templates.isEmpty());
    EXPECT_FALSE(reader.listening());
}

// Destroyed while the reader waits for a finger, it still closes the reader, as libfprint wants.
TEST(FingerprintEnrolment, DestroyedWhileRunningClosesTheReader) {
    VirtualReader reader(VirtualReader::Device);
    QStringList warnings;
    const guint handler = g_log_set_handler(
        "libfprint-device", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
        [](const gchar*, GLogLevelFlags, const gchar* text, gpointer list) {
            *static_cast<QStringList*>(list) << QString::fromUtf8(text);
        },
        &warnings);
    const auto removeHandler = qScopeGuard([handler] { g_log_remove_handler("libfprint-device", handler); });
    CommandFeeder feeder(reader.socketPath(), {a});
    auto* e = new FingerprintEnrolment;
    ASSERT_TRUE(e->findReader());
    bool scanned = false;
    QObject::connect(e, &FingerprintEnrolment::stageCompleted, e, [&] { scanned = true; });
    e->start(kCode, kName);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scanned; }, 20000));
    ASSERT_TRUE(reader.listening());
    delete e;
    // Asked now and then: each question is a connection the reader has to deal with.
    bool closed = false;
    for (int i = 0; i < 50 && !(closed = !reader.listening()); ++i)
        QTest::qWait(100);
    QTest::qWait(50);
    EXPECT_TRUE(closed);
    EXPECT_EQ(warnings, QStringList());
}

// The image reader extracts the minutiae itself, so the images must look enough like a finger. A frame
// goes out when the first finger starts and after each report.
TEST(FingerprintEnrolment, VirtualImageReader) {
    VirtualReader reader(VirtualReader::Image);
    QList<QByteArray> frames{fingerprintFrame(24, 1), fingerprintFrame(0, 0)};
    for (int i = 0; i < 9; ++i)
        frames << fingerprintFrame(24, i < 4 ? 1 : 2);
    QLocalSocket socket;
    auto sendNext = [&] {
        if (socket.state() != QLocalSocket::ConnectedState) {
            socket.connectToServer(reader.socketPath());
            ASSERT_TRUE(socket.waitForConnected(2000)) << socket.errorString().toStdString();
        }
        if (!frames.isEmpty())
            socket.write(frames.takeFirst());
    };
    const EnrolRun run = enrol([&](FingerprintEnrolment& e, const QStringList&) {
        QObject::connect(&e, &FingerprintEnrolment::fingerStarted, &e, [&](int finger) {
            if (finger == 0)
                sendNext();
        });
        QObject::connect(&e, &FingerprintEnrolment::stageCompleted, &e, sendNext);
        QObject::connect(&e, &FingerprintEnrolment::scanRetry, &e, sendNext);
    });
    ASSERT_EQ(run.outcome, Outcome::Captured) << run.error.toStdString();
    EXPECT_EQ(run.events, QStringList({"F0", "0:1/5", "R0:Leitura não aproveitada. Passe o dedo de novo.", "0:2/5",
                                       "0:3/5", "0:4/5", "0:5/5"}) +
                              stages(1, 5));
    expectTemplates(run.templates, "virtual_image");
}

} // namespace
