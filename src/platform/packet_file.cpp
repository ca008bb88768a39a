#include "platform/packet_file.h"

#include "platform/text.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace cadcons {

namespace {

// Offending values are quoted in error texts only this far.
constexpr qsizetype kQuotedChars = 100;

QString quoted(QStringView text) {
    return text.size() > kQuotedChars ? text.left(kQuotedChars).toString() + QStringLiteral("...") : text.toString();
}

[[noreturn]] void fileError(const QString& source, const QString& problem) {
    throw PacketFileError(QStringLiteral("Packet file \"%1\": %2").arg(source, problem).toStdString());
}

bool isTextType(FieldType type) {
    return type == FieldType::String || type == FieldType::WideString || type == FieldType::Memo;
}

// Names a ROW attribute can carry; namespace processing rules out ":".
bool isAttributeName(const QString& name) {
    if (name.isEmpty() || !(name[0].isLetter() || name[0] == u'_'))
        return false;
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

struct IntRange {
    qint64 min;
    qint64 max;
};

bool intRange(FieldType type, IntRange& range) {
    switch (type) {
    case FieldType::Int8:
        range = {-128, 127};
        return true;
    case FieldType::Int16:
        range = {-32768, 32767};
        return true;
    case FieldType::Int32:
        range = {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()};
        return true;
    case FieldType::Int64:
        range = {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
        return true;
    case FieldType::UInt8:
        range = {0, 255};
        return true;
    case FieldType::UInt16:
        range = {0, 65535};
        return true;
    case FieldType::UInt32:
        range = {0, std::numeric_limits<quint32>::max()};
        return true;
    default:
        return false;
    }
}

// ---- Reading -------------------------------------------------------------------------------------

enum class Encoding { Utf8, Latin1, Cp1252, Ascii, ByBom };

Encoding declaredEncoding(const QByteArray& xml, const QString& source) {
    qsizetype start = 0;
    if (xml.startsWith("\xEF\xBB\xBF"))
        start = 3;
    else if (xml.startsWith("\xFE\xFF") || xml.startsWith("\xFF\xFE"))
        return Encoding::ByBom; // UTF-16/32: the reader follows the byte-order mark itself
    const QByteArray head = xml.mid(start, 1024);
    const qsizetype end = head.indexOf("?>");
    if (!head.startsWith("<?xml") || end < 0)
        return Encoding::Utf8;
    static const QRegularExpression re(QStringLiteral(R"(\sencoding\s*=\s*(["'])([^"']*)\1)"));
    const auto m = re.match(QString::fromLatin1(head.left(end)));
    if (!m.hasMatch())
        return Encoding::Utf8;
    const QString name = m.captured(2).toLower();
    Encoding encoding;
    if (name == u"utf-8" || name == u"utf8")
        encoding = Encoding::Utf8;
    else if (name == u"iso-8859-1" || name == u"iso8859-1" || name == u"iso_8859-1" || name == u"latin1" ||
             name == u"latin-1" || name == u"l1")
        encoding = Encoding::Latin1;
    else if (name == u"windows-1252" || name == u"cp1252" || name == u"x-cp1252")
        encoding = Encoding::Cp1252;
    else if (name == u"us-ascii" || name == u"ascii")
        encoding = Encoding::Ascii;
    else
        fileError(source, QStringLiteral("unsupported encoding \"%1\"").arg(quoted(m.captured(2))));
    if (start > 0 && encoding != Encoding::Utf8)
        fileError(source,
                  QStringLiteral("has a UTF-8 byte-order mark but declares encoding \"%1\"").arg(m.captured(2)));
    return encoding;
}

class PacketReader {
public:
    PacketReader(QXmlStreamReader& xml, const QString& source)
        : xml_(xml)
        , source_(source) {}

    DataPacket read() {
        if (next() != QXmlStreamReader::StartElement || xml_.name() != u"DATAPACKET")
            error(QStringLiteral("the root element is not DATAPACKET"));
        bool metadata = false;
        bool rowdata = false;
        while (next() == QXmlStreamReader::StartElement) {
            if (xml_.name() == u"METADATA" && !metadata && !rowdata) {
                readMetadata();
                metadata = true;
            } else if (xml_.name() == u"ROWDATA" && metadata && !rowdata) {
                readRows();
                rowdata = true;
            } else {
                error(QStringLiteral("unexpected element <%1> in DATAPACKET").arg(quoted(xml_.name())));
            }
        }
        if (!metadata)
            error(QStringLiteral("DATAPACKET has no METADATA"));
        next(); // the end of the document, or the reader's complaint about what follows the root
        return std::move(packet_);
    }

private:
    // The next element boundary. Comments, processing instructions and blanks between elements are
    // skipped; anything else that is not an element is refused here.
    QXmlStreamReader::TokenType next() {
        for (;;) {
            const auto token = xml_.readNext();
            switch (token) {
            case QXmlStreamReader::StartElement:
                if (++depth_ > kMaxPacketDepth)
                    error(QStringLiteral("elements are nested deeper than %1 levels").arg(kMaxPacketDepth));
                for (const QXmlStreamAttribute& a : xml_.attributes()) {
                    if (a.value().size() > kMaxPacketAttributeChars)
                        error(QStringLiteral("attribute %1 is longer than %2 characters")
                                  .arg(a.qualifiedName().toString(), QString::number(kMaxPacketAttributeChars)));
                }
                return token;
            case QXmlStreamReader::EndElement:
                --depth_;
                return token;
            case QXmlStreamReader::EndDocument:
                return token;
            case QXmlStreamReader::Characters:
                if (!xml_.isWhitespace())
                    error(QStringLiteral("unexpected text \"%1\"").arg(quoted(xml_.text())));
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::StartDocument:
                break;
            case QXmlStreamReader::DTD:
                error(QStringLiteral("a document type declaration is not allowed"));
            case QXmlStreamReader::EntityReference:
                error(QStringLiteral("entity references are not allowed"));
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::NoToken:
                error(QStringLiteral("not a well-formed XML document (%1)").arg(xml_.errorString()));
            }
        }
    }

    // The current element must end without content of its own.
    void expectEmpty(const QString& what) {
        if (next() != QXmlStreamReader::EndElement)
            error(QStringLiteral("%1 holds an element <%2>").arg(what, quoted(xml_.name())));
    }

    void skipElement() {
        for (int open = 1; open > 0;) {
            const auto token = next();
            if (token == QXmlStreamReader::StartElement)
                ++open;
            else if (token == QXmlStreamReader::EndElement)
                --open;
            else
                error(QStringLiteral("the document ends inside an element"));
        }
    }

    void readMetadata() {
        bool fields = false;
        while (next() == QXmlStreamReader::StartElement) {
            if (xml_.name() == u"FIELDS" && !fields) {
                readFields();
                fields = true;
            } else if (xml_.name() == u"PARAMS") {
                skipElement();
            } else {
                error(QStringLiteral("unexpected element <%1> in METADATA").arg(quoted(xml_.name())));
            }
        }
        if (!fields)
            error(QStringLiteral("METADATA has no FIELDS"));
    }

    void readFields() {
        while (next() == QXmlStreamReader::StartElement) {
            if (xml_.name() != u"FIELD")
                error(QStringLiteral("unexpected element <%1> in FIELDS").arg(quoted(xml_.name())));
            const FieldDef field = readField();
            const QString key = field.name.toUpper();
            if (columns_.contains(key))
                error(QStringLiteral("field %1 is defined twice").arg(field.name));
            columns_.insert(key, static_cast<int>(packet_.fields.size()));
            packet_.fields.append(field);
            expectEmpty(QStringLiteral("field ") + field.name);
        }
    }

    FieldDef readField() {
        const QXmlStreamAttributes attrs = xml_.attributes();
        FieldDef f;
        f.name = attrs.value(QLatin1StringView("attrname")).toString();
        if (f.name.isEmpty())
            error(QStringLiteral("a FIELD has no attrname"));
        if (!isAttributeName(f.name))
            error(QStringLiteral("field name \"%1\" cannot name a ROW attribute").arg(quoted(f.name)));
        const QStringView type = attrs.value(QLatin1StringView("fieldtype"));
        const QStringView subtype = attrs.value(QLatin1StringView("SUBTYPE"));
        f.type = fieldType(f.name, type, subtype);
        f.width = count(f.name, attrs, QLatin1StringView("WIDTH"));
        f.decimals = count(f.name, attrs, QLatin1StringView("DECIMALS"));
        const QStringView required = attrs.value(QLatin1StringView("required"));
        if (required.compare(u"true", Qt::CaseInsensitive) == 0)
            f.required = true;
        else if (!required.isEmpty() && required.compare(u"false", Qt::CaseInsensitive) != 0)
            error(QStringLiteral("field %1 has required=\"%2\", which is neither true nor false")
                      .arg(f.name, quoted(required)));
        return f;
    }

    FieldType fieldType(const QString& field, QStringView type, QStringView subtype) {
        static const QHash<QString, FieldType> types = {
            {QStringLiteral("string"), FieldType::String},     {QStringLiteral("string.uni"), FieldType::WideString},
            {QStringLiteral("i1"), FieldType::Int8},           {QStringLiteral("i2"), FieldType::Int16},
            {QStringLiteral("i4"), FieldType::Int32},          {QStringLiteral("i8"), FieldType::Int64},
            {QStringLiteral("ui1"), FieldType::UInt8},         {QStringLiteral("ui2"), FieldType::UInt16},
            {QStringLiteral("ui4"), FieldType::UInt32},        {QStringLiteral("r8"), FieldType::Float},
            {QStringLiteral("fixed"), FieldType::Fixed},       {QStringLiteral("boolean"), FieldType::Boolean},
            {QStringLiteral("date"), FieldType::Date},         {QStringLiteral("time"), FieldType::Time},
            {QStringLiteral("datetime"), FieldType::DateTime}, {QStringLiteral("bin.hex"), FieldType::Memo},
        };
        const auto it = types.constFind(type.toString().toLower());
        if (it == types.cend())
            error(QStringLiteral("field %1 has the unsupported type \"%2\"").arg(field, quoted(type)));
        if (*it == FieldType::Float && subtype.compare(u"Money", Qt::CaseInsensitive) == 0)
            return FieldType::Money;
        if (*it == FieldType::Memo && subtype.compare(u"Text", Qt::CaseInsensitive) != 0)
            error(QStringLiteral("field %1 has the unsupported type \"bin.hex\" without SUBTYPE=\"Text\"").arg(field));
        return *it;
    }

    int count(const QString& field, const QXmlStreamAttributes& attrs, QLatin1StringView name) {
        if (!attrs.hasAttribute(name))
            return 0;
        bool ok = false;
        const int n = attrs.value(name).toInt(&ok);
        if (!ok || n < 0)
            error(QStringLiteral("field %1 has %2=\"%3\", which is not a count")
                      .arg(field, QString(name), quoted(attrs.value(name))));
        return n;
    }

    void readRows() {
        const qint64 cellsPerRow = std::max<qint64>(1, packet_.fields.size());
        while (next() == QXmlStreamReader::StartElement) {
            if (xml_.name() != u"ROW")
                error(QStringLiteral("unexpected element <%1> in ROWDATA").arg(quoted(xml_.name())));
            const qint64 rowNumber = packet_.rows.size() + 1;
            if (rowNumber * cellsPerRow > kMaxPacketCells)
                error(QStringLiteral("holds more than %1 values").arg(kMaxPacketCells));
            QVariantList row(packet_.fields.size());
            int guess = 0;
            for (const QXmlStreamAttribute& a : xml_.attributes()) {
                const int col = column(a.qualifiedName(), guess);
                if (col >= 0) {
                    row[col] = parseValue(packet_.fields[col], a.value(), rowNumber);
                    guess = col + 1;
                } else if (a.qualifiedName() != u"RowState") {
                    error(QStringLiteral("row %1 has an attribute %2 that names no field")
                              .arg(QString::number(rowNumber), quoted(a.qualifiedName())));
                }
            }
            packet_.rows.append(std::move(row));
            expectEmpty(QStringLiteral("row ") + QString::number(rowNumber));
        }
    }

    // Writers put the attributes in field order, so the field after the last one is tried first.
    int column(QStringView name, int guess) const {
        if (guess < packet_.fields.size() && packet_.fields[guess].name == name)
            return guess;
        return columns_.value(name.toString().toUpper(), -1);
    }

    QVariant parseValue(const FieldDef& f, QStringView text, qint64 row) {
        if (isTextType(f.type))
            return text.toString();
        if (text.isEmpty())
            return QVariant();
        bool ok = false;
        IntRange range{};
        if (intRange(f.type, range)) {
            const qint64 n = text.toLongLong(&ok);
            if (ok && n >= range.min && n <= range.max)
                return n;
        } else {
            switch (f.type) {
            case FieldType::Float:
            case FieldType::Money:
            case FieldType::Fixed: {
                const double d = text.toDouble(&ok);
                if (ok && qIsFinite(d))
                    return d;
                break;
            }
            case FieldType::Boolean:
                if (text.compare(u"TRUE", Qt::CaseInsensitive) == 0)
                    return true;
                if (text.compare(u"FALSE", Qt::CaseInsensitive) == 0)
                    return false;
                break;
            case FieldType::Date:
                if (const QDate d = parseDate(text); d.isValid())
                    return d;
                break;
            case FieldType::Time:
                if (const QTime t = parseTime(text); t.isValid())
                    return t;
                break;
            case FieldType::DateTime:
                if (const QDateTime dt = parseDateTime(text); dt.isValid())
                    return dt;
                break;
            default:
                break;
            }
        }
        error(QStringLiteral("row %1, field %2: \"%3\" is not a valid %4 value")
                  .arg(QString::number(row), f.name, quoted(text), fieldTypeName(f.type)));
    }

    static int digits(QStringView s, qsizetype from, qsizetype n) {
        if (from + n > s.size())
            return -1;
        int v = 0;
        for (qsizetype i = from; i < from + n; ++i) {
            if (s[i] < u'0' || s[i] > u'9')
                return -1;
            v = v * 10 + (s[i].unicode() - u'0');
        }
        return v;
    }

    // yyyymmdd
    static QDate parseDate(QStringView s) {
        if (s.size() != 8 || digits(s, 0, 8) < 0)
            return {};
        return QDate(digits(s, 0, 4), digits(s, 4, 2), digits(s, 6, 2));
    }

    // hh:mm:ss, then optionally milliseconds: three digits appended, or a fraction after a point.
    static QTime parseTime(QStringView s) {
        if (s.size() < 8 || s[2] != u':' || s[5] != u':')
            return {};
        const int h = digits(s, 0, 2), m = digits(s, 3, 2), sec = digits(s, 6, 2);
        if (h < 0 || m < 0 || sec < 0)
            return {};
        int ms = 0;
        const QStringView rest = s.mid(8);
        if (rest.size() == 3 && digits(rest, 0, 3) >= 0) {
            ms = digits(rest, 0, 3);
        } else if (rest.size() >= 2 && rest.size() <= 4 && rest[0] == u'.' && digits(rest, 1, rest.size() - 1) >= 0) {
            ms = digits(rest, 1, rest.size() - 1);
            for (qsizetype i = rest.size(); i < 4; ++i)
                ms *= 10;
        } else if (!rest.isEmpty()) {
            return {};
        }
        return QTime(h, m, sec, ms);
    }

    // yyyymmddThh:mm:ss[zzz]; a bare date is midnight.
    static QDateTime parseDateTime(QStringView s) {
        const QDate date = parseDate(s.left(8));
        if (!date.isValid())
            return {};
        if (s.size() == 8)
            return QDateTime(date, QTime(0, 0));
        if (s[8] != u'T')
            return {};
        const QTime time = parseTime(s.mid(9));
        return time.isValid() ? QDateTime(date, time) : QDateTime();
    }

    [[noreturn]] void error(const QString& problem) {
        fileError(source_, QStringLiteral("%1 (line %2)").arg(problem, QString::number(xml_.lineNumber())));
    }

    QXmlStreamReader& xml_;
    const QString& source_;
    DataPacket packet_;
    QHash<QString, int> columns_; // upper-case field name -> column
    int depth_ = 0;
};

// ---- Writing -------------------------------------------------------------------------------------

[[noreturn]] void writeError(const QString& problem) {
    throw PacketFileError(QStringLiteral("Cannot write the packet: %1").arg(problem).toStdString());
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Appends `text` as the contents of a double-quoted attribute. Tabs and line breaks go as
// character references, since a reader turns literal ones into blanks. False when the text holds a
// character XML cannot carry.
bool appendEscaped(QString& out, const QString& text, CodePage page) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'"':
            out += QStringLiteral("&quot;");
            break;
        case u'\t':
            out += QStringLiteral("&#9;");
            break;
        case u'\n':
            out += QStringLiteral("&#10;");
            break;
        case u'\r':
            out += QStringLiteral("&#13;");
            break;
        default:
            if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
                const char32_t cp = QChar::surrogateToUcs4(c, text[i + 1]);
                if (holds(page, cp)) {
                    out += c;
                    out += text[i + 1];
                } else {
                    out += QStringLiteral("&#%1;").arg(uint(cp));
                }
                ++i;
            } else if (c.isSurrogate() || !isXmlChar(c.unicode())) {
                return false;
            } else if (!holds(page, c.unicode())) {
                // A reference keeps the character where the declared code page has no byte for it.
                out += QStringLiteral("&#%1;").arg(c.unicode());
            } else {
                out += c;
            }
        }
    }
    return true;
}

