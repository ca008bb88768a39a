#include "service/consumer_table.h"

#include <array>
#include <cstring>

namespace cadcons {

namespace {

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
constexpr ConsumerColumn fixed(const char* name, const char* literal, int width = 0) {
    return {name, width, false, false, false, S::Literal, nullptr, 0, literal};
}

constexpr ConsumerColumn kColumns[] = {
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
    fixed("IDCONSUMIDOR", "'C'"),
    fixed("NRRAMAL1CONS", "NULL"),
    fixed("NRRAMAL2CONS", "NULL"),
    fixed("NRFAXCONS", "NULL"),
    fixed("NRCTACORCONS", "NULL"),
    fixed("CDVENDEDOR", "NULL"),
    fixed("NMRESPCONS", "NULL"),
    fixed("DSINFOCONS", "NULL"),
};

// The save's call order: the columns' arguments where the table puts them, and the four arguments
// that steer the save rather than fill a column.
consteval std::array<QString G::*, G::kArgumentCount> callOrder() {
    std::array<QString G::*, G::kArgumentCount> order{};
    order[10] = &G::stProcessamento;
    order[11] = &G::operacao;
    order[12] = &G::cdFilial;
    order[13] = &G::dsDirCad;
    for (const ConsumerColumn& column : kColumns) {
        if (!column.argument)
            continue;
        if (column.argumentNumber < 1 || column.argumentNumber > G::kArgumentCount || order[column.argumentNumber - 1])
            throw "a save argument taken twice or out of range";
        order[column.argumentNumber - 1] = column.argument;
    }
    for (QString G::*member : order)
        if (!member)
            throw "a save argument without a place";
    return order;
}

constexpr std::array<QString G::*, G::kArgumentCount> kCallOrder = callOrder();

} // namespace

const std::array<QString G::*, G::kArgumentCount> GravaConsumidor::kArguments = kCallOrder;

std::span<const ConsumerColumn> consumerTable() {
    return kColumns;
}

const ConsumerColumn* consumerColumn(QStringView name) {
    for (const ConsumerColumn& column : kColumns)
        if (name.compare(QLatin1String(column.name), Qt::CaseInsensitive) == 0)
            return &column;
    return nullptr;
}

bool isUnused(const ConsumerColumn& column) {
    return column.saved == Saved::Literal && std::strcmp(column.literal, "NULL") == 0;
}

} // namespace cadcons
