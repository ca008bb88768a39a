#include "service/offline_queue.h"

#include "config/logging.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace cadcons {

namespace {

constexpr int kFormat = 2;

const char* const kSchema = "CREATE TABLE IF NOT EXISTS META (NAME TEXT PRIMARY KEY, VALUE TEXT NOT NULL);"
                            "CREATE TABLE IF NOT EXISTS QUEUE (NUMBER INTEGER PRIMARY KEY AUTOINCREMENT, "
                            "QUEUED TEXT NOT NULL, CDCLIENTE TEXT NOT NULL, CDCONSUMIDOR TEXT NOT NULL, "
                            "SAVE TEXT NOT NULL, "
                            "REFUSED TEXT, DECISION TEXT, SETTINGS TEXT NOT NULL);"
                            "CREATE TABLE IF NOT EXISTS SENT (NUMBER INTEGER PRIMARY KEY, QUEUED TEXT NOT NULL, "
                            "SENT TEXT NOT NULL, CDCLIENTE TEXT NOT NULL, CDCONSUMIDOR TEXT NOT NULL, DECISION TEXT "
                            "NOT NULL);";

QString sqliteText(sqlite3* db) {
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

// A statement with its values bound in order, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql, const QStringList& values = {})
        : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            throw QueueError(("the queue: " + sqliteText(db)).toStdString());
        for (int i = 0; i < values.size(); ++i) {
            const QByteArray text = values[i].toUtf8();
            sqlite3_bind_text(statement_, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // True while there is a row; throws on an error.
    bool step() {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw QueueError(("the queue: " + sqliteText(db_)).toStdString());
        return false;
    }
    QString text(int column) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement_, column)) : QString();
    }
    qint64 number(int column) const { return sqlite3_column_int64(statement_, column); }

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

QString saveText(const GravaConsumidor& values) {
    QJsonObject object;
    for (const SaveArgument& argument : kSaveArguments)
        object.insert(QLatin1String(argument.name), values.*argument.member);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

GravaConsumidor saveOf(const QString& text) {
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    GravaConsumidor values;
    for (const SaveArgument& argument : kSaveArguments)
        values.*argument.member = object.value(QLatin1String(argument.name)).toString();
    return values;
}

QString settingsText(const OfflineQueue::CallSettings& settings) {
    const QJsonObject object{{QStringLiteral("IDEXCONSATFIL"), settings.exConsAtFil},
                             {QStringLiteral("IDEXCONSATGER"), settings.exConsAtGer},
                             {QStringLiteral("IDBLOQCDIDCONS"), settings.badgeChecked}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

OfflineQueue::CallSettings settingsOf(const QString& text) {
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    return {object.value(QStringLiteral("IDEXCONSATFIL")).toString(),
            object.value(QStringLiteral("IDEXCONSATGER")).toString(),
            object.value(QStringLiteral("IDBLOQCDIDCONS")).toBool()};
}

// The file made with its final mode before SQLite writes into it; an existing one keeps its own.
void makeFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    else if (errno != EEXIST)
        throw QueueError(QStringLiteral("the queue %1 cannot be made: %2")
                             .arg(path, QString::fromLocal8Bit(strerror(errno)))
                             .toStdString());
}

} // namespace

OfflineQueue::OfflineQueue(const QString& path)
    : path_(path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        makeFile(path_);
        QString problem;
        if (sqlite3_open_v2(QFile::encodeName(path_).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            problem = sqliteText(db_);
        } else {
            sqlite3_busy_timeout(db_, 10000);
            try {
                problem = readable();
            } catch (const QueueError& e) {
                // Only a file SQLite cannot read is damaged: a busy or failing disk leaves it where it is.
                const int code = sqlite3_errcode(db_) & 0xff;
                if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB) {
                    sqlite3_close(db_);
                    db_ = nullptr;
                    throw;
                }
                problem = QString::fromUtf8(e.what());
            }
        }
        if (problem.isEmpty())
            return;
        sqlite3_close(db_);
        db_ = nullptr;
        if (attempt > 0 || !QFileInfo(path_).isFile())
            throw QueueError(QStringLiteral("the queue %1 cannot be opened: %2").arg(path_, problem).toStdString());
        // Registrations may be in it: kept for whoever can read it, never deleted.
        damaged_ = path_ + QStringLiteral(".damaged-") +
                   QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmsszzz"));
        if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(damaged_).constData()) != 0)
            throw QueueError(QStringLiteral("the queue %1 cannot be read (%2) nor moved aside: %3")
                                 .arg(path_, problem, QString::fromLocal8Bit(strerror(errno)))
                                 .toStdString());
        qCCritical(lcService, "the queue %s cannot be read (%s): moved aside to %s, a new queue begins",
                   qUtf8Printable(path_), qUtf8Printable(problem), qUtf8Printable(damaged_));
    }
}

