#pragma once

#include "platform/data_packet.h"
#include "service/consumer_table.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

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

// Writes a statement text, or only counts its characters when it has nowhere to write.
class TextWriter {
public:
    constexpr TextWriter() = default;
    constexpr explicit TextWriter(char* out)
        : out_(out) {}
    constexpr TextWriter& operator<<(std::string_view piece) {
        for (const char c : piece) {
            if (out_)
                out_[size_] = c;
            ++size_;
        }
        return *this;
    }
    // `piece`, then spaces up to `width` characters.
    constexpr TextWriter& padded(std::string_view piece, std::size_t width) {
        *this << piece;
        for (std::size_t n = piece.size(); n < width; ++n)
            *this << " ";
        return *this;
    }
    constexpr std::size_t size() const { return size_; }

private:
    char* out_ = nullptr;
    std::size_t size_ = 0;
};

// The text `write` puts together, zero-terminated, built at compile time: a statement written from the
// descriptions is a constant like a written one, there before any code runs.
template <void (*write)(TextWriter&)>
inline constexpr auto builtText = [] {
    constexpr std::size_t size = [] {
        TextWriter counter;
        write(counter);
        return counter.size();
    }();
    std::array<char, size + 1> text{};
    TextWriter writer(text.data());
    write(writer);
    return text;
}();

// The consumer record's columns, in the order its statement returns them, one line of its text each.
// The record statement of the data service and the branch's consumer file are written from this list.
inline constexpr std::string_view kConsumerRecordLines[] = {
    "CO.CDCONSUMIDOR, CO.NMCONSUMIDOR, CO.NRRGCONSUMID, CO.NRCPFRESPCON, CO.DSENDECONS",
    "CO.NMBAIRCONS, CO.CDPAIS, PA.NMPAIS, CO.SGESTADO, CO.CDMUNICIPIO, MU.NMMUNICIPIO",
    "CO.NRCEPCONS, CO.NRTELECONS, CO.NRTELE2CONS, CO.CDCLIENTE, CO.IDSEXOCONS",
    "CO.DTNASCCONS, CO.DSEMAILCONS, CO.CDIDCONSUMID, CO.CDEXCONSUMID, CO.NRCELULARCONS",
    "CO.CDTIPOCONS, TC.NMTIPOCONS, CO.NRENDECONS, CO.NMLOGINCONS, CO.CDSENHASITE, CO.CDSENHACONS",
    "CO.IDVERSALDCON, CO.IDIMPCPFCUPOM, CO.IDCADCONFLIBCON, CO.IDATUCPFCONS, CO.IDTPVENDACONS",
    "CO.DIGICONSUMIDOR, CO.DIGICONSUMIDOR2, CO.CDSENHACONSMD5, CO.CDSENHAPOSMD5",
};

// Whether a column of the record holds a secret of the consumer. A consumer column the table does not
// describe stops the build.
constexpr bool isSecretRecordColumn(std::string_view column) {
    if (!column.starts_with("CO."))
        return false;
    const ConsumerColumn* described = consumerColumnNamed(column.substr(3));
    if (!described)
        throw "a record column the consumer table does not describe";
    return described->secret;
}

// The record's column list as its statements write it; without the secret columns unless `secrets`.
constexpr void writeConsumerRecordColumns(TextWriter& out, bool secrets) {
    bool written = false;
    for (std::string_view line : kConsumerRecordLines) {
        bool lineOpen = false;
        while (!line.empty()) {
            const std::size_t end = std::min(line.find(", "), line.size());
            const std::string_view column = line.substr(0, end);
            line.remove_prefix(std::min(end + 2, line.size()));
            if (isSecretRecordColumn(column) && !secrets)
                continue;
            out << (lineOpen ? ", " : written ? ",\n   " : "   ") << column;
            lineOpen = written = true;
        }
    }
}

// Which update of a consumer: the local save sets the columns it writes, the key aside; the central
// copy takes every column but the key, and the mark of a published consumer ("S").
enum class ConsumerUpdate { Local, Central };

// The update's SET list, "NAME = :NAME" one a line in table order, names padded to `pad` characters.
constexpr void writeConsumerSetList(TextWriter& out, ConsumerUpdate update, std::size_t pad) {
    const bool central = update == ConsumerUpdate::Central;
    bool first = true;
    for (const ConsumerColumn& column : consumerTable()) {
        if (column.key || (!central && column.saved == Saved::Literal))
            continue;
        out << (first ? "   SET " : ",\n       ");
        out.padded(column.name, pad) << " = ";
        if (central && column.saved == Saved::Marker)
            out << "'S'";
        else if (column.saved == Saved::Marker) // a consumer not yet published stays so; any other is changed
            out << "CASE WHEN " << column.name << " = 'I' THEN 'I' ELSE 'A' END";
        else
            out << ":" << column.name;
        first = false;
    }
    out << "\n";
}

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
