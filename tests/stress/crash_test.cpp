// SQLite under the faults a till meets: the process killed in the middle of its saves, and a disk that
// fills up. Whatever happens, the file must pass its own integrity check, every registration must be
// whole or absent, and none that the till reported saved may be missing.

#include "config/connection.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "stress_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>
#include <unistd.h>

namespace cadcons::stress {
namespace {

constexpr int kTemplateChars = 3000;

QString sqliteConnection(const QString& path) {
    return QStringLiteral("Provider=QSQLITE;Data Source=") + path;
}

// A fresh database file with the schema.
void createDatabase(const QString& path) {
    {
        QSqlDatabase db = openSqlite(QStringLiteral("stress-create"), path);
        ASSERT_TRUE(db.isOpen());
        createSchema(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("stress-create"));
}

// What the till said: the saves it was told had gone through, and any error it met.
struct TillReport {
    QSet<qint64> inserted;
    QSet<qint64> updated;
    QMap<qint64, QString> errors;
};

void parse(const QByteArray& output, TillReport& report) {
    for (const QByteArray& raw : output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QStringList parts = line.split(u' ');
        if (parts.size() < 2)
            continue;
        const qint64 n = parts[1].toLongLong();
        if (parts[0] == u"I")
            report.inserted.insert(n);
        else if (parts[0] == u"U")
            report.updated.insert(n);
        else if (parts[0] == u"E")
            report.errors.insert(n, parts.mid(2).join(u' '));
    }
}

QProcessEnvironment tillEnvironment(const QString& dbPath) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CADCONS_CONNECTION"), sqliteConnection(dbPath));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

int roundsWanted(const char* variable, int fallback) {
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue(variable, &ok);
    return ok && wanted > 0 ? wanted : fallback;
}

// kill -9 at a random moment of a burst of inserts and updates, a hundred times over on one file. The
// next opening of the file finds the dead till's journal and rolls its last transaction back.
TEST(KillDuringSaves, EveryRoundLeavesAnIntactFileWithEveryReportedSaveWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dbPath = dir.filePath(QStringLiteral("till.db"));
    createDatabase(dbPath);

    const int rounds = roundsWanted("CADCONS_STRESS_KILL_ROUNDS", 100);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> pause(0, 80000); // microseconds after the first reported save
    TillReport told;
    int journalsLeft = 0, savesReported = 0, committedUnreported = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        QProcess till;
        till.setProcessEnvironment(tillEnvironment(dbPath));
        till.start(QStringLiteral(CADCONS_STRESS_SAVER),
                   {QStringLiteral("burst"), QString::number(round * 100000LL + 1), QString::number(kTemplateChars)});
        ASSERT_TRUE(till.waitForStarted(10000)) << till.errorString().toStdString();
        QByteArray output;
        while (!output.contains("\nI ") && till.state() == QProcess::Running) {
            if (till.waitForReadyRead(10000))
                output += till.readAllStandardOutput();
            else
                break;
        }
        ASSERT_TRUE(output.contains("\nI ")) << output.toStdString() << till.readAllStandardError().toStdString();
        QThread::usleep(static_cast<unsigned long>(pause(random)));
        till.kill();
        ASSERT_TRUE(till.waitForFinished(10000));
        ASSERT_EQ(till.exitStatus(), QProcess::CrashExit)
            << "the till stopped by itself: " << till.readAllStandardError().toStdString();
        output += till.readAllStandardOutput();

        TillReport round_;
        parse(output, round_);
        ASSERT_TRUE(round_.errors.isEmpty()) << round_.errors.first().toStdString();
        told.inserted.unite(round_.inserted);
        told.updated.unite(round_.updated);
        savesReported += static_cast<int>(round_.inserted.size() + round_.updated.size());
        if (QFileInfo(dbPath + QStringLiteral("-journal")).size() > 0)
            ++journalsLeft;

        const QString name = QStringLiteral("stress-check-%1").arg(round);
        {
            QSqlDatabase db = openSqlite(name, dbPath);
            ASSERT_TRUE(db.isOpen());
            ASSERT_EQ(integrityCheck(db), QStringLiteral("ok"));
            QStringList faults;
            const QMap<qint64, int> stored = storedVersions(db, kTemplateChars, faults);
            ASSERT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
            for (const qint64 n : std::as_const(told.inserted))
                ASSERT_TRUE(stored.contains(n)) << "consumer " << n << " was reported saved and is gone";
            for (const qint64 n : std::as_const(told.updated))
                ASSERT_EQ(stored.value(n), 2) << "the update of consumer " << n << " was reported saved and is gone";
            if (round == rounds - 1) {
                for (auto it = stored.cbegin(); it != stored.cend(); ++it)
                    committedUnreported +=
                        !told.inserted.contains(it.key()) || (it.value() == 2 && !told.updated.contains(it.key()));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    // For the record: how many kills caught a transaction half done, and how much was saved.
    RecordProperty("rounds", rounds);
    RecordProperty("saves_reported", savesReported);
    RecordProperty("journals_left_by_a_kill", journalsLeft);
    RecordProperty("committed_but_not_yet_reported", committedUnreported);
    std::printf("[ figures  ] %d rounds, %d saves reported, a journal left behind after %d kills, %d saves committed "
                "but not yet reported\n",
                rounds, savesReported, journalsLeft, committedUnreported);
    // In rollback-journal mode a journal outlives the till only when the kill caught a transaction open.
    EXPECT_GT(journalsLeft, 0) << "no kill landed inside a transaction";
}

// ---- A full disk -----------------------------------------------------------------------------------

// The service object of a test, on the SQLite file at `path`.
class ServiceOn {
public:
    explicit ServiceOn(const QString& path)
        : service_(QStringLiteral("stress-service")) {
        qputenv("CADCONS_CONNECTION", sqliteConnection(path).toUtf8());
        service_.open();
    }
    ~ServiceOn() { qunsetenv("CADCONS_CONNECTION"); }
    ServiceOn(const ServiceOn&) = delete;
    ServiceOn& operator=(const ServiceOn&) = delete;
    QSqlDatabase db() const { return service_.adcCadConsumidor(); }
    TrdmCadConsumidor& service() { return service_; }

private:
    TrdmCadConsumidor service_;
};

// Fills the file system of `path` to the last byte, then gives `slack` bytes back.
void fillLeaving(const QString& path, qint64 slack) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const QByteArray block(4096, 'x');
    qint64 written = 0;
    for (;;) {
        const ssize_t n = ::write(fd, block.constData(), static_cast<size_t>(block.size()));
        if (n <= 0)
            break;
        written += n;
    }
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(::ftruncate(fd, std::max<qint64>(0, written - slack)), 0);
    ::close(fd);
}

struct SaveOutcome {
    bool saved = false;
    QString error;
};

SaveOutcome save(ServiceOn& on, const GravaConsumidor& values) {
    const ServiceResult result = setGravaConsumidor(on.service(), values);
    if (const auto* text = std::get_if<QString>(&result))
        return {false, *text};
    return {std::holds_alternative<bool>(result) && std::get<bool>(result), QString()};
}

// A small tmpfs of the test's own: saves, inserts and updates, with the disk filled to a range of last
// free bytes. Each save is either whole in the file, or reported with an error text and absent; and once
// space is freed the same connection saves again.
TEST(FullDisk, ASaveOnAFullTmpfsReportsAnErrorTextAndLeavesNothingPartial) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString disk = dir.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                     << "); the RLIMIT_FSIZE test below stands in for a full disk";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(disk)};

    const QString dbPath = disk + QStringLiteral("/till.db");
    const QString filler = disk + QStringLiteral("/filler");
    createDatabase(dbPath);
    {
        ServiceOn service(dbPath);
        // Two registrations saved with room to spare: the updates below work on them.
        for (qint64 n : {1, 2}) {
            const SaveOutcome first = save(service, registration(n, 1, 8000));
            ASSERT_TRUE(first.saved) << first.error.toStdString();
        }

        QMap<qint64, GravaConsumidor> refused;
        QMap<qint64, GravaConsumidor> written{{1, registration(1, 1, 8000)}, {2, registration(2, 1, 8000)}};
        int errors = 0, saves = 0;
        QString firstError;
        qint64 next = 100;
        for (const qint64 slack :
             {0, 1024, 4096, 8192, 16384, 24576, 32768, 49152, 65536, 98304, 131072, 196608, 262144}) {
            SCOPED_TRACE(slack);
            fillLeaving(filler, slack);
            const qint64 n = next++;
            const qint64 updated = n % 2 + 1;
            for (const GravaConsumidor& values : {registration(n, 1, 8000), registration(updated, 2, 8000 + n)}) {
                const SaveOutcome outcome = save(service, values);
                const qint64 code = values.cdConsumidor.toLongLong();
                ++saves;
                if (outcome.saved) {
                    written[code] = values;
                    refused.remove(code);
                } else {
                    ++errors;
                    EXPECT_FALSE(outcome.error.trimmed().isEmpty());
                    if (firstError.isEmpty())
                        firstError = outcome.error.simplified();
                    if (values.operacao == u"1")
                        refused[code] = values;
                }
                // Either way, every registration is as its last successful save wrote it, or absent.
                for (auto it = written.cbegin(); it != written.cend(); ++it)
                    EXPECT_EQ(differences(storedColumns(service.db(), kCliente, code21(it.key())),
                                          expectedColumns(it.value())),
                              QString())
                        << "consumer " << it.key();
                for (const qint64 gone : refused.keys())
                    EXPECT_TRUE(storedColumns(service.db(), kCliente, code21(gone)).isEmpty())
                        << "consumer " << gone << " was refused and is there";
            }
        }
        std::printf("[ figures  ] tmpfs of 1 MiB: %d of %d saves refused for lack of space; the first said: %s\n",
                    errors, saves, qPrintable(firstError));
        RecordProperty("saves", saves);
        RecordProperty("refused", errors);
        EXPECT_GT(errors, 0) << "the disk never ran out";

        // Space again: the same connection takes the refused registrations.
        ASSERT_TRUE(QFile::remove(filler));
        for (auto it = refused.cbegin(); it != refused.cend(); ++it) {
            const SaveOutcome again = save(service, it.value());
            EXPECT_TRUE(again.saved) << again.error.toStdString();
            EXPECT_EQ(differences(storedColumns(service.db(), kCliente, code21(it.key())), expectedColumns(it.value())),
                      QString());
        }
        EXPECT_EQ(integrityCheck(service.db()), QStringLiteral("ok"));
    }
}

// The same with no mount needed: a till whose files may not grow past a limit (RLIMIT_FSIZE), so its
// writes fail with EFBIG as they would with ENOSPC on a full disk.
TEST(FullDisk, ASaveBeyondTheFileSizeLimitReportsAnErrorTextAndLeavesNothingPartial) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dbPath = dir.filePath(QStringLiteral("till.db"));
    createDatabase(dbPath);
    const qint64 limit = QFileInfo(dbPath).size() + 96 * 1024;
    constexpr int kCount = 24, kStep = 1500;

