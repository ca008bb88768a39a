#include "service/consumer_table.h"

#include <cstring>

namespace cadcons {

namespace {

// Every column's argument is one of the save's call.
consteval bool argumentsAreInTheCall() {
    for (const ConsumerColumn& column : consumerTable()) {
        bool found = !column.argument;
        for (const SaveArgument& argument : kSaveArguments)
            found = found || argument.member == column.argument;
        if (!found)
            return false;
    }
    return true;
}
static_assert(argumentsAreInTheCall(), "a column's save argument is not in the save's call");

} // namespace

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
