#pragma once

#include "platform/data_packet.h"

#include <QList>
#include <QString>

namespace cadcons {

// The reference lists kept on the till's disk, so that a new process's first opening needs not read
// them across the store link again. One SQLite file holds every list with the versions of its tables
// and a digest, labelled with the format and the database the lists came from. It holds no secret.
//
// A file that is missing, unreadable, truncated, damaged, of another format or of another database is
// not trusted: load() gives nothing and the next save() writes it anew. save() writes a new file beside
// it (mode 0600) and renames it over the old one, so a reader, another process included, sees the old
// file or the new one, never half of one. It is not synced to disk: after a power cut the digest tells a
// damaged file, which is then written anew. A directory that cannot be written means no kept file; that is
// logged once, never shown to the operator.
class ListFile {
public:
    struct Entry {
        QString key;
        QList<qint64> versions;
        DataPacket packet;
    };

    explicit ListFile(QString path)
        : path_(std::move(path)) {}
    ~ListFile() = default;
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;
    const QString& path() const { return path_; }

    // What a file holds: the database its lists came from ("" when there is nothing to trust) and the lists.
    struct Contents {
        QString database;
        QList<Entry> entries;
    };
    // Reads the file at `path`; no Qt application needed.
    static Contents readFile(const QString& path);
    // The lists kept for a database reached through `connection` (the first part of that identity, before
    // the database's own token), with the identity they were kept for; nothing when there are none.
    Contents loadAt(const QString& connection);
    // Replaces what is kept with `entries` of `database`. False when the file could not be written.
    bool save(const QString& database, const QList<Entry>& entries);

    static constexpr int kFormat = 1;
    static QString fileName() { return QStringLiteral("cadcons-lists.sqlite"); }

private:
    QString path_;
    bool toldUnwritable_ = false;
};

} // namespace cadcons
