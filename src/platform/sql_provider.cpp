#include "platform/sql_provider.h"

#include "platform/text.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <libpq-fe.h>
#include <limits>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cadcons {

namespace {

// libpq as the PostgreSQL plugin of Qt's driver reaches it. The module links no libpq of its own: a host
// that never opens PostgreSQL loads none, and each result is read by the very library that made it.
struct Libpq {
    decltype(&::PQgetisnull) getisnull = nullptr;
    decltype(&::PQgetvalue) getvalue = nullptr;
    decltype(&::PQgetlength) getlength = nullptr;
    decltype(&::PQftype) ftype = nullptr;
    decltype(&::PQunescapeBytea) unescapeBytea = nullptr;
    decltype(&::PQfreemem) freemem = nullptr;
    decltype(&::PQresultStatus) resultStatus = nullptr;
    decltype(&::PQntuples) ntuples = nullptr;
    decltype(&::PQgetResult) getResult = nullptr;
    decltype(&::PQclear) clear = nullptr;
    decltype(&::PQresultErrorMessage) resultErrorMessage = nullptr;
    decltype(&::PQerrorMessage) errorMessage = nullptr;
    decltype(&::PQsendQueryParams) sendQueryParams = nullptr;
    decltype(&::PQsetSingleRowMode) setSingleRowMode = nullptr;
    decltype(&::PQnfields) nfields = nullptr;
    decltype(&::PQfname) fname = nullptr;
    decltype(&::PQfsize) fsize = nullptr;
    decltype(&::PQfmod) fmod = nullptr;
    decltype(&::PQcmdTuples) cmdTuples = nullptr;
    decltype(&::PQresultErrorField) resultErrorField = nullptr;
    // Pipeline mode (libpq 14 and later); null with an older libpq.
    decltype(&::PQenterPipelineMode) enterPipelineMode = nullptr;
    decltype(&::PQexitPipelineMode) exitPipelineMode = nullptr;
    decltype(&::PQpipelineSync) pipelineSync = nullptr;
    decltype(&::PQstatus) status = nullptr;
};
Libpq pq;

template <typename F> bool resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

FieldType typeOf(const QMetaType& type) {
    switch (type.id()) {
    case QMetaType::Bool:
        return FieldType::Boolean;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
        return FieldType::Int32;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return FieldType::Int64;
    case QMetaType::Float:
    case QMetaType::Double:
        return FieldType::Float;
    case QMetaType::QDate:
        return FieldType::Date;
    case QMetaType::QTime:
        return FieldType::Time;
    case QMetaType::QDateTime:
        return FieldType::DateTime;
    case QMetaType::QByteArray:
        return FieldType::Memo;
    default:
        // Strings, and whatever a driver reports that has no better match (decimals some drivers
        // hand over as strings are caught by their metatype Double above).
        return FieldType::String;
    }
}

// PostgreSQL's type OIDs (pg_type.h is a server header), as Qt's driver tells its types by them.
enum PgType : Oid {
    PgBool = 16,
    PgBytea = 17,
    PgInt8 = 20,
    PgInt2 = 21,
    PgInt4 = 23,
    PgRegproc = 24,
    PgXid = 28,
    PgOid = 26,
    PgCid = 29,
    PgAbstime = 702,
    PgReltime = 703,
    PgFloat4 = 700,
    PgFloat8 = 701,
    PgDate = 1082,
    PgTime = 1083,
    PgTimestamp = 1114,
    PgTimestampTz = 1184,
    PgTimeTz = 1266,
    PgNumeric = 1700,
    PgVoid = 2278,
};

class RowReader {
public:
    RowReader(const QSqlRecord& record, const QSet<QString>& dateTimeColumns) {
        QSet<QString> forced;
        for (const QString& name : dateTimeColumns)
            forced.insert(name.toUpper());
        QSet<QString> seen;
        for (int i = 0; i < record.count(); ++i) {
            const QSqlField f = record.field(i);
            FieldDef def;
            def.name = f.name();
            if (seen.contains(def.name.toUpper()))
                fail(QStringLiteral("The query result has two columns named %1").arg(def.name));
            seen.insert(def.name.toUpper());
            def.type = forced.contains(def.name.toUpper()) ? FieldType::DateTime : typeOf(f.metaType());
            def.required = f.requiredStatus() == QSqlField::Required;
            if (def.type == FieldType::String)
                def.width = f.length() > 0 ? f.length() : 1;
            fields_.append(def);
        }
        previous_.resize(fields_.size());
    }

