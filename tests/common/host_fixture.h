#pragma once

#include "qt_printers.h"
#include "routines/sibling.h"
#include "test_databases.h"

#include <QTemporaryDir>
#include <QVariantMap>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace cadcons::test {

// Any 64-byte key serves the tests; stored passwords are checked by decrypting them with it.
inline constexpr const char* kCryptoKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
                                          "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f";

inline const QString kCliente1 = QStringLiteral("000000000000000000001");
inline const QString kCliente2 = QStringLiteral("000000000000000000002");

// Code `n` in the 21-character form the database keeps.
QString code21(int n);

// What one call of a sibling service received.
struct SiblingCall {
    QStringList texts;    // its text arguments, in order
    QVariantList context; // SetConsumidor's four values
    qsizetype arraySize = 0;
};

// A host directory of its own for each test, with the parameter file and customer list as the host
// writes them, and a fresh database of backend() holding the demonstration data. The sibling services
// are scripted and recorded: the central password service answers `centralResult` (and GET_CONS from
// the database), the central registration `setConsumidorAnswer`, the capture `captured`; a pick list
// is left without a choice. The forms' data service is closed, so the next opening reaches this
// test's database.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual QString backend() const { return QStringLiteral("sqlite"); }

    QString hostDir() const { return dir_.path() + u'/'; }
    QString parameterFile() const { return hostDir() + QStringLiteral("PARAMETROSKIV.CDS"); }
    QString customerFile() const { return hostDir() + QStringLiteral("Dados/Cadastros/Cad_Cliente.cds"); }
    // Rewrites the parameter file with some values replaced and, optionally, one field left out.
    void writeParameters(const std::map<QString, QVariant>& values, const QString& without = {});
    // Answers SenhaConsCentral with `result`, leaving what `element0` gives (when set) in element 0.
    void scriptCentral(bool result, std::function<QVariant()> element0 = {});
    // A new database in place of this test's, the demonstration data in it.
    void recreateDatabase();

    // Database of the test, through a connection of the fixture's own, straight to the server.
    void exec(const QString& sql);
    int consumerCount();
    // The consumer's row, column names in upper case; empty when there is none.
    QVariantMap consumer(const QString& cliente, const QString& consumidor);

    QList<SiblingCall> centralCalls, setConsumidorCalls, captureCalls;
    bool centralResult = true;
    QVariant setConsumidorAnswer = true;
    std::function<void()> duringSetConsumidor;
    QVariantList captured{QStringLiteral("TEMPLATE-1"), QStringLiteral("TEMPLATE-2")};

private:
    void closeConnection();

    QString connectionName_;
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> savedEnv_;
    std::optional<SiblingServices> savedServices_;
};

// The same on each database that the test is instantiated with.
class HostBackendTest : public HostTest, public ::testing::WithParamInterface<QString> {
protected:
    QString backend() const override { return GetParam(); }
};

} // namespace cadcons::test
