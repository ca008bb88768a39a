#include "config/connection.h"
#include "service/schema.h"
#include "service_fixture.h"
#include "test_databases.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <functional>
#include <thread>

namespace cadcons::test {
namespace {

const QString kCustomer = QStringLiteral("000000000000000000001");
const QString kBranch = QStringLiteral("0001");

// The reference lists, each read as an opening reads it.
const std::function<ServiceResult(TrdmCadConsumidor&)> kLists[] = {
    getPais,
    getEstado,
    getMunicipio,
    getBairro,
    getTipoCons,
    [](TrdmCadConsumidor& s) { return getTipoConsPadrao(s, kBranch); },
    [](TrdmCadConsumidor& s) { return getParaVend(s, kBranch); },
    [](TrdmCadConsumidor& s) { return getNomeCliente(s, kCustomer); },
};

class ListCacheTest : public ServiceTest {
protected:
    // A connection of its own to the test's database: for SQLite a second connection to the file, as
    // another process has.
    void execElsewhere(const QString& sql) {
        const QString name = QStringLiteral("elsewhere");
        {
            const ConnectionSettings settings = parseConnectionString(connectionString_);
            QSqlDatabase other = QSqlDatabase::addDatabase(settings.driver, name);
            applyConnectionSettings(other, settings);
            ASSERT_TRUE(other.open()) << other.lastError().text().toStdString();
            QSqlQuery query(other);
            EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        }
        QSqlDatabase::removeDatabase(name);
    }
    int reads() const { return service_->lists().readsFromDatabase(); }
    // What a service with nothing kept reads.
    template <typename Read> static auto freshRead(Read read) {
        TrdmCadConsumidor fresh(QStringLiteral("fresh-read"));
        fresh.open();
        fresh.lists().suspend();
        return read(fresh);
    }
};

TEST_P(ListCacheTest, WithoutVersionsOrWithoutACheckEveryListIsReadAfresh) {
    insertFixtureData();
    // No check at all: the lists of this process are not trusted blindly.
    getBairro(*service_);
    getBairro(*service_);
    EXPECT_EQ(reads(), 2);
    // A schema that keeps no versions (a chain's own): read every time, as ever.
    execElsewhere(QStringLiteral("DROP TABLE LISTVERSION"));
    for (int i = 0; i < 2; ++i) {
        service_->open(); // as each opening does: reads the versions
        EXPECT_TRUE(isPacket(getBairro(*service_)));
    }
    EXPECT_EQ(reads(), 4);
}

// A list as a set of rows, each value with its type: a list's order is the database's (no ORDER BY).
QStringList rowSet(const ServiceResult& result) {
    const DataPacket* packet = std::get_if<DataPacket>(&result);
    if (!packet)
        return {QStringLiteral("error: ") + std::get<QString>(result)};
    QStringList rows;
    for (const QVariantList& row : packet->rows) {
        QStringList values;
        for (const QVariant& value : row)
            values << (value.isNull() ? QStringLiteral("NULL") : value.typeName() + u':' + value.toString());
        rows << values.join(u'|');
    }
    rows.sort();
    return rows;
}

// Changes to the lists' tables (and a new process of the till, starting from the file this one kept), each
// followed by an opening that must serve, for each list, exactly what a fresh read gives: from the change log where it
// reaches back (nothing read whole), else read whole; the lists of two tables or of bound values are read whole when
// one of their tables changed.
TEST_P(ListCacheTest, EveryListBroughtUpToDateEqualsAFreshRead) {
    insertFixtureData();
    const bool postgres = !GetParam().contains(QLatin1String("sqlite"));
    const struct {
        const char* change;
        QStringList statements;
        int readWhole;
    } steps[] = {
        {"nothing changed", {}, 0},
        {"the next process of the till, from the file this one kept", {"NEXT PROCESS"}, 0},
        {"the sale parameters (two lists)", {"UPDATE PARAVEND SET IDTPVENDACONS = '1'"}, 2},
        {"the customer's name", {"UPDATE CLIENTE SET NMFANTCLIE = 'Hotel Beira-Mar'"}, 1},
        {"a neighbourhood added",
         {"INSERT INTO BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO, NMBAIRRO) VALUES ('0055', 'SP', '0001', '77', "
          "'VILA NOVA')"},
         0},
        {"renamed", {"UPDATE BAIRRO SET NMBAIRRO = 'VILA NOVA II' WHERE CDBAIRRO = '77'"}, 0},
        {"its key changed", {"UPDATE BAIRRO SET CDBAIRRO = '78' WHERE CDBAIRRO = '77'"}, 0},
        {"deleted", {"DELETE FROM BAIRRO WHERE CDBAIRRO = '78'"}, 0},
        {"added and deleted between two openings",
         {"INSERT INTO BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO) VALUES ('0055', 'SP', '0001', '79')",
          "DELETE FROM BAIRRO WHERE CDBAIRRO = '79'"},
         0},
        {"four lists at once",
         {"UPDATE MUNICIPIO SET NMMUNICIPIO = NMMUNICIPIO || ' (SP)' WHERE SGESTADO = 'SP'",
          "UPDATE ESTADO SET SGESTADO = 'XX' WHERE SGESTADO = 'MG'", "DELETE FROM PAIS",
          "INSERT INTO TIPOCONS (CDTIPOCONS, NMTIPOCONS) VALUES ('09', NULL)"},
         1}, // the branch's default type joins TIPOCONS: read whole
        {"the log trimmed past a list", {"UPDATE BAIRRO SET NMBAIRRO = 'SE' WHERE CDBAIRRO = '1'", "TRIM"}, 1},
        {"a rename after the trim", {"UPDATE BAIRRO SET NMBAIRRO = 'SE (CENTRO)' WHERE CDBAIRRO = '1'"}, 0},
        {"the log trimmed by age past a list",
         {"UPDATE BAIRRO SET NMBAIRRO = 'SE' WHERE CDBAIRRO = '1'",
          "UPDATE LISTCHANGE SET CHANGED = '2000-01-01 00:00:00'", "TRIM DAYS"},
         1},
        {"truncated", {postgres ? "TRUNCATE BAIRRO" : "DELETE FROM BAIRRO"}, postgres ? 1 : 0},
        {"no change log any more",
         {"INSERT INTO PAIS (CDPAIS, NMPAIS) VALUES ('0001', 'Portugal')",
          "ALTER TABLE LISTCHANGE RENAME TO LISTCHANGE_GONE"},
         1},
    };
    const auto readAll = [](TrdmCadConsumidor& service) {
        QList<QStringList> lists;
        for (const auto& read : kLists)
            lists << rowSet(read(service));
        return lists;
    };
    service_->open();
    readAll(*service_);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        for (const QString& statement : step.statements) {
            if (statement == QLatin1String("NEXT PROCESS")) {
                service_->lists().flush();
                EXPECT_TRUE(QFileInfo::exists(listDir_.filePath(ListFile::fileName())));
                service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("next-process"));
            } else if (statement.startsWith(QLatin1String("TRIM"))) {
                QSqlDatabase db = service_->adcCadConsumidor();
                EXPECT_GT(statement == QLatin1String("TRIM") ? trimListChanges(db, std::nullopt, 0)
                                                             : trimListChanges(db, 30, std::nullopt),
                          0);
            } else {
                execElsewhere(statement);
            }
        }
        const int before = reads();
        service_->open(); // as each opening does
        const QList<QStringList> served = readAll(*service_);
        EXPECT_EQ(reads() - before, step.readWhole);
        EXPECT_EQ(served, freshRead(readAll)) << "a list differs from a fresh read";
    }
}