    QVariantList read(const QSqlQuery& query) {
        QVariantList row;
        row.reserve(fields_.size());
        for (int i = 0; i < fields_.size(); ++i) {
            const QVariant v = query.value(i);
            if (v.isNull() || query.isNull(i))
                row.append(QVariant());
            else
                row.append(convert(i, v));
        }
        return row;
    }

    // The current row of SQLite's own statement: the values Qt's SQLite driver would give, read in
    // SQLite's UTF-8. A text equal to the one above it in its column shares that one's storage, as the
    // codes of a sorted list mostly are.
    QVariantList read(sqlite3_stmt* statement) {
        // Filled in place: appending cell by cell cost more than the reading.
        QVariantList row(fields_.size());
        QVariant* cell = row.data();
        for (int i = 0; i < fields_.size(); ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
                cell[i] = convert(i, QVariant(qint64(sqlite3_column_int64(statement, i))));
                break;
            case SQLITE_FLOAT:
                cell[i] = convert(i, QVariant(sqlite3_column_double(statement, i)));
                break;
            case SQLITE_BLOB: {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, i));
                cell[i] = convert(i, QVariant(QByteArray(data, sqlite3_column_bytes(statement, i))));
                break;
            }
            default: {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
                const int bytes = sqlite3_column_bytes(statement, i);
                if (fields_[i].type != FieldType::String) {
                    cell[i] = convert(i, QVariant(QString::fromUtf8(text, bytes)));
                    break;
                }
                cell[i] = sharedText(i, text, bytes);
                break;
            }
            }
        }
        return row;
    }

    // Row `row` of a libpq result: the values Qt's PostgreSQL driver would give for each column's type.
    // Texts share storage with the one above them in their column, as in SQLite's read.
    QVariantList read(const PGresult* result, int row) {
        QVariantList out(fields_.size());
        QVariant* cell = out.data();
        for (int i = 0; i < fields_.size(); ++i) {
            if (pq.getisnull(result, row, i))
                continue;
            const char* text = pq.getvalue(result, row, i);
            const int bytes = pq.getlength(result, row, i);
            const Oid type = pq.ftype(result, i);
            if (isPgText(type) && fields_[i].type == FieldType::String) {
                cell[i] = sharedText(i, text, bytes);
                continue;
            }
            // The driver's null for a number it cannot read is a null cell.
            const QVariant value = pgValue(type, text, bytes);
            if (!value.isNull())
                cell[i] = convert(i, value);
        }
        return out;
    }

    QList<FieldDef> finish() {
        // Drivers such as SQLite call every integer column "int" while handing back 64-bit values.
        for (FieldDef& f : fields_) {
            if (f.type == FieldType::Int32 && wideIntegers_.contains(f.name))
                f.type = FieldType::Int64;
        }
        return fields_;
    }

