#include "service_fixture.h"

#include "test_databases.h"

#include <QDateTime>
#include <QSqlQuery>

namespace cadcons::test {
namespace {

const QString kC1 = QStringLiteral("000000000000000000001");
const QString kC2 = QStringLiteral("000000000000000000002");

DataPacket packetOf(const ServiceResult& result) {
    if (const auto* error = std::get_if<QString>(&result)) {
        ADD_FAILURE() << "error text: " << error->toStdString();
        return {};
    }
    if (!std::holds_alternative<DataPacket>(result)) {
        ADD_FAILURE() << "not a packet";
        return {};
    }
    return std::get<DataPacket>(result);
}

QStringList names(const DataPacket& p) {
    QStringList out;
    for (const FieldDef& f : p.fields)
        out << f.name;
    return out;
}

QString cell(const DataPacket& p, int row, const QString& field) {
    const int column = p.fieldIndex(field);
    EXPECT_GE(column, 0) << field.toStdString();
    if (column < 0 || row >= p.rows.size())
        return QStringLiteral("<missing>");
    return p.rows[row][column].toString();
}

QStringList column(const DataPacket& p, const QString& field) {
    QStringList out;
    for (int r = 0; r < p.rows.size(); ++r)
        out << cell(p, r, field);
    out.sort();
    return out;
}

class ReadOperations : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (!HasFatalFailure() && !IsSkipped())
            insertFixtureData();
    }
};