QString formatValue(const FieldDef& f, const QVariant& v, qsizetype row) {
    const auto bad = [&](const QString& why) {
        writeError(QStringLiteral("row %1, field %2: %3").arg(QString::number(row + 1), f.name, why));
    };
    IntRange range{};
    if (intRange(f.type, range)) {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (!ok || n < range.min || n > range.max)
            bad(QStringLiteral("\"%1\" does not fit type %2").arg(quoted(v.toString()), fieldTypeName(f.type)));
        return QString::number(n);
    }
    switch (f.type) {
    case FieldType::Float:
    case FieldType::Money:
    case FieldType::Fixed: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || !qIsFinite(d))
            bad(QStringLiteral("\"%1\" is not a finite number").arg(quoted(v.toString())));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    case FieldType::Boolean:
        return v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case FieldType::Date: {
        const QDate d = v.toDate();
        if (!d.isValid() || d.year() < 1 || d.year() > 9999)
            bad(QStringLiteral("\"%1\" is not a date between years 1 and 9999").arg(quoted(v.toString())));
        return d.toString(QStringLiteral("yyyyMMdd"));
    }
    case FieldType::Time: {
        const QTime t = v.toTime();
        if (!t.isValid())
            bad(QStringLiteral("\"%1\" is not a time").arg(quoted(v.toString())));
        return t.toString(t.msec() ? QStringLiteral("hh:mm:sszzz") : QStringLiteral("hh:mm:ss"));
    }
    case FieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid() || dt.date().year() < 1 || dt.date().year() > 9999)
            bad(QStringLiteral("\"%1\" is not a date-time between years 1 and 9999").arg(quoted(v.toString())));
        return dt.date().toString(QStringLiteral("yyyyMMdd")) + u'T' +
               dt.time().toString(QStringLiteral("hh:mm:sszzz"));
    }
    default:
        return v.toString();
    }
}

} // namespace

