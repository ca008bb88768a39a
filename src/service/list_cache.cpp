#include "service/list_cache.h"

#include "config/logging.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace cadcons {

namespace {

const QString kDatabaseRow = QStringLiteral("DATABASE");
const QChar kSeparator(0x1F);
constexpr int kKeyColumns = 4; // LISTCHANGE's K1 to K4
constexpr int kFirstData = 2 + kKeyColumns;

QString connectionIdentity(const QSqlDatabase& db) {
    return QStringList{db.driverName(), db.hostName(), QString::number(db.port()), db.databaseName(), db.userName()}
        .join(kSeparator);
}

// The lists read whole from one table, with no value bound, whose rows the change log can name.
struct ChangingList {
    const char* key;
    const char* table;
    QStringList keyColumns;
};
const ChangingList kChangingLists[] = {
    {"adqPais", "PAIS", {QStringLiteral("CDPAIS")}},
    {"adqEstado", "ESTADO", {QStringLiteral("CDPAIS"), QStringLiteral("SGESTADO")}},
    {"adqMunicipio",
     "MUNICIPIO",
     {QStringLiteral("CDPAIS"), QStringLiteral("SGESTADO"), QStringLiteral("CDMUNICIPIO")}},
    {"adqBairro",
     "BAIRRO",
     {QStringLiteral("CDPAIS"), QStringLiteral("SGESTADO"), QStringLiteral("CDMUNICIPIO"), QStringLiteral("CDBAIRRO")}},
    {"adqTipoCons", "TIPOCONS", {QStringLiteral("CDTIPOCONS")}},
};

bool isText(FieldType type) {
    return type == FieldType::String || type == FieldType::WideString || type == FieldType::Memo;
}

// A kept list's column names go into the statement: only plain names do (the file could be another's).
bool plainName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Z][A-Z0-9_]{0,29}$"));
    return plain.match(name).hasMatch();
}

QString keyText(const QVariantList& row, const QList<int>& columns) {
    QStringList key;
    for (const int column : columns)
        key << row.value(column).toString();
    return key.join(kSeparator);
}

} // namespace

QList<ListCache::ChangeRead> ListCache::changeReads(const QString& connection) const {
    QList<ChangeRead> reads;
    if (noChangeLog_ || !database_.startsWith(connection + kSeparator))
        return reads;
    for (const ChangingList& list : kChangingLists) {
        const auto kept = kept_.constFind(QLatin1String(list.key));
        if (kept == kept_.cend() || kept->versions.size() != 1)
            continue;
        ChangeRead read{QLatin1String(list.key), QLatin1String(list.table), list.keyColumns, {}, kept->versions[0]};
        bool usable = true;
        for (const FieldDef& field : kept->packet.fields) {
            usable = usable && isText(field.type) && plainName(field.name);
            read.columns << field.name;
        }
        for (const QString& column : list.keyColumns)
            usable = usable && read.columns.contains(column);
        if (usable) {
            read.offset = reads.isEmpty() ? kFirstData : reads.last().offset + int(reads.last().columns.size());
            reads << read;
        }
    }
    return reads;
}

bool ListCache::merge(const ChangeRead& read, qint64 version, const QList<QVariantList>& changes) {
    const int offset = read.offset;
    Kept& kept = kept_[read.key];
    QList<int> keptKey;
    for (const QString& column : read.keyColumns)
        keptKey << read.columns.indexOf(column);
    QList<int> changeKey;
    for (int i = 0; i < read.keyColumns.size(); ++i)
        changeKey << 2 + i;
    // A key still in the table takes the place its row had (a renamed neighbourhood stays where it was
    // in the list); a new one goes last; one no longer there goes.
    QHash<QString, QVariantList> current;
    QSet<QString> changed;
    // A row's whole key is put together only when its last part is one of the changed keys' last parts:
    // a list of 60,000 rows is passed over without building 60,000 keys.
    QSet<QString> lastParts;
    for (const QVariantList& change : changes) {
        if (change.value(2).isNull())
            return false; // the log does not reach back to the list's version
        const QString key = keyText(change, changeKey);
        changed.insert(key);
        lastParts.insert(change.value(changeKey.last()).toString());
        if (change.value(offset + keptKey[0]).isNull())
            continue;
        QVariantList row;
        for (int i = 0; i < read.columns.size(); ++i) {
            const QVariant value = change.value(offset + i);
            row << (value.isNull() ? QVariant() : QVariant(value.toString()));
        }
        current.insert(key, std::move(row));
    }
    QList<QVariantList> rows;
    rows.reserve(kept.packet.rows.size() + current.size());
    for (QVariantList& row : kept.packet.rows) {
        if (!lastParts.contains(row.value(keptKey.last()).toString())) {
            rows << std::move(row);
            continue;
        }
        const QString key = keyText(row, keptKey);
        if (!changed.contains(key))
            rows << std::move(row);
        else if (const auto it = current.find(key); it != current.end())
            rows << std::move(*it), current.erase(it);
    }
    for (const QVariantList& change : changes) // in the order the statement gave them
        if (const auto it = current.find(keyText(change, changeKey)); it != current.end())
            rows << std::move(*it), current.erase(it);
    kept.packet.rows = std::move(rows);
    kept.versions = {version};
    qCDebug(lcService, "%s: %lld changed keys brought from the database", qUtf8Printable(read.key),
            qlonglong(changed.size()));
    return true;
}

