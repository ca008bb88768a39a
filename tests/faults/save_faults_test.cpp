// Faults of the PostgreSQL server during a save, on the shared test server: the session ended by the
// server in the middle of the save's transaction, the save's statement timing out, and the session
// ended while the service sits idle between two calls. Each time the operator is told, the form keeps
// everything typed, nothing of the record is written, and the next Confirm saves it once.

#include "fault_support.h"

#include "routines/utility.h"
#include "service/rdm_cad_consumidor.h"

#include <QSqlQuery>

namespace cadcons::test {
namespace {

QString connectionString() {
    return qEnvironmentVariable("CADCONS_CONNECTION");
}

// The fault strikes while the save's statement waits on CONSUMIDOR; for an edited consumer the save
// has already read the stored row in its transaction by then.
struct Fault {
    const char* label;
    const char* reason; // what the database says, in the text the operator sees
    bool statementTimeout;
};
const Fault kFaults[] = {
    {"session ended by the server", "terminating connection due to administrator command", false},
    {"statement timed out", "statement timeout", true},
};

FaultDuringSave::Fault faultFor(const Fault& f) {
    if (f.statementTimeout) // the lock is simply held until the statement gives up
        return [](QSqlDatabase&, qint64) {};
    return [](QSqlDatabase& monitor, qint64 pid) {
        QSqlQuery query(monitor);
        query.prepare(QStringLiteral("SELECT pg_terminate_backend(:PID)"));
        query.bindValue(QStringLiteral(":PID"), pid);
        EXPECT_TRUE(query.exec() && query.next() && query.value(0).toBool());
    };
}

class SaveFaults : public SaveTest {
protected:
    // Documents no other consumer holds, so that Confirm asks nothing.
    void useOwnDocuments(int code) {
        show("lblCpf", QString());
        show("lblRg", QStringLiteral("RG-%1").arg(code));
        show("lblCracha", QStringLiteral("B-%1").arg(code));
    }
    // Statements of new sessions give up after two seconds; the service's session is made anew at the next
    // opening of the screen to take the limit.
    void limitStatements() {
        exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET statement_timeout = 2000', "
                            "current_database()); END $$"));
        test::closeFormService();
    }
    void unlimitStatements() {
        exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I RESET statement_timeout', "
                            "current_database()); END $$"));
    }
    // Confirm while the fault strikes: the operator is told once, with the database's reason.
    void confirmDuringFault(const Fault& f) {
        messages.clear();
        {
            FaultDuringSave fault(connectionString(), faultFor(f));
            ASSERT_EQ(fault.lockError(), "");
            confirm();
            EXPECT_TRUE(fault.join()) << "the save never waited on the table";
        }
        ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_TRUE(messages[0].text.contains(QLatin1String(f.reason))) << messages[0].text.toStdString();
    }
};
INSTANTIATE_TEST_SUITE_P(Postgres, SaveFaults, ::testing::Values(QStringLiteral("postgres")), backendName);

TEST_P(SaveFaults, NewConsumerIsNeitherHalfWrittenNorLostAndTheNextConfirmSavesItOnce) {
    int code = 500;
    for (const Fault& f : kFaults) {
        SCOPED_TRACE(f.label);
        if (f.statementTimeout)
            limitStatements();
        const int before = consumerCount();
        open({}, {}, QStringLiteral("B"));
        ++code;
        fillNewConsumer(QString::number(code));
        useOwnDocuments(code);
        typePassword(19, QStringLiteral("1234"));
        typePassword(21, QStringLiteral("nova"));
        const QStringList shown = fieldTexts(*form);
        ASSERT_NO_FATAL_FAILURE(confirmDuringFault(f));
        EXPECT_TRUE(messages[0].details.contains(QLatin1String("setGravaConsumidor")))
            << messages[0].details.toStdString();
        EXPECT_TRUE(formOpen());
        EXPECT_FALSE(form->saved());
        EXPECT_EQ(fieldTexts(*form), shown);
        EXPECT_EQ(consumerCount(), before);
        EXPECT_TRUE(consumer(kCliente1, code21(code)).isEmpty());

        if (f.statementTimeout)
            unlimitStatements();
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(form->saved());
        EXPECT_EQ(consumerCount(), before + 1);
        const QVariantMap row = consumer(kCliente1, code21(code));
        EXPECT_EQ(row.value("NMCONSUMIDOR").toString(), "BEATRIZ NUNES");
        EXPECT_EQ(row.value("NRRGCONSUMID").toString(), QStringLiteral("RG-%1").arg(code));
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHACONS").toString()), "1234");
        EXPECT_EQ(DecriptoPlus(row.value("CDSENHASITE").toString()), "nova");
    }
}

