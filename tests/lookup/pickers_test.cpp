#include "lookup_fixture.h"

#include <QLabel>
#include <QSet>

namespace cadcons::test {
namespace {

using PickerTest = LookupTest;
using Handler = void (FormLookups::*)();

const QString kBrasil = QStringLiteral("Brasil");

QSet<QString> distinct(const QStringList& values) {
    return QSet<QString>(values.begin(), values.end());
}

QStringList sorted(QStringList values) {
    values.sort();
    return values;
}

// The address fields as the form holds them: labels 7 to 10 and the four codes.
QStringList address(const TfrmCadastroConsumidor& form) {
    return {form.fieldText(7),  form.registration().consumer.stCdPais,
            form.fieldText(8),  form.registration().consumer.stSgEstado,
            form.fieldText(9),  form.registration().consumer.stCdMunicipio,
            form.fieldText(10), form.registration().consumer.stNmBairCons};
}

TEST_F(PickerTest, MissingPreconditionsShowTheirMessageAndOpenNoList) {
    const struct {
        const char* picker;
        Handler handler;
        int field;
        QString pais, uf, cidade; // label texts
        const char* message;
    } cases[] = {
        {"state", &FormLookups::bdsUfClick, 8, "", "SP", "SAO PAULO", "PAIS_N_INF"},
        {"city", &FormLookups::bdsCidadeClick, 9, "", "SP", "SAO PAULO", "PAIS_N_INF"},
        {"city", &FormLookups::bdsCidadeClick, 9, kBrasil, "", "SAO PAULO", "ESTADO_N_INF"},
        {"neighbourhood", &FormLookups::bdsBairroClick, 10, "", "", "", "PAIS_N_INF"},
        {"neighbourhood", &FormLookups::bdsBairroClick, 10, kBrasil, "", "SAO PAULO", "ESTADO_N_INF"},
        {"neighbourhood", &FormLookups::bdsBairroClick, 10, kBrasil, "SP", "", "MUNICIPIO_N_INF"},
    };
    newConsumer();
    pick(QStringLiteral("SGESTADO"), QStringLiteral("RJ")); // a dialog, were one opened, would choose
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.picker) + " " + c.message);
        messages.clear();
        offers.clear();
        setAddress(c.pais, QStringLiteral("0055"), c.uf, c.cidade, QStringLiteral("0001"), QStringLiteral("SE"));
        for (ClientDataSet* ds : {&form->registration().lists.cdsEstado, &form->registration().lists.cdsMunicipio,
                                  &form->registration().lists.cdsBairro}) {
            ds->setFilter(QStringLiteral("CDPAIS = '0055'"));
            ds->setFiltered(true);
        }
        const QStringList before = address(*form);

        (form->lookups().*c.handler)();

        EXPECT_EQ(form->activeField(), c.field);
        EXPECT_EQ(highlightedField(*form), c.field);
        EXPECT_TRUE(offers.isEmpty());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].text, msg(c.message));
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_EQ(messages[0].flag1, "N");
        EXPECT_EQ(messages[0].flag2, "N");
        EXPECT_EQ(messages[0].esquema, "002");
        EXPECT_EQ(address(*form), before);
        for (ClientDataSet* ds : {&form->registration().lists.cdsEstado, &form->registration().lists.cdsMunicipio,
                                  &form->registration().lists.cdsBairro}) {
            EXPECT_TRUE(ds->filtered()) << ds->name().toStdString();
            EXPECT_EQ(ds->filter(), "CDPAIS = '0055'") << ds->name().toStdString();
        }
    }
}

TEST_F(PickerTest, EachListIsRestrictedToTheChosenAddressAndReleasedAfterwards) {
    newConsumer();
    const struct {
        const char* picker;
        Handler handler;
        ClientDataSet RegistrationLists::*dataset;
        const char* column; // every offered row holds `value` here
        QString value;
        int rows; // of the demonstration data
    } cases[] = {
        {"country", &FormLookups::bdsPaisClick, &RegistrationLists::cdsPais, "CDPAIS", "0055", 1},
        {"state", &FormLookups::bdsUfClick, &RegistrationLists::cdsEstado, "CDPAIS", "0055", 27},
        {"city", &FormLookups::bdsCidadeClick, &RegistrationLists::cdsMunicipio, "SGESTADO", "SP", 4},
        {"neighbourhood", &FormLookups::bdsBairroClick, &RegistrationLists::cdsBairro, "SGESTADO", "SP", 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picker);
        offers.clear();
        setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("SP"), QStringLiteral("SAO PAULO"),
                   QStringLiteral("0001"), QString());
        ClientDataSet& ds = form->registration().lists.*c.dataset;
        // A restriction left from elsewhere does not narrow the list.
        ds.setFilter(QStringLiteral("CDPAIS = 'nowhere'"));
        ds.setFiltered(true);

        (form->lookups().*c.handler)();

        ASSERT_EQ(offers.size(), 1);
        EXPECT_EQ(offers[0].dataset, ds.name());
        EXPECT_EQ(offers[0].flag, "N");
        EXPECT_EQ(offers[0].rows.size(), c.rows);
        EXPECT_EQ(distinct(offers[0].values(QLatin1String(c.column))), QSet<QString>{c.value});
        EXPECT_FALSE(ds.filtered());
        EXPECT_EQ(ds.recordCount(), ds.data().rows.size());
        EXPECT_TRUE(messages.isEmpty());
    }
    // The last list, the neighbourhoods, holds those of the city, not those of its namesakes elsewhere.
    EXPECT_EQ(distinct(offers[0].values("CDMUNICIPIO")), QSet<QString>{"0001"});
    EXPECT_EQ(distinct(offers[0].values("CDPAIS")), QSet<QString>{"0055"});
}