void ListCache::loadFile(const QString& connection) {
    // A new process, or a file newly named: start from what the till kept, at this connection.
    fileRead_ = true;
    ListFile::Contents contents = file_->loadAt(connection);
    if (contents.database.isEmpty())
        return;
    if (contents.database != database_) {
        kept_.clear();
        database_ = contents.database;
    }
    for (ListFile::Entry& entry : contents.entries) {
        if (!kept_.contains(entry.key))
            kept_.insert(entry.key, Kept{entry.versions, std::move(entry.packet)});
    }
}

namespace {

// How many columns each row of the versions statement has for `reads`.
int rowWidth(const QList<ListCache::ChangeRead>& reads) {
    return reads.isEmpty() ? 2 : reads.last().offset + int(reads.last().columns.size());
}

// The versions, and for each of `reads` the current rows of the keys changed since its version. Every row
// then has the same columns: the table's name, its version (NULL on a changed row), the four keys, then each
// list's columns in turn (from its offset), NULL where a row has none.
QString versionsStatement(const QList<ListCache::ChangeRead>& reads) {
    if (reads.isEmpty())
        return QStringLiteral("SELECT TABLENAME, VERSION FROM LISTVERSION");
    const int width = rowWidth(reads);
    const auto nulls = [](int n) { return QStringList(n, QStringLiteral("NULL")); };
    QStringList branches{QStringLiteral("SELECT TABLENAME, VERSION, %1 FROM LISTVERSION")
                             .arg(nulls(width - 2).join(QLatin1String(", ")))};
    for (const ListCache::ChangeRead& read : reads) {
        QStringList columns{u'\'' + read.table + u'\'', QStringLiteral("NULL")};
        QStringList on;
        for (int i = 0; i < kKeyColumns; ++i)
            columns << (i < read.keyColumns.size() ? QStringLiteral("C.K%1").arg(i + 1) : QStringLiteral("NULL"));
        for (int i = 0; i < read.keyColumns.size(); ++i)
            on << QStringLiteral("T.%1 = C.K%2").arg(read.keyColumns[i]).arg(i + 1);
        columns << nulls(read.offset - kFirstData);
        for (const QString& column : read.columns)
            columns << QStringLiteral("T.") + column;
        columns << nulls(width - read.offset - int(read.columns.size()));
        branches << QStringLiteral("SELECT %1 FROM (SELECT DISTINCT K1, K2, K3, K4 FROM LISTCHANGE WHERE TABLENAME = "
                                   "'%2' AND VERSION > %3) C LEFT JOIN %2 T ON %4")
                        .arg(columns.join(QLatin1String(", ")), read.table, QString::number(read.from),
                             on.join(QLatin1String(" AND ")));
    }
    return branches.join(QLatin1String(" UNION ALL "));
}

} // namespace

