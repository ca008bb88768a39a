#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>
#include <string_view>

// The consumer table CONSUMIDOR, described once: the save's bindings, the widths, the
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
    const char* literal;                // for Literal: the insert's fixed value
};

namespace consumer_table_detail {

using G = GravaConsumidor;
using S = Saved;

// A column the save writes from the argument `member` of its call.
constexpr ConsumerColumn arg(const char* name, int width, QString G::*member, S saved = S::Text) {
    return {name, width, false, false, false, saved, member, nullptr};
}
constexpr ConsumerColumn key(const char* name, int width, QString G::*member) {
    return {name, width, false, false, true, S::Text, member, nullptr};
}
constexpr ConsumerColumn secret(const char* name, int width, QString G::*member, bool longText = false) {
    return {name, width, longText, true, false, S::Text, member, nullptr};
}
constexpr ConsumerColumn computed(const char* name, int width, S saved) {
    return {name, width, false, false, false, saved, nullptr, nullptr};
}
constexpr ConsumerColumn fixed(const char* name, const char* literal, int width) {
    return {name, width, false, false, false, S::Literal, nullptr, literal};
}

inline constexpr ConsumerColumn kColumns[] = {
    key("CDCLIENTE", 21, &G::cdCliente),
    key("CDCONSUMIDOR", 21, &G::cdConsumidor),
    arg("NMCONSUMIDOR", 50, &G::nmConsumidor),
    fixed("IDSITCONSUMI", "'1'", 1),
    arg("CDIDCONSUMID", 21, &G::cdIdConsumid),
    arg("CDEXCONSUMID", 21, &G::cdExConsumid),
    arg("CDCCUSCLIE", 10, &G::cdCcusClie),
    arg("CDTIPOCONS", 2, &G::cdTipoCons),
    arg("NRRGCONSUMID", 20, &G::nrRgConsumid),
    arg("NRCPFRESPCON", 11, &G::nrCpfRespCon),
    arg("NRTELECONS", 25, &G::nrTeleCons),
    arg("NRTELE2CONS", 25, &G::nrTele2Cons),
    arg("NRCELULARCONS", 25, &G::nrCelularCons),
    arg("DSENDECONS", 50, &G::dsEndeCons),
    arg("NRENDECONS", 10, &G::nrEndeCons),
    arg("NMBAIRCONS", 30, &G::nmBairCons),
    arg("CDPAIS", 4, &G::cdPais),
    arg("SGESTADO", 2, &G::sgEstado),
    arg("CDMUNICIPIO", 4, &G::cdMunicipio),
    arg("NRCEPCONS", 15, &G::nrCepCons),
    arg("DSEMAILCONS", 50, &G::dsEmailCons),
    arg("IDSEXOCONS", 1, &G::idSexoCons),
    arg("DTNASCCONS", 0, &G::dtNascCons, S::BirthDate),
    secret("DIGICONSUMIDOR", 0, &G::digital, true),
    secret("DIGICONSUMIDOR2", 0, &G::digital2, true),
    secret("CDSENHACONS", 40, &G::cdSenhaCons),
    secret("CDSENHASITE", 250, &G::cdSenhaSite),
    arg("NMLOGINCONS", 200, &G::nmLoginCons),
    secret("CDSENHACONSMD5", 200, &G::cdSenhaConsMd5),
    secret("CDSENHAPOSMD5", 200, &G::cdSenhaPosMd5),
    arg("IDIMPCPFCUPOM", 1, &G::idImpCpfCupom),
    arg("IDCADCONFLIBCON", 1, &G::idCadConfLibCon),
    arg("IDATUCPFCONS", 1, &G::idAtuCpfCons),
    arg("IDVERSALDCON", 1, &G::idVerSaldCon),
    arg("IDTPVENDACONS", 1, &G::idTpVendaCons, S::SaleKind),
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
