#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>
#include <string_view>

// The consumer table CONSUMIDOR, described once: the save's bindings and call order, the widths, the
// secrets, the seeded and published columns follow from it, and so do the record statement's secrets
// and the updates' SET lists (catalogue.h). The schema scripts under db/ declare the same widths, and
// the inserts and the central selects stay fixed texts, as the shared database's other programs run
// them; tests hold both to this table.
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

namespace consumer_table_detail {

using G = GravaConsumidor;
using S = Saved;

// A column the save writes from argument `number` of its call.
constexpr ConsumerColumn arg(const char* name, int width, QString G::*member, int number, S saved = S::Text) {
    return {name, width, false, false, false, saved, member, number, nullptr};
}
constexpr ConsumerColumn key(const char* name, int width, QString G::*member, int number) {
    return {name, width, false, false, true, S::Text, member, number, nullptr};
}
constexpr ConsumerColumn secret(const char* name, int width, QString G::*member, int number, bool longText = false) {
    return {name, width, longText, true, false, S::Text, member, number, nullptr};
}
constexpr ConsumerColumn computed(const char* name, int width, S saved) {
    return {name, width, false, false, false, saved, nullptr, 0, nullptr};
}
constexpr ConsumerColumn fixed(const char* name, const char* literal, int width) {
    return {name, width, false, false, false, S::Literal, nullptr, 0, literal};
}

inline constexpr ConsumerColumn kColumns[] = {
    key("CDCLIENTE", 21, &G::cdCliente, 1),
    key("CDCONSUMIDOR", 21, &G::cdConsumidor, 3),
    arg("NMCONSUMIDOR", 50, &G::nmConsumidor, 2),
    fixed("IDSITCONSUMI", "'1'", 1),
    arg("CDIDCONSUMID", 21, &G::cdIdConsumid, 4),
    arg("CDEXCONSUMID", 21, &G::cdExConsumid, 28),
    arg("CDCCUSCLIE", 10, &G::cdCcusClie, 5),
    arg("CDTIPOCONS", 2, &G::cdTipoCons, 6),
    arg("NRRGCONSUMID", 20, &G::nrRgConsumid, 7),
    arg("NRCPFRESPCON", 11, &G::nrCpfRespCon, 8),
    arg("NRTELECONS", 25, &G::nrTeleCons, 9),
    arg("NRTELE2CONS", 25, &G::nrTele2Cons, 10),
    arg("NRCELULARCONS", 25, &G::nrCelularCons, 25),
    arg("DSENDECONS", 50, &G::dsEndeCons, 18),
    arg("NRENDECONS", 10, &G::nrEndeCons, 19),
    arg("NMBAIRCONS", 30, &G::nmBairCons, 20),
    arg("CDPAIS", 4, &G::cdPais, 15),
    arg("SGESTADO", 2, &G::sgEstado, 16),
    arg("CDMUNICIPIO", 4, &G::cdMunicipio, 17),
    arg("NRCEPCONS", 15, &G::nrCepCons, 21),
    arg("DSEMAILCONS", 50, &G::dsEmailCons, 22),
    arg("IDSEXOCONS", 1, &G::idSexoCons, 23),
    arg("DTNASCCONS", 0, &G::dtNascCons, 24, S::BirthDate),
    secret("DIGICONSUMIDOR", 0, &G::digital, 26, true),
    secret("DIGICONSUMIDOR2", 0, &G::digital2, 27, true),
    secret("CDSENHACONS", 40, &G::cdSenhaCons, 29),
    secret("CDSENHASITE", 250, &G::cdSenhaSite, 30),
    arg("NMLOGINCONS", 200, &G::nmLoginCons, 31),
    secret("CDSENHACONSMD5", 200, &G::cdSenhaConsMd5, 37),
    secret("CDSENHAPOSMD5", 200, &G::cdSenhaPosMd5, 38),
    arg("IDIMPCPFCUPOM", 1, &G::idImpCpfCupom, 32),
    arg("IDCADCONFLIBCON", 1, &G::idCadConfLibCon, 33),
    arg("IDATUCPFCONS", 1, &G::idAtuCpfCons, 34),
    arg("IDVERSALDCON", 1, &G::idVerSaldCon, 35),
    arg("IDTPVENDACONS", 1, &G::idTpVendaCons, 36, S::SaleKind),
    computed("DTULTATUCSUM", 0, S::SaveTime),
    computed("IDATUCONSUMI", 1, S::Marker),
    fixed("IDCONSUMIDOR", "'C'", 1),
    fixed("NRRAMAL1CONS", "NULL", 10),
    fixed("NRRAMAL2CONS", "NULL", 10),
    fixed("NRFAXCONS", "NULL", 10),
    fixed("NRCTACORCONS", "NULL", 20),
    fixed("CDVENDEDOR", "NULL", 4),
    fixed("NMRESPCONS", "NULL", 50),
    fixed("DSINFOCONS", "NULL", 255),
};

} // namespace consumer_table_detail

// Every column, in table order (the central statements list them in this order). Constant, so that
// statement texts can be put together from it at compile time.
constexpr std::span<const ConsumerColumn> consumerTable() {
    return consumer_table_detail::kColumns;
}

// The column so named, case-insensitively; nullptr for a column of another table.
const ConsumerColumn* consumerColumn(QStringView name);
// The column so named exactly, for texts put together at compile time; nullptr for another table's.
constexpr const ConsumerColumn* consumerColumnNamed(std::string_view name) {
    for (const ConsumerColumn& column : consumerTable())
        if (name == column.name)
            return &column;
    return nullptr;
}

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