ListCache::Answer ListCache::readVersions(const QSqlDatabase& db, const QList<ChangeRead>& reads,
                                          QHash<QString, qint64>& versions,
                                          QHash<QString, QList<QVariantList>>& changes) const {
    // A plain statement: one round trip, where a prepared one takes three.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(versionsStatement(reads))) {
        qCDebug(lcService, "no list versions%s (%s)", reads.isEmpty() ? "" : " or change log",
                qUtf8Printable(query.lastError().text()));
        return Answer::Refused;
    }
    const int width = rowWidth(reads);
    while (query.next()) {
        const QString table = query.value(0).toString().trimmed().toUpper();
        if (!query.isNull(1)) {
            versions.insert(table, query.value(1).toLongLong());
            continue;
        }
        QVariantList row;
        for (int i = 0; i < width; ++i)
            row << query.value(i);
        changes[table] << std::move(row);
    }
    // Rows come as the server sends them: a link lost half-way ends them early, and half the changes merged
    // with the whole version would be a list that never was.
    if (!query.lastError().isValid())
        return Answer::Read;
    qCDebug(lcService, "list versions cut off (%s): nothing kept is served", qUtf8Printable(query.lastError().text()));
    return Answer::CutOff;
}

bool ListCache::check(const QSqlDatabase& db) {
    checked_ = unchecked_ = false;
    if (noVersions_)
        return false;
    const QString connection = connectionIdentity(db);
    if (file_ && !fileRead_)
        loadFile(connection);
    QList<ChangeRead> reads = changeReads(connection);
    QHash<QString, qint64> versions;
    QHash<QString, QList<QVariantList>> changes;
    Answer answer = readVersions(db, reads, versions, changes);
    if (answer == Answer::Refused && !reads.isEmpty()) {
        // No change log here (a database made before it, or a chain's own): versions alone, as before.
        noChangeLog_ = true;
        reads.clear();
        answer = readVersions(db, reads, versions, changes);
    }
    if (answer != Answer::Read)
        return false;
    if (!versions.contains(kDatabaseRow)) {
        qCDebug(lcService, "LISTVERSION has no DATABASE row: every list is read afresh");
        return true;
    }
    const QString database = connection + kSeparator + QString::number(versions.value(kDatabaseRow));
    if (database != database_) {
        kept_.clear();
        database_ = database;
        reads.clear();
    }
    for (const ChangeRead& read : reads) {
        const qint64 version = versions.value(read.table, -1);
        // Versions that went back (a database restored from a copy) are no change to apply: read whole.
        if (version > read.from && merge(read, version, changes.value(read.table)))
            dirty_ = true;
    }
    versions_ = std::move(versions);
    checked_ = true;
    return true;
}

bool ListCache::serveUnchecked(const QSqlDatabase& db) {
    checked_ = false;
    const QString connection = connectionIdentity(db);
    if (file_ && !fileRead_)
        loadFile(connection);
    unchecked_ = !kept_.isEmpty() && database_.startsWith(connection + kSeparator);
    return unchecked_;
}

void ListCache::useFile(const QString& path) {
    if (path.isEmpty()) {
        file_.reset();
        return;
    }
    if (file_ && file_->path() == path)
        return;
    file_ = std::make_unique<ListFile>(path);
    fileRead_ = false;
    dirty_ = !kept_.isEmpty();
}

void ListCache::flush() {
    if (!file_ || !dirty_ || database_.isEmpty())
        return;
    QList<ListFile::Entry> entries;
    for (auto it = kept_.cbegin(); it != kept_.cend(); ++it)
        entries << ListFile::Entry{it.key(), it->versions, it->packet};
    file_->save(database_, entries);
    // A file that cannot be written is not tried again until another list is read.
    dirty_ = false;
}

bool ListCache::versionsOf(const QStringList& tables, QList<qint64>& versions) const {
    if (!checked_)
        return false;
    versions.clear();
    for (const QString& table : tables) {
        const auto it = versions_.constFind(table);
        if (it == versions_.cend())
            return false;
        versions << *it;
    }
    return true;
}

const DataPacket* ListCache::find(const QString& key, const QStringList& tables) const {
    if (unchecked_) {
        const auto it = kept_.constFind(key);
        return it != kept_.cend() ? &it->packet : nullptr;
    }
    QList<qint64> versions;
    if (!versionsOf(tables, versions))
        return nullptr;
    const auto it = kept_.constFind(key);
    return it != kept_.cend() && it->versions == versions ? &it->packet : nullptr;
}

void ListCache::keep(const QString& key, const QStringList& tables, const DataPacket& packet) {
    ++reads_;
    QList<qint64> versions;
    if (versionsOf(tables, versions)) {
        kept_.insert(key, Kept{versions, packet});
        dirty_ = true;
    } else {
        dirty_ = kept_.remove(key) > 0 || dirty_;
    }
}

} // namespace cadcons
