#include "service/consumer_table.h"

#include <array>
#include <cstring>

namespace cadcons {

namespace {

using G = GravaConsumidor;

// The save's call order: the columns' arguments where the table puts them, and the four arguments
// that steer the save rather than fill a column.
consteval std::array<QString G::*, G::kArgumentCount> callOrder() {
    std::array<QString G::*, G::kArgumentCount> order{};
    order[10] = &G::stProcessamento;
    order[11] = &G::operacao;
    order[12] = &G::cdFilial;
    order[13] = &G::dsDirCad;
    for (const ConsumerColumn& column : consumerTable()) {
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

const ConsumerColumn* consumerColumn(QStringView name) {
    for (const ConsumerColumn& column : consumerTable())
        if (name.compare(QLatin1String(column.name), Qt::CaseInsensitive) == 0)
            return &column;
    return nullptr;
}

bool isUnused(const ConsumerColumn& column) {
    return column.saved == Saved::Literal && std::strcmp(column.literal, "NULL") == 0;
}

} // namespace cadcons