TEST_P(SaveFaults, EditedConsumerKeepsItsStoredRowWholeAndTheNextConfirmSavesTheEdit) {
    for (const Fault& f : kFaults) {
        SCOPED_TRACE(f.label);
        if (f.statementTimeout)
            limitStatements();
        const QVariantMap stored = consumer(kCliente1, code21(1));
        ASSERT_FALSE(stored.isEmpty());
        const int before = consumerCount();
        open(QStringLiteral("1"), kCliente1);
        ASSERT_EQ(form->registration().consumer.stOperacao, "2");
        const QString phone = QStringLiteral("11%1").arg(f.statementTimeout ? 40041111 : 40042222);
        show("lblTelefone", phone);
        show("lblEndereco", QStringLiteral("Rua Nova"));
        const QStringList shown = fieldTexts(*form);
        ASSERT_NO_FATAL_FAILURE(confirmDuringFault(f));
        EXPECT_TRUE(formOpen());
        EXPECT_EQ(fieldTexts(*form), shown);
        EXPECT_EQ(rowTexts(consumer(kCliente1, code21(1))), rowTexts(stored));

        if (f.statementTimeout)
            unlimitStatements();
        messages.clear();
        confirm();
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(consumerCount(), before);
        const QVariantMap row = consumer(kCliente1, code21(1));
        EXPECT_EQ(row.value("NRTELECONS").toString(), phone);
        EXPECT_EQ(row.value("DSENDECONS").toString(), "Rua Nova");
        EXPECT_EQ(row.value("NMCONSUMIDOR").toString(), stored.value("NMCONSUMIDOR").toString());
    }
}

// The server ends the service's idle session between two calls: the next opening of the screen makes
// the connection anew instead of failing each call for the rest of the process; so does the next
// service call within an open screen.
TEST_P(SaveFaults, SessionEndedBetweenCallsIsMadeAnewAtTheNextOpening) {
    const struct {
        const char* label;
        bool reopenScreen; // else the next call is a Confirm on the screen already open
    } cases[] = {{"next opening of the screen", true}, {"next Confirm on the open screen", false}};
    int code = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        open({}, {}, QStringLiteral("B"));
        ASSERT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        const qint64 pid = servicePid();
        ASSERT_GT(pid, 0);
        exec(QStringLiteral("SELECT pg_terminate_backend(%1, 10000)").arg(pid));

        if (c.reopenScreen) {
            open({}, {}, QStringLiteral("B"));
            EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
            EXPECT_FALSE(form->registration().lists.cdsPais.isEmpty());
            EXPECT_EQ(text("lblNomeCliente"),
                      form->registration().lists.cdsNomeCliente.asString(QStringLiteral("NMFANTCLIE")));
            EXPECT_FALSE(text("lblNomeCliente").isEmpty());
        }
        ++code;
        fillNewConsumer(QString::number(code));
        useOwnDocuments(code);
        confirm();
        if (!c.reopenScreen) {
            // The call that meets the dropped session fails and says so; the one after works.
            ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
            EXPECT_EQ(messages[0].kind, kMsgErro);
            EXPECT_TRUE(formOpen());
            messages.clear();
            confirm();
        }
        EXPECT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        EXPECT_FALSE(formOpen());
        EXPECT_NE(servicePid(), pid);
        EXPECT_EQ(consumer(kCliente1, code21(code)).value("NMCONSUMIDOR").toString(), "BEATRIZ NUNES");
    }
}

} // namespace
} // namespace cadcons::test