private:
    // A text of a string column, sharing the storage of the one above it when equal.
    const QString& sharedText(int column, const char* text, int bytes) {
        Previous& previous = previous_[column];
        if (!previous.set || previous.bytes.size() != size_t(bytes) ||
            std::memcmp(previous.bytes.data(), text, size_t(bytes)) != 0) {
            previous.bytes.assign(text, size_t(bytes));
            previous.value = QString::fromUtf8(text, bytes);
            previous.set = true;
            fields_[column].width = std::max<int>(fields_[column].width, static_cast<int>(previous.value.size()));
        }
        return previous.value;
    }

    static bool isPgText(Oid type) {
        switch (type) {
        case PgBool:
        case PgBytea:
        case PgInt8:
        case PgInt2:
        case PgInt4:
        case PgRegproc:
        case PgXid:
        case PgCid:
        case PgAbstime:
        case PgReltime:
        case PgFloat4:
        case PgFloat8:
        case PgDate:
        case PgTime:
        case PgTimestamp:
        case PgTimestampTz:
        case PgTimeTz:
        case PgNumeric:
        case PgVoid:
            return false;
        default:
            return true;
        }
    }

    // The value Qt's driver makes of a cell's text, by the column's type.
    static QVariant pgValue(Oid type, const char* text, int bytes) {
        switch (type) {
        case PgBool:
            return text[0] == 't';
        case PgInt8:
            return pgInt8(text, bytes);
        case PgInt2:
        case PgInt4:
        case PgRegproc:
        case PgXid:
        case PgCid:
        case PgVoid:
            return std::atoi(text);
        case PgNumeric:
        case PgFloat4:
        case PgFloat8:
            return pgDouble(text, bytes);
        case PgAbstime:
        case PgReltime:
        case PgDate:
            return QDate::fromString(QString::fromLatin1(text, bytes), Qt::ISODate);
        case PgTime:
        case PgTimeTz:
            return QTime::fromString(QString::fromLatin1(text, bytes), Qt::ISODate);
        case PgTimestamp:
        case PgTimestampTz:
            return pgDateTime(QString::fromLatin1(text, bytes));
        case PgBytea:
            return pgBytea(text);
        default:
            return QString::fromUtf8(text, bytes);
        }
    }

    // Signed when it starts with a minus, else unsigned, as the driver reads it.
    static QVariant pgInt8(const char* text, int bytes) {
        if (text[0] == '-') {
            qint64 n = 0;
            std::from_chars(text, text + bytes, n);
            return n;
        }
        quint64 n = 0;
        std::from_chars(text, text + bytes, n);
        return n;
    }

    static QVariant pgDouble(const char* text, int bytes) {
        double d = 0;
        const auto [end, error] = std::from_chars(text, text + bytes, d);
        if (error == std::errc() && end == text + bytes)
            return d;
        if (qstricmp(text, "NaN") == 0)
            return qQNaN();
        if (qstricmp(text, "Infinity") == 0)
            return qInf();
        if (qstricmp(text, "-Infinity") == 0)
            return -qInf();
        return QVariant();
    }

    // A time zone given as hours alone ("+03") gets its minutes; the time is given in local time.
    static QVariant pgDateTime(QString text) {
        if (text.size() < 10)
            return QDateTime();
        const QChar sign = text[text.size() - 3];
        if (sign == u'-' || sign == u'+')
            text += QStringLiteral(":00");
        return QDateTime::fromString(text, Qt::ISODate).toLocalTime();
    }

    static QVariant pgBytea(const char* text) {
        size_t length = 0;
        unsigned char* data = pq.unescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(length));
        pq.freemem(data);
        return bytes;
    }

    QVariant convert(int column, const QVariant& v) {
        FieldDef& f = fields_[column];
        bool ok = true;
        switch (f.type) {
        case FieldType::Int32:
        case FieldType::Int64: {
            qint64 n = 0;
            if (v.metaType().id() == QMetaType::ULongLong) {
                const qulonglong u = v.toULongLong();
                ok = u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max());
                n = static_cast<qint64>(u);
            } else {
                n = v.toLongLong(&ok);
            }
            if (!ok)
                bad(f, v, QStringLiteral("an integer"));
            if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
                wideIntegers_.insert(f.name);
            return n;
        }
        case FieldType::Float: {
            const double d = v.toDouble(&ok);
            if (!ok)
                bad(f, v, QStringLiteral("a number"));
            return d;
        }
        case FieldType::Boolean:
            return v.toBool();
        case FieldType::Date: {
            const QDate d = v.toDate();
            if (!d.isValid())
                bad(f, v, QStringLiteral("a date"));
            return d;
        }
        case FieldType::Time: {
            const QTime t = v.toTime();
            if (!t.isValid())
                bad(f, v, QStringLiteral("a time"));
            return t;
        }
        case FieldType::DateTime:
            return dateTime(f, v);
        case FieldType::Memo:
            return v.metaType().id() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
        default: {
            QString s = v.toString();
            f.width = std::max<int>(f.width, static_cast<int>(s.size()));
            return s;
        }
        }
    }

    static QVariant dateTime(const FieldDef& f, const QVariant& v) {
        switch (v.metaType().id()) {
        case QMetaType::QDateTime:
            return v.toDateTime();
        case QMetaType::QDate:
            return QDateTime(v.toDate(), QTime(0, 0));
        case QMetaType::QString:
        case QMetaType::QByteArray: {
            const QString text = v.toString();
            if (text.isEmpty())
                return QVariant();
            const QDateTime dt = parseIsoDateTime(text);
            if (!dt.isValid())
                bad(f, v, QStringLiteral("a date-time"));
            return dt;
        }
        default:
            bad(f, v, QStringLiteral("a date-time"));
        }
    }

    [[noreturn]] static void bad(const FieldDef& f, const QVariant& v, const QString& what) {
        fail(QStringLiteral("Column %1 holds \"%2\", which is not %3").arg(f.name, v.toString().left(100), what));
    }

    struct Previous {
        bool set = false;
        std::string bytes;
        QString value;
    };

    QList<FieldDef> fields_;
    QList<Previous> previous_;
    QSet<QString> wideIntegers_;
};