    QProcess till;
    till.setProcessEnvironment(tillEnvironment(dbPath));
    till.start(QStringLiteral(CADCONS_STRESS_SAVER),
               {QStringLiteral("fill"), QStringLiteral("1"), QString::number(kCount), QString::number(kStep),
                QString::number(limit)});
    ASSERT_TRUE(till.waitForFinished(60000));
    ASSERT_EQ(till.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(till.exitCode(), 0) << till.readAllStandardError().toStdString();
    TillReport report;
    parse(till.readAllStandardOutput(), report);
    ASSERT_EQ(report.inserted.size() + report.errors.size(), kCount);
    EXPECT_FALSE(report.inserted.isEmpty());
    EXPECT_FALSE(report.errors.isEmpty()) << "no save reached the limit";
    EXPECT_LE(QFileInfo(dbPath).size(), limit);

    ServiceOn service(dbPath);
    EXPECT_EQ(integrityCheck(service.db()), QStringLiteral("ok"));
    for (int i = 0; i < kCount; ++i) {
        const qint64 n = 1 + i;
        const GravaConsumidor values = registration(n, 1, kStep * (i + 1));
        const QVariantMap stored = storedColumns(service.db(), kCliente, code21(n));
        if (report.inserted.contains(n)) {
            EXPECT_EQ(differences(stored, expectedColumns(values)), QString()) << "consumer " << n;
        } else {
            EXPECT_FALSE(report.errors.value(n).trimmed().isEmpty());
            EXPECT_TRUE(stored.isEmpty()) << "consumer " << n << " was refused and is there";
            // Without the limit the same registration goes in.
            const SaveOutcome again = save(service, values);
            EXPECT_TRUE(again.saved) << again.error.toStdString();
            EXPECT_EQ(differences(storedColumns(service.db(), kCliente, code21(n)), expectedColumns(values)),
                      QString());
        }
    }
    std::printf("[ figures  ] file size limit: %lld of %d saves refused; the first said: %s\n",
                static_cast<long long>(report.errors.size()), kCount,
                qPrintable(report.errors.isEmpty() ? QString() : report.errors.first()));
    EXPECT_EQ(integrityCheck(service.db()), QStringLiteral("ok"));
}

} // namespace
} // namespace cadcons::stress