DataPacket readPacketXml(const QByteArray& xml, const QString& source) {
    if (xml.size() > kMaxPacketFileBytes)
        fileError(source, QStringLiteral("is larger than %1 bytes").arg(kMaxPacketFileBytes));
    const Encoding encoding = declaredEncoding(xml, source);
    QXmlStreamReader reader;
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::ByBom:
        // The reader decodes these itself and refuses malformed sequences.
        reader.addData(xml);
        break;
    case Encoding::Latin1:
        reader.addData(QString::fromLatin1(xml));
        break;
    case Encoding::Cp1252:
        // Not among the reader's codecs: decoded here, and text handed over keeps its decoding.
        reader.addData(fromCp1252(xml));
        break;
    case Encoding::Ascii:
        for (qsizetype i = 0; i < xml.size(); ++i) {
            if (static_cast<unsigned char>(xml[i]) >= 0x80)
                fileError(source,
                          QStringLiteral("declares US-ASCII but the byte at offset %1 is 0x%2")
                              .arg(QString::number(i), QString::number(static_cast<unsigned char>(xml[i]), 16)));
        }
        reader.addData(QString::fromLatin1(xml));
        break;
    }
    return PacketReader(reader, source).read();
}

DataPacket readPacketFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        fileError(path, QStringLiteral("no such file"));
    if (!info.isFile())
        fileError(path, QStringLiteral("not a regular file"));
    // Others write this directory: between the look above and the open, the path may come to name a
    // pipe, whose open would wait for a writer for ever. Opened without waiting, and what was opened is
    // what is checked.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fileError(path, QStringLiteral("cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        fileError(path, QStringLiteral("not a regular file"));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fileError(path, QStringLiteral("cannot be opened: %1").arg(file.errorString()));
    }
    if (file.size() > kMaxPacketFileBytes)
        fileError(path, QStringLiteral("is larger than %1 bytes").arg(kMaxPacketFileBytes));
    // Read in pieces up to the limit: the size on disk may change while we read.
    QByteArray data;
    for (;;) {
        const QByteArray chunk = file.read(qint64(1024) * 1024);
        if (chunk.isEmpty())
            break;
        data += chunk;
        if (data.size() > kMaxPacketFileBytes)
            fileError(path, QStringLiteral("is larger than %1 bytes").arg(kMaxPacketFileBytes));
    }
    if (file.error() != QFileDevice::NoError)
        fileError(path, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    return readPacketXml(data, path);
}