TEST_P(ReadOperations, SaleTypesAreTheSevenConstantRowsInCodeOrder) {
    const DataPacket p = packetOf(getTipoVenda(*service_));
    ASSERT_EQ(names(p), (QStringList{"CDTIPOVENDA", "NMTIPOVENDA"}));
    const QStringList expected{
        "Débito Consumidor",         "Crédito Pessoal",         "A Vista", "Débito Consumidor/Crédito Pessoal",
        "Débito Consumidor/A Vista", "Crédito Pessoal/A Vista", "Todos"};
    ASSERT_EQ(p.rows.size(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(cell(p, i, "CDTIPOVENDA"), QString::number(i + 1));
        EXPECT_EQ(cell(p, i, "NMTIPOVENDA"), expected[i]);
    }
}

TEST_P(ReadOperations, ReferenceListsCarryTheirColumns) {
    struct Case {
        const char* operation;
        ServiceResult result;
        QStringList columns;
        int rows;
    };
    const Case cases[] = {
        {"getPais", getPais(*service_), {"CDPAIS", "NMPAIS"}, 1},
        {"getEstado", getEstado(*service_), {"CDPAIS", "SGESTADO", "NMESTADO"}, 2},
        {"getMunicipio", getMunicipio(*service_), {"CDPAIS", "SGESTADO", "CDMUNICIPIO", "NMMUNICIPIO"}, 2},
        {"getBairro", getBairro(*service_), {"CDBAIRRO", "NMBAIRRO", "CDPAIS", "SGESTADO", "CDMUNICIPIO"}, 1},
        {"getTipoCons", getTipoCons(*service_), {"CDTIPOCONS", "NMTIPOCONS"}, 2},
        {"getTipoConsPadrao",
         getTipoConsPadrao(*service_, "0001"),
         {"CDTIPOCONS", "CDCLIENTE", "CDFILIAL", "NMTIPOCONS"},
         1},
        {"getParaVend", getParaVend(*service_, "0001"), {"IDTPVENDACONS"}, 1},
        {"getParaVend other branch", getParaVend(*service_, "0002"), {"IDTPVENDACONS"}, 0},
        {"getNomeCliente", getNomeCliente(*service_, kC2), {"CDCLIENTE", "NMFANTCLIE"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        const DataPacket p = packetOf(c.result);
        EXPECT_EQ(names(p), c.columns);
        EXPECT_EQ(p.rows.size(), c.rows);
    }
    EXPECT_EQ(cell(packetOf(getEstado(*service_)), 0, "NMESTADO").isEmpty(), false);
    EXPECT_EQ(column(packetOf(getEstado(*service_)), "NMESTADO"), (QStringList{"Minas Gerais", "São Paulo"}));
    EXPECT_EQ(cell(packetOf(getTipoConsPadrao(*service_, "0001")), 0, "NMTIPOCONS"), "HOSPEDE");
    EXPECT_EQ(cell(packetOf(getParaVend(*service_, "0001")), 0, "IDTPVENDACONS"), "3");
    EXPECT_EQ(cell(packetOf(getNomeCliente(*service_, kC2)), 0, "NMFANTCLIE"), "Metalúrgica");
}

TEST_P(ReadOperations, ConsumerRecordIsFoundByEveryKey) {
    struct Case {
        const char* why;
        QString customer;
        QString key;
        QString expectedName; // empty: no row
    };
    const Case cases[] = {
        {"code as stored", kC1, "000000000000000000123", "Ana Souza"},
        {"code as typed", kC1, "123", "Ana Souza"},
        {"code typed with blanks", kC1, " 123 ", "Ana Souza"},
        {"badge", kC1, "BADGE-1", "Ana Souza"},
        {"external code", kC1, "EXT-1", "Ana Souza"},
        {"RG", kC1, "123456789", "Ana Souza"},
        {"CPF", kC1, "52998224725", "Ana Souza"},
        {"same code, other customer", kC2, "123", "Bruno Lima"},
        {"another customer's badge", kC1, "BADGE-2", ""},
        {"another customer's CPF", kC2, "52998224725", ""},
        {"unknown key", kC1, "424242", ""},
        {"empty key", kC1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const DataPacket p = packetOf(getDadosConsumidor(*service_, c.customer, c.key));
        ASSERT_EQ(p.fields.size(), 36);
        if (c.expectedName.isEmpty()) {
            EXPECT_TRUE(p.rows.isEmpty());
        } else {
            ASSERT_EQ(p.rows.size(), 1);
            EXPECT_EQ(cell(p, 0, "NMCONSUMIDOR"), c.expectedName);
        }
    }
}

// Consumers without badge, external code, RG or CPF are common; a blank key must still find none of them.
TEST_P(ReadOperations, BlankKeyFindsNobodyWhenDocumentsAreBlank) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET CDIDCONSUMID = '', CDEXCONSUMID = '', NRRGCONSUMID = '', "
                        "NRCPFRESPCON = '' WHERE CDCLIENTE = '%1'")
             .arg(kC1));
    for (const QString& key : {QStringLiteral(""), QStringLiteral("   ")}) {
        const DataPacket p = packetOf(getDadosConsumidor(*service_, kC1, key));
        ASSERT_EQ(p.fields.size(), 36);
        EXPECT_TRUE(p.rows.isEmpty()) << "key \"" << key.toStdString() << "\" found " << p.rows.size() << " rows";
    }
    const DataPacket p = packetOf(getDadosConsumidor(*service_, kC1, "123"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "NMCONSUMIDOR"), "Ana Souza");
}

TEST_P(ReadOperations, ConsumerRecordHasTheColumnsInOrderWithNamesJoined) {
    exec(QStringLiteral("UPDATE CONSUMIDOR SET DTNASCCONS = '1984-07-09 00:00:00' WHERE NRCPFRESPCON = '52998224725'"));
    const DataPacket p = packetOf(getDadosConsumidor(*service_, kC1, "123"));
    const QStringList expected{
        "CDCONSUMIDOR", "NMCONSUMIDOR",  "NRRGCONSUMID",   "NRCPFRESPCON",    "DSENDECONS",     "NMBAIRCONS",
        "CDPAIS",       "NMPAIS",        "SGESTADO",       "CDMUNICIPIO",     "NMMUNICIPIO",    "NRCEPCONS",
        "NRTELECONS",   "NRTELE2CONS",   "CDCLIENTE",      "IDSEXOCONS",      "DTNASCCONS",     "DSEMAILCONS",
        "CDIDCONSUMID", "CDEXCONSUMID",  "NRCELULARCONS",  "CDTIPOCONS",      "NMTIPOCONS",     "NRENDECONS",
        "NMLOGINCONS",  "CDSENHASITE",   "CDSENHACONS",    "IDVERSALDCON",    "IDIMPCPFCUPOM",  "IDCADCONFLIBCON",
        "IDATUCPFCONS", "IDTPVENDACONS", "DIGICONSUMIDOR", "DIGICONSUMIDOR2", "CDSENHACONSMD5", "CDSENHAPOSMD5"};
    EXPECT_EQ(names(p), expected);
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "NMPAIS"), "Brasil");
    EXPECT_EQ(cell(p, 0, "NMMUNICIPIO"), "SAO PAULO");
    EXPECT_EQ(cell(p, 0, "NMTIPOCONS"), "FUNCIONARIO");
    // Types and widths are the declared ones on every database kind.
    const std::pair<const char*, std::pair<FieldType, int>> declared[] = {
        {"CDCONSUMIDOR", {FieldType::String, 21}}, {"NMCONSUMIDOR", {FieldType::String, 50}},
        {"NMPAIS", {FieldType::String, 30}},       {"CDSENHASITE", {FieldType::String, 250}},
        {"DIGICONSUMIDOR", {FieldType::Memo, 0}},  {"DIGICONSUMIDOR2", {FieldType::Memo, 0}},
    };
    for (const auto& [name, typeAndWidth] : declared) {
        const FieldDef& field = p.fields[p.fieldIndex(name)];
        EXPECT_EQ(field.type, typeAndWidth.first) << name;
        EXPECT_EQ(field.width, typeAndWidth.second) << name;
    }
    const int birth = p.fieldIndex("DTNASCCONS");
    EXPECT_EQ(p.fields[birth].type, FieldType::DateTime);
    EXPECT_EQ(p.rows[0][birth].toDateTime().date(), QDate(1984, 7, 9));
}

