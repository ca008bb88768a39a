// Two tills at once: two processes that save through the data service as Confirm does, started
// together round after round (each waits on the test's "go"), on SQLite (file locking) and PostgreSQL.
// Registering the same new code for the same customer leaves exactly one row, and the other till is
// told why; editing the same consumer leaves one till's record whole, never a mix of both.

#include "till_values.h"

#include "config/connection.h"
#include "qt_printers.h"
#include "routines/utility.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <vector>

namespace cadcons::test {
namespace {

const QString kCustomer = QStringLiteral("000000000000000000001");

// Rounds of each race; CADCONS_TILL_ROUNDS may ask for more (or fewer, while working on it).
int rounds() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("CADCONS_TILL_ROUNDS", &ok);
    return ok && n > 0 ? n : 1000;
}

class Till {
public:
    explicit Till(const QString& connection) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CADCONS_CONNECTION"), connection);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(CADCONS_FAULTS_TILL), {});
    }
    ~Till() {
        process_.write("quit\n");
        process_.closeWriteChannel();
        if (!process_.waitForFinished(30000))
            process_.kill();
    }
    bool started() { return process_.waitForStarted(30000); }
    // Written at once: QProcess only passes on what it buffered when it waits.
    void send(const QString& line) {
        process_.write((line + u'\n').toUtf8());
        process_.waitForBytesWritten(30000);
    }
    // The next line the till writes; empty when it ends or stays silent (a hung till fails the test
    // instead of hanging it).
    QString line() {
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(120000))
                return {};
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

private:
    QProcess process_;
};

class TwoTills : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (const QString missing = backendMissing(GetParam()); !missing.isEmpty()) {
            if (backendsRequired())
                FAIL() << GetParam().toStdString() << ": " << missing.toStdString();
            GTEST_SKIP() << missing.toStdString();
        }
        connection_ = freshDatabase(GetParam());
        // The race is about locks, not durability: on a memory file system an SQLite commit skips the disk
        // flush that would otherwise make the rounds take a minute or more.
        if (GetParam() == QLatin1String("sqlite") && QFileInfo(QStringLiteral("/dev/shm")).isWritable()) {
            memoryDir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/cadcons-tills-XXXXXX"));
            if (memoryDir_->isValid())
                connection_ = QStringLiteral("Provider=QSQLITE;Data Source=%1/tills.db").arg(memoryDir_->path());
        }
        // The test's own look goes straight to the server: behind a pooler it would queue with the tills.
        const ConnectionSettings direct = parseConnectionString(serverConnection(connection_));
        QSqlDatabase db = QSqlDatabase::addDatabase(direct.driver, kName);
        applyConnectionSettings(db, direct);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        createSchema(db);
        seedDemo(db);
        // Behind a pooler, more tills than its two server connections.
        for (int i = GetParam().contains(QLatin1String("pgbouncer")) ? 8 : 2; i > 0; --i) {
            tills_.push_back(std::make_unique<Till>(connection_));
            ASSERT_TRUE(tills_.back()->started());
        }
    }
    void TearDown() override {
        tills_.clear();
        if (QSqlDatabase::contains(kName)) {
            QSqlDatabase::database(kName, false).close();
            QSqlDatabase::removeDatabase(kName);
        }
    }

    // Each till gets its command and says it is ready, then all are let go at once; a till that answers
    // "checked" is let go again once all have answered. Their answers.
    QStringList race(const QStringList& commands) {
        for (qsizetype i = 0; i < commands.size(); ++i)
            tills_[i]->send(commands[i]);
        for (auto& till : tills_)
            if (const QString ready = till->line(); ready != QLatin1String("ready"))
                return {QStringLiteral("not ready: ") + ready, QString()};
        for (auto& till : tills_)
            till->send(QStringLiteral("go"));
        QStringList answers;
        for (auto& till : tills_)
            answers << till->line();
        for (qsizetype i = 0; i < answers.size(); ++i)
            if (answers[i] == QLatin1String("checked"))
                tills_[i]->send(QStringLiteral("go"));
        for (qsizetype i = 0; i < answers.size(); ++i)
            if (answers[i] == QLatin1String("checked"))
                answers[i] = tills_[i]->line();
        return answers;
    }

    QSqlQuery query(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(kName, false));
        if (!q.exec(sql))
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return q;
    }

    QVariantMap row(const QString& code) {
        QSqlQuery q(QSqlDatabase::database(kName, false));
        q.prepare(QStringLiteral("SELECT * FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K"));
        q.bindValue(QStringLiteral(":C"), kCustomer);
        q.bindValue(QStringLiteral(":K"), Ajusta(code, 21));
        QVariantMap values;
        if (!q.exec()) {
            ADD_FAILURE() << q.lastError().text().toStdString();
        } else if (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                values.insert(q.record().fieldName(i).toUpper(), q.value(i));
        }
        return values;
    }

    static constexpr const char* kName = "two-tills";
    QString connection_;
    std::unique_ptr<QTemporaryDir> memoryDir_;
    std::vector<std::unique_ptr<Till>> tills_;
};

// Eight tills behind PgBouncer: each transaction may meet another till's session on the server.
class PooledTills : public TwoTills {};

INSTANTIATE_TEST_SUITE_P(Backends, TwoTills, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         backendName);
INSTANTIATE_TEST_SUITE_P(Poolers, PooledTills,
                         ::testing::Values(QStringLiteral("pgbouncer"), QStringLiteral("odbc-pgbouncer"),
                                           QStringLiteral("pgbouncer-session")),
                         backendName);

