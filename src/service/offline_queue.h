#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
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
    // What the sender needs of the call that queued a save, beside the save's own values.
    struct CallSettings {
        QString exConsAtFil, exConsAtGer; // the central registration's (IDEXCONSATFIL, IDEXCONSATGER)
        bool badgeChecked = false;        // a badge held by another consumer refuses the save (IDBLOQCDIDCONS)
    };
    struct Record {
        qint64 number = 0;
        QDateTime queued;
        GravaConsumidor values;
        CallSettings settings;
        QString refused;  // why the database refused it at sending; empty while it waits
        QString decision; // what the sender decided in the operator's place, and why
    };

    // Opens the queue at `path`, made when missing. Throws QueueError when it can be neither opened nor made.
    explicit OfflineQueue(const QString& path);
    ~OfflineQueue();
    OfflineQueue(const OfflineQueue&) = delete;
    OfflineQueue& operator=(const OfflineQueue&) = delete;

    static QString fileName() { return QStringLiteral("cadcons-queue.sqlite"); }
    const QString& path() const { return path_; }
    // Where a damaged queue found at opening was moved; empty when none was.
    const QString& damagedFile() const { return damaged_; }

    // Queues a save; its number, which orders the queue. Throws QueueError (a full disk among the reasons):
    // nothing is queued then.
    qint64 append(const GravaConsumidor& values, const CallSettings& settings);
    qint64 append(const GravaConsumidor& values) { return append(values, CallSettings()); }
    // Every record, in order.
    QList<Record> records() const;
    // How many records wait to be sent (refused ones not counted).
    int waiting() const;
    // What of `values` a waiting record of the same customer already holds: "code", "badge", "CPF", "RG".
    QStringList clashes(const GravaConsumidor& values) const;
    // Marks a record as refused by the database, with the reason; it stays until dropped.
    void refuse(qint64 number, const QString& reason);
    // Records what the sender decided in the operator's place.
    void decide(qint64 number, const QString& decision);
    // Removes a record; false when there is none with that number.
    bool remove(qint64 number);
    // The record's save is committed: it goes, and what was decided for it is kept in the sent list, without
    // its values.
    void sent(qint64 number);
    // What the sender decided for records since sent, one line each (number, when, customer, code, decision).
    QStringList decisions() const;

    // Held while one process sends; the lock goes with the process, however it ends.
    class SendLock {
    public:
        explicit SendLock(int fd)
            : fd_(fd) {}
        ~SendLock();
        SendLock(const SendLock&) = delete;
        SendLock& operator=(const SendLock&) = delete;

    private:
        int fd_;
    };
    // The right to send, or nullptr when another process has it. Throws QueueError when the lock file
    // cannot be made.
    std::unique_ptr<SendLock> lockForSending() const;

private:
    void exec(const char* sql) const;
    // Why the open file is no queue of this format; empty when it is one.
    QString readable();
    sqlite3* db_ = nullptr;
    QString path_, damaged_;
};

} // namespace cadcons
