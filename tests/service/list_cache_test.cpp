#include "config/connection.h"
#include "service_fixture.h"
#include "test_databases.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace cadcons::test {
namespace {

const QString kCustomer = QStringLiteral("000000000000000000001");
const QString kBranch = QStringLiteral("0001");

// A reference list, and a change to its table as another till or an administrator makes it.
struct ListCase {
    const char* list;
    std::function<ServiceResult(TrdmCadConsumidor&)> read;
    const char* change;
};

const ListCase kCases[] = {
    {"getPais", [](TrdmCadConsumidor& s) { return getPais(s); },
     "UPDATE PAIS SET NMPAIS = 'Brasil (BR)' WHERE CDPAIS = '0055'"},
    {"getEstado", [](TrdmCadConsumidor& s) { return getEstado(s); }, "DELETE FROM ESTADO WHERE SGESTADO = 'MG'"},
    {"getMunicipio", [](TrdmCadConsumidor& s) { return getMunicipio(s); },
     "INSERT INTO MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO, NMMUNICIPIO) VALUES ('0055', 'SP', '0002', 'SANTOS')"},
    {"getBairro", [](TrdmCadConsumidor& s) { return getBairro(s); },
     "UPDATE BAIRRO SET NMBAIRRO = 'SE (CENTRO)' WHERE CDBAIRRO = '1'"},
    {"getTipoCons", [](TrdmCadConsumidor& s) { return getTipoCons(s); },
     "INSERT INTO TIPOCONS (CDTIPOCONS, NMTIPOCONS) VALUES ('03', 'VISITANTE')"},
    {"getTipoConsPadrao", [](TrdmCadConsumidor& s) { return getTipoConsPadrao(s, kBranch); },
     "UPDATE TIPOCONS SET NMTIPOCONS = 'HOSPEDE VIP' WHERE CDTIPOCONS = '02'"},
    {"getParaVend", [](TrdmCadConsumidor& s) { return getParaVend(s, kBranch); },
     "UPDATE PARAVEND SET IDTPVENDACONS = '1'"},
    {"getNomeCliente", [](TrdmCadConsumidor& s) { return getNomeCliente(s, kCustomer); },
     "UPDATE CLIENTE SET NMFANTCLIE = 'Hotel Beira-Mar' WHERE CDCLIENTE = '000000000000000000001'"},
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
};

TEST_P(ListCacheTest, AListIsReadAgainOnlyAfterAnotherConnectionChangedItsTable) {
    insertFixtureData();
    for (const ListCase& c : kCases) {
        SCOPED_TRACE(c.list);
        service_->open(); // as each opening does: reads the versions
        const ServiceResult first = c.read(*service_);
        ASSERT_TRUE(isPacket(first));
        const int readsBefore = reads();

        service_->open(); // as each opening does: reads the versions
        EXPECT_EQ(c.read(*service_), first);
        EXPECT_EQ(reads(), readsBefore) << "an unchanged list was read again";

        execElsewhere(QString::fromUtf8(c.change));
        service_->open(); // as each opening does: reads the versions
        const ServiceResult changed = c.read(*service_);
        EXPECT_EQ(reads(), readsBefore + 1) << "a changed list was not read again";
        EXPECT_NE(changed, first);
        // Exactly what a fresh read gives.
        service_->lists().suspend();
        EXPECT_EQ(c.read(*service_), changed);
    }
}

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

// The next process of the till starts from the lists this one kept on disk: nothing travels but what
// changed, and what it serves equals a fresh read.
TEST_P(ListCacheTest, ANewProcessStartsFromTheKeptFileAndReadsOnlyTheListThatChanged) {
    insertFixtureData();
    const auto readAll = [this](bool fresh = false) {
        if (fresh)
            service_->lists().suspend(); // nothing served from what is kept until the next check
        else
            service_->open(); // as each opening does: reads the versions
        QList<ServiceResult> lists;
        for (const ListCase& c : kCases)
            lists << c.read(*service_);
        return lists;
    };
    const QList<ServiceResult> first = readAll();
    service_->lists().flush();
    EXPECT_TRUE(QFileInfo::exists(listDir_.filePath(ListFile::fileName())));
    service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("next-process")); // the next process
    EXPECT_EQ(readAll(), first);
    EXPECT_EQ(reads(), 0);
    execElsewhere(QString::fromUtf8(kCases[3].change));
    const QList<ServiceResult> changed = readAll();
    EXPECT_EQ(reads(), 1);
    EXPECT_EQ(changed, readAll(true)) << "a kept list differs from a fresh read";
}

INSTANTIATE_TEST_SUITE_P(Backends, ListCacheTest, ::testing::ValuesIn(backendLabels()), backendName);

} // namespace
} // namespace cadcons::test