// Finishes a query whose rows were read past its driver, so that the driver never steps on to them.
struct FinishQuery {
    QSqlQuery& query;
    ~FinishQuery() { query.finish(); }
};

// The plugin of Qt's driver, as the loader holds it; null when it cannot be found. Kept open: Qt keeps its
// plugins loaded for the life of the process anyway.
void* driverPlugin(const QSqlDriver* driver) {
    Dl_info info{};
    if (!dladdr(*reinterpret_cast<void* const*>(driver), &info) || !info.dli_fname)
        return nullptr;
    return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
}

// Whether the plugin of Qt's driver finds `symbol` at `ours`, that is whether it runs on the library this
// one calls. A Qt built with its own copy of SQLite keeps that copy private, and its statements must never
// reach another copy.
bool pluginCalls(const QSqlDriver* driver, const char* symbol, const void* ours) {
    void* plugin = driverPlugin(driver);
    return plugin && dlsym(plugin, symbol) == ours;
}

bool driverSharesOurSqlite(const QSqlDriver* driver) {
    static const bool shared = pluginCalls(driver, "sqlite3_step", reinterpret_cast<const void*>(&sqlite3_step));
    return shared;
}

// Fills `pq` from the plugin of Qt's PostgreSQL driver, once; false when a function is not found there.
bool driverLibpq(const QSqlDriver* driver) {
    static const bool resolved = [driver] {
        void* plugin = driverPlugin(driver);
        return plugin && resolve(plugin, "PQgetisnull", pq.getisnull) && resolve(plugin, "PQgetvalue", pq.getvalue) &&
               resolve(plugin, "PQgetlength", pq.getlength) && resolve(plugin, "PQftype", pq.ftype) &&
               resolve(plugin, "PQunescapeBytea", pq.unescapeBytea) && resolve(plugin, "PQfreemem", pq.freemem) &&
               resolve(plugin, "PQresultStatus", pq.resultStatus) && resolve(plugin, "PQntuples", pq.ntuples) &&
               resolve(plugin, "PQgetResult", pq.getResult) && resolve(plugin, "PQclear", pq.clear) &&
               resolve(plugin, "PQresultErrorMessage", pq.resultErrorMessage) &&
               resolve(plugin, "PQerrorMessage", pq.errorMessage) &&
               resolve(plugin, "PQsendQueryParams", pq.sendQueryParams) &&
               resolve(plugin, "PQsetSingleRowMode", pq.setSingleRowMode) && resolve(plugin, "PQnfields", pq.nfields) &&
               resolve(plugin, "PQfname", pq.fname) && resolve(plugin, "PQfsize", pq.fsize) &&
               resolve(plugin, "PQfmod", pq.fmod) && resolve(plugin, "PQcmdTuples", pq.cmdTuples) &&
               resolve(plugin, "PQresultErrorField", pq.resultErrorField) &&
               (resolve(plugin, "PQenterPipelineMode", pq.enterPipelineMode),
                resolve(plugin, "PQexitPipelineMode", pq.exitPipelineMode),
                resolve(plugin, "PQpipelineSync", pq.pipelineSync), resolve(plugin, "PQstatus", pq.status), true);
    }();
    return resolved;
}

// SQLite's statement behind a query of Qt's SQLite driver that stands before its first row, else null.
sqlite3_stmt* sqliteStatement(const QSqlQuery& query) {
    if (!query.driver() || query.driver()->dbmsType() != QSqlDriver::SQLite || query.at() != QSql::BeforeFirstRow ||
        !query.result() || !driverSharesOurSqlite(query.driver()))
        return nullptr;
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt* const*>(handle.constData());
}

