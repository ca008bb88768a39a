// The PostgreSQL server stops in the middle of a save, and between two calls. These tests stop and
// start the server, so they run on one of their own (scripts/with-postgres around this program alone),
// never on the server that the other tests share.

#include "fault_support.h"

#include "routines/utility.h"

namespace cadcons::test {
namespace {

using ServerStops = SaveTest;
INSTANTIATE_TEST_SUITE_P(Postgres, ServerStops, ::testing::Values(QStringLiteral("postgres")), backendName);

// Wherever a test stops, the server is running again for the next one.
struct ServerBack {
    ~ServerBack() { serverControl("start"); }
};

TEST_P(ServerStops, MidSaveTheOperatorIsToldNothingIsWrittenAndTheConfirmAfterTheRestartSavesOnce) {
    const int before = consumerCount();
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("701"));
    typePassword(19, QStringLiteral("1234"));
    const QStringList shown = fieldTexts(*form);
    messages.clear();
    ServerBack back;
    {
        // Immediate: a fast stop ends the lock holder first, and on a loaded machine the save may take the
        // lock and commit before its own session is told to end.
        FaultDuringSave fault(qEnvironmentVariable("CADCONS_CONNECTION"),
                              [](QSqlDatabase&, qint64) { EXPECT_TRUE(serverControl("kill")); });
        ASSERT_EQ(fault.lockError(), "");
        confirm();
        EXPECT_TRUE(fault.join()) << "the save never waited on the table";
    }
    ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
    EXPECT_EQ(messages[0].kind, kMsgErro);
    // The server's own notice, or, when the socket closed before libpq read it, libpq's.
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("terminating connection due to immediate shutdown")) ||
                messages[0].text.contains(QLatin1String("server closed the connection unexpectedly")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(formOpen());
    EXPECT_EQ(fieldTexts(*form), shown);

    // Confirm again while the server is still down: told again, nothing else changes.
    messages.clear();
    confirm();
    ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("could not open the database connection")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(formOpen());
    EXPECT_EQ(fieldTexts(*form), shown);

    ASSERT_TRUE(serverControl("start"));
    reconnectTestSessions();
    EXPECT_EQ(consumerCount(), before);
    EXPECT_TRUE(consumer(kCliente1, code21(701)).isEmpty());

    messages.clear();
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_TRUE(form->saved());
    EXPECT_EQ(consumerCount(), before + 1);
    const QVariantMap row = consumer(kCliente1, code21(701));
    EXPECT_EQ(row.value("NMCONSUMIDOR").toString(), "BEATRIZ NUNES");
    EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "1234");
}

TEST_P(ServerStops, RestartBetweenCallsIsMetByTheNextOpeningOfTheScreen) {
    open({}, {}, QStringLiteral("B"));
    ASSERT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    const qint64 pid = servicePid();
    form.reset();
    {
        ServerBack back;
        ASSERT_TRUE(serverControl("stop"));
    }
    reconnectTestSessions();

    open({}, {}, QStringLiteral("B"));
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(form->registration().lists.cdsPais.isEmpty());
    EXPECT_NE(servicePid(), pid);
    fillNewConsumer(QStringLiteral("702"));
    confirm();
    EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(consumer(kCliente1, code21(702)).value("NMCONSUMIDOR").toString(), "BEATRIZ NUNES");
}

} // namespace
} // namespace cadcons::test
