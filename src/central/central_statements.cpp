#include "central/central_statements.h"
#include "service/catalogue.h"

namespace cadcons::central_sql {

// Every column of CONSUMIDOR, in table order.
#define CADCONS_CONSUMER_COLUMNS                                                                                       \
    "    CDCLIENTE      , CDCONSUMIDOR   , NMCONSUMIDOR   , IDSITCONSUMI  , CDIDCONSUMID   ,\n"                        \
    "    CDEXCONSUMID   , CDCCUSCLIE     , CDTIPOCONS     , NRRGCONSUMID  , NRCPFRESPCON   ,\n"                        \
    "    NRTELECONS     , NRTELE2CONS    , NRCELULARCONS  , DSENDECONS    , NRENDECONS     ,\n"                        \
    "    NMBAIRCONS     , CDPAIS         , SGESTADO       , CDMUNICIPIO   , NRCEPCONS      ,\n"                        \
    "    DSEMAILCONS    , IDSEXOCONS     , DTNASCCONS     , DIGICONSUMIDOR, DIGICONSUMIDOR2,\n"                        \
    "    CDSENHACONS    , CDSENHASITE    , NMLOGINCONS    , CDSENHACONSMD5, CDSENHAPOSMD5  ,\n"                        \
    "    IDIMPCPFCUPOM  , IDCADCONFLIBCON, IDATUCPFCONS   , IDVERSALDCON  , IDTPVENDACONS  ,\n"                        \
    "    DTULTATUCSUM   , IDATUCONSUMI   , IDCONSUMIDOR   , NRRAMAL1CONS  , NRRAMAL2CONS   ,\n"                        \
    "    NRFAXCONS      , NRCTACORCONS   , CDVENDEDOR     , NMRESPCONS    , DSINFOCONS\n"

const char* const pendingConsumers = "SELECT\n" CADCONS_CONSUMER_COLUMNS R"(FROM CONSUMIDOR
WHERE IDATUCONSUMI IN ('I', 'A')
ORDER BY CDCLIENTE, CDCONSUMIDOR)";

const char* const localConsumer = "SELECT\n" CADCONS_CONSUMER_COLUMNS R"(FROM CONSUMIDOR
WHERE CDCLIENTE    = :P_CDCLIENTE
  AND CDCONSUMIDOR = :P_CDCONSUMIDOR)";

const char* const centralInsert = "INSERT INTO CONSUMIDOR\n(\n" CADCONS_CONSUMER_COLUMNS R"()
VALUES
(
    :CDCLIENTE      , :CDCONSUMIDOR   , :NMCONSUMIDOR   , :IDSITCONSUMI  , :CDIDCONSUMID   ,
    :CDEXCONSUMID   , :CDCCUSCLIE     , :CDTIPOCONS     , :NRRGCONSUMID  , :NRCPFRESPCON   ,
    :NRTELECONS     , :NRTELE2CONS    , :NRCELULARCONS  , :DSENDECONS    , :NRENDECONS     ,
    :NMBAIRCONS     , :CDPAIS         , :SGESTADO       , :CDMUNICIPIO   , :NRCEPCONS      ,
    :DSEMAILCONS    , :IDSEXOCONS     , :DTNASCCONS     , :DIGICONSUMIDOR, :DIGICONSUMIDOR2,
    :CDSENHACONS    , :CDSENHASITE    , :NMLOGINCONS    , :CDSENHACONSMD5, :CDSENHAPOSMD5  ,
    :IDIMPCPFCUPOM  , :IDCADCONFLIBCON, :IDATUCPFCONS   , :IDVERSALDCON  , :IDTPVENDACONS  ,
    :DTULTATUCSUM   , 'S'             , :IDCONSUMIDOR   , :NRRAMAL1CONS  , :NRRAMAL2CONS   ,
    :NRFAXCONS      , :NRCTACORCONS   , :CDVENDEDOR     , :NMRESPCONS    , :DSINFOCONS
))";

#undef CADCONS_CONSUMER_COLUMNS

namespace {

constexpr void writeCentralUpdate(sql::TextWriter& out) {
    out << "\nUPDATE CONSUMIDOR\n";
    sql::writeConsumerSetList(out, sql::ConsumerUpdate::Central, 15);
    out << " WHERE CDCLIENTE    = :CDCLIENTE\n   AND CDCONSUMIDOR = :CDCONSUMIDOR";
}

} // namespace

constinit const char* const centralUpdate = sql::builtText<writeCentralUpdate>.data();

const char* const centralExists = R"(
SELECT COUNT(*)
FROM CONSUMIDOR
WHERE CDCLIENTE    = :P_CDCLIENTE
  AND CDCONSUMIDOR = :P_CDCONSUMIDOR)";

const char* const centralUpdateSenha = R"(
UPDATE CONSUMIDOR
   SET CDSENHACONS = :P_CDSENHACONS
 WHERE CDCLIENTE    = :P_CDCLIENTE
   AND CDCONSUMIDOR = :P_CDCONSUMIDOR)";

// The two differ only in how the time of change read is compared: "= NULL" would never hold.
#define CADCONS_MARK_PUBLISHED_WHERE_READ                                                                              \
    "\n"                                                                                                               \
    "UPDATE CONSUMIDOR\n"                                                                                              \
    "   SET IDATUCONSUMI = 'S'\n"                                                                                      \
    " WHERE CDCLIENTE    = :P_CDCLIENTE\n"                                                                             \
    "   AND CDCONSUMIDOR = :P_CDCONSUMIDOR\n"                                                                          \
    "   AND IDATUCONSUMI = :P_IDATUCONSUMI\n"

const char* const markPublished = CADCONS_MARK_PUBLISHED_WHERE_READ "   AND DTULTATUCSUM = :P_DTULTATUCSUM";

const char* const markPublishedNoTime = CADCONS_MARK_PUBLISHED_WHERE_READ "   AND DTULTATUCSUM IS NULL";

#undef CADCONS_MARK_PUBLISHED_WHERE_READ

// The record statement's columns and joins, less the secret ones (the passwords, their digests, the
// fingerprints): the file lies in the host directory for anyone to read.
namespace {

constexpr void writeConsumerFile(sql::TextWriter& out) {
    out << "\nSELECT\n";
    sql::writeConsumerRecordColumns(out, false);
    out << CADCONS_CONSUMER_RECORD_FROM "\nORDER BY CO.CDCLIENTE, CO.CDCONSUMIDOR";
}

} // namespace

constinit const char* const consumerFile = sql::builtText<writeConsumerFile>.data();

} // namespace cadcons::central_sql
