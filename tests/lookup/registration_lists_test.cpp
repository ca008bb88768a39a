// The form's lists on their own, without a screen: loaded from the data service on a real SQLite
// database, and the address chain's filters judged against the tables themselves.

#include "registration/registration_lists.h"

#include "qt_printers.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdexcept>

namespace cadcons::test {
namespace {

// The demonstration data and a second country whose state abbreviation, city code and neighbourhood
// code repeat Brazil's: only the whole chain tells them apart.
const char* const kSecondCountry[] = {
    "INSERT INTO PAIS (CDPAIS, NMPAIS) VALUES ('0099', 'Terra Nova')",
    "INSERT INTO ESTADO (CDPAIS, SGESTADO, NMESTADO) VALUES ('0099', 'SP', 'Serra Parda')",
    "INSERT INTO MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO, NMMUNICIPIO) VALUES ('0099', 'SP', '0001', 'PORTO NOVO')",
    "INSERT INTO BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO, NMBAIRRO, QTHORAENTREGA, VRTXENTREGA) "
    "VALUES ('0099', 'SP', '0001', '0001', 'CAIS', '0030', 5.0)",
};

class RegistrationListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsSet("CADCONS_CONNECTION"))
            savedConnection_ = qgetenv("CADCONS_CONNECTION");
        qputenv("CADCONS_CONNECTION", freshDatabase(QStringLiteral("sqlite")).toUtf8());
        service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("registration-lists"));
        service_->open();
        QSqlDatabase db = service_->adcCadConsumidor();
        createSchema(db);
        seedDemo(db);
        for (const char* sql : kSecondCountry)
            ASSERT_TRUE(QSqlQuery(db).exec(QLatin1String(sql))) << sql;
    }
    void TearDown() override {
        service_.reset();
        savedConnection_ ? qputenv("CADCONS_CONNECTION", *savedConnection_) : qunsetenv("CADCONS_CONNECTION");
    }

    // The first column of every row `sql` selects, sorted.
    QStringList select(const QString& sql) const {
        QSqlQuery query(service_->adcCadConsumidor());
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        QStringList out;
        while (query.next())
            out << query.value(0).toString();
        out.sort();
        return out;
    }

    // A column over the rows the dataset's filter leaves, sorted.
    static QStringList shown(ClientDataSet& ds, const char* column) {
        QStringList out;
        for (ds.first(); !ds.eof(); ds.next())
            out << ds.asString(QLatin1String(column));
        out.sort();
        return out;
    }

    // A service answer as the form takes it, without the dialog: an error text is thrown.
    static DataPacket accept(const ServiceResult& result, const QString& operation, const QString&, const QString&) {
        if (!isPacket(result))
            throw std::runtime_error(operation.toStdString());
        return std::get<DataPacket>(result);
    }

    void load() {
        lists.loadPickLists(*service_, &accept, QStringLiteral("0001"));
        lists.setPersistentFields();
    }

    RegistrationLists lists;
    std::unique_ptr<TrdmCadConsumidor> service_;

private:
    std::optional<QByteArray> savedConnection_;
};

