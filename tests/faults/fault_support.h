#pragma once

#include "save_fixture.h"

#include <QSqlDatabase>
#include <atomic>
#include <functional>
#include <future>
#include <thread>

namespace cadcons::test {

// A session of its own that locks CONSUMIDOR, waits until another session (the service's save) waits
// on that lock, does the fault to it and lets the lock go once the waiter is gone. It runs on a thread of
// its own, since the save blocks the test's thread.
class FaultDuringSave {
public:
    // `fault` gets a session of the helper's own and the process id of the waiting session.
    using Fault = std::function<void(QSqlDatabase& monitor, qint64 waitingPid)>;

    FaultDuringSave(const QString& connection, Fault fault);
    ~FaultDuringSave();
    FaultDuringSave(const FaultDuringSave&) = delete;
    FaultDuringSave& operator=(const FaultDuringSave&) = delete;

    // Empty when the lock was taken; else why not.
    QString lockError() const { return lockError_; }
    // Waits for the helper to finish; true when it saw the save wait and did the fault.
    bool join();

private:
    void run(const QString& connection, Fault fault, std::promise<QString> locked);

    std::thread thread_;
    std::atomic<bool> struck_{false};
    QString lockError_;
};

// The fault test's view of the form: everything it shows, in field order.
QStringList fieldTexts(const TfrmCadastroConsumidor& form);

// Sessions the server ended are opened again; only the test's own (the service is left alone).
void reconnectTestSessions();

// Runs `$CADCONS_TEST_PG_CTL stop|kill|start`; false when it failed.
bool serverControl(const char* action);

// The process id of the service's own session.
qint64 servicePid();

// The whole row, as texts, for comparing before and after.
QStringList rowTexts(const QVariantMap& row);

} // namespace cadcons::test
