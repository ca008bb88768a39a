#pragma once

#include "platform/data_packet.h"
#include "platform/filter.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>

namespace cadcons {

// Display settings of a persistent field: what a search list shows for it.
struct FieldDisplay {
    QString label; // display label; the field name when empty
    int width = 0; // display width in characters; the field's width when 0
    bool visible = true;
};

// An in-memory table on the form side: holds one packet, can be filtered by a filter text and is
// read at its current row. Reads through a missing field throw std::runtime_error naming the field
// and the dataset, as a missing persistent field would.
class ClientDataSet {
public:
    using GetText = std::function<QString(const ClientDataSet&, const QString& raw)>;

    explicit ClientDataSet(QString name = {});

    const QString& name() const { return name_; }

    // Loads a packet and opens the dataset on its first visible row. Throws std::invalid_argument when
    // a row does not hold one value per field, and FilterError when the filter is on and names a
    // column the packet lacks; the dataset then stays as it was.
    void setData(DataPacket packet);
    // Loads a packet file; throws PacketFileError.
    void loadFromFile(const QString& path);
    // Empties and closes the dataset; filter and display settings stay.
    void close();
    bool active() const { return active_; }
    const DataPacket& data() const { return packet_; }

    // Rows that pass the filter (all rows while the filter is off).
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    void first();
    void next();
    bool eof() const;
    // 0-based position among the visible rows, -1 when there is none.
    int recNo() const { return current_; }
    // Throws std::out_of_range when there is no such visible row.
    void setRecNo(int visibleIndex);
    // Moves to the first visible row whose field equals `value` exactly (as text). Stays put and
    // returns false when there is none.
    bool locate(const QString& field, const QString& value);

    // Filter text and switch. Switching on (or changing the text while on) parses the text and
    // throws FilterError on a malformed one, leaving the previous state in place.
    void setFilter(const QString& text);
    const QString& filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Field reads on a closed dataset throw like reads of a missing field.
    bool hasField(const QString& field) const;
    QVariant value(const QString& field) const;
    QString asString(const QString& field) const;
    QDateTime asDateTime(const QString& field) const;
    bool asBoolean(const QString& field) const;
    // The text a list shows: the GetText handler's answer when one is set, else the value as text.
    QString displayText(const QString& field) const;

    void setDisplay(const QString& field, FieldDisplay display);
    FieldDisplay display(const QString& field) const;
    void setGetText(const QString& field, GetText handler);

    // Indexes into data().rows of the visible rows, in order.
    const QList<int>& visibleRows() const { return visible_; }

private:
    int columnOf(const QString& field) const;
    const QVariantList* currentRow() const;
    void applyFilter(const QList<FilterTerm>& terms, bool on, const QString& text);
    QList<int> filterColumns(const DataPacket& packet, const QList<FilterTerm>& terms, const QString& text) const;
    QString describe() const;

    QString name_;
    DataPacket packet_;
    bool active_ = false;
    QString filterText_;
    bool filtered_ = false;
    QList<int> visible_;
    int current_ = -1;
    bool eof_ = false;                      // a next() ran past the last visible row
    QHash<QString, FieldDisplay> displays_; // keyed by upper-case field name
    QHash<QString, GetText> getTexts_;
};

// Switches a dataset's filter off when it goes out of scope, also when a look-up fails half-way, so no
// later reader of the list sees it cut down.
class FilterOff {
public:
    explicit FilterOff(ClientDataSet& ds)
        : ds_(ds) {}
    ~FilterOff() { ds_.setFiltered(false); }
    FilterOff(const FilterOff&) = delete;
    FilterOff& operator=(const FilterOff&) = delete;

private:
    ClientDataSet& ds_;
};

// Text of a packet value as a dataset field shows it: dates as dd/MM/yyyy, date-times as
// dd/MM/yyyy hh:mm:ss (time left out at midnight), Booleans as "True"/"False", null as "".
QString valueText(const QVariant& value, FieldType type);

} // namespace cadcons
