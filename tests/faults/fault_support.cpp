#include "fault_support.h"

#include "config/connection.h"
#include "service/rdm_cad_consumidor.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>

namespace cadcons::test {

namespace {

// Bounds for the helper's polling, so that a save that never waits cannot hang the test; not timings.
constexpr int kPolls = 2000;
constexpr auto kPollPause = std::chrono::milliseconds(10);

} // namespace

FaultDuringSave::FaultDuringSave(const QString& connection, Fault fault) {
    std::promise<QString> locked;
    std::future<QString> lockedResult = locked.get_future();
    thread_ = std::thread([this, connection, fault = std::move(fault), locked = std::move(locked)]() mutable {
        run(connection, std::move(fault), std::move(locked));
    });
    lockError_ = lockedResult.get();
}

FaultDuringSave::~FaultDuringSave() {
    join();
}

bool FaultDuringSave::join() {
    if (thread_.joinable())
        thread_.join();
    return struck_;
}

void FaultDuringSave::run(const QString& connection, Fault fault, std::promise<QString> locked) {
    static std::atomic<int> n{0};
    const int number = ++n;
    const QString blockerName = QStringLiteral("fault-blocker-%1").arg(number);
    const QString monitorName = QStringLiteral("fault-monitor-%1").arg(number);
    {
        const ConnectionSettings settings = parseConnectionString(connection);
        QSqlDatabase blocker = QSqlDatabase::addDatabase(settings.driver, blockerName);
        QSqlDatabase monitor = QSqlDatabase::addDatabase(settings.driver, monitorName);
        applyConnectionSettings(blocker, settings);
        applyConnectionSettings(monitor, settings);
        QSqlQuery lock(blocker);
        qint64 blockerPid = 0;
        if (!blocker.open() || !monitor.open()) {
            locked.set_value(QStringLiteral("cannot connect: ") + blocker.lastError().text() +
                             monitor.lastError().text());
        } else if (!lock.exec(QStringLiteral("SELECT pg_backend_pid()")) || !lock.next() ||
                   !(blockerPid = lock.value(0).toLongLong()) || !blocker.transaction() ||
                   !lock.exec(QStringLiteral("LOCK TABLE CONSUMIDOR IN EXCLUSIVE MODE"))) {
            locked.set_value(QStringLiteral("cannot lock CONSUMIDOR: ") + lock.lastError().text());
        } else {
            locked.set_value(QString());
            QSqlQuery waiting(monitor);
            waiting.prepare(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                                           "AND wait_event_type = 'Lock' AND pid <> :BLOCKER"));
            waiting.bindValue(QStringLiteral(":BLOCKER"), blockerPid);
            const auto waiter = [&]() -> qint64 {
                if (!waiting.exec())
                    return -1; // the server is gone
                return waiting.next() ? waiting.value(0).toLongLong() : 0;
            };
            qint64 pid = 0;
            for (int i = 0; i < kPolls && (pid = waiter()) == 0; ++i)
                std::this_thread::sleep_for(kPollPause);
            if (pid > 0) {
                fault(monitor, pid);
                struck_ = true;
                for (int i = 0; i < kPolls && waiter() > 0; ++i)
                    std::this_thread::sleep_for(kPollPause);
            }
            waiting.finish();
            lock.finish();
            blocker.rollback();
        }
        blocker.close();
        monitor.close();
    }
    QSqlDatabase::removeDatabase(blockerName);
    QSqlDatabase::removeDatabase(monitorName);
}

QStringList fieldTexts(const TfrmCadastroConsumidor& form) {
    QStringList texts;
    for (int n = 1; n <= 24; ++n)
        texts << form.fieldText(n);
    return texts;
}

void reconnectTestSessions() {
    for (const QString& name : QSqlDatabase::connectionNames()) {
        if (!name.startsWith(QLatin1String("host-fixture-")))
            continue;
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
        if (!db.open())
            ADD_FAILURE() << "cannot reconnect " << name.toStdString() << ": " << db.lastError().text().toStdString();
    }
}

bool serverControl(const char* action) {
    const QString control = qEnvironmentVariable("CADCONS_TEST_PG_CTL");
    if (control.isEmpty()) {
        ADD_FAILURE() << "CADCONS_TEST_PG_CTL is not set (run through scripts/with-postgres)";
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(control, {QLatin1String(action)});
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

qint64 servicePid() {
    QSqlQuery query(formService().adcCadConsumidor());
    if (!query.exec(QStringLiteral("SELECT pg_backend_pid()")) || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

QStringList rowTexts(const QVariantMap& row) {
    QStringList texts;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        texts << it.key() + u'=' + it.value().toString();
    return texts;
}

} // namespace cadcons::test
