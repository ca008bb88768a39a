#include "service/catalogue.h"

#include "platform/sql_provider.h"
#include "service/consumer_table.h"

#include <QHash>

// The statement texts as the shared database expects them. Keep them as they are: other programs of
// the point of sale run the same statements, and the Oracle variants differ only where the dialect does.
// The record's column list and the update's SET list are written from the descriptions (catalogue.h,
// consumer_table.h), at compile time.
namespace cadcons::sql {

const char* const adqMunicipio = "SELECT CDPAIS,SGESTADO,CDMUNICIPIO,NMMUNICIPIO FROM MUNICIPIO";
const char* const adqEstado = "SELECT CDPAIS, SGESTADO, NMESTADO FROM ESTADO";
const char* const adqPais = "SELECT CDPAIS, NMPAIS FROM PAIS";
const char* const adqBairro = "SELECT CDBAIRRO,NMBAIRRO,CDPAIS,SGESTADO,CDMUNICIPIO FROM BAIRRO";
const char* const adqTipoCons = "SELECT CDTIPOCONS, NMTIPOCONS FROM TIPOCONS";

const char* const adqTipoVendaMssql = R"(
SELECT '1' CDTIPOVENDA, 'Débito Consumidor' NMTIPOVENDA UNION
SELECT '2' CDTIPOVENDA, 'Crédito Pessoal' NMTIPOVENDA UNION
SELECT '3' CDTIPOVENDA, 'A Vista' NMTIPOVENDA UNION
SELECT '4' CDTIPOVENDA, 'Débito Consumidor/Crédito Pessoal' NMTIPOVENDA UNION
SELECT '5' CDTIPOVENDA, 'Débito Consumidor/A Vista' NMTIPOVENDA UNION
SELECT '6' CDTIPOVENDA, 'Crédito Pessoal/A Vista' NMTIPOVENDA UNION
SELECT '7' CDTIPOVENDA, 'Todos' NMTIPOVENDA
ORDER BY 1)";

const char* const adqTipoVendaOracle = R"(
SELECT '1' CDTIPOVENDA, 'Débito Consumidor' NMTIPOVENDA FROM DUAL UNION
SELECT '2' CDTIPOVENDA, 'Crédito Pessoal' NMTIPOVENDA FROM DUAL UNION
SELECT '3' CDTIPOVENDA, 'A Vista' NMTIPOVENDA FROM DUAL UNION
SELECT '4' CDTIPOVENDA, 'Débito Consumidor/Crédito Pessoal' NMTIPOVENDA FROM DUAL UNION
SELECT '5' CDTIPOVENDA, 'Débito Consumidor/A Vista' NMTIPOVENDA FROM DUAL UNION
SELECT '6' CDTIPOVENDA, 'Crédito Pessoal/A Vista' NMTIPOVENDA FROM DUAL UNION
SELECT '7' CDTIPOVENDA, 'Todos' NMTIPOVENDA FROM DUAL
ORDER BY 1)";

const char* const adqTipoConsPadrao = R"(
SELECT PA.CDTIPOCONS, CDCLIENTE, CDFILIAL,TP.NMTIPOCONS
  FROM PARAVEND PA
  join TIPOCONS TP ON TP.CDTIPOCONS=PA.CDTIPOCONS
  WHERE PA.CDFILIAL = :P_CDFILIAL)";

const char* const adqParaVend = R"(
SELECT IDTPVENDACONS
  FROM PARAVEND
 WHERE CDFILIAL = :P_CDFILIAL)";

const char* const adqNomeCliente = R"(
SELECT CDCLIENTE, NMFANTCLIE
FROM   CLIENTE
WHERE  CDCLIENTE = :P_CDCLIENTE)";

// Both database kinds select the record's columns; only the joins differ.
namespace {

constexpr void writeDadosConsMssql(TextWriter& out) {
    out << "SELECT\n";
    writeConsumerRecordColumns(out, true);
    out << CADCONS_CONSUMER_RECORD_FROM R"(
WHERE
   (CO.CDCLIENTE  = :P_CDCLIENTE) AND
   (
    (CDCONSUMIDOR = :P_CDCONSUMIDOR) OR
    (CDCONSUMIDOR = :P_CDCONS) OR
    (CDIDCONSUMID = :P_CDCONS) OR
    (CDEXCONSUMID = :P_CDCONS) OR
    (NRRGCONSUMID = :P_CDCONS) OR
    (NRCPFRESPCON = :P_CDCONS)
    ))";
}

