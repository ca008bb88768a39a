#include "platform/client_data_set.h"
#include "platform/mask.h"
#include "platform/packet_file.h"

#include <gtest/gtest.h>

using namespace cadcons;

namespace {

DataPacket cities() {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},      {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4}, {"NMMUNICIPIO", FieldType::String, 30},
                {"ATIVO", FieldType::Boolean},         {"POP", FieldType::Int32},
                {"DTCAD", FieldType::DateTime},        {"TEXTO", FieldType::String, 20}};
    const QDateTime midnight(QDate(2024, 1, 31), QTime(0, 0));
    p.rows = {
        {"1058", "SP", "0001", "S\u00e3o Paulo", true, qint64(12), midnight, "S"},
        {"1058", "SP", "0002", "Campinas", false, qint64(1), QDateTime(QDate(2024, 1, 31), QTime(8, 30)), "true"},
        {"1058", "RJ", "0001", "Rio de Janeiro", true, QVariant(), QVariant(), "31/01/2024 10:00"},
        {"1058", "sp", "0003", "Santos", QVariant(), qint64(12), midnight, "2024-02-01"},
        {"0249", "XX", "0001", "Olho d'\u00c1gua", false, qint64(-5), QVariant(), "no date"},
    };
    return p;
}

QStringList visibleNames(ClientDataSet& ds) {
    QStringList names;
    for (ds.first(); !ds.eof(); ds.next())
        names << ds.asString("NMMUNICIPIO");
    return names;
}

} // namespace

TEST(ClientDataSet, FilterShowsExactlyTheMatchingRows) {
    const std::pair<QString, QStringList> cases[] = {
        {"", {"S\u00e3o Paulo", "Campinas", "Rio de Janeiro", "Santos", "Olho d'\u00c1gua"}},
        {"SGESTADO = 'SP'", {"S\u00e3o Paulo", "Campinas"}}, // case-sensitive: "sp" stays out
        {"cdpais = '1058' AND SGESTADO = 'sp'", {"Santos"}},
        {"SGESTADO = 'SP'AND CDMUNICIPIO ='0002'", {"Campinas"}},
        {filterTerm("NMMUNICIPIO", "Olho d'\u00c1gua"), {"Olho d'\u00c1gua"}},
        {"NMMUNICIPIO = 'Santos '", {}}, // no trimming
        {"POP = '12' AND ATIVO = 'True'", {"S\u00e3o Paulo"}},
        {"DTCAD = '31/01/2024'", {"S\u00e3o Paulo", "Santos"}},
        {"DTCAD = ''", {"Rio de Janeiro", "Olho d'\u00c1gua"}},
    };
    for (const auto& [filter, expected] : cases) {
        ClientDataSet ds("cdsMunicipio");
        ds.setData(cities());
        ds.setFilter(filter);
        ds.setFiltered(true);
        EXPECT_EQ(visibleNames(ds), expected) << filter.toStdString();
        EXPECT_EQ(ds.recordCount(), expected.size());
    }
}

// One dataset filtered again and again, as a pick list is: what a filter learnt about a column's values must
// follow every new filter text and every new packet.
TEST(ClientDataSet, RepeatedFiltersFollowNewValuesAndNewPackets) {
    ClientDataSet ds("cdsMunicipio");
    ds.setData(cities());
    const std::pair<QString, QStringList> steps[] = {
        {"SGESTADO = 'SP'", {"S\u00e3o Paulo", "Campinas"}},
        {"SGESTADO = 'RJ'", {"Rio de Janeiro"}},
        {"SGESTADO = 'RJ' AND CDMUNICIPIO = '0002'", {}},
        {"CDMUNICIPIO = '0001' AND POP = '12'", {"S\u00e3o Paulo"}},
        {"DTCAD = ''", {"Rio de Janeiro", "Olho d'\u00c1gua"}},
    };
    for (const auto& [filter, expected] : steps) {
        ds.setFilter(filter);
        ds.setFiltered(true);
        EXPECT_EQ(visibleNames(ds), expected) << filter.toStdString();
        ds.setFiltered(false);
        EXPECT_EQ(ds.recordCount(), 5);
    }

    // The same columns with other values: a null text, and a state that moved.
    DataPacket changed = cities();
    changed.rows[0][1] = QVariant();
    changed.rows[2][1] = QStringLiteral("SP");
    ds.setFilter("SGESTADO = 'SP'");
    ds.setFiltered(true);
    ds.setData(changed);
    EXPECT_EQ(visibleNames(ds), (QStringList{"Campinas", "Rio de Janeiro"}));
    ds.setFilter("SGESTADO = ''");
    EXPECT_EQ(visibleNames(ds), QStringList{"S\u00e3o Paulo"});
}

