#pragma once

#include "qt_printers.h"
#include "service/rdm_cad_consumidor.h"
#include "test_databases.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::test {

// A fresh database of one backend with the schema, a connected service object (service_), and
// CADCONS_CONNECTION pointing at it; the kept lists' file in a directory of the test's own
// (CADCONS_CACHE_DIR, listDir_). Tests add the rows they need.
class ServiceTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override;
    void TearDown() override;

    QSqlDatabase db() const { return service_->adcCadConsumidor(); }
    // Runs a statement on the test's database; fails the test when it fails.
    void exec(const QString& sql);
    // One column of the consumer row with this key, or an invalid QVariant when there is no row.
    QVariant consumerColumn(const QString& cdCliente, const QString& cdConsumidor, const QString& column);
    int consumerCount();
    // The reference rows and consumers the read tests use.
    void insertFixtureData();
    // Inserts a consumer with the columns the read tests look at.
    void insertConsumer(const QString& cliente, const QString& codigo, const QString& nome, const QString& situacao,
                        const QString& badge, const QString& externo, const QString& rg, const QString& cpf,
                        const QString& pais = QStringLiteral("0055"), const QString& uf = QStringLiteral("SP"),
                        const QString& municipio = QStringLiteral("0001"), const QString& tipo = QStringLiteral("01"));

    QTemporaryDir listDir_;
    QString connectionString_;
    std::unique_ptr<TrdmCadConsumidor> service_;
};

} // namespace cadcons::test