constexpr void writeDadosConsOracle(TextWriter& out) {
    out << "SELECT\n";
    writeConsumerRecordColumns(out, true);
    out << R"(
FROM
    PAIS PA, CONSUMIDOR CO, MUNICIPIO MU, TIPOCONS TC
WHERE
    (CO.CDCLIENTE    = :P_CDCLIENTE)
AND (    (CDCONSUMIDOR = :P_CDCONSUMIDOR)
      OR (CDCONSUMIDOR = :P_CDCONS)
      OR (CDIDCONSUMID = :P_CDCONS)
      OR (CDEXCONSUMID = :P_CDCONS)
      OR (NRRGCONSUMID = :P_CDCONS)
      OR (NRCPFRESPCON = :P_CDCONS)
     )
AND (CO.CDMUNICIPIO  = MU.CDMUNICIPIO(+))
AND (CO.SGESTADO     = MU.SGESTADO(+))
AND (CO.CDPAIS       = MU.CDPAIS(+))
AND (CO.CDPAIS       = PA.CDPAIS(+))
AND (CO.CDTIPOCONS   = TC.CDTIPOCONS(+)))";
}

} // namespace

constinit const char* const adqDadosConsMssql = builtText<writeDadosConsMssql>.data();
constinit const char* const adqDadosConsOracle = builtText<writeDadosConsOracle>.data();

const char* const adqValidaCons = R"(
SELECT
   CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, :P_CDCONSUMID AS CDCONSUMID
FROM
   CONSUMIDOR
WHERE
   ((CDIDCONSUMID = :P_CDCONSUMID) OR
    (CDEXCONSUMID = :P_CDCONSUMID) OR
    (CDCONSUMIDOR = :P_CDCONSUMID))
AND(IDSITCONSUMI = :P_IDSITCONSUMI)
AND(CDCLIENTE    = :P_CDCLIENTE))";

const char* const adqValidaCPF = R"(
SELECT NRCPFRESPCON, NMCONSUMIDOR,CDCONSUMIDOR,CDCLIENTE, NRRGCONSUMID
FROM  CONSUMIDOR
WHERE NRCPFRESPCON = :P_NRCPFRESPCON
 AND (CDCLIENTE    <> :P_CDCLIENTE OR CDCONSUMIDOR <> :P_CDCONSUMIDOR))";

const char* const adqValidaRG = R"(
SELECT NRCPFRESPCON, NMCONSUMIDOR,CDCONSUMIDOR,CDCLIENTE, NRRGCONSUMID
FROM  CONSUMIDOR
WHERE NRRGCONSUMID = :P_NRRGCONSUMID
 AND (CDCLIENTE    <> :P_CDCLIENTE OR CDCONSUMIDOR <> :P_CDCONSUMIDOR))";

const char* const adqValidaIdent = R"(
SELECT CDIDCONSUMID, NMCONSUMIDOR,CDCONSUMIDOR,CDCLIENTE, NRRGCONSUMID
FROM  CONSUMIDOR
WHERE CDIDCONSUMID = :P_CDIDCONSUMID
 AND (CDCONSUMIDOR <> :P_CDCONSUMIDOR))";

const char* const adqInfCEP = R"(
SELECT PA.CDPAIS, PA.NMPAIS,
       CP.NRCEP, CP.DSLOGCEP, CP.SGESTADO,
       MU.CDMUNICIPIO, MU.NMMUNICIPIO,
       BA.CDBAIRRO, BA.NMBAIRRO
  FROM CEP CP, PAIS PA, MUNICIPIO MU, BAIRRO BA
 WHERE
   CP.NRCEP      = :P_CEP
   AND MU.CDPAIS     = CP.CDPAIS
   AND MU.SGESTADO   = CP.SGESTADO
   AND MU.CDMUNICIPIO= CP.CDMUNICIPIO
   AND BA.CDPAIS     = CP.CDPAIS
   AND BA.SGESTADO   = CP.SGESTADO
   AND BA.CDMUNICIPIO= CP.CDMUNICIPIO
   AND BA.CDBAIRRO   = CP.CDBAIRRO
   AND PA.CDPAIS     = CP.CDPAIS)";