TEST_F(PickerTest, AStateKeptInLowerCaseStillFindsItsCitiesAndNeighbourhoods) {
    newConsumer();
    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("mg"), QStringLiteral("BELO HORIZONTE"),
               QStringLiteral("0001"), QString());
    form->lookups().bdsCidadeClick();
    form->lookups().bdsBairroClick();
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(sorted(offers[0].values("NMMUNICIPIO")),
              (QStringList{"BELO HORIZONTE", "JUIZ DE FORA", "SERRO", "UBERLANDIA"}));
    EXPECT_EQ(offers[1].rows.size(), 8);
    EXPECT_TRUE(offers[1].values("NMBAIRRO").contains("SAVASSI"));
}

TEST_F(PickerTest, ACountryTypedWithoutItsCodeOffersNoStatesAndNothingCanBeChosen) {
    newConsumer();
    setAddress(kBrasil, QString(), QStringLiteral("SP"), QStringLiteral("SAO PAULO"), QStringLiteral("0001"),
               QString());
    int offered = -1;
    // A dialog that answers "chosen" over an empty list.
    siblingServices().Pesquisa = [&offered](ClientDataSet& ds, const QString&) {
        offered = ds.recordCount();
        return true;
    };
    form->lookups().bdsUfClick();
    EXPECT_EQ(offered, 0);
    EXPECT_EQ(address(*form), (QStringList{kBrasil, "", "SP", "SP", "SAO PAULO", "0001", "", ""}));
    EXPECT_FALSE(form->registration().lists.cdsEstado.filtered());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PickerTest, ChoosingACountryClearsStateAndCityOnlyWhenTheCountryChanges) {
    exec(QStringLiteral("INSERT INTO PAIS (CDPAIS, NMPAIS) VALUES ('X''1', 'Xanadu')"));
    exec(QStringLiteral("INSERT INTO ESTADO (CDPAIS, SGESTADO, NMESTADO) VALUES ('X''1', 'XA', 'Alta Xanadu')"));
    newConsumer();
    const QStringList saoPaulo = {kBrasil, "0055", "SP", "SP", "SAO PAULO", "0001", "SE", "SE"};

    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("SP"), QStringLiteral("SAO PAULO"),
               QStringLiteral("0001"), QStringLiteral("SE"));
    pick(QStringLiteral("CDPAIS"), QStringLiteral("0055"));
    form->lookups().bdsPaisClick();
    EXPECT_EQ(address(*form), saoPaulo);
    EXPECT_EQ(form->activeField(), 7);

    // Another country: state and city go, the neighbourhood stays.
    pick(QStringLiteral("CDPAIS"), QStringLiteral("X'1"));
    form->lookups().bdsPaisClick();
    EXPECT_EQ(address(*form), (QStringList{"Xanadu", "X'1", "", "", "", "", "SE", "SE"}));

    // The new country's code, apostrophe and all, restricts the state list.
    pick(QStringLiteral("SGESTADO"), QStringLiteral("XA"));
    form->lookups().bdsUfClick();
    ASSERT_EQ(offers.size(), 3);
    EXPECT_EQ(offers[2].values("NMESTADO"), QStringList{"Alta Xanadu"});
    EXPECT_EQ(form->fieldText(8), "XA");
    EXPECT_EQ(form->registration().consumer.stSgEstado, "XA");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PickerTest, ChoosingAStateClearsTheCityOnlyWhenTheStateChanges) {
    newConsumer();
    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("SP"), QStringLiteral("SAO PAULO"),
               QStringLiteral("0001"), QStringLiteral("SE"));
    pick(QStringLiteral("SGESTADO"), QStringLiteral("SP"));
    form->lookups().bdsUfClick();
    EXPECT_EQ(address(*form), (QStringList{kBrasil, "0055", "SP", "SP", "SAO PAULO", "0001", "SE", "SE"}));

    pick(QStringLiteral("SGESTADO"), QStringLiteral("MG"));
    form->lookups().bdsUfClick();
    EXPECT_EQ(address(*form), (QStringList{kBrasil, "0055", "MG", "MG", "", "", "SE", "SE"}));
    EXPECT_FALSE(form->registration().lists.cdsEstado.filtered());
    EXPECT_EQ(form->registration().lists.cdsEstado.filter(), "CDPAIS = '0055'"); // the text stays, switched off
}

