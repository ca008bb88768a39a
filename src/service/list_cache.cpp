#include "service/list_cache.h"

#include "config/logging.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace cadcons {

namespace {

const QString kDatabaseRow = QStringLiteral("DATABASE");

QString connectionIdentity(const QSqlDatabase& db) {
    return QStringList{db.driverName(), db.hostName(), QString::number(db.port()), db.databaseName(), db.userName()}
        .join(QChar(0x1F));
}

} // namespace

bool ListCache::check(const QSqlDatabase& db) {
    checked_ = false;
    if (noVersions_)
        return false;
    QHash<QString, qint64> versions;
    {
        // A plain statement: one round trip, where a prepared one takes three.
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT TABLENAME, VERSION FROM LISTVERSION"))) {
            qCDebug(lcService, "no list versions (%s): every list is read afresh",
                    qUtf8Printable(query.lastError().text()));
            return false;
        }
        while (query.next())
            versions.insert(query.value(0).toString().trimmed().toUpper(), query.value(1).toLongLong());
    }
    if (!versions.contains(kDatabaseRow)) {
        qCDebug(lcService, "LISTVERSION has no DATABASE row: every list is read afresh");
        return true;
    }
    const QString database = connectionIdentity(db) + QChar(0x1F) + QString::number(versions.value(kDatabaseRow));
    if (database != database_) {
        kept_.clear();
        database_ = database;
        fileRead_ = false;
    }
    if (file_ && !fileRead_) {
        // A new process, or a file newly named: start from what the till kept.
        for (ListFile::Entry& entry : file_->load(database_)) {
            if (!kept_.contains(entry.key))
                kept_.insert(entry.key, Kept{entry.versions, std::move(entry.packet)});
        }
        fileRead_ = true;
    }
    versions_ = std::move(versions);
    checked_ = true;
    return true;
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
