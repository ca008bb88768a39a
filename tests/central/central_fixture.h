#pragma once

#include "central/central_services.h"
#include "platform/data_packet.h"
#include "qt_printers.h"
#include "service/rdm_cad_consumidor.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace cadcons::test {

inline const QString kC1 = QStringLiteral("000000000000000000001");
inline const QString kC2 = QStringLiteral("000000000000000000002");
inline QString consumerKey(int n) {
    return QStringLiteral("%1").arg(n, 21, 10, QLatin1Char('0'));
}

// Captures what the code logs, and puts the previous handler back afterwards.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    QString text() const;
    void clear();
};

// Sets environment variables for a scope and puts the old values back.
class EnvGuard {
public:
    EnvGuard(std::initializer_list<const char*> names);
    ~EnvGuard();

private:
    std::map<const char*, std::optional<QByteArray>> saved_;
};

// Which backend holds the local database and which the central one.
struct BackendPair {
    QString local;
    QString central;
};
void PrintTo(const BackendPair& pair, std::ostream* os);
std::string pairName(const ::testing::TestParamInfo<BackendPair>& info);
std::vector<BackendPair> backendPairs();

// A local database (the service's, service_) and a central one, both fresh with the schema and
// the demonstration data; CADCONS_CENTRAL_CONNECTION names the central one and the host directory is a
// temporary one. The sibling services are empty, and the central connection is closed before and after.
class CentralTest : public ::testing::TestWithParam<BackendPair> {
protected:
    void SetUp() override;
    void TearDown() override;

    QSqlDatabase local() const { return service_->adcCadConsumidor(); }
    // A connection of the test's own to the central database, beside the one under test.
    QSqlDatabase central() const;
    QString hostDir() const { return hostDir_.path() + u'/'; }

    // Runs a statement; fails the test when it fails.
    void exec(const QSqlDatabase& db, const QString& sql);
    // The whole consumer row, every column, date-times as date-times; an empty packet when there is none.
    DataPacket consumerRow(const QSqlDatabase& db, const QString& customer, const QString& consumer);
    // One column of a consumer row as text; "<no row>" or "<NULL>" where there is none.
    QString column(const QSqlDatabase& db, const QString& customer, const QString& consumer, const QString& name);
    // Key and marker of every consumer, in key order.
    QStringList markers(const QSqlDatabase& db);
    int consumerCount(const QSqlDatabase& db);
    // Expects the two rows equal column by column, naming the first column that differs.
    void expectSameRow(const DataPacket& expected, const DataPacket& actual, const QStringList& except = {});

    // Local changes that wait for publication: all consumers published ("S") but
    //   kC1/2: changed ("A"), with password, digests and fingerprints;
    //   kC2/99: new ("I"), saved by the service, every column filled;
    //   kC2/1: changed ("A"), without a time of change.
    // kC2/10 differs locally but is marked published, so it is not published again.
    void preparePendingChanges();
    // The secret values preparePendingChanges stores.
    static QStringList storedSecrets();

    QString centralConnection_;
    std::unique_ptr<LogCapture> log_;
    std::unique_ptr<TrdmCadConsumidor> service_;

private:
    std::unique_ptr<EnvGuard> env_;
    QTemporaryDir hostDir_;
    QString centralCheckName_;
    std::optional<SiblingServices> savedServices_;
};

} // namespace cadcons::test