TEST(ClientDataSet, SwitchingTheFilterKeepsTheCurrentRowWhenItStaysVisible) {
    ClientDataSet ds("cdsMunicipio");
    ds.setData(cities());
    ASSERT_TRUE(ds.locate("NMMUNICIPIO", "Campinas"));
    ds.setFilter("CDPAIS = '1058' AND SGESTADO = 'SP'");
    ds.setFiltered(true);
    EXPECT_EQ(ds.asString("NMMUNICIPIO"), "Campinas");
    ds.setFilter("SGESTADO = 'RJ'"); // the current row leaves the view: first visible row
    EXPECT_EQ(ds.asString("NMMUNICIPIO"), "Rio de Janeiro");
    ds.setFiltered(false);
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.filter(), "SGESTADO = 'RJ'");
    EXPECT_EQ(ds.recordCount(), 5);
}

TEST(ClientDataSet, ABadFilterLeavesTheDatasetAsItWas) {
    ClientDataSet ds("cdsMunicipio");
    ds.setData(cities());
    ds.setFilter("SGESTADO = 'SP'");
    ds.setFiltered(true);
    ds.next();
    for (const QString bad : {"NOPE = 'x'", "SGESTADO = 'SP", "SGESTADO = 'SP' OR 1 = '1'"}) {
        try {
            ds.setFilter(bad);
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const FilterError& e) {
            EXPECT_TRUE(QString(e.what()).contains(bad)) << e.what();
        }
        EXPECT_EQ(ds.filter(), "SGESTADO = 'SP'");
        EXPECT_EQ(visibleNames(ds), QStringList({"S\u00e3o Paulo", "Campinas"}));
    }
    ds.setFiltered(false);
    ds.setFilter("NOPE = 'x'"); // not checked while off
    EXPECT_THROW(ds.setFiltered(true), FilterError);
    EXPECT_FALSE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 5);

    // A filter switched on before the data arrives refuses a packet that lacks its column.
    ClientDataSet early("cdsEstado");
    early.setFilter("CDPAIS = '1058'");
    early.setFiltered(true);
    EXPECT_THROW(early.setData(DataPacket{{{"SGESTADO", FieldType::String, 2}}, {{"SP"}}}), FilterError);
    EXPECT_FALSE(early.active());
    early.setData(cities());
    EXPECT_EQ(early.recordCount(), 4);
}

TEST(ClientDataSet, NavigatesAndLocatesAmongVisibleRows) {
    ClientDataSet ds("cdsMunicipio");
    ds.setData(cities());
    ds.setFilter("CDMUNICIPIO = '0001'");
    ds.setFiltered(true);
    EXPECT_EQ(visibleNames(ds), QStringList({"S\u00e3o Paulo", "Rio de Janeiro", "Olho d'\u00c1gua"}));
    EXPECT_EQ(ds.visibleRows(), QList<int>({0, 2, 4}));
    EXPECT_EQ(ds.asString("NMMUNICIPIO"), "Olho d'\u00c1gua"); // at the end, on the last row

    EXPECT_FALSE(ds.locate("NMMUNICIPIO", "Campinas")); // hidden by the filter
    EXPECT_FALSE(ds.locate("NMMUNICIPIO", "rio de janeiro"));
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_TRUE(ds.locate("nmmunicipio", "Rio de Janeiro"));
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_FALSE(ds.eof());
    EXPECT_THROW(ds.setRecNo(3), std::out_of_range);

    ds.setFilter("CDMUNICIPIO = '9999'");
    EXPECT_TRUE(ds.isEmpty() && ds.eof());
    EXPECT_EQ(ds.recNo(), -1);
    EXPECT_TRUE(ds.value("NMMUNICIPIO").isNull());
    EXPECT_EQ(ds.asString("NMMUNICIPIO"), "");
    EXPECT_FALSE(ds.asBoolean("ATIVO"));
    EXPECT_FALSE(ds.asDateTime("DTCAD").isValid());
}

