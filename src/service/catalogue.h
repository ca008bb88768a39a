#pragma once

#include "platform/data_packet.h"

#include <QString>

// The consumer record's tables: the stored record and the branch's consumer file show the same names of
// place and type. Outer joins, so a consumer whose city or type is gone still has its row.
#define CADCONS_CONSUMER_RECORD_FROM                                                                                   \
    "\n"                                                                                                               \
    "FROM\n"                                                                                                           \
    "   CONSUMIDOR CO LEFT JOIN MUNICIPIO MU ON\n"                                                                     \
    "        (CO.CDMUNICIPIO = MU.CDMUNICIPIO)\n"                                                                      \
    "    AND (CO.SGESTADO = MU.SGESTADO)\n"                                                                            \
    "    AND (CO.CDPAIS   = MU.CDPAIS)\n"                                                                              \
    "                 LEFT JOIN PAIS PA ON\n"                                                                          \
    "        (CO.CDPAIS   = PA.CDPAIS)\n"                                                                              \
    "                 LEFT JOIN TIPOCONS TC ON\n"                                                                      \
    "        (CO.CDTIPOCONS = TC.CDTIPOCONS)"

namespace cadcons::sql {

// The fixed statement texts of the data service. Parameters are :NAME; a repeated name is one value.
extern const char* const adqMunicipio;
extern const char* const adqEstado;
extern const char* const adqPais;
extern const char* const adqBairro;
extern const char* const adqTipoCons;
extern const char* const adqTipoVendaMssql;
extern const char* const adqTipoVendaOracle;
extern const char* const adqTipoConsPadrao;
extern const char* const adqParaVend;
extern const char* const adqNomeCliente;
extern const char* const adqDadosConsMssql;
extern const char* const adqDadosConsOracle;
extern const char* const adqValidaCons;
extern const char* const adqValidaCPF;
extern const char* const adqValidaRG;
extern const char* const adqValidaIdent;
extern const char* const adqInfCEP;
extern const char* const adqVerificaConsumidor;
extern const char* const acmConsumidor;
extern const char* const acmUpdCpfConsumidor;

// Declared width in characters of a text column the statements return, 0 for others. Packets carry it
// whatever the driver reports, so every database kind answers alike (SQLite reports no widths).
int columnWidth(const QString& column);
// True for the long-text columns (the fingerprint templates), which packets carry as memos.
bool isLongText(const QString& column);

// The whole result of a statement as the service hands it over: names upper case as the shared database
// spells them, the declared widths, the long texts as memos.
DataPacket resultPacket(DataPacket packet);

} // namespace cadcons::sql
