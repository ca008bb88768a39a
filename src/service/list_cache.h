#pragma once

#include "platform/data_packet.h"
#include "service/list_file.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>

namespace cadcons {

// The reference lists kept between openings, each beside the versions of its tables it was read at. The
// versions come from LISTVERSION, which the schema's triggers count up with every change to a table. A
// database without that table cannot tell: every list is then read afresh, as it always was. With a
// ListFile, what is kept also outlives the process: a new process starts from the file's lists.
//
// Where the database also keeps LISTCHANGE (the keys each version changed), a kept list of one table that
// fell behind is brought up to date from the rows of the changed keys, read in the same statement as the
// versions: one round trip, and the versions and the rows seen at one moment. It is read whole instead when
// the log no longer reaches back to its version (a row without keys above it: the log trimmed, the table
// truncated, the log newer than the list).
class ListCache {
public:
    // Reads every version in one statement. Until the next check, a list whose tables still have the
    // versions it was read at is served from here. A database other than the one checked last (another
    // connection string, or a database made anew at the same place) forgets what was kept. Never throws:
    // when the versions cannot be read, nothing is served from here until a check succeeds. True when the
    // database answered the statement, which tells that the connection is alive.
    bool check(const QSqlDatabase& db);
    // The check failed on a connection that answers otherwise: the database keeps no versions. Until the
    // next connection, a check asks it nothing (no failing statement at every opening).
    void noVersionsHere() { noVersions_ = true; }
    // A connection made anew may reach a database that keeps them.
    void connectionMade() { noVersions_ = noChangeLog_ = false; }
    // Nothing is served from here until the next check (after a failure, inside a transaction).
    void suspend() { checked_ = false; }
    // The database `db` names does not answer: until the next check, every list kept for it is served as it
    // was kept, the file's included. True when there is any.
    bool serveUnchecked(const QSqlDatabase& db);

    // The list kept under `key`, when its tables have the versions it was read at; nullptr when it must
    // be read.
    const DataPacket* find(const QString& key, const QStringList& tables) const;
    // Keeps a list read from the database after the last check. Kept only when the versions of its tables
    // are known.
    void keep(const QString& key, const QStringList& tables, const DataPacket& packet);
    // How many lists came from the database rather than from what is kept.
    int readsFromDatabase() const { return reads_; }

    // Keeps the lists in the file at `path` from now on ("" for none). A new path is read at the next check
    // of a database, and written at the next flush.
    void useFile(const QString& path);
    // Writes what is kept to the file when a list was read since the last write. Never throws.
    void flush();

private:
    // The versions of `tables` as the last check read them; false when one is not known.
    bool versionsOf(const QStringList& tables, QList<qint64>& versions) const;

public:
    // A list that the check can bring up to date: its table's changed rows, from its version on, in the
    // versions statement's columns from `offset`.
    struct ChangeRead {
        QString key, table;
        QStringList keyColumns, columns;
        qint64 from = 0;
        int offset = 0;
    };

private:
    void loadFile(const QString& connection);
    QList<ChangeRead> changeReads(const QString& connection) const;
    enum class Answer { Read, Refused, CutOff };
    // Reads the versions, and the changed rows of `reads`, in one statement.
    Answer readVersions(const QSqlDatabase& db, const QList<ChangeRead>& reads, QHash<QString, qint64>& versions,
                        QHash<QString, QList<QVariantList>>& changes) const;
    // Applies the rows a check read for `read`; false when the list must be read whole.
    bool merge(const ChangeRead& read, qint64 version, const QList<QVariantList>& changes);

    struct Kept {
        QList<qint64> versions;
        DataPacket packet;
    };
    QString database_; // the connection and the database's own token the kept lists came from
    QHash<QString, qint64> versions_;
    QHash<QString, Kept> kept_;
    std::unique_ptr<ListFile> file_;
    bool fileRead_ = false; // the file was read for database_
    bool dirty_ = false;    // a list was kept since the file was written
    bool checked_ = false;
    bool unchecked_ = false; // served without versions (serveUnchecked)
    bool noVersions_ = false;
    bool noChangeLog_ = false; // the database keeps no LISTCHANGE: until the next connection, not asked
    int reads_ = 0;
};

} // namespace cadcons
