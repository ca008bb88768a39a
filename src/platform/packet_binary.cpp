// The binary form of a packet, for the program's own files (the till's kept lists).

#include "platform/packet_file.h"

#include <QDataStream>
#include <QDate>
#include <QIODevice>
#include <QTime>
#include <algorithm>
#include <cstring>

namespace cadcons {

namespace {

[[noreturn]] void fileError(const QString& source, const QString& problem) {
    throw PacketFileError(QStringLiteral("Packet file \"%1\": %2").arg(source, problem).toStdString());
}

// The binary form: "CDPK", a format number, the fields, then rows of tagged values.
constexpr char kBinaryMagic[4] = {'C', 'D', 'P', 'K'};
constexpr quint8 kBinaryFormat = 1;

enum Tag : quint8 {
    TagNull,
    TagLatin1, // a text whose characters all fit in one byte
    TagUtf16,
    TagInt64,
    TagInt32,
    TagDouble,
    TagBool,
    TagDate,   // Julian day
    TagTime,   // milliseconds since midnight
    TagOther,  // anything else, through QDataStream
    TagRepeat, // the value of the row before in the same field, shared rather than copied
};

class BinaryWriter {
public:
    void raw(const void* data, qsizetype size) { out_.append(static_cast<const char*>(data), size); }
    template <typename T> void number(T value) { raw(&value, sizeof value); }
    void text(const QString& value) {
        const bool narrow = std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x100; });
        number<quint8>(narrow ? TagLatin1 : TagUtf16);
        number<qint32>(qint32(value.size()));
        if (narrow)
            out_.append(value.toLatin1());
        else
            raw(value.constData(), value.size() * qsizetype(sizeof(QChar)));
    }
    void value(const QVariant& v) {
        if (v.isNull())
            return number<quint8>(TagNull);
        switch (v.metaType().id()) {
        case QMetaType::QString:
            return text(v.toString());
        case QMetaType::LongLong:
            number<quint8>(TagInt64);
            return number<qint64>(v.toLongLong());
        case QMetaType::Int:
            number<quint8>(TagInt32);
            return number<qint32>(v.toInt());
        case QMetaType::Double:
            number<quint8>(TagDouble);
            return number<double>(v.toDouble());
        case QMetaType::Bool:
            number<quint8>(TagBool);
            return number<quint8>(v.toBool());
        case QMetaType::QDate:
            number<quint8>(TagDate);
            return number<qint64>(v.toDate().toJulianDay());
        case QMetaType::QTime:
            number<quint8>(TagTime);
            return number<qint32>(v.toTime().msecsSinceStartOfDay());
        default: {
            QByteArray streamed;
            QDataStream stream(&streamed, QIODevice::WriteOnly);
            stream.setVersion(QDataStream::Qt_6_0);
            stream << v;
            number<quint8>(TagOther);
            number<qint32>(qint32(streamed.size()));
            out_.append(streamed);
        }
        }
    }
    QByteArray take() { return std::move(out_); }

private:
    QByteArray out_;
};

class BinaryReader {
public:
    BinaryReader(const QByteArray& bytes, const QString& source)
        : bytes_(bytes)
        , source_(source) {}
    const char* take(qint64 size) {
        if (size < 0 || size > bytes_.size() - pos_)
            fail(QStringLiteral("ends inside a value at byte %1").arg(pos_));
        const char* at = bytes_.constData() + pos_;
        pos_ += size;
        return at;
    }
    template <typename T> T number() {
        T value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    QString text(bool narrow) {
        const qint32 size = number<qint32>();
        if (narrow)
            return QString::fromLatin1(take(size), size);
        const char* at = take(qint64(size) * qint64(sizeof(QChar)));
        QString value(size, Qt::Uninitialized);
        std::memcpy(value.data(), at, size_t(size) * sizeof(QChar));
        return value;
    }
    QVariant value() {
        switch (number<quint8>()) {
        case TagNull:
            return {};
        case TagLatin1:
            return text(true);
        case TagUtf16:
            return text(false);
        case TagInt64:
            return number<qint64>();
        case TagInt32:
            return number<qint32>();
        case TagDouble:
            return number<double>();
        case TagBool:
            return bool(number<quint8>());
        case TagDate:
            return QDate::fromJulianDay(number<qint64>());
        case TagTime:
            return QTime::fromMSecsSinceStartOfDay(number<qint32>());
        case TagOther: {
            const qint32 size = number<qint32>();
            QByteArray streamed = QByteArray::fromRawData(take(size), size);
            QDataStream stream(streamed);
            stream.setVersion(QDataStream::Qt_6_0);
            QVariant v;
            stream >> v;
            if (stream.status() != QDataStream::Ok || !stream.atEnd())
                fail(QStringLiteral("holds a value that does not read back"));
            return v;
        }
        default:
            fail(QStringLiteral("holds an unknown value tag at byte %1").arg(pos_ - 1));
        }
    }
    // True, past the tag, when the next value repeats the one above it.
    bool repeats() {
        if (pos_ >= bytes_.size() || quint8(bytes_[pos_]) != TagRepeat)
            return false;
        ++pos_;
        return true;
    }
    bool atEnd() const { return pos_ == bytes_.size(); }
    [[noreturn]] void fail(const QString& problem) const { fileError(source_, problem); }

private:
    const QByteArray& bytes_;
    const QString& source_;
    qint64 pos_ = 0;
};

} // namespace

