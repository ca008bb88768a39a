#pragma once

// Filters and reads of the form's lists, the pieces RegistrationLists builds its operations from; the keys
// use them too.

#include "platform/client_data_set.h"

#include <QString>

namespace cadcons::lookup {

// Two filter terms that must both hold.
inline QString both(const QString& a, const QString& b) {
    return a + QStringLiteral(" AND ") + b;
}

inline QString column(const ClientDataSet& ds, const char* name) {
    return ds.asString(QLatin1String(name));
}

// Restricts `ds` to `filter` afresh: the old filter goes off first, so the new one is judged on the
// whole list.
inline void restrict(ClientDataSet& ds, const QString& filter) {
    ds.setFiltered(false);
    ds.setFilter(filter);
    ds.setFiltered(true);
}

// Filters `ds` by `filter`; true with the dataset on the first matching row (or the current one, when
// it matches).
inline bool filteredFind(ClientDataSet& ds, const QString& filter) {
    ds.setFilter(filter);
    ds.setFiltered(true);
    return !ds.isEmpty();
}

} // namespace cadcons::lookup