// Reads a SQLite result from SQLite itself. Qt's driver turns every text into UTF-16 and caches each
// row as variants before handing it over, which made reading a long list several times slower than
// SQLite. The driver has already stepped onto the first row and holds it; the rest are stepped here,
// and packetFromQuery finishes the query afterwards so that it never steps the statement again.
void readSqlite(QSqlQuery& query, sqlite3_stmt* statement, RowReader& reader, DataPacket& packet) {
    if (!query.next())
        return;
    int status = SQLITE_ROW;
    for (; status == SQLITE_ROW; status = sqlite3_step(statement))
        packet.rows.append(reader.read(statement));
    if (status != SQLITE_DONE)
        fail(QStringLiteral("Reading the query result failed: %1")
                 .arg(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement)))));
}

// Qt names the types of its handles after the structs behind libpq's typedefs; older Qts after the typedefs.
bool holdsHandle(const QVariant& v, const char* name, const char* structName) {
    return v.isValid() && (qstrcmp(v.typeName(), name) == 0 || qstrcmp(v.typeName(), structName) == 0);
}

// The connection and the result behind a query of Qt's PostgreSQL driver that stands before its first
// row, or nulls. Decimals are read as the driver's default policy reads them (as doubles); a query
// asking for another policy is left to the driver.
std::pair<PGconn*, PGresult*> postgresResult(const QSqlQuery& query) {
    if (!query.driver() || query.driver()->dbmsType() != QSqlDriver::PostgreSQL || query.at() != QSql::BeforeFirstRow ||
        !query.result() || query.numericalPrecisionPolicy() != QSql::LowPrecisionDouble || !driverLibpq(query.driver()))
        return {};
    const QVariant connection = query.driver()->handle();
    const QVariant result = query.result()->handle();
    if (!holdsHandle(connection, "PGconn*", "pg_conn*") || !holdsHandle(result, "PGresult*", "pg_result*"))
        return {};
    return {*static_cast<PGconn* const*>(connection.constData()), *static_cast<PGresult* const*>(result.constData())};
}

// Reads a PostgreSQL result through libpq itself: Qt's driver makes a variant of every cell and copies
// each row through its query, several times libpq's own cost. The driver runs a forward-only query in
// single-row mode and holds its first row (or the whole result otherwise); the further rows are taken
// from the connection here, and packetFromQuery finishes the query afterwards so that it never asks for
// them again.
void readPostgres(PGconn* connection, const PGresult* first, RowReader& reader, DataPacket& packet) {
    const ExecStatusType firstStatus = pq.resultStatus(first);
    for (int row = 0; row < pq.ntuples(first); ++row)
        packet.rows.append(reader.read(first, row));
    if (firstStatus != PGRES_SINGLE_TUPLE)
        return;
    using Result = std::unique_ptr<PGresult, decltype(pq.clear)>;
    for (;;) {
        const Result next(pq.getResult(connection), pq.clear);
        const ExecStatusType status = next ? pq.resultStatus(next.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_TUPLES_OK) // the end of the rows
            return;
        if (status != PGRES_SINGLE_TUPLE) {
            const char* message = next ? pq.resultErrorMessage(next.get()) : pq.errorMessage(connection);
            fail(QStringLiteral("Reading the query result failed: %1").arg(QString::fromUtf8(message).trimmed()));
        }
        packet.rows.append(reader.read(next.get(), 0));
    }
}

// libpq's connection behind an open PostgreSQL connection of Qt's driver, or null.
PGconn* postgresConnection(const QSqlDatabase& db) {
    const QSqlDriver* driver = db.driver();
    if (!db.isOpen() || !driver || driver->dbmsType() != QSqlDriver::PostgreSQL || !driverLibpq(driver))
        return nullptr;
    const QVariant handle = driver->handle();
    return holdsHandle(handle, "PGconn*", "pg_conn*") ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
}