QByteArray writePacketBinary(const DataPacket& packet) {
    BinaryWriter out;
    out.raw(kBinaryMagic, sizeof kBinaryMagic);
    out.number<quint8>(kBinaryFormat);
    out.number<qint32>(qint32(packet.fields.size()));
    for (const FieldDef& field : packet.fields) {
        out.text(field.name);
        out.number<qint32>(qint32(field.type));
        out.number<qint32>(field.width);
        out.number<qint32>(field.decimals);
        out.number<quint8>(field.required);
    }
    out.number<qint64>(packet.rows.size());
    const QVariantList* previous = nullptr;
    for (const QVariantList& row : packet.rows) {
        if (row.size() != packet.fields.size())
            throw PacketFileError("Cannot write the packet: a row does not have one value per field");
        for (qsizetype f = 0; f < row.size(); ++f) {
            const QVariant& v = row[f];
            if (previous && !v.isNull() && (*previous)[f].metaType() == v.metaType() && (*previous)[f] == v)
                out.number<quint8>(TagRepeat);
            else
                out.value(v);
        }
        previous = &row;
    }
    return out.take();
}

DataPacket readPacketBinary(const QByteArray& bytes, const QString& source) {
    BinaryReader in(bytes, source);
    if (std::memcmp(in.take(sizeof kBinaryMagic), kBinaryMagic, sizeof kBinaryMagic) != 0)
        in.fail(QStringLiteral("is not a binary packet"));
    if (const quint8 format = in.number<quint8>(); format != kBinaryFormat)
        in.fail(QStringLiteral("has format %1, not %2").arg(format).arg(kBinaryFormat));
    DataPacket packet;
    const qint32 fieldCount = in.number<qint32>();
    if (fieldCount < 0 || fieldCount > 4096)
        in.fail(QStringLiteral("declares %1 fields").arg(fieldCount));
    for (qint32 i = 0; i < fieldCount; ++i) {
        FieldDef field;
        const quint8 tag = in.number<quint8>();
        if (tag != TagLatin1 && tag != TagUtf16)
            in.fail(QStringLiteral("has a field without a name"));
        field.name = in.text(tag == TagLatin1);
        const qint32 type = in.number<qint32>();
        if (type < 0 || type > qint32(FieldType::Memo))
            in.fail(QStringLiteral("has a field of unknown type %1").arg(type));
        field.type = FieldType(type);
        field.width = in.number<qint32>();
        field.decimals = in.number<qint32>();
        field.required = in.number<quint8>() != 0;
        packet.fields << field;
    }
    const qint64 rowCount = in.number<qint64>();
    // Every value takes at least its tag byte, so the count cannot exceed what is there. Bounded first, so
    // that the products below cannot overflow.
    if (rowCount < 0 || rowCount > kMaxPacketCells || (fieldCount > 0 && rowCount * fieldCount > bytes.size()) ||
        rowCount * std::max(fieldCount, 1) > kMaxPacketCells)
        in.fail(QStringLiteral("declares %1 rows").arg(rowCount));
    packet.rows.reserve(rowCount);
    for (qint64 r = 0; r < rowCount; ++r) {
        QVariantList row(fieldCount);
        for (qint32 f = 0; f < fieldCount; ++f) {
            if (in.repeats()) {
                if (r == 0)
                    in.fail(QStringLiteral("repeats a value in its first row"));
                row[f] = packet.rows.constLast()[f];
            } else {
                row[f] = in.value();
            }
        }
        packet.rows << std::move(row);
    }
    if (!in.atEnd())
        in.fail(QStringLiteral("goes on after its last row"));
    return packet;
}

} // namespace cadcons
