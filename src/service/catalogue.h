#pragma once

#include "data_packet.h"

#include <QSet>
#include <QString>

class QSqlQuery;

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

// The whole result of an executed statement as a packet: names upper case as the shared database spells
// them, the declared widths, the long texts as memos. `dateTimeColumns` as for packetFromQuery.
DataPacket resultPacket(QSqlQuery& query, const QSet<QString>& dateTimeColumns = {});

} // namespace cadcons::sql