// `text` with each :NAME placeholder numbered ($1, $2, ...); `names` gets the names in the order of their
// numbers, a repeated name keeping its first number. Quoted texts and names, and the :: of a cast, stay.
QByteArray numberedPlaceholders(const QString& text, QStringList& names) {
    QString out;
    out.reserve(text.size());
    const auto inName = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'\'' || c == u'"') {
            const qsizetype close = text.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? text.size() : close + 1;
            out += QStringView(text).mid(i, end - i);
            i = end - 1;
        } else if (c == u':' && next == u':') {
            out += QLatin1String("::");
            ++i;
        } else if (c == u':' && inName(next)) {
            qsizetype end = i + 1;
            while (end < text.size() && inName(text[end]))
                ++end;
            const QString name = text.mid(i + 1, end - i - 1);
            qsizetype number = names.indexOf(name);
            if (number < 0) {
                names.append(name);
                number = names.size() - 1;
            }
            out += u'$' + QString::number(number + 1);
            i = end - 1;
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

// A value in PostgreSQL's text form; nullopt for NULL.
std::optional<QByteArray> pgParameter(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: {
        // The offset makes the instant exact for a column with a time zone; one without ignores it and
        // keeps the wall-clock time.
        const QDateTime local = value.toDateTime().toLocalTime();
        const int offset = local.offsetFromUtc();
        const QString zone = QStringLiteral("%1%2:%3")
                                 .arg(QLatin1String(offset < 0 ? "-" : "+"))
                                 .arg(std::abs(offset) / 3600, 2, 10, QChar(u'0'))
                                 .arg(std::abs(offset) % 3600 / 60, 2, 10, QChar(u'0'));
        return (local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + zone).toLatin1();
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "true" : "false");
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isnan(d))
            return QByteArray("NaN");
        if (std::isinf(d))
            return QByteArray(d < 0 ? "-Infinity" : "Infinity");
        return QByteArray::number(d, 'g', std::numeric_limits<double>::max_digits10);
    }
    case QMetaType::QByteArray:
        return QByteArray("\\x") + value.toByteArray().toHex();
    default: {
        QByteArray text = value.toString().toUtf8();
        // libpq reads a text value up to its first NUL: the rest would be dropped without a word.
        if (text.contains('\0'))
            throw StatementError(
                QSqlError(QStringLiteral("A text holds the NUL character, which PostgreSQL cannot store"), QString(),
                          QSqlError::StatementError));
        return text;
    }
    }
}

// The type Qt's driver gives a column of PostgreSQL's type `type`.
QMetaType pgMetaType(Oid type) {
    switch (type) {
    case PgBool:
        return QMetaType::fromType<bool>();
    case PgInt8:
        return QMetaType::fromType<qlonglong>();
    case PgInt2:
    case PgInt4:
    case PgOid:
    case PgRegproc:
    case PgXid:
    case PgCid:
        return QMetaType::fromType<int>();
    case PgNumeric:
    case PgFloat4:
    case PgFloat8:
        return QMetaType::fromType<double>();
    case PgAbstime:
    case PgReltime:
    case PgDate:
        return QMetaType::fromType<QDate>();
    case PgTime:
    case PgTimeTz:
        return QMetaType::fromType<QTime>();
    case PgTimestamp:
    case PgTimestampTz:
        return QMetaType::fromType<QDateTime>();
    case PgBytea:
        return QMetaType::fromType<QByteArray>();
    default:
        return QMetaType::fromType<QString>();
    }
}

// The record Qt's driver describes a result with, as far as the packet reads it: names, types, widths.
QSqlRecord pgRecord(const PGresult* result) {
    constexpr int kHeader = 4; // the length word in front of a variable-length value's type modifier
    QSqlRecord record;
    for (int i = 0; i < pq.nfields(result); ++i) {
        const Oid type = pq.ftype(result, i);
        QSqlField field(QString::fromUtf8(pq.fname(result, i)), pgMetaType(type));
        const int size = pq.fsize(result, i);
        const int modifier = pq.fmod(result, i);
        field.setLength(type == PgNumeric && modifier != -1 ? modifier >> 16
                        : size == -1 && modifier >= kHeader ? modifier - kHeader
                                                            : size);
        record.append(field);
    }
    return record;
}

QSqlError pgError(const QString& what, const char* message, const char* state, QSqlError::ErrorType type) {
    return QSqlError(what, QString::fromUtf8(message ? message : "").trimmed(), type,
                     QString::fromLatin1(state ? state : ""));
}