QString OfflineQueue::readable() {
    exec("PRAGMA synchronous = FULL;");
    Statement check(db_, "PRAGMA quick_check");
    if (!check.step() || check.text(0) != QLatin1String("ok"))
        return QStringLiteral("it fails SQLite's check");
    // The write lock first, so that a sender's open transaction is waited for rather than met half-way.
    exec("BEGIN IMMEDIATE");
    try {
        exec(kSchema);
        Statement(db_, "INSERT OR IGNORE INTO META (NAME, VALUE) VALUES ('FORMAT', ?)", {QString::number(kFormat)})
            .step();
        Statement read(db_, "SELECT VALUE FROM META WHERE NAME = 'FORMAT'");
        const bool ours = read.step() && read.text(0) == QString::number(kFormat);
        exec("COMMIT");
        return ours ? QString() : QStringLiteral("it is of another format");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

OfflineQueue::~OfflineQueue() {
    sqlite3_close(db_);
}

void OfflineQueue::exec(const char* sql) const {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        throw QueueError(("the queue: " + text).toStdString());
    }
}

qint64 OfflineQueue::append(const GravaConsumidor& v, const CallSettings& settings) {
    Statement insert(db_, "INSERT INTO QUEUE (QUEUED, CDCLIENTE, CDCONSUMIDOR, SAVE, SETTINGS) VALUES (?, ?, ?, ?, ?)",
                     {QDateTime::currentDateTime().toString(Qt::ISODateWithMs), v.cdCliente, v.cdConsumidor,
                      saveText(v), settingsText(settings)});
    insert.step();
    return sqlite3_last_insert_rowid(db_);
}

QList<OfflineQueue::Record> OfflineQueue::records() const {
    QList<Record> out;
    Statement select(db_, "SELECT NUMBER, QUEUED, SAVE, SETTINGS, REFUSED, DECISION FROM QUEUE ORDER BY NUMBER");
    while (select.step())
        out.append({select.number(0), QDateTime::fromString(select.text(1), Qt::ISODateWithMs), saveOf(select.text(2)),
                    settingsOf(select.text(3)), select.text(4), select.text(5)});
    return out;
}

int OfflineQueue::waiting() const {
    Statement count(db_, "SELECT COUNT(*) FROM QUEUE WHERE REFUSED IS NULL");
    return count.step() ? int(count.number(0)) : 0;
}

QStringList OfflineQueue::clashes(const GravaConsumidor& v) const {
    const struct {
        const char* what;
        QString GravaConsumidor::*member;
    } keys[] = {{"code", &GravaConsumidor::cdConsumidor},
                {"badge", &GravaConsumidor::cdIdConsumid},
                {"CPF", &GravaConsumidor::nrCpfRespCon},
                {"RG", &GravaConsumidor::nrRgConsumid}};
    const QList<Record> all = records();
    QStringList out;
    for (const auto& key : keys) {
        const QString& value = v.*key.member;
        // An empty document belongs to nobody.
        if (!value.trimmed().isEmpty() && std::any_of(all.cbegin(), all.cend(), [&](const Record& r) {
                return r.refused.isEmpty() && r.values.cdCliente == v.cdCliente && r.values.*key.member == value;
            }))
            out << QLatin1String(key.what);
    }
    return out;
}

void OfflineQueue::refuse(qint64 number, const QString& reason) {
    Statement(db_, "UPDATE QUEUE SET REFUSED = ? WHERE NUMBER = ?", {reason, QString::number(number)}).step();
}

void OfflineQueue::decide(qint64 number, const QString& decision) {
    Statement(db_, "UPDATE QUEUE SET DECISION = ? WHERE NUMBER = ?", {decision, QString::number(number)}).step();
}

bool OfflineQueue::remove(qint64 number) {
    Statement(db_, "DELETE FROM QUEUE WHERE NUMBER = ?", {QString::number(number)}).step();
    return sqlite3_changes(db_) > 0;
}

void OfflineQueue::sent(qint64 number) {
    // One transaction: the record is either still waiting or gone with its decision kept.
    exec("BEGIN IMMEDIATE");
    try {
        const QString key = QString::number(number);
        Statement(db_,
                  "INSERT INTO SENT (NUMBER, QUEUED, SENT, CDCLIENTE, CDCONSUMIDOR, DECISION) SELECT NUMBER, QUEUED, "
                  "?, CDCLIENTE, CDCONSUMIDOR, DECISION FROM QUEUE WHERE NUMBER = ? AND DECISION IS NOT NULL",
                  {QDateTime::currentDateTime().toString(Qt::ISODateWithMs), key})
            .step();
        Statement(db_, "DELETE FROM QUEUE WHERE NUMBER = ?", {key}).step();
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

QStringList OfflineQueue::decisions() const {
    QStringList out;
    Statement select(db_, "SELECT NUMBER, SENT, CDCLIENTE, CDCONSUMIDOR, DECISION FROM SENT ORDER BY NUMBER");
    while (select.step())
        out << QStringLiteral("%1  sent %2  customer %3  code %4  %5")
                   .arg(select.number(0))
                   .arg(select.text(1), select.text(2), select.text(3).trimmed(), select.text(4));
    return out;
}

OfflineQueue::SendLock::~SendLock() {
    ::close(fd_);
}

std::unique_ptr<OfflineQueue::SendLock> OfflineQueue::lockForSending() const {
    // A lock file of its own: closing any descriptor of the queue file would drop SQLite's locks on it.
    const QByteArray name = QFile::encodeName(path_ + QStringLiteral(".send-lock"));
    const int fd = ::open(name.constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        throw QueueError(QStringLiteral("the queue's lock %1 cannot be made: %2")
                             .arg(QFile::decodeName(name), QString::fromLocal8Bit(strerror(errno)))
                             .toStdString());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SendLock>(fd);
}

} // namespace cadcons