QByteArray writePacketXml(const DataPacket& packet, CodePage page) {
    QSet<QString> names;
    for (const FieldDef& f : packet.fields) {
        if (!isAttributeName(f.name))
            writeError(QStringLiteral("field name \"%1\" cannot name a ROW attribute").arg(quoted(f.name)));
        QByteArray unused;
        qsizetype at = 0;
        if (!encodeExact(f.name, page, unused, at))
            writeError(
                QStringLiteral("field name \"%1\" cannot be written in %2").arg(quoted(f.name), codePageName(page)));
        if (names.contains(f.name.toUpper()))
            writeError(QStringLiteral("field %1 appears twice").arg(f.name));
        names.insert(f.name.toUpper());
    }

    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\" standalone=\"yes\"?>\n"
                                 "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>")
                      .arg(page == CodePage::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("windows-1252"));
    for (const FieldDef& f : packet.fields) {
        out += QStringLiteral("<FIELD attrname=\"%1\" fieldtype=\"%2\"").arg(f.name, fieldTypeName(f.type));
        if (f.type == FieldType::Money)
            out += QStringLiteral(" SUBTYPE=\"Money\"");
        else if (f.type == FieldType::Memo)
            out += QStringLiteral(" SUBTYPE=\"Text\"");
        if (f.decimals > 0)
            out += QStringLiteral(" DECIMALS=\"%1\"").arg(f.decimals);
        if (f.width > 0)
            out += QStringLiteral(" WIDTH=\"%1\"").arg(f.width);
        if (f.required)
            out += QStringLiteral(" required=\"true\"");
        out += QStringLiteral("/>");
    }
    out += QStringLiteral("</FIELDS><PARAMS/></METADATA><ROWDATA>");
    for (qsizetype r = 0; r < packet.rows.size(); ++r) {
        const QVariantList& row = packet.rows[r];
        if (row.size() != packet.fields.size())
            writeError(
                QStringLiteral("row %1 has %2 values for %3 fields")
                    .arg(QString::number(r + 1), QString::number(row.size()), QString::number(packet.fields.size())));
        out += QStringLiteral("<ROW");
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (row[c].isNull())
                continue; // an absent attribute is a null
            const FieldDef& f = packet.fields[c];
            const QString text = formatValue(f, row[c], r);
            out += u' ' + f.name + QStringLiteral("=\"");
            if (!appendEscaped(out, text, page))
                writeError(QStringLiteral("row %1, field %2 holds a character that XML cannot carry")
                               .arg(QString::number(r + 1), f.name));
            out += u'"';
        }
        out += QStringLiteral("/>");
    }
    out += QStringLiteral("</ROWDATA></DATAPACKET>\n");
    // Every name was checked and every value escaped for the code page above: nothing is left to refuse.
    return page == CodePage::Utf8 ? out.toUtf8() : toCp1252(out);
}

void writePacketFile(const DataPacket& packet, const QString& path) {
    QByteArray bytes;
    try {
        bytes = writePacketXml(packet); // before the file is touched, so a bad packet leaves it as it was
    } catch (const PacketFileError& e) {
        fileError(path, QString::fromStdString(e.what()));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fileError(path, QStringLiteral("cannot be written: %1").arg(file.errorString()));
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        fileError(path, QStringLiteral("cannot be written: %1").arg(why));
    }
    if (!file.commit())
        fileError(path, QStringLiteral("cannot be written: %1").arg(file.errorString()));
}

} // namespace cadcons
