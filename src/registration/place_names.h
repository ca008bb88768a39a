#pragma once

#include "platform/client_data_set.h"

#include <QString>

// Place names from outside (the postal-code service, the operator) against the address lists. A chain's
// lists may hold a name cut to its column, with or without accents and in any case, so names are
// compared by key, not as texts.
namespace cadcons::lookup {

// The name without accents, upper case, its blanks trimmed and collapsed; with a positive `width`, no
// longer than a column of that many characters keeps it.
QString placeKey(const QString& name, int width = 0);

// Moves `ds` to the first visible row whose `column` names the place `name`: one holding the very text
// if there is one, else one with the same key within the column's width. Returns false and stays put
// when no row does, or when `name` is blank.
bool locatePlace(ClientDataSet& ds, const QString& column, const QString& name);

// `text` cut to the width of the consumer column `column`, without the blanks a cut leaves at its end.
QString fitToColumn(const QString& text, const QString& column);

} // namespace cadcons::lookup
