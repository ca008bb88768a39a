#include "platform/data_packet.h"

namespace cadcons {

int DataPacket::fieldIndex(const QString& name) const {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::String:
        return QStringLiteral("string");
    case FieldType::WideString:
        return QStringLiteral("string.uni");
    case FieldType::Int8:
        return QStringLiteral("i1");
    case FieldType::Int16:
        return QStringLiteral("i2");
    case FieldType::Int32:
        return QStringLiteral("i4");
    case FieldType::Int64:
        return QStringLiteral("i8");
    case FieldType::UInt8:
        return QStringLiteral("ui1");
    case FieldType::UInt16:
        return QStringLiteral("ui2");
    case FieldType::UInt32:
        return QStringLiteral("ui4");
    case FieldType::Float:
    case FieldType::Money:
        return QStringLiteral("r8");
    case FieldType::Fixed:
        return QStringLiteral("fixed");
    case FieldType::Boolean:
        return QStringLiteral("boolean");
    case FieldType::Date:
        return QStringLiteral("date");
    case FieldType::Time:
        return QStringLiteral("time");
    case FieldType::DateTime:
        return QStringLiteral("dateTime");
    case FieldType::Memo:
        return QStringLiteral("bin.hex");
    }
    return QString();
}

} // namespace cadcons