// Another connection changes the neighbourhoods while the till opens again and again: whatever moment
// each opening saw, the last one equals a fresh read.
TEST_P(ListCacheTest, ChangesMadeWhileTheTillReadsAreNeitherLostNorDoubled) {
    insertFixtureData();
    service_->open();
    getBairro(*service_);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 60; ++i) {
            const QString key = QString::number(100 + i % 7);
            execElsewhere(
                i % 3 == 2 ? QStringLiteral("DELETE FROM BAIRRO WHERE CDBAIRRO = '%1'").arg(key)
                : i % 3    ? QStringLiteral("UPDATE BAIRRO SET NMBAIRRO = 'N%1' WHERE CDBAIRRO = '%2'").arg(i).arg(key)
                           : QStringLiteral("INSERT INTO BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO, NMBAIRRO) "
                                               "VALUES ('0055', 'SP', '0001', '%1', 'N%2')")
                              .arg(key)
                              .arg(i));
        }
        done = true;
    });
    int openings = 0;
    for (; !done; ++openings) {
        service_->open();
        ASSERT_TRUE(isPacket(getBairro(*service_)));
    }
    writer.join();
    service_->open();
    const QStringList served = rowSet(getBairro(*service_));
    EXPECT_EQ(reads(), 1) << "read whole after " << openings << " openings";
    EXPECT_EQ(served, rowSet(freshRead(getBairro)));
}

INSTANTIATE_TEST_SUITE_P(Backends, ListCacheTest, ::testing::ValuesIn(backendLabels()), backendName);

} // namespace
} // namespace cadcons::test
