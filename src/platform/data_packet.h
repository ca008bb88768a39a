#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace cadcons {

// Column types a packet carries. They follow the field types of the XML data-packet files so that a
// packet read from a file is written back with the same types.
enum class FieldType {
    String,     // "string", width in characters
    WideString, // "string.uni"
    Int8,       // "i1"
    Int16,      // "i2"
    Int32,      // "i4"
    Int64,      // "i8"
    UInt8,      // "ui1"
    UInt16,     // "ui2"
    UInt32,     // "ui4"
    Float,      // "r8"
    Money,      // "r8" with SUBTYPE="Money"
    Fixed,      // "fixed"; values are held as doubles
    Boolean,    // "boolean"
    Date,       // "date"
    Time,       // "time"
    DateTime,   // "dateTime"
    Memo,       // "bin.hex" with SUBTYPE="Text"
};

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int width = 0; // characters for strings; 0 where it does not apply
    int decimals = 0;
    bool required = false;

    bool operator==(const FieldDef&) const = default;
};

// The whole result of one statement: field definitions, then every row. A row holds one QVariant per
// field, in field order; a null QVariant is a null value. Strings are QString, integers qint64, floats
// double, Booleans bool, dates QDate, times QTime, date-times QDateTime, memos QString.
struct DataPacket {
    QList<FieldDef> fields;
    QList<QVariantList> rows;

    // Index of the field named `name` (compared without regard to case), or -1.
    int fieldIndex(const QString& name) const;
    bool operator==(const DataPacket&) const = default;
};

// Text of a field type as the packet files write it ("string", "i4", "dateTime", ...).
QString fieldTypeName(FieldType type);

} // namespace cadcons
