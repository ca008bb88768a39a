#include "platform/sql_provider.h"

#include "platform/text.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <cstring>
#include <dlfcn.h>
#include <limits>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace cadcons {

namespace {

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
                Previous& previous = previous_[i];
                if (!previous.set || previous.bytes.size() != size_t(bytes) ||
                    std::memcmp(previous.bytes.data(), text, size_t(bytes)) != 0) {
                    previous.bytes.assign(text, size_t(bytes));
                    previous.value = QString::fromUtf8(text, bytes);
                    previous.set = true;
                    fields_[i].width = std::max<int>(fields_[i].width, static_cast<int>(previous.value.size()));
                }
                cell[i] = previous.value;
                break;
            }
            }
        }
        return row;
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

// Whether Qt's SQLite driver runs on the SQLite this library calls. A Qt built with its own copy of
// SQLite keeps that copy private, and its statements must never reach another copy: the driver's
// plugin (where its virtual table lives) must find sqlite3_step where this library does.
bool driverSharesOurSqlite(const QSqlDriver* driver) {
    static const bool shared = [driver] {
        Dl_info info{};
        if (!dladdr(*reinterpret_cast<void* const*>(driver), &info) || !info.dli_fname)
            return false;
        void* plugin = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
        if (!plugin)
            return false;
        const void* step = dlsym(plugin, "sqlite3_step");
        dlclose(plugin);
        return step == reinterpret_cast<const void*>(&sqlite3_step);
    }();
    return shared;
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
// and the query is finished afterwards so that it never steps the statement again.
void readSqlite(QSqlQuery& query, sqlite3_stmt* statement, RowReader& reader, DataPacket& packet) {
    struct Finish {
        QSqlQuery& query;
        ~Finish() { query.finish(); }
    } finish{query};
    if (!query.next())
        return;
    int status = SQLITE_ROW;
    for (; status == SQLITE_ROW; status = sqlite3_step(statement))
        packet.rows.append(reader.read(statement));
    if (status != SQLITE_DONE)
        fail(QStringLiteral("Reading the query result failed: %1")
                 .arg(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement)))));
}

} // namespace

DataPacket packetFromQuery(QSqlQuery& query) {
    return packetFromQuery(query, {});
}

DataPacket packetFromQuery(QSqlQuery& query, const QSet<QString>& dateTimeColumns) {
    if (!query.isActive())
        fail(QStringLiteral("The query has no result to read: %1").arg(query.lastError().text()));
    RowReader reader(query.record(), dateTimeColumns);
    DataPacket packet;
    if (sqlite3_stmt* statement = sqliteStatement(query)) {
        readSqlite(query, statement, reader, packet);
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
