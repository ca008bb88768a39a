#include "platform/client_data_set.h"

#include "platform/packet_file.h"
#include "platform/text.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace cadcons {

namespace {

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

bool isTextType(FieldType type) {
    return type == FieldType::String || type == FieldType::WideString || type == FieldType::Memo;
}

// Filtering runs once per row and term over lists of tens of thousands of rows: string cells are compared
// in place, and the variant's type is read inline. The type interface that stands for QString is learnt
// from the first string cell (a shared library may hold its own copy of it); any other cell goes the slow
// way, through its text.
class CellMatcher {
public:
    bool equals(const QVariant& cell, FieldType type, const QString& value) {
        if (isTextType(type)) {
            if (const QString* s = stringIn(cell))
                return s->size() == value.size() &&
                       std::equal(s->constData(), s->constData() + s->size(), value.constData());
        }
        return valueText(cell, type) == value;
    }

private:
    const QString* stringIn(const QVariant& cell) {
        const QVariant::Private& d = cell.data_ptr();
        if (d.is_null)
            return nullptr;
        if (d.typeInterface() != stringType_) {
            if (cell.metaType().id() != QMetaType::QString || cell.isNull())
                return nullptr;
            stringType_ = d.typeInterface();
        }
        return static_cast<const QString*>(cell.constData());
    }

    const QtPrivate::QMetaTypeInterface* stringType_ = nullptr;
};

} // namespace

ClientDataSet::ClientDataSet(QString name)
    : name_(std::move(name)) {}

QString ClientDataSet::describe() const {
    return name_.isEmpty() ? QStringLiteral("(unnamed dataset)") : QStringLiteral("dataset \"%1\"").arg(name_);
}

void ClientDataSet::setData(DataPacket packet) {
    const qsizetype width = packet.fields.size();
    for (qsizetype i = 0; i < packet.rows.size(); ++i) {
        if (std::as_const(packet.rows)[i].size() != width) {
            throw std::invalid_argument(QStringLiteral("Cannot load %1: row %2 has %3 values for %4 fields")
                                            .arg(describe(), QString::number(i + 1),
                                                 QString::number(std::as_const(packet.rows)[i].size()),
                                                 QString::number(width))
                                            .toStdString());
        }
    }
    QList<FilterTerm> terms;
    if (filtered_) {
        // A filter that cannot apply to the new packet refuses the packet, keeping the old one.
        terms = parseFilter(filterText_);
        filterColumns(packet, terms, filterText_);
    }
    packet_ = std::move(packet);
    active_ = true;
    current_ = -1;
    applyFilter(terms, filtered_, filterText_);
}

void ClientDataSet::loadFromFile(const QString& path) {
    setData(readPacketFile(path));
}

void ClientDataSet::close() {
    packet_ = DataPacket();
    active_ = false;
    visible_.clear();
    current_ = -1;
    eof_ = false;
}

int ClientDataSet::recordCount() const {
    return static_cast<int>(visible_.size());
}

void ClientDataSet::first() {
    current_ = visible_.isEmpty() ? -1 : 0;
    eof_ = visible_.isEmpty();
}

void ClientDataSet::next() {
    if (visible_.isEmpty())
        return;
    if (current_ + 1 < visible_.size())
        ++current_;
    else
        eof_ = true;
}

bool ClientDataSet::eof() const {
    return visible_.isEmpty() || eof_;
}

void ClientDataSet::setRecNo(int visibleIndex) {
    if (visibleIndex < 0 || visibleIndex >= visible_.size()) {
        throw std::out_of_range(QStringLiteral("%1 has no visible row %2 (it shows %3)")
                                    .arg(describe(), QString::number(visibleIndex), QString::number(visible_.size()))
                                    .toStdString());
    }
    current_ = visibleIndex;
    eof_ = false;
}

bool ClientDataSet::locate(const QString& field, const QString& value) {
    const int col = columnOf(field);
    const FieldType type = packet_.fields[col].type;
    CellMatcher matcher;
    for (qsizetype i = 0; i < visible_.size(); ++i) {
        if (matcher.equals(std::as_const(packet_.rows)[visible_[i]][col], type, value)) {
            current_ = static_cast<int>(i);
            eof_ = false;
            return true;
        }
    }
    return false;
}

void ClientDataSet::setFilter(const QString& text) {
    if (filtered_)
        applyFilter(parseFilter(text), true, text);
    filterText_ = text;
}

void ClientDataSet::setFiltered(bool on) {
    applyFilter(on ? parseFilter(filterText_) : QList<FilterTerm>(), on, filterText_);
    filtered_ = on;
}

QList<int> ClientDataSet::filterColumns(const DataPacket& packet, const QList<FilterTerm>& terms,
                                        const QString& text) const {
    QList<int> columns;
    columns.reserve(terms.size());
    for (const FilterTerm& term : terms) {
        const int col = packet.fieldIndex(term.column);
        if (col < 0) {
            throw FilterError(QStringLiteral("Invalid filter \"%1\": %2 has no column %3")
                                  .arg(text.left(500), describe(), term.column)
                                  .toStdString());
        }
        columns.append(col);
    }
    return columns;
}

