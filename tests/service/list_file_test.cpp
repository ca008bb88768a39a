#include "platform/packet_file.h"
#include "qt_printers.h"
#include "service/list_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cadcons::test {
namespace {

DataPacket sample(int rows) {
    DataPacket p;
    p.fields = {{QStringLiteral("CODE"), FieldType::String, 10},
                {QStringLiteral("NAME"), FieldType::WideString, 40},
                {QStringLiteral("N"), FieldType::Int64},
                {QStringLiteral("R"), FieldType::Float},
                {QStringLiteral("WHEN"), FieldType::DateTime}};
    for (int i = 0; i < rows; ++i)
        p.rows << QVariantList{QStringLiteral("%1").arg(i / 3),
                               i % 4 ? QStringLiteral("SÃO JOÃO ☃ %1").arg(i) : QVariant(), qint64(i) << 33, i / 7.0,
                               QDateTime(QDate(2026, 12, 9), QTime(i % 24, 0))};
    p.rows << QVariantList{QString(), QString(), QVariant(), QVariant(), QVariant()}; // nulls after values
    return p;
}

TEST(BinaryPacket, ReadsBackExactlyAndRefusesEveryTruncation) {
    const DataPacket packet = sample(50);
    const QByteArray bytes = writePacketBinary(packet);
    EXPECT_EQ(readPacketBinary(bytes, QStringLiteral("t")), packet);
    for (qsizetype size = 0; size < bytes.size(); size += 7)
        EXPECT_THROW(readPacketBinary(bytes.left(size), QStringLiteral("t")), PacketFileError) << size;
    EXPECT_THROW(readPacketBinary(bytes + 'x', QStringLiteral("t")), PacketFileError);
}

// What ListCache labels a file with: the connection, then the database's own token.
QString label(const char* connection) {
    return QLatin1String(connection) + QChar(0x1F) + QStringLiteral("7");
}

void execOn(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db) | sqlite3_exec(db, sql, 0, 0, 0), SQLITE_OK);
    sqlite3_close(db);
}

// A kept file that cannot be trusted gives no list, and the next save makes it whole again.
TEST(ListFile, AFileThatCannotBeTrustedIsIgnoredAndWrittenAnew) {
    const QList<ListFile::Entry> entries{{QStringLiteral("adqBairro"), {7}, sample(2000)},
                                         {QStringLiteral("adqTipoVenda"), {}, sample(3)}};
    const auto flip = [](const QString& path, qint64 at) { // the byte at `at` (from the end when negative)
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const qint64 where = at >= 0 ? at : f.size() + at;
        f.seek(where);
        const char c = f.read(1).at(0);
        f.seek(where), f.putChar(char(c ^ 0x5A));
    };
    const struct {
        const char* fault;
        std::function<void(const QString&)> damage;
        const char* connection;
    } cases[] = {
        {"truncated", [](const QString& p) { QFile::resize(p, QFileInfo(p).size() / 2); }, "C"},
        {"a byte changed inside a list", [&](const QString& p) { flip(p, -3000); }, "C"},
        {"the header damaged", [&](const QString& p) { flip(p, 20); }, "C"},
        {"an older format", [](const QString& p) { execOn(p, "UPDATE META SET VALUE = '0' WHERE NAME = 'FORMAT'"); },
         "C"},
        {"a list's versions changed", [](const QString& p) { execOn(p, "UPDATE LISTS SET VERSIONS = '8'"); }, "C"},
        {"another connection's", [](const QString&) {}, "D"},
        {"not a file", [](const QString& p) { QFile::remove(p), QDir().mkpath(p); }, "C"},
        {"not there", [](const QString& p) { QFile::remove(p); }, "C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        QTemporaryDir dir;
        const QString path = dir.filePath(ListFile::fileName());
        ListFile file(path);
        ASSERT_TRUE(file.save(label("C"), entries));
        EXPECT_EQ(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        c.damage(path);
        EXPECT_TRUE(file.loadAt(QLatin1String(c.connection)).entries.isEmpty());
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        ASSERT_TRUE(file.save(label(c.connection), entries));
        const ListFile::Contents read = file.loadAt(QLatin1String(c.connection));
        EXPECT_EQ(read.database, label(c.connection));
        const QList<ListFile::Entry>& again = read.entries;
        ASSERT_EQ(again.size(), 2);
        EXPECT_EQ(again[0].packet, entries[0].packet);
        EXPECT_EQ(again[0].versions, entries[0].versions);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{ListFile::fileName()}) << "a temporary left";
    }
    // A directory that cannot take the file (it is no directory): no file, and no error beyond the log.
    EXPECT_FALSE(ListFile(QStringLiteral("/dev/null/lists.sqlite")).save(label("C"), entries));
}

// Two forms of one list, and a file that must hold one of them whole whenever it is read.
class TwoLists : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ListFile(path).save(label("C"), a)); }
    void expectOneWhole() const {
        const QList<ListFile::Entry> read = ListFile(path).loadAt(QStringLiteral("C")).entries;
        ASSERT_EQ(read.size(), 1);
        EXPECT_EQ(read[0].packet, read[0].versions == QList<qint64>{1} ? a[0].packet : b[0].packet);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(ListFile::fileName());
    const QList<ListFile::Entry> a{{QStringLiteral("L"), {1}, sample(20000)}}, b{{QStringLiteral("L"), {2}, sample(5)}};
};

// Two processes writing the file while a third reads it: every read sees one whole file.
TEST_F(TwoLists, WritersAndAReaderAtOnceNeverSeeHalfAFile) {
    std::atomic<bool> done{false};
    const auto writer = [&](const QList<ListFile::Entry>& entries) {
        ListFile file(path);
        for (int i = 0; i < 15; ++i)
            EXPECT_TRUE(file.save(label("C"), entries));
    };
    std::thread one(writer, a), two(writer, b), reader([&] {
        while (!done)
            expectOneWhole();
    });
    one.join();
    two.join();
    done = true;
    reader.join();
}

// A writer killed at any moment leaves the file it replaces whole: the next process finds one list or the
// other, never a part, and the temporary it left is no list.
TEST_F(TwoLists, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = fork();
        if (child == 0) {
            for (ListFile file(path);;)
                file.save(label("C"), round % 2 ? a : b);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + round * 7 % 40));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        expectOneWhole();
    }
}

} // namespace
} // namespace cadcons::test