TEST(ClientDataSet, MissingFieldsAndClosedDatasetsFailWithNames) {
    ClientDataSet ds("cdsPais");
    ds.setData(cities());
    for (bool open : {true, false}) {
        for (const std::function<void()>& read : std::initializer_list<std::function<void()>>{
                 [&] { ds.value("NMPAIS"); }, [&] { ds.asBoolean("NMPAIS"); }, [&] { ds.displayText("NMPAIS"); },
                 [&] { ds.locate("NMPAIS", ""); }}) {
            try {
                read();
                ADD_FAILURE() << "read went through, open " << open;
            } catch (const std::runtime_error& e) {
                EXPECT_TRUE(QString(e.what()).contains("NMPAIS") && QString(e.what()).contains("cdsPais")) << e.what();
            }
        }
        ds.close();
    }
    DataPacket ragged = cities();
    ragged.rows[3].removeLast();
    EXPECT_THROW(ds.setData(ragged), std::invalid_argument);
    EXPECT_FALSE(ds.active());
}

TEST(ClientDataSet, ReadsBooleansAndDateTimesFromTheirTextsToo) {
    ClientDataSet ds("cds");
    ds.setData(cities());
    const std::tuple<int, const char*, bool> booleans[] = {{0, "ATIVO", true}, {1, "ATIVO", false}, {3, "ATIVO", false},
                                                           {0, "TEXTO", true}, {1, "TEXTO", true},  {2, "TEXTO", false},
                                                           {0, "POP", false},  {1, "POP", true}};
    for (const auto& [row, field, expected] : booleans) {
        ds.setRecNo(row);
        EXPECT_EQ(ds.asBoolean(field), expected) << row << field;
    }
    const std::tuple<int, const char*, QDateTime> dateTimes[] = {
        {1, "DTCAD", QDateTime(QDate(2024, 1, 31), QTime(8, 30))},
        {2, "DTCAD", {}},
        {2, "TEXTO", QDateTime(QDate(2024, 1, 31), QTime(10, 0))},
        {3, "TEXTO", QDateTime(QDate(2024, 2, 1), QTime(0, 0))},
    };
    for (const auto& [row, field, expected] : dateTimes) {
        ds.setRecNo(row);
        EXPECT_EQ(ds.asDateTime(field), expected) << row << field;
    }
    ds.setRecNo(4);
    EXPECT_THROW(ds.asDateTime("TEXTO"), std::runtime_error); // "no date"
    EXPECT_THROW(ds.asDateTime("POP"), std::runtime_error);
    ds.setRecNo(1);
    EXPECT_EQ(ds.asString("DTCAD"), "31/01/2024 08:30:00");
}

TEST(ClientDataSet, ShowsCustomerNumbersThroughItsDisplaySettings) {
    ClientDataSet ds("cdsClienFilial");
    ds.setDisplay("NRINSJURCLIE", {QStringLiteral("Inscri\u00e7\u00e3o"), 0, true});
    ds.setDisplay("CDCLIENTE", {QString(), 0, false});
    ds.setGetText("NRINSJURCLIE", [](const ClientDataSet& set, const QString& raw) {
        return formatMask(set.asString("IDTPIJURCLIE") == "F" ? "999.999.999-99" : "99.999.999/9999-99", raw);
    });
    ds.loadFromFile(QStringLiteral(CADCONS_TEST_DATA_DIR "/Cad_Cliente.cds"));
    QStringList shown;
    for (ds.first(); !ds.eof(); ds.next())
        shown << ds.displayText("NRINSJURCLIE");
    EXPECT_EQ(shown, QStringList({"11.222.333/0001-81", "16.727.230/0001-97", "529.982.247-25"}));
    EXPECT_EQ(ds.asString("NRINSJURCLIE"), "52998224725");
    EXPECT_EQ(ds.displayText("NMFANTCLIE"), "Jo\u00e3o da Silva");

    EXPECT_EQ(ds.display("nrinsjurclie").label, "Inscri\u00e7\u00e3o");
    EXPECT_EQ(ds.display("nrinsjurclie").width, 20);
    EXPECT_FALSE(ds.display("CDCLIENTE").visible);
    EXPECT_EQ(ds.display("CDCLIENTE").label, "CDCLIENTE");
    EXPECT_TRUE(ds.display("NMFANTCLIE").visible);

    EXPECT_THROW(ds.loadFromFile("/nonexistent/Cad_Cliente.cds"), PacketFileError);
    EXPECT_EQ(ds.recordCount(), 3); // a failed load keeps what was there
}
