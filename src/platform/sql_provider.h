#pragma once

#include "platform/data_packet.h"

#include <QSet>
#include <QString>

class QSqlQuery;

namespace cadcons {

// Turns the whole result of an executed query into a packet: field definitions from the record,
// then every row from the current position on. Date-time columns stay date-times, decimals come as
// floats, integers as qint64. The query is finished afterwards, also when reading fails. Throws
// std::runtime_error when the driver fails while fetching.
DataPacket packetFromQuery(QSqlQuery& query);

// As above, with the columns named in `dateTimeColumns` (compared without regard to case) made
// date-times whatever the driver reports: SQLite hands date-times back as text. Such a text must be
// "yyyy-MM-dd", "yyyy-MM-ddThh:mm:ss[.zzz]" or "yyyy-MM-dd hh:mm:ss[.zzz]"; an empty text is null,
// anything else throws std::runtime_error naming the column.
DataPacket packetFromQuery(QSqlQuery& query, const QSet<QString>& dateTimeColumns);

} // namespace cadcons