TEST_F(RegistrationListsTest, EachPickListHoldsEveryRowOfItsTable) {
    load();
    const struct {
        ClientDataSet RegistrationLists::*dataset;
        const char* column;
        const char* table;
    } cases[] = {
        {&RegistrationLists::cdsPais, "CDPAIS", "PAIS"},
        {&RegistrationLists::cdsEstado, "SGESTADO", "ESTADO"},
        {&RegistrationLists::cdsMunicipio, "NMMUNICIPIO", "MUNICIPIO"},
        {&RegistrationLists::cdsBairro, "NMBAIRRO", "BAIRRO"},
        {&RegistrationLists::cdsTipoCons, "CDTIPOCONS", "TIPOCONS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        ClientDataSet& ds = lists.*c.dataset;
        EXPECT_FALSE(ds.filtered());
        EXPECT_EQ(shown(ds, c.column), select(QStringLiteral("SELECT %1 FROM %2").arg(c.column, c.table)));
    }
    EXPECT_EQ(lists.cdsParaVend.asString(QStringLiteral("IDTPVENDACONS")), "7");
}

TEST_F(RegistrationListsTest, TheChainShowsOnlyWhatBelongsToTheChosenPlace) {
    load();
    const struct {
        const char* cdPais;
        const char* sgEstado;
        const char* cdMunicipio;
        const char* where; // the rows of each level's table that must be shown
    } cases[] = {
        {"0055", "SP", "0001", "CDPAIS = '0055' AND SGESTADO = 'SP' AND CDMUNICIPIO = '0001'"},
        {"0099", "SP", "0001", "CDPAIS = '0099' AND SGESTADO = 'SP' AND CDMUNICIPIO = '0001'"},
        {"0055", "AC", "0002", "CDPAIS = '0055' AND SGESTADO = 'AC' AND CDMUNICIPIO = '0002'"},
        {"0099", "RJ", "0001", "CDPAIS = '0099' AND SGESTADO = 'RJ' AND CDMUNICIPIO = '0001'"},
        {"0001", "SP", "0001", "CDPAIS = '0001'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        const QString pais = QLatin1String(c.cdPais), uf = QLatin1String(c.sgEstado);
        const QString inPais = QStringLiteral("CDPAIS = '%1'").arg(pais);
        const QString inUf = inPais + QStringLiteral(" AND SGESTADO = '%1'").arg(uf);
        EXPECT_EQ(shown(lists.statesOf(pais), "NMESTADO"),
                  select(QStringLiteral("SELECT NMESTADO FROM ESTADO WHERE ") + inPais));
        EXPECT_EQ(shown(lists.citiesOf(pais, uf), "NMMUNICIPIO"),
                  select(QStringLiteral("SELECT NMMUNICIPIO FROM MUNICIPIO WHERE ") + inUf));
        EXPECT_EQ(shown(lists.neighbourhoodsOf(pais, uf, QLatin1String(c.cdMunicipio)), "NMBAIRRO"),
                  select(QStringLiteral("SELECT NMBAIRRO FROM BAIRRO WHERE ") + QLatin1String(c.where)));
    }
}

TEST_F(RegistrationListsTest, CodesAreFoundOnlyWithinTheirCountryAndState) {
    load();
    const struct {
        const char* cdPais;
        const char* sgEstado;
        const char* cdMunicipio;
        bool country, state, city;
    } cases[] = {
        {"0055", "SP", "0001", true, true, true},    {"0099", "SP", "0001", true, true, true},
        {"0099", "SP", "0002", true, true, false},   {"0099", "AC", "0001", true, false, false},
        {"0001", "SP", "0001", false, false, false}, {"0055", "sp", "0001", true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cdPais) + " " + c.sgEstado + " " + c.cdMunicipio);
        const QString pais = QLatin1String(c.cdPais), uf = QLatin1String(c.sgEstado);
        EXPECT_EQ(lists.hasCountry(pais), c.country);
        EXPECT_EQ(lists.hasState(pais, uf), c.state);
        EXPECT_EQ(lists.hasCity(pais, uf, QLatin1String(c.cdMunicipio)), c.city);
        // A place found leaves its list whole; one not found leaves the restriction for the picker.
        EXPECT_EQ(lists.cdsPais.filtered(), !c.country);
        EXPECT_EQ(lists.cdsEstado.filtered(), !c.state);
        EXPECT_EQ(lists.cdsMunicipio.filtered(), !c.city);
    }
}

TEST_F(RegistrationListsTest, NamesGiveTheCodeOfTheirOwnStateOnly) {
    load();
    const struct {
        const char* cdPais;
        const char* sgEstado;
        const char* nmMunicipio;
        const char* cdMunicipio; // "" when the state has no such city
    } cases[] = {
        {"0055", "SP", "SAO PAULO", "0001"}, {"0055", "SP", "São Paulo", "0001"}, {"0099", "SP", "PORTO NOVO", "0001"},
        {"0055", "SP", "PORTO NOVO", ""},    {"0099", "SP", "SAO PAULO", ""},     {"0055", "SP", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nmMunicipio);
        EXPECT_EQ(lists.cityCode(QLatin1String(c.cdPais), QLatin1String(c.sgEstado), QString::fromUtf8(c.nmMunicipio)),
                  QLatin1String(c.cdMunicipio));
        EXPECT_FALSE(lists.cdsMunicipio.filtered());
    }
    EXPECT_EQ(lists.countryCode(QStringLiteral("terra nova")), "0099");
    EXPECT_EQ(lists.countryCode(QStringLiteral("Atlântida")), "");
    EXPECT_EQ(lists.consumerTypeCode(QStringLiteral("HOSPEDE")), "02");
    EXPECT_EQ(lists.consumerTypeCode(QStringLiteral("hospede")), "");
}

TEST_F(RegistrationListsTest, AFailingListStopsTheLoadingThere) {
    QStringList asked;
    const auto failOnStates = [&asked](const ServiceResult& result, const QString& operation, const QString& module,
                                       const QString& context) {
        asked << operation;
        if (operation == QLatin1String("getEstado"))
            throw std::runtime_error("shown");
        return accept(result, operation, module, context);
    };
    EXPECT_THROW(lists.loadPickLists(*service_, failOnStates, QStringLiteral("0001")), std::runtime_error);
    EXPECT_EQ(asked, QStringList({"getMunicipio", "getEstado"}));
    EXPECT_FALSE(lists.cdsMunicipio.isEmpty());
    EXPECT_FALSE(lists.cdsPais.active());
    EXPECT_FALSE(lists.cdsParaVend.active());
}

} // namespace
} // namespace cadcons::test
