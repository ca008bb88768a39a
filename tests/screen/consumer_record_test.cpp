#include "platform/client_data_set.h"
#include "platform/data_packet.h"
#include "qt_printers.h"
#include "registration/consumer_record.h"
#include "service/rdm_cad_consumidor.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace cadcons::test {
namespace {

using registration::Field;

// One stored consumer as getDadosConsumidor gives it, with the birth date `birth`.
ClientDataSet storedRow(const QVariant& birth) {
    const std::pair<const char*, QVariant> columns[] = {
        {"CDCONSUMIDOR", QStringLiteral("000000000000000000042")},
        {"NMCONSUMIDOR", QStringLiteral("Ana Stored")},
        {"DTNASCCONS", birth},
        {"NRRGCONSUMID", QStringLiteral("12345678")},
        {"NRCPFRESPCON", QStringLiteral("52998224725")},
        {"DSENDECONS", QStringLiteral("Rua A")},
        {"NRENDECONS", QStringLiteral("10")},
        {"NMBAIRCONS", QStringLiteral("Centro")},
        {"NRCEPCONS", QStringLiteral("01001000")},
        {"CDPAIS", QStringLiteral("0055")},
        {"NMPAIS", QStringLiteral("Brasil")},
        {"SGESTADO", QStringLiteral("SP")},
        {"CDMUNICIPIO", QStringLiteral("3550308")},
        {"NMMUNICIPIO", QStringLiteral("São Paulo")},
        {"NRTELECONS", QStringLiteral("1133334444")},
        {"NRTELE2CONS", QStringLiteral("1155556666")},
        {"NRCELULARCONS", QStringLiteral("11999998888")},
        {"DSEMAILCONS", QStringLiteral("ana@example.com")},
        {"CDTIPOCONS", QStringLiteral("02")},
        {"NMTIPOCONS", QStringLiteral("Hóspede")},
        {"CDIDCONSUMID", QStringLiteral("BADGE42")},
        {"NMLOGINCONS", QStringLiteral("ana.login")},
        {"CDEXCONSUMID", QStringLiteral("EXT-9")},
        {"CDSENHACONS", QStringLiteral("stored-till-form")},
        {"CDSENHASITE", QStringLiteral("stored-site-form")},
        {"IDTPVENDACONS", QStringLiteral("3")},
        {"IDSEXOCONS", QStringLiteral("F")},
        {"CDSENHACONSMD5", QStringLiteral("md5-site")},
        {"CDSENHAPOSMD5", QStringLiteral("md5-till")},
        {"CDCLIENTE", QStringLiteral("STORED-CUSTOMER")},
    };
    DataPacket packet;
    QVariantList row;
    for (const auto& [name, value] : columns) {
        const bool date = value.metaType() == QMetaType::fromType<QDateTime>() || value.isNull();
        packet.fields.append(FieldDef{QLatin1String(name), date ? FieldType::DateTime : FieldType::String, 0});
        row.append(value);
    }
    packet.rows.append(row);
    ClientDataSet dataset(QStringLiteral("cdsDadosCons"));
    dataset.setData(packet);
    return dataset;
}

// The values the call brings before the row is loaded: the row must not replace them.
ConsumerRecord fromTheCall() {
    ConsumerRecord record;
    record.stCdConsumidor = QStringLiteral("42");
    record.stNmConsumidor = QStringLiteral("Ana Called");
    record.stCdCliente = QStringLiteral("HOTEL");
    record.stCdTipoCons = QStringLiteral("01");
    record.stOperacao = QStringLiteral("2");
    return record;
}

TEST(ConsumerRecordTest, StoredRowShowsNamesAndSavesCodes) {
    const ClientDataSet row = storedRow(QDateTime(QDate(1980, 3, 5), QTime(0, 0)));
    ConsumerRecord record = fromTheCall();
    record.loadStored(row);
    GravaConsumidor v;
    record.saveArguments(v, QStringLiteral("KEY"));

    const struct {
        Field field;
        std::optional<QString> caption; // what the field shows of the row
        QString GravaConsumidor::*argument;
        QString saved;
    } cases[] = {
        {registration::CodCons, QStringLiteral("000000000000000000042"), &GravaConsumidor::cdConsumidor,
         QStringLiteral("KEY")},
        {registration::Nome, QStringLiteral("Ana Stored"), &GravaConsumidor::nmConsumidor,
         QStringLiteral("Ana Called")},
        {registration::Nasc, QStringLiteral("05/03/1980"), &GravaConsumidor::dtNascCons, QStringLiteral("05/03/1980")},
        {registration::Rg, QStringLiteral("12345678"), &GravaConsumidor::nrRgConsumid, QStringLiteral("12345678")},
        {registration::Cpf, QStringLiteral("52998224725"), &GravaConsumidor::nrCpfRespCon,
         QStringLiteral("52998224725")},
        {registration::Pais, QStringLiteral("Brasil"), &GravaConsumidor::cdPais, QStringLiteral("0055")},
        {registration::Uf, QStringLiteral("SP"), &GravaConsumidor::sgEstado, QStringLiteral("SP")},
        {registration::Cidade, QStringLiteral("São Paulo"), &GravaConsumidor::cdMunicipio, QStringLiteral("3550308")},
        {registration::Bairro, QStringLiteral("Centro"), &GravaConsumidor::nmBairCons, QStringLiteral("Centro")},
        {registration::Cep, QStringLiteral("01001000"), &GravaConsumidor::nrCepCons, QStringLiteral("01001000")},
        {registration::Telefone, QStringLiteral("1133334444"), &GravaConsumidor::nrTeleCons,
         QStringLiteral("1133334444")},
        {registration::TelComercial, QStringLiteral("1155556666"), &GravaConsumidor::nrTele2Cons,
         QStringLiteral("1155556666")},
        {registration::Celular, QStringLiteral("11999998888"), &GravaConsumidor::nrCelularCons,
         QStringLiteral("11999998888")},
        {registration::Email, QStringLiteral("ana@example.com"), &GravaConsumidor::dsEmailCons,
         QStringLiteral("ana@example.com")},
        // The type chosen or loaded replaces the saved one only at Confirm.
        {registration::TipoCons, QStringLiteral("Hóspede"), &GravaConsumidor::cdTipoCons, QStringLiteral("01")},
        {registration::Cracha, QStringLiteral("BADGE42"), &GravaConsumidor::cdIdConsumid, QStringLiteral("BADGE42")},
        {registration::LoginCons, QStringLiteral("ana.login"), &GravaConsumidor::nmLoginCons,
         QStringLiteral("ana.login")},
        {registration::ExConsumid, QStringLiteral("EXT-9"), &GravaConsumidor::cdExConsumid, QStringLiteral("EXT-9")},
        // A password shows its stored form; its stored form for the save is made by CriptografaSenhas.
        {registration::SenhaCons, QStringLiteral("stored-till-form"), &GravaConsumidor::cdSenhaCons, QString()},
        {registration::SenhaSite, QStringLiteral("stored-site-form"), &GravaConsumidor::cdSenhaSite, QString()},
        // The sale type's name comes from the sale type list, and its code is saved once Confirm takes it.
        {registration::TipoVenda, std::nullopt, &GravaConsumidor::idTpVendaCons, QString()},
        {registration::Numero, QStringLiteral("10"), &GravaConsumidor::nrEndeCons, QStringLiteral("10")},
        {registration::Cliente, std::nullopt, &GravaConsumidor::cdCliente, QStringLiteral("HOTEL")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.field));
        const QString none = QStringLiteral("(nothing shown)");
        EXPECT_EQ(storedCaption(*registration::fieldSpec(c.field), row).value_or(none), c.caption.value_or(none));
        EXPECT_EQ(v.*c.argument, c.saved);
    }
    EXPECT_EQ(record.stCdConsumidor, QStringLiteral("42"));
    EXPECT_EQ(record.stCdTipoConsSel, QStringLiteral("02"));
    EXPECT_EQ(record.stCdTipoVenda, QStringLiteral("3"));
    EXPECT_EQ(record.stIdSexoCons, QStringLiteral("F"));
    EXPECT_EQ(v.operacao, QStringLiteral("2"));
    EXPECT_EQ(v.cdSenhaConsMd5, QStringLiteral("md5-site"));
    EXPECT_EQ(v.cdSenhaPosMd5, QStringLiteral("md5-till"));
}

TEST(ConsumerRecordTest, BirthDateShowsTheTimeOnlyWhenThereIsOne) {
    const struct {
        QVariant stored;
        QString shown;
    } cases[] = {
        {QDateTime(QDate(1980, 3, 5), QTime(0, 0)), QStringLiteral("05/03/1980")},
        {QDateTime(QDate(1980, 3, 5), QTime(10, 20, 30)), QStringLiteral("05/03/1980 10:20:30")},
        {QVariant(), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        const ClientDataSet row = storedRow(c.stored);
        ConsumerRecord record = fromTheCall();
        record.loadStored(row);
        EXPECT_EQ(storedCaption(*registration::fieldSpec(registration::Nasc), row)
                      .value_or(QStringLiteral("(nothing shown)")),
                  c.shown);
        EXPECT_EQ(record.stDtNascCons, c.shown);
    }
}

} // namespace
} // namespace cadcons::test