// Validates before touching any state, so a failing filter leaves the dataset as it was.
void ClientDataSet::applyFilter(const QList<FilterTerm>& terms, bool on, const QString& text) {
    QList<int> visible;
    if (active_ && (!on || terms.isEmpty())) {
        visible.resize(packet_.rows.size());
        std::iota(visible.begin(), visible.end(), 0);
    } else if (active_) {
        const QList<int> columns = filterColumns(packet_, terms, text);
        QList<FieldType> types;
        for (const int col : columns)
            types.append(packet_.fields[col].type);
        CellMatcher matcher;
        // The terms are tried most selective first, as judged on the first rows: "country AND state AND
        // city" then reads every row's state and the city only where the state matched. The order cannot
        // change which rows pass, only how many cells are read.
        QList<qsizetype> order(columns.size());
        std::iota(order.begin(), order.end(), 0);
        if (columns.size() > 1) {
            QList<int> hits(columns.size(), 0);
            const qsizetype sample = std::min<qsizetype>(packet_.rows.size(), 512);
            for (qsizetype r = 0; r < sample; ++r) {
                for (qsizetype t = 0; t < columns.size(); ++t)
                    hits[t] += matcher.equals(std::as_const(packet_.rows)[r][columns[t]], types[t], terms[t].value);
            }
            std::stable_sort(order.begin(), order.end(),
                             [&hits](qsizetype a, qsizetype b) { return hits[a] < hits[b]; });
        }
        for (qsizetype r = 0; r < packet_.rows.size(); ++r) {
            const QVariantList& row = std::as_const(packet_.rows)[r];
            bool match = true;
            for (qsizetype i = 0; i < order.size() && match; ++i) {
                const qsizetype t = order[i];
                match = matcher.equals(row[columns[t]], types[t], terms[t].value);
            }
            if (match)
                visible.append(static_cast<int>(r));
        }
    }
    const int currentRowIndex = (current_ >= 0 && current_ < visible_.size()) ? visible_[current_] : -1;
    visible_ = std::move(visible);
    const auto kept = std::lower_bound(visible_.cbegin(), visible_.cend(), currentRowIndex);
    if (currentRowIndex >= 0 && kept != visible_.cend() && *kept == currentRowIndex)
        current_ = static_cast<int>(kept - visible_.cbegin());
    else
        current_ = visible_.isEmpty() ? -1 : 0;
    eof_ = visible_.isEmpty();
}

bool ClientDataSet::hasField(const QString& field) const {
    return active_ && packet_.fieldIndex(field) >= 0;
}

int ClientDataSet::columnOf(const QString& field) const {
    if (!active_)
        fail(QStringLiteral("Cannot read field \"%1\": %2 is not open").arg(field, describe()));
    const int col = packet_.fieldIndex(field);
    if (col < 0)
        fail(QStringLiteral("Field \"%1\" not found in %2").arg(field, describe()));
    return col;
}

const QVariantList* ClientDataSet::currentRow() const {
    if (current_ < 0 || current_ >= visible_.size())
        return nullptr;
    return &packet_.rows[visible_[current_]];
}

QVariant ClientDataSet::value(const QString& field) const {
    const int col = columnOf(field);
    const QVariantList* row = currentRow();
    return row ? row->at(col) : QVariant();
}

QString ClientDataSet::asString(const QString& field) const {
    const int col = columnOf(field);
    const QVariantList* row = currentRow();
    return row ? valueText(row->at(col), packet_.fields[col].type) : QString();
}

QDateTime ClientDataSet::asDateTime(const QString& field) const {
    const int col = columnOf(field);
    const QVariantList* row = currentRow();
    if (!row || row->at(col).isNull())
        return {};
    const QVariant& v = row->at(col);
    const FieldType type = packet_.fields[col].type;
    if (type == FieldType::DateTime)
        return v.toDateTime();
    if (type == FieldType::Date)
        return QDateTime(v.toDate(), QTime(0, 0));
    if (!isTextType(type))
        fail(QStringLiteral("Field \"%1\" of %2 is of type %3 and has no date-time value")
                 .arg(field, describe(), fieldTypeName(type)));
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return {};
    QDateTime dt = parseDateTimeText(text);
    if (!dt.isValid())
        fail(QStringLiteral("Field \"%1\" of %2 holds \"%3\", which is not a date-time")
                 .arg(field, describe(), text.left(100)));
    return dt;
}

bool ClientDataSet::asBoolean(const QString& field) const {
    const int col = columnOf(field);
    const QVariantList* row = currentRow();
    if (!row || row->at(col).isNull())
        return false;
    if (packet_.fields[col].type == FieldType::Boolean)
        return row->at(col).toBool();
    static const QStringList trueTexts = {QStringLiteral("TRUE"), QStringLiteral("True"), QStringLiteral("true"),
                                          QStringLiteral("S"), QStringLiteral("1")};
    return trueTexts.contains(valueText(row->at(col), packet_.fields[col].type));
}

QString ClientDataSet::displayText(const QString& field) const {
    const QString raw = asString(field);
    const auto it = getTexts_.constFind(field.toUpper());
    return it != getTexts_.cend() ? (*it)(*this, raw) : raw;
}

void ClientDataSet::setDisplay(const QString& field, FieldDisplay display) {
    displays_.emplace(field.toUpper(), std::move(display));
}

FieldDisplay ClientDataSet::display(const QString& field) const {
    FieldDisplay d = displays_.value(field.toUpper());
    const int col = packet_.fieldIndex(field);
    if (d.label.isEmpty())
        d.label = col >= 0 ? packet_.fields[col].name : field;
    if (d.width == 0 && col >= 0)
        d.width = packet_.fields[col].width;
    return d;
}

void ClientDataSet::setGetText(const QString& field, GetText handler) {
    if (handler)
        getTexts_.emplace(field.toUpper(), std::move(handler));
    else
        getTexts_.remove(field.toUpper());
}

QString valueText(const QVariant& value, FieldType type) {
    if (value.isNull())
        return {};
    switch (type) {
    case FieldType::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldType::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("dd/MM/yyyy")
                                                    : QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    }
    case FieldType::Time:
        return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case FieldType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Float:
    case FieldType::Money:
    case FieldType::Fixed:
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

} // namespace cadcons