const char* const acmConsumidor = R"(
INSERT INTO CONSUMIDOR
(
    CDCLIENTE      , CDCONSUMIDOR   , NMCONSUMIDOR , IDSITCONSUMI  ,
    CDIDCONSUMID   , CDCCUSCLIE     , CDTIPOCONS   , NRTELE2CONS   ,
    NRTELECONS     , NRRAMAL1CONS   , NRRAMAL2CONS , NRFAXCONS     ,
    NRCTACORCONS   , IDCONSUMIDOR   , CDVENDEDOR   , NRRGCONSUMID  ,
    CDSENHACONS    , NRCPFRESPCON   , NMRESPCONS   , NMLOGINCONS   ,
    DSINFOCONS     , CDSENHASITE    , DTULTATUCSUM , IDATUCONSUMI  ,
    CDEXCONSUMID   , CDPAIS         , SGESTADO     , CDMUNICIPIO   ,
    DSENDECONS     , NRENDECONS     , NRCEPCONS    , DSEMAILCONS   , IDSEXOCONS    ,
    DTNASCCONS     , NMBAIRCONS     , NRCELULARCONS, DIGICONSUMIDOR,
    IDCADCONFLIBCON, DIGICONSUMIDOR2, IDATUCPFCONS , IDIMPCPFCUPOM ,
    IDVERSALDCON   , IDTPVENDACONS  , CDSENHACONSMD5, CDSENHAPOSMD5)
VALUES
(
    :CDCLIENTE      , :CDCONSUMIDOR   , :NMCONSUMIDOR , '1'            ,
    :CDIDCONSUMID   , :CDCCUSCLIE     , :CDTIPOCONS   , :NRTELE2CONS   ,
    :NRTELECONS     , NULL            , NULL          , NULL           ,
    NULL            , 'C'             , NULL          , :NRRGCONSUMID  ,
    :CDSENHACONS    , :NRCPFRESPCON   , NULL          , :NMLOGINCONS   ,
    NULL            , :CDSENHASITE    , :DTULTATUCSUM , :IDATUCONSUMI  ,
    :CDEXCONSUMID   , :CDPAIS         , :SGESTADO     , :CDMUNICIPIO   ,
    :DSENDECONS     , :NRENDECONS     , :NRCEPCONS    , :DSEMAILCONS   , :IDSEXOCONS    ,
    :DTNASCCONS     , :NMBAIRCONS     , :NRCELULARCONS, :DIGICONSUMIDOR,
    :IDCADCONFLIBCON, :DIGICONSUMIDOR2, :IDATUCPFCONS , :IDIMPCPFCUPOM ,
    :IDVERSALDCON   , :IDTPVENDACONS  , :CDSENHACONSMD5, :CDSENHAPOSMD5))";

namespace {

constexpr void writeUpdCpfConsumidor(TextWriter& out) {
    out << "\nUPDATE CONSUMIDOR\n";
    writeConsumerSetList(out, ConsumerUpdate::Local, 12);
    out << "WHERE CDCLIENTE = :CDCLIENTE\nAND CDCONSUMIDOR = :CDCONSUMIDOR";
}

} // namespace

constinit const char* const acmUpdCpfConsumidor = builtText<writeUpdCpfConsumidor>.data();

int columnWidth(const QString& column) {
    // The other tables' text columns (and the aliases) that the statements return beside the consumer's.
    static const QHash<QString, int> widths = [] {
        QHash<QString, int> all = {
            {"NMFANTCLIE", 50},  {"NMTIPOCONS", 20},  {"CDFILIAL", 4},    {"NMPAIS", 30}, {"NMESTADO", 30},
            {"NMMUNICIPIO", 30}, {"CDBAIRRO", 10},    {"NMBAIRRO", 50},   {"NRCEP", 8},   {"DSLOGCEP", 60},
            {"CDTIPOVENDA", 1},  {"NMTIPOVENDA", 60}, {"CDCONSUMID", 21},
        };
        for (const ConsumerColumn& c : consumerTable())
            if (c.width > 0)
                all.insert(QLatin1String(c.name), c.width);
        return all;
    }();
    return widths.value(column.toUpper(), 0);
}

bool isLongText(const QString& column) {
    const ConsumerColumn* described = consumerColumn(column);
    return described && described->longText;
}

// Column names as the shared database spells them, whatever case the driver reports.
DataPacket resultPacket(DataPacket packet) {
    for (FieldDef& field : packet.fields) {
        field.name = field.name.toUpper();
        if (isLongText(field.name)) {
            field.type = FieldType::Memo;
            field.width = 0;
        } else if (const int width = columnWidth(field.name); width > 0 && field.type == FieldType::String) {
            field.width = width;
        }
    }
    return packet;
}

} // namespace cadcons::sql