TEST_F(PickerTest, ChoosingACityOrNeighbourhoodWritesItsNameAndCode) {
    newConsumer();
    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("MA"), QStringLiteral("SAO LUIS"),
               QStringLiteral("0001"), QString());
    pick(QStringLiteral("NMBAIRRO"), QStringLiteral("OLHO D'AGUA"));
    form->lookups().bdsBairroClick();
    EXPECT_EQ(form->fieldText(10), "OLHO D'AGUA");
    EXPECT_EQ(form->registration().consumer.stNmBairCons, "OLHO D'AGUA"); // by name: the neighbourhood is stored so

    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("PA"), QStringLiteral("BELEM"), QStringLiteral("0001"),
               QStringLiteral("CAMPINA"));
    pick(QStringLiteral("NMMUNICIPIO"), QStringLiteral("PAU D'ARCO"));
    form->lookups().bdsCidadeClick();
    EXPECT_EQ(address(*form), (QStringList{kBrasil, "0055", "PA", "PA", "PAU D'ARCO", "0002", "CAMPINA", "CAMPINA"}));
    EXPECT_FALSE(form->registration().lists.cdsMunicipio.filtered());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PickerTest, LeavingAnyDialogChangesNothingButTheRestriction) {
    const struct {
        const char* picker;
        Handler handler;
        int field;
    } cases[] = {
        {"country", &FormLookups::bdsPaisClick, 7},
        {"state", &FormLookups::bdsUfClick, 8},
        {"city", &FormLookups::bdsCidadeClick, 9},
        {"neighbourhood", &FormLookups::bdsBairroClick, 10},
        {"consumer type", &FormLookups::bdsTipoConsClick, 16},
        {"sale type", &FormLookups::bdsTipoVendaClick, 22},
        {"customer", &FormLookups::bdsNomeClienteClick, 24},
    };
    newConsumer();
    leave();
    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("SP"), QStringLiteral("SAO PAULO"),
               QStringLiteral("0001"), QStringLiteral("SE"));
    const auto state = [this] {
        QStringList s;
        for (int f = 1; f <= 24; ++f)
            s << form->fieldText(f);
        return s << form->registration().consumer.stCdPais << form->registration().consumer.stSgEstado
                 << form->registration().consumer.stCdMunicipio << form->registration().consumer.stNmBairCons
                 << form->registration().consumer.stCdTipoConsSel << form->registration().consumer.stCdTipoVenda
                 << form->registration().consumer.stCdCliente;
    };
    const QStringList before = state();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picker);
        offers.clear();
        (form->lookups().*c.handler)();
        EXPECT_EQ(offers.size(), 1);
        EXPECT_EQ(form->activeField(), c.field);
        EXPECT_EQ(state(), before);
        for (ClientDataSet* ds : {&form->registration().lists.cdsPais, &form->registration().lists.cdsEstado,
                                  &form->registration().lists.cdsMunicipio, &form->registration().lists.cdsBairro})
            EXPECT_FALSE(ds->filtered()) << ds->name().toStdString();
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PickerTest, ConsumerAndSaleTypeTakeTheChosenRow) {
    newConsumer();
    const QString defaultType = form->registration().consumer.stCdTipoCons;
    form->registration().lists.cdsTipoCons.setFilter(QStringLiteral("CDTIPOCONS = '01'"));
    form->registration().lists.cdsTipoCons.setFiltered(true);
    pick(QStringLiteral("CDTIPOCONS"), QStringLiteral("03"));
    form->lookups().bdsTipoConsClick();
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers[0].rows.size(), 4); // the whole list
    EXPECT_EQ(form->fieldText(16), "DIRETORIA");
    EXPECT_EQ(form->registration().consumer.stCdTipoConsSel, "03");
    EXPECT_EQ(form->registration().consumer.stCdTipoCons, defaultType); // taken over only when saving

    // The sale type list is offered as it stands.
    form->registration().lists.cdsTipoVenda.setFilter(QStringLiteral("CDTIPOVENDA = '2'"));
    form->registration().lists.cdsTipoVenda.setFiltered(true);
    pick(QStringLiteral("CDTIPOVENDA"), QStringLiteral("2"));
    form->lookups().bdsTipoVendaClick();
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(offers[1].rows.size(), 1);
    EXPECT_TRUE(form->registration().lists.cdsTipoVenda.filtered());
    EXPECT_EQ(form->fieldText(22), QStringLiteral("Crédito Pessoal"));
    EXPECT_EQ(form->registration().consumer.stCdTipoVenda, "2");
    EXPECT_EQ(form->activeField(), 22);
}

