#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

struct sqlite3;

namespace cadcons {

class QueueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// New consumers registered while the database was out of reach, waiting on the till's disk to be sent. One
// SQLite file beside the kept lists, mode 0600 (its journal takes the same), every write on disk
// (synchronous FULL) before it is reported done. The saves are kept as the save gets them: the passwords
// already encrypted, the digests as stored; nothing as typed. A record goes only when removed, which the
// sender does once its commit is known. A file that cannot be read as a queue is never deleted: it is moved
// aside (NAME.damaged-TIMESTAMP), named by damagedFile(), and a new queue begins.
class OfflineQueue {
public:
    struct Record {
        qint64 number = 0;
        QDateTime queued;
        GravaConsumidor values;
        QString refused;  // why the database refused it at sending; empty while it waits
        QString decision; // what the sender decided in the operator's place, and why
    };

    // Opens the queue at `path`, made when missing. Throws QueueError when it can be neither opened nor made.
    explicit OfflineQueue(const QString& path);
    ~OfflineQueue();
    OfflineQueue(const OfflineQueue&) = delete;
    OfflineQueue& operator=(const OfflineQueue&) = delete;

    static QString fileName() { return QStringLiteral("cadcons-queue.sqlite"); }
    // Where a damaged queue found at opening was moved; empty when none was.
    const QString& damagedFile() const { return damaged_; }

    // Queues a save; its number, which orders the queue. Throws QueueError (a full disk among the reasons):
    // nothing is queued then.
    qint64 append(const GravaConsumidor& values);
    // Every record, in order.
    QList<Record> records() const;
    // What of `values` a waiting record of the same customer already holds: "code", "badge", "CPF", "RG".
    QStringList clashes(const GravaConsumidor& values) const;
    // Marks a record as refused by the database, with the reason; it stays until dropped.
    void refuse(qint64 number, const QString& reason);
    // Records what the sender decided in the operator's place.
    void decide(qint64 number, const QString& decision);
    // Removes a record; false when there is none with that number.
    bool remove(qint64 number);

private:
    void exec(const char* sql) const;
    sqlite3* db_ = nullptr;
    QString path_, damaged_;
};

} // namespace cadcons