// Why a till may be refused a code the other one took: its check before saving found it, or the
// database refused the second row with the same key. Anything else (a lock, a time-out) is a fault.
bool toldTheCodeExists(const QString& answer) {
    return answer.startsWith(QLatin1String("refused ")) &&
           (answer.contains(QLatin1String("already exists")) || answer.contains(QLatin1String("duplicate key value")) ||
            answer.contains(QLatin1String("UNIQUE constraint failed")));
}

TEST_P(TwoTills, SameNewCodeForTheSameCustomerLeavesOneRowAndTheOtherTillIsToldWhy) {
    const struct {
        const char* label;
        const char* command;
        int firstCode;
    } cases[] = {
        {"started together", "new", 100000},
        // Both found the code free, so only the database can keep the second row out.
        {"both checked the code before either saved", "new-checked", 200000},
    };
    const int n = rounds();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        int byCheck = 0, byDatabase = 0, firstWon = 0;
        for (int r = 1; r <= n; ++r) {
            const QString code = QString::number(c.firstCode + r);
            const QString command = QStringLiteral("%1 %2 %3").arg(QLatin1String(c.command), kCustomer, code);
            const QStringList answers = race({command, command});
            const int saved = (answers[0] == QLatin1String("saved")) + (answers[1] == QLatin1String("saved"));
            ASSERT_EQ(saved, 1) << "round " << r << ": " << answers[0].toStdString() << " / "
                                << answers[1].toStdString();
            const QString& loser = answers[0] == QLatin1String("saved") ? answers[1] : answers[0];
            firstWon += answers[0] == QLatin1String("saved");
            ASSERT_TRUE(toldTheCodeExists(loser)) << "round " << r << ": " << loser.toStdString();
            (loser.contains(QLatin1String("checked before saving")) ? byCheck : byDatabase)++;
            EXPECT_EQ(row(code).value("NMCONSUMIDOR").toString(), "TILL N") << "round " << r;
        }
        QSqlQuery total = query(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT CDCONSUMIDOR) FROM CONSUMIDOR WHERE "
                                               "CDCLIENTE = '%1' AND CDCONSUMIDOR > '%2' AND CDCONSUMIDOR <= '%3'")
                                    .arg(kCustomer, Ajusta(QString::number(c.firstCode), 21),
                                         Ajusta(QString::number(c.firstCode + n), 21)));
        ASSERT_TRUE(total.next());
        EXPECT_EQ(total.value(0).toInt(), n);
        EXPECT_EQ(total.value(1).toInt(), n);
        std::cout << "[ tills    ] " << GetParam().toStdString() << ", " << c.label << ": " << n
                  << " rounds; the first till won " << firstWon << "; the other was told by the code check " << byCheck
                  << " times, by the database key " << byDatabase << " times" << std::endl;
    }
}

TEST_P(TwoTills, SameConsumerEditedAtOnceKeepsOneTillsRecordWhole) {
    const int n = rounds();
    const QString code = QStringLiteral("1");
    ASSERT_FALSE(row(code).isEmpty());
    int firstWon = 0;
    for (int r = 1; r <= n; ++r) {
        const QString a = QStringLiteral("A%1").arg(r), b = QStringLiteral("B%1").arg(r);
        const QStringList answers = race({QStringLiteral("edit %1 %2 %3").arg(kCustomer, code, a),
                                          QStringLiteral("edit %1 %2 %3").arg(kCustomer, code, b)});
        ASSERT_EQ(answers[0], "saved") << "round " << r;
        ASSERT_EQ(answers[1], "saved") << "round " << r;
        const QVariantMap stored = row(code);
        const QString winner = stored.value("NMCONSUMIDOR").toString() == tillValue(kTillColumns[0], a) ? a : b;
        firstWon += winner == a;
        for (const TillColumn& column : kTillColumns)
            ASSERT_EQ(stored.value(QLatin1String(column.column)).toString(), tillValue(column, winner))
                << "round " << r << ", column " << column.column << ": a mix of both tills";
        ASSERT_EQ(stored.value("IDSEXOCONS").toString(), winner == a ? "M" : "F") << "round " << r;
    }
    std::cout << "[ tills    ] " << GetParam().toStdString() << ": " << n << " rounds; the first till's edit stayed "
              << firstWon << " times, the second's " << n - firstWon << " times" << std::endl;
}

TEST_P(PooledTills, EverySaveIsAnsweredAndStoredOnce) {
    constexpr int kSaves = 25;
    const int tills = int(tills_.size());
    for (int round = 1; round <= kSaves; ++round) {
        QStringList commands;
        for (int till = 0; till < tills; ++till)
            commands << QStringLiteral("new %1 %2").arg(kCustomer).arg(300000 + till * 1000 + round);
        ASSERT_EQ(race(commands), QStringList(tills, QStringLiteral("saved"))) << "round " << round;
    }
    QSqlQuery total = query(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT CDCONSUMIDOR) FROM CONSUMIDOR WHERE "
                                           "CDCLIENTE = '%1' AND NMCONSUMIDOR = 'TILL N'")
                                .arg(kCustomer));
    ASSERT_TRUE(total.next());
    EXPECT_EQ(total.value(0).toInt(), tills * kSaves);
    EXPECT_EQ(total.value(1).toInt(), tills * kSaves);
}

} // namespace
} // namespace cadcons::test
