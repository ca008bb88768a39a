#pragma once

#include <QList>
#include <QString>
#include <stdexcept>

namespace cadcons {

class FilterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One term of a filter text: COLUMN = 'value'.
struct FilterTerm {
    QString column;
    QString value;
    bool operator==(const FilterTerm&) const = default;
};

// Parses `COLUMN = 'value' AND COLUMN = 'value' ...`. Blanks around "=", "AND" and the quotes are
// optional; a quote inside a value is written doubled. An empty or blank text has no terms.
// Throws FilterError with a text that quotes the filter when it is malformed.
QList<FilterTerm> parseFilter(const QString& text);

// The value between apostrophes, with its own apostrophes doubled: every filter built from a value
// must go through this.
QString quoteFilterValue(const QString& value);

// "COLUMN = 'value'" with the value quoted.
QString filterTerm(const QString& column, const QString& value);

} // namespace cadcons
