#include "service/offline_queue.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace cadcons::test {
namespace {

// Every value of a save distinct, so that none can stand in for another.
GravaConsumidor save(const QString& code, const QString& badge = QStringLiteral("B-1"),
                     const QString& customer = QStringLiteral("C1")) {
    GravaConsumidor v;
    for (const SaveArgument& argument : kSaveArguments)
        v.*argument.member = QStringLiteral("%1 ☃ %2").arg(QLatin1String(argument.name), code);
    v.cdCliente = customer;
    v.cdIdConsumid = badge;
    return v;
}

QStringList valuesOf(const GravaConsumidor& v) {
    QStringList values;
    for (const SaveArgument& argument : kSaveArguments)
        values << v.*argument.member;
    return values;
}

class OfflineQueueTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const QString path = dir.filePath(OfflineQueue::fileName());
};

// What was queued is read back whole and in order by another opening of the file, refusals and decisions
// with it, and goes only when removed.
TEST_F(OfflineQueueTest, RecordsOutliveTheQueueObjectInOrderAndGoOnlyWhenRemoved) {
    qint64 first = 0, second = 0;
    {
        OfflineQueue queue(path);
        EXPECT_TRUE(queue.damagedFile().isEmpty());
        first = queue.append(save(QStringLiteral("1")));
        second = queue.append(save(QStringLiteral("2")));
        queue.refuse(first, QStringLiteral("code taken meanwhile"));
        queue.decide(second, QStringLiteral("CPF held by 9: sent"));
    }
    EXPECT_EQ(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    OfflineQueue queue(path);
    QList<OfflineQueue::Record> records = queue.records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].number, first);
    EXPECT_EQ(valuesOf(records[0].values), valuesOf(save(QStringLiteral("1"))));
    EXPECT_EQ(records[0].refused, "code taken meanwhile");
    EXPECT_EQ(valuesOf(records[1].values), valuesOf(save(QStringLiteral("2"))));
    EXPECT_EQ(records[1].decision, "CPF held by 9: sent");
    EXPECT_TRUE(records[1].queued.isValid());
    EXPECT_TRUE(queue.remove(first));
    EXPECT_FALSE(queue.remove(first));
    records = queue.records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].number, second);
}

TEST_F(OfflineQueueTest, ClashesAreWhatAWaitingRecordOfTheSameCustomerHolds) {
    OfflineQueue queue(path);
    queue.append(save(QStringLiteral("1"), QStringLiteral("B-1")));
    queue.refuse(queue.append(save(QStringLiteral("7"), QStringLiteral("B-7"))), QStringLiteral("refused"));
    GravaConsumidor docs = save(QStringLiteral("3"), QStringLiteral("B-3"));
    docs.nrCpfRespCon = save(QStringLiteral("1")).nrCpfRespCon;
    docs.nrRgConsumid = save(QStringLiteral("1")).nrRgConsumid;
    GravaConsumidor blank = save(QStringLiteral("4"), QString());
    blank.nrCpfRespCon = blank.nrRgConsumid = QStringLiteral(" ");
    const struct {
        const char* what;
        GravaConsumidor values;
        QStringList expected;
    } cases[] = {
        {"the same code and documents", save(QStringLiteral("1"), QStringLiteral("B-9")), {"code", "CPF", "RG"}},
        {"the same badge", save(QStringLiteral("2"), QStringLiteral("B-1")), {"badge"}},
        {"the same CPF and RG", docs, {"CPF", "RG"}},
        {"another customer", save(QStringLiteral("1"), QStringLiteral("B-1"), QStringLiteral("C2")), {}},
        {"a refused record's code and badge", save(QStringLiteral("7"), QStringLiteral("B-7")), {}},
        {"blank documents", blank, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(queue.clashes(c.values), c.expected) << c.what;
}

// A file that is not a queue of this format is moved aside whole, never deleted, and a new queue begins.
TEST_F(OfflineQueueTest, AFileThatIsNoQueueIsMovedAsideWholeAndANewQueueBegins) {
    const struct {
        const char* fault;
        std::function<void()> damage;
    } cases[] = {
        {"not SQLite",
         [&] {
             QFile f(path);
             f.open(QIODevice::WriteOnly), f.write(QByteArray(5000, 'x'));
         }},
        {"another format",
         [&] {
             OfflineQueue(path).append(save(QStringLiteral("1")));
             sqlite3* db = nullptr;
             sqlite3_open(QFile::encodeName(path).constData(), &db);
             sqlite3_exec(db, "UPDATE META SET VALUE = '0'", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        QFile::remove(path);
        c.damage();
        QFile before(path);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        OfflineQueue queue(path);
        ASSERT_FALSE(queue.damagedFile().isEmpty());
        QFile aside(queue.damagedFile());
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), bytes);
        EXPECT_TRUE(queue.records().isEmpty());
        queue.append(save(QStringLiteral("5")));
        EXPECT_EQ(queue.records().size(), 1);
    }
}

} // namespace
} // namespace cadcons::test