TEST_P(ReadOperations, ConsumerWithMissingCityCountryAndTypeIsStillReturned) {
    const DataPacket p = packetOf(getDadosConsumidor(*service_, kC1, "789"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "NMCONSUMIDOR"), "Davi Reis");
    for (const char* joined : {"NMPAIS", "NMMUNICIPIO", "NMTIPOCONS"})
        EXPECT_EQ(cell(p, 0, joined), "") << joined;
    EXPECT_EQ(cell(p, 0, "CDMUNICIPIO"), "9999");
}

TEST_P(ReadOperations, CodeCheckFindsOnlyActiveConsumersOfTheCustomer) {
    struct Case {
        const char* why;
        QString code;
        QString customer;
        int rows;
    };
    const Case cases[] = {
        {"by consumer code", "000000000000000000123", kC1, 1},
        {"by badge", "BADGE-1", kC1, 1},
        {"by external code", "EXT-1", kC1, 1},
        {"held only in situation 2", "000000000000000000456", kC1, 0},
        {"badge held only in situation 2", "BADGE-3", kC1, 0},
        {"another customer's badge", "BADGE-2", kC1, 0},
        {"the code unadjusted", "123", kC1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const DataPacket p = packetOf(getValidaCons(*service_, c.code, c.customer));
        EXPECT_EQ(names(p), (QStringList{"CDCLIENTE", "CDCONSUMIDOR", "NMCONSUMIDOR", "CDCONSUMID"}));
        ASSERT_EQ(p.rows.size(), c.rows);
        if (c.rows) {
            EXPECT_EQ(cell(p, 0, "CDCONSUMID"), c.code); // the searched code comes back
        }
    }
}

TEST_P(ReadOperations, DocumentChecksExcludeTheConsumerBeingSaved) {
    struct Case {
        const char* why;
        ServiceResult result;
        QStringList holders; // "customer/code" of the rows found
    };
    const QString code = QStringLiteral("000000000000000000123");
    const Case cases[] = {
        {"CPF of the consumer being edited", getExisteCPF(*service_, kC1, code, "52998224725"), {}},
        {"CPF held by the same code under another customer",
         getExisteCPF(*service_, kC2, code, "52998224725"),
         {kC1 + "/" + code}},
        {"CPF held by someone else",
         getExisteCPF(*service_, kC1, "000000000000000000999", "52998224725"),
         {kC1 + "/" + code}},
        {"CPF of nobody", getExisteCPF(*service_, kC1, code, "47393545608"), {}},
        {"RG of the consumer being edited", getExisteRG(*service_, kC1, code, "123456789"), {}},
        {"RG held under another customer", getExisteRG(*service_, kC1, code, "987654321"), {kC2 + "/" + code}},
        {"badge of another customer's consumer",
         getExisteIdent(*service_, "000000000000000000999", "BADGE-2"),
         {kC2 + "/" + code}},
        {"badge held by the same code, any customer", getExisteIdent(*service_, code, "BADGE-2"), {}},
        {"badge of a consumer in situation 2",
         getExisteIdent(*service_, code, "BADGE-3"),
         {kC1 + "/000000000000000000456"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const DataPacket p = packetOf(c.result);
        ASSERT_EQ(p.fields.size(), 5);
        QStringList holders;
        for (int r = 0; r < p.rows.size(); ++r)
            holders << cell(p, r, "CDCLIENTE") + "/" + cell(p, r, "CDCONSUMIDOR");
        EXPECT_EQ(holders, c.holders);
    }
}

TEST_P(ReadOperations, PostalCodeLookUpNeedsEveryJoinedRow) {
    struct Case {
        const char* why;
        QString cep;
        int rows;
    };
    const Case cases[] = {
        {"known code", "01001000", 1},
        {"neighbourhood missing from its table", "30130010", 0},
        {"unknown code", "99999999", 0},
        {"code with a dash is not how it is stored", "01001-000", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        bool ok = false;
        const DataPacket p = packetOf(getInfCEP(*service_, c.cep, ok));
        EXPECT_TRUE(ok);
        EXPECT_EQ(names(p), (QStringList{"CDPAIS", "NMPAIS", "NRCEP", "DSLOGCEP", "SGESTADO", "CDMUNICIPIO",
                                         "NMMUNICIPIO", "CDBAIRRO", "NMBAIRRO"}));
        EXPECT_EQ(p.rows.size(), c.rows);
    }
    bool ok = false;
    const DataPacket p = packetOf(getInfCEP(*service_, "01001000", ok));
    EXPECT_EQ(cell(p, 0, "DSLOGCEP"), "Praça da Sé");
    EXPECT_EQ(cell(p, 0, "NMBAIRRO"), "SE");
}

TEST_P(ReadOperations, EveryReadReturnsATextWhenTheConnectionIsGone) {
    service_->close();
    const ServiceResult results[] = {
        getMunicipio(*service_),
        getEstado(*service_),
        getPais(*service_),
        getBairro(*service_),
        getTipoCons(*service_),
        getTipoVenda(*service_),
        getTipoConsPadrao(*service_, "0001"),
        getParaVend(*service_, "0001"),
        getNomeCliente(*service_, kC1),
        getDadosConsumidor(*service_, kC1, "123"),
        getValidaCons(*service_, "123", kC1),
        getExisteCPF(*service_, kC1, "1", "52998224725"),
        getExisteRG(*service_, kC1, "1", "1"),
        getExisteIdent(*service_, "1", "BADGE-1"),
    };
    for (const ServiceResult& r : results) {
        ASSERT_TRUE(std::holds_alternative<QString>(r));
        EXPECT_FALSE(std::get<QString>(r).isEmpty());
    }
    bool ok = false;
    const ServiceResult cep = getInfCEP(*service_, "01001000", ok);
    EXPECT_TRUE(ok);
    ASSERT_TRUE(std::holds_alternative<QString>(cep));
    EXPECT_FALSE(std::get<QString>(cep).isEmpty());
}

TEST_P(ReadOperations, AReadSeesTheDatabaseAtTheMomentOfTheCall) {
    EXPECT_EQ(packetOf(getTipoCons(*service_)).rows.size(), 2);
    exec(QStringLiteral("INSERT INTO TIPOCONS (CDTIPOCONS, NMTIPOCONS) VALUES ('03', 'DIRETORIA')"));
    EXPECT_EQ(packetOf(getTipoCons(*service_)).rows.size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadOperations, ::testing::ValuesIn(backendLabels()), backendName);

} // namespace
} // namespace cadcons::test
