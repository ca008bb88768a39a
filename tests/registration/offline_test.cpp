#include "config/connection.h"
#include "core_fixture.h"
#include "registration/queue_sender.h"
#include "routines/utility.h"
#include "service/offline_queue.h"

#include <QRegularExpression>

namespace cadcons::test {
namespace {

using namespace registration;

// A till whose database stops answering: the SQLite file's place taken by a directory, which no connection
// can open, until it is given back.
class OfflineTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        qputenv("CADCONS_OFFLINE", "yes");
        file_ = QRegularExpression(QStringLiteral("Data Source=([^;]+)"))
                    .match(qEnvironmentVariable("CADCONS_CONNECTION"))
                    .captured(1);
    }
    void TearDown() override {
        databaseAnswers(true);
        qunsetenv("CADCONS_OFFLINE");
        CoreTest::TearDown();
    }
    void databaseAnswers(bool yes) {
        closeFormService();
        if (yes && QDir(file_).rmdir(file_))
            QFile::rename(file_ + QStringLiteral(".away"), file_);
        if (!yes)
            ASSERT_TRUE(QFile::rename(file_, file_ + QStringLiteral(".away")) && QDir().mkdir(file_));
    }
    void registerWaiting(const QString& code, const QString& badge, bool answer = true) {
        open({}, {}, QStringLiteral("B"));
        answers = {answer, answer};
        fillNewConsumer(code);
        show(Cracha, badge);
        typePassword(SenhaCons, QStringLiteral("typed-4711"));
        confirm();
    }
    OfflineQueue& queue() { return *formService().offlineQueue(); }

    QString file_;
};
INSTANTIATE_TEST_SUITE_P(Backends, OfflineTest, ::testing::Values(QStringLiteral("sqlite")), backendName);

TEST_P(OfflineTest, NewConsumersWaitOnTheTillAndGoAtTheNextCallEachOnceAsOnline) {
    open({});
    r.reset(); // the lists are kept on the till's disk at the end of the call
    databaseAnswers(false);

    // Only a new consumer opens without the database, and only when the till allows it.
    for (const auto& [mode, offline] : {std::pair{"", "yes"}, std::pair{"B", "no"}}) {
        SCOPED_TRACE(mode);
        qputenv("CADCONS_OFFLINE", offline);
        EXPECT_THROW(open({}, {}, QLatin1String(mode)), DatabaseError);
    }
    qputenv("CADCONS_OFFLINE", "yes");
    open({}, {}, QStringLiteral("B"));
    EXPECT_EQ(op.withoutDatabase, msg("Cons_SemBanco"));
    EXPECT_EQ(r->fieldText(Cliente), QStringLiteral("Hotel Beira Mar"));

    registerWaiting(QStringLiteral("9001"), QStringLiteral("B-1"));
    EXPECT_EQ(messageTexts(), QStringList{msg("Cons_Fila")});
    QFile file(queue().path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("typed-4711"));

    // What a waiting registration holds refuses or asks, as the database would.
    const struct {
        const char* code;
        const char* badge;
        bool answer;
        const char* key;
    } clashes[] = {
        {"9001", "B-2", true, "Cons_Cad"},  // its code
        {"9002", "B-2", false, "Cpf_Cad"},  // the CPF, the question answered no
        {"9002", "B-2", true, "Cons_Fila"}, // ... and yes: the RG is asked next, then it waits too
    };
    for (const auto& c : clashes) {
        SCOPED_TRACE(c.key);
        registerWaiting(QLatin1String(c.code), QLatin1String(c.badge), c.answer);
        EXPECT_EQ(messageTexts().last(), msg(c.key));
    }
    EXPECT_EQ(queue().waiting(), 2);
    const QList<OfflineQueue::Record> waited = queue().records();

    // Meanwhile another till takes the second code, and a consumer with the first one's RG is registered.
    databaseAnswers(true);
    exec(QStringLiteral("UPDATE CONSUMIDOR SET CDCONSUMIDOR = '%1', NRRGCONSUMID = 'RG-77001' WHERE CDCONSUMIDOR = "
                        "(SELECT MIN(CDCONSUMIDOR) FROM CONSUMIDOR)")
             .arg(Ajusta(QStringLiteral("9002"), 21)));
    const int before = consumerCount();
    open({});
    EXPECT_EQ(consumerCount(), before + 1);
    const QList<OfflineQueue::Record> left = queue().records();
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left[0].refused.contains(QLatin1String("9002"))) << left[0].refused.toStdString();
    ASSERT_EQ(queue().decisions().size(), 1);
    EXPECT_TRUE(queue().decisions()[0].contains(QLatin1String("RG RG-77001 also held by")))
        << queue().decisions()[0].toStdString();
    EXPECT_EQ(setConsumidorCalls.size(), 1);

    // The same registration made online: every column alike but the code, the badge and the time.
    open({}, {}, QStringLiteral("B"));
    fillNewConsumer(QStringLiteral("9003"));
    show(Cracha, QStringLiteral("B-3"));
    typePassword(SenhaCons, QStringLiteral("typed-4711"));
    answers = {true, true};
    confirm();
    ASSERT_FALSE(formOpen()) << messageTexts().join(u'|').toStdString();
    QVariantMap queued = consumer(r->consumer.stCdCliente, Ajusta(QStringLiteral("9001"), 21));
    QVariantMap online = consumer(r->consumer.stCdCliente, Ajusta(QStringLiteral("9003"), 21));
    for (QVariantMap* row : {&queued, &online})
        for (const char* column : {"CDCONSUMIDOR", "CDIDCONSUMID", "DTULTATUCSUM"})
            row->remove(QLatin1String(column));
    EXPECT_EQ(queued, online);

    // Sent again (its answer lost, its process killed): found in the database, not saved twice. While
    // another process sends, this one sends nothing.
    queue().append(waited[0].values, waited[0].settings);
    {
        const std::unique_ptr<OfflineQueue::SendLock> other = queue().lockForSending();
        EXPECT_TRUE(sendQueue(formService(), queue()).busy);
    }
    const int now = consumerCount();
    const QueueSending again = sendQueue(formService(), queue());
    EXPECT_EQ(again.sent, 1);
    EXPECT_EQ(again.refused, 0); // a refused record is not tried again until dropped
    EXPECT_EQ(consumerCount(), now);
}

} // namespace
} // namespace cadcons::test
