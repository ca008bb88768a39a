#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>

// The consumer table CONSUMIDOR, described once: the save's bindings and call order, the widths, the
// secrets, the seeded and published columns follow from it. The statement texts stay fixed texts, as
// the shared database's other programs run them; a test holds them to this table.
namespace cadcons {

// How the local save (insert and update alike) writes a column.
enum class Saved {
    Text,      // :NAME, the save argument as text
    BirthDate, // :NAME, the birth-date argument as a date-time, NULL when empty
    SaleKind,  // :NAME, the sale-kind argument; an insert without one writes "7"
    SaveTime,  // :NAME, the moment of the save
    Marker,    // :NAME, the publication marker the save works out ("I", "S" or "A")
    Literal,   // the insert writes `literal`; the update leaves the column as it is
};

struct ConsumerColumn {
    const char* name;
    int width;                          // declared text width that packets carry; 0 when none is declared
    bool longText;                      // carried as a memo (the fingerprint templates)
    bool secret;                        // never shown in a log, a message or the branch's file
    bool key;                           // the update's WHERE, not its SET
    Saved saved;                        // how the local save writes it
    QString GravaConsumidor::*argument; // the save argument, for Text, BirthDate and SaleKind
    int argumentNumber;                 // 1-based position of that argument in the save's call
    const char* literal;                // for Literal: the insert's fixed value
};

// Every column, in table order (the central statements list them in this order).
std::span<const ConsumerColumn> consumerTable();
// The column so named, case-insensitively; nullptr for a column of another table.
const ConsumerColumn* consumerColumn(QStringView name);

// Whether a column holds a date-time (the birth date, the time of the save).
constexpr bool isDateTime(const ConsumerColumn& column) {
    return column.saved == Saved::BirthDate || column.saved == Saved::SaveTime;
}
// The insert's NULL columns, which nothing of this program writes.
bool isUnused(const ConsumerColumn& column);

// Names of the columns that match `keep`, in table order.
template <typename Predicate> QStringList consumerColumnNames(Predicate keep) {
    QStringList names;
    for (const ConsumerColumn& column : consumerTable())
        if (keep(column))
            names.append(QLatin1String(column.name));
    return names;
}

} // namespace cadcons