// Takes every result of the statement sent last, also after a failure: only then does the connection take
// its next statement (Qt's driver among those who send it).
StatementResult collect(PGconn* connection, const QSet<QString>& dateTimeColumns) {
    using Result = std::unique_ptr<PGresult, decltype(pq.clear)>;
    StatementResult out;
    std::optional<RowReader> reader;
    std::optional<QSqlError> failed;
    std::exception_ptr thrown;
    bool answered = false;
    for (;;) {
        const Result result(pq.getResult(connection), pq.clear);
        if (!result)
            break;
        answered = true;
        if (failed || thrown)
            continue;
        switch (pq.resultStatus(result.get())) {
        case PGRES_SINGLE_TUPLE:
        case PGRES_TUPLES_OK:
            try {
                if (!reader)
                    reader.emplace(pgRecord(result.get()), dateTimeColumns);
                for (int row = 0; row < pq.ntuples(result.get()); ++row)
                    out.packet.rows.append(reader->read(result.get(), row));
            } catch (...) {
                thrown = std::current_exception();
            }
            break;
        case PGRES_COMMAND_OK:
            out.rowsAffected = std::atoll(pq.cmdTuples(result.get()));
            break;
        default:
            failed = pgError(QStringLiteral("Unable to execute statement"), pq.resultErrorMessage(result.get()),
                             pq.resultErrorField(result.get(), PG_DIAG_SQLSTATE), QSqlError::StatementError);
        }
    }
    if (thrown)
        std::rethrow_exception(thrown);
    if (failed)
        throw StatementError(*failed);
    if (!answered)
        throw StatementError(pgError(QStringLiteral("No answer to the statement"), pq.errorMessage(connection), nullptr,
                                     QSqlError::ConnectionError));
    if (reader)
        out.packet.fields = reader->finish();
    return out;
}

// A statement as it goes to the server: its text with numbered placeholders, and its values.
struct Outgoing {
    QByteArray statement;
    std::vector<std::optional<QByteArray>> values;
};

// Throws std::invalid_argument for a placeholder without a binding, and what pgParameter throws for a value.
Outgoing outgoing(const QString& text, const StatementBindings& bindings) {
    Outgoing out;
    QStringList names;
    out.statement = numberedPlaceholders(text, names);
    out.values.reserve(size_t(names.size()));
    for (const QString& name : names) {
        const auto bound = std::find_if(bindings.cbegin(), bindings.cend(),
                                        [&](const auto& binding) { return binding.first == name; });
        if (bound == bindings.cend())
            throw std::invalid_argument(QStringLiteral("No value is bound to :%1").arg(name).toStdString());
        out.values.push_back(pgParameter(bound->second));
    }
    return out;
}

// Sends the unnamed statement with its values; throws StatementError when it cannot go.
void send(PGconn* connection, const Outgoing& out) {
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    for (const auto& value : out.values) {
        pointers.push_back(value ? value->constData() : nullptr);
        lengths.push_back(value ? int(value->size()) : 0);
    }
    if (!pq.sendQueryParams(connection, out.statement.constData(), int(out.values.size()), nullptr, pointers.data(),
                            lengths.data(), nullptr, 0))
        throw StatementError(pgError(QStringLiteral("Unable to send statement"), pq.errorMessage(connection), nullptr,
                                     QSqlError::ConnectionError));
}

} // namespace

StatementError::StatementError(const QSqlError& error)
    : std::runtime_error(error.text().toStdString())
    , error_(error) {}

bool runsUnnamed(const QSqlDatabase& db) {
    return postgresConnection(db) != nullptr;
}

StatementResult runUnnamed(const QSqlDatabase& db, const QString& text, const StatementBindings& bindings,
                           const QSet<QString>& dateTimeColumns) {
    PGconn* connection = postgresConnection(db);
    if (!connection)
        throw StatementError(
            QSqlError(QStringLiteral("Not an open PostgreSQL connection"), QString(), QSqlError::ConnectionError));
    send(connection, outgoing(text, bindings));
    // The rows as they come, as Qt's driver takes a forward-only query's: over a slow link the first ones
    // are read while the last ones travel.
    pq.setSingleRowMode(connection);
    return collect(connection, dateTimeColumns);
}

bool pipelines(const QSqlDatabase& db) {
    return runsUnnamed(db) && pq.enterPipelineMode && pq.exitPipelineMode && pq.pipelineSync && pq.status;
}

bool connectionLost(const QSqlDatabase& db) {
    const QSqlDriver* driver = db.driver();
    if (!driver || driver->dbmsType() != QSqlDriver::PostgreSQL)
        return false;
    if (!db.isOpen()) // Qt's driver reports a connection that libpq lost as closed
        return true;
    PGconn* connection = postgresConnection(db);
    return connection && pq.status && pq.status(connection) != CONNECTION_OK;
}