TEST_F(PickerTest, TheCustomerIsChosenForANewConsumerOnly) {
    newConsumer();
    pick(QStringLiteral("CDCLIENTE"), QStringLiteral("000000000000000000003"));
    form->lookups().bdsNomeClienteClick();
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers[0].dataset, "cdsClienFilial");
    EXPECT_EQ(offers[0].rows.size(), 3);
    EXPECT_EQ(form->fieldText(24), QStringLiteral("João da Silva"));
    EXPECT_EQ(form->registration().consumer.stCdCliente, "000000000000000000003");

    // An existing consumer keeps its customer: the field only becomes the active one.
    offers.clear();
    initialize(QStringLiteral("000000000000000000001"), QString(), QString(), QStringLiteral("A"));
    ASSERT_EQ(form->registration().consumer.stOperacao, "2");
    const QString customer = form->registration().consumer.stCdCliente;
    const QString shown = form->fieldText(24);
    form->lookups().bdsNomeClienteClick();
    EXPECT_TRUE(offers.isEmpty());
    EXPECT_EQ(form->activeField(), 24);
    EXPECT_EQ(highlightedField(*form), 24);
    EXPECT_EQ(form->registration().consumer.stCdCliente, customer);
    EXPECT_EQ(form->fieldText(24), shown);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PickerTest, AFailingDialogIsReportedAndLeavesTheListWhole) {
    newConsumer();
    siblingServices().Pesquisa = [](ClientDataSet&, const QString&) -> bool {
        throw std::runtime_error("search dialog unavailable");
    };
    setAddress(kBrasil, QStringLiteral("0055"), QStringLiteral("SP"), QString(), QString(), QString());
    click("bdsCidade");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, "search dialog unavailable");
    EXPECT_EQ(messages[0].kind, kMsgErro);
    EXPECT_FALSE(form->registration().lists.cdsMunicipio.filtered());
    EXPECT_EQ(form->registration().lists.cdsMunicipio.recordCount(),
              form->registration().lists.cdsMunicipio.data().rows.size());
}

TEST_F(PickerTest, CustomersShowTheirRegistrationNumberUnderTheMaskOfTheirKind) {
    newConsumer();
    ClientDataSet& customers = form->registration().lists.cdsClienFilial;
    const struct {
        const char* customer;
        const char* shown;
    } cases[] = {
        {"000000000000000000001", "11.222.333/0001-81"}, // company
        {"000000000000000000002", "16.727.230/0001-97"},
        {"000000000000000000003", "529.982.247-25"}, // natural person
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(customers.locate(QStringLiteral("CDCLIENTE"), QLatin1String(c.customer)));
        EXPECT_EQ(customers.displayText(QStringLiteral("NRINSJURCLIE")), QLatin1String(c.shown)) << c.customer;
        QString text = QStringLiteral("stale");
        form->lookups().cdsClienFilialNRINSJURCLIEGetText(customers, text, false); // editing shows the same
        EXPECT_EQ(text, QLatin1String(c.shown));
        EXPECT_TRUE(customers.asString(QStringLiteral("NRINSJURCLIE")).front().isDigit());
        EXPECT_FALSE(customers.asString(QStringLiteral("NRINSJURCLIE")).contains(u'.'));
    }
}

TEST_F(PickerTest, ARegistrationNumberTheMaskCannotHoldIsShownAsStored) {
    newConsumer();
    const struct {
        const char* kind;
        const char* number;
        const char* shown;
    } cases[] = {
        {"F", "529982247", "529.982.247"},                 // short: no trailing literals
        {"F", "", ""},                                     //
        {"F", "11222333000181", "11222333000181"},         // a company's number on a person
        {"J", "11.222.333/0001-81", "11.222.333/0001-81"}, // stored already formatted
        {"J", "ISENTO", "ISENTO"},                         //
        {"X", "11222333000181", "11.222.333/0001-81"},     // any other kind: the company mask
    };
    for (const auto& c : cases) {
        DataPacket packet;
        packet.fields = {{"CDCLIENTE", FieldType::String, 21},
                         {"IDTPIJURCLIE", FieldType::String, 1},
                         {"NRINSJURCLIE", FieldType::String, 20}};
        packet.rows = {{QStringLiteral("1"), QLatin1String(c.kind), QLatin1String(c.number)}};
        form->registration().lists.cdsClienFilial.setData(packet);
        EXPECT_EQ(form->registration().lists.cdsClienFilial.displayText(QStringLiteral("NRINSJURCLIE")),
                  QLatin1String(c.shown))
            << c.kind << " " << c.number;
    }
}

} // namespace
} // namespace cadcons::test