namespace {

QSqlError connectionError(PGconn* connection, const char* what) {
    return pgError(QLatin1String(what), pq.errorMessage(connection), nullptr, QSqlError::ConnectionError);
}

// Takes the connection out of pipeline mode, whatever was left: what was not read is read up to a sync of
// its own, and dropped.
void leavePipeline(PGconn* connection) {
    for (int tries = 0; tries < 3 && pq.status(connection) == CONNECTION_OK; ++tries) {
        if (pq.exitPipelineMode(connection) || !pq.pipelineSync(connection))
            return;
        for (int nulls = 0; pq.status(connection) == CONNECTION_OK && nulls < 1000;) {
            PGresult* left = pq.getResult(connection);
            if (!left) {
                ++nulls; // between one statement's results and the next's
                continue;
            }
            const bool sync = pq.resultStatus(left) == PGRES_PIPELINE_SYNC;
            pq.clear(left);
            if (sync)
                break;
        }
    }
}

// The answers of `count` statements sent and synced, then the sync's own.
QList<PipelinedOutcome> readPipeline(PGconn* connection, qsizetype count) {
    QList<PipelinedOutcome> outcomes;
    std::optional<QSqlError> first;
    for (qsizetype i = 0; i < count; ++i) {
        if (pq.status(connection) != CONNECTION_OK) {
            outcomes.append({std::nullopt, connectionError(connection, "No answer to the statement")});
            continue;
        }
        try {
            outcomes.append({collect(connection, {}), QSqlError()});
        } catch (const StatementError& e) {
            // After a failure the server skips the rest up to the sync: their error is the first one.
            if (!first)
                first = e.error();
            outcomes.append({std::nullopt, *first});
        }
    }
    if (pq.status(connection) == CONNECTION_OK) {
        if (PGresult* sync = pq.getResult(connection))
            pq.clear(sync);
    }
    return outcomes;
}

} // namespace

QList<PipelinedOutcome> runPipelined(const QSqlDatabase& db, const QList<PipelinedStatement>& statements) {
    PGconn* connection = postgresConnection(db);
    if (!connection || !pipelines(db))
        throw StatementError(
            QSqlError(QStringLiteral("No pipeline on this connection"), QString(), QSqlError::ConnectionError));
    // Every value is made ready before anything goes: a value that cannot go must not leave a BEGIN sent.
    std::vector<Outgoing> ready;
    for (const PipelinedStatement& statement : statements)
        ready.push_back(outgoing(statement.text, statement.bindings));
    if (!pq.enterPipelineMode(connection))
        throw StatementError(connectionError(connection, "Unable to start a pipeline"));
    const struct Leave {
        PGconn* connection;
        ~Leave() { leavePipeline(connection); }
    } leave{connection};
    const auto unanswered = [&](const QSqlError& error) {
        return QList<PipelinedOutcome>(statements.size(), PipelinedOutcome{std::nullopt, error});
    };
    try {
        for (const Outgoing& out : ready)
            send(connection, out);
    } catch (const StatementError& e) {
        // Nothing was answered: the server may still run what reached it before the sync, which never went.
        return unanswered(e.error());
    }
    if (!pq.pipelineSync(connection))
        return unanswered(connectionError(connection, "Unable to send the statements"));
    return readPipeline(connection, statements.size());
}

DataPacket packetFromQuery(QSqlQuery& query) {
    return packetFromQuery(query, {});
}

DataPacket packetFromQuery(QSqlQuery& query, const QSet<QString>& dateTimeColumns) {
    if (!query.isActive())
        fail(QStringLiteral("The query has no result to read: %1").arg(query.lastError().text()));
    // Finished whatever happens: a result left open would step its statement again, hold SQLite's read lock
    // or keep an ODBC connection busy.
    const FinishQuery finish{query};
    RowReader reader(query.record(), dateTimeColumns);
    DataPacket packet;
    if (sqlite3_stmt* statement = sqliteStatement(query)) {
        readSqlite(query, statement, reader, packet);
        packet.fields = reader.finish();
        return packet;
    }
    if (const auto [connection, first] = postgresResult(query); connection && first) {
        readPostgres(connection, first, reader, packet);
        packet.fields = reader.finish();
        return packet;
    }
    for (bool onRow = query.isValid() || query.next(); onRow; onRow = query.next())
        packet.rows.append(reader.read(query));
    if (query.lastError().isValid())
        fail(QStringLiteral("Reading the query result failed: %1").arg(query.lastError().text()));
    packet.fields = reader.finish();
    return packet;
}

} // namespace cadcons
