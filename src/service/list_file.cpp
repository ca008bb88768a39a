#include "service/list_file.h"

#include "config/logging.h"
#include "platform/packet_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

namespace cadcons {

namespace {

QString versionsText(const QList<qint64>& versions) {
    QString text;
    for (qint64 v : versions)
        text += (text.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(v);
    return text;
}

bool versionsOf(const QString& text, QList<qint64>& versions) {
    versions.clear();
    if (text.isEmpty())
        return true;
    for (const QString& part : text.split(u',')) {
        bool ok = false;
        versions << part.toLongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

// Over the key, the versions and the packet, so that none of them can change unnoticed.
QByteArray digest(const QString& key, const QString& versions, const QByteArray& data) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    QByteArray out(EVP_MAX_MD_SIZE, '\0');
    unsigned size = 0;
    bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    for (const QByteArray& part : {key.toUtf8(), versions.toUtf8()})
        ok = ok && EVP_DigestUpdate(context.get(), part.constData(), size_t(part.size())) == 1 &&
             EVP_DigestUpdate(context.get(), "\x1F", 1) == 1;
    ok = ok && EVP_DigestUpdate(context.get(), data.constData(), size_t(data.size())) == 1 &&
         EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(out.data()), &size) == 1;
    if (!ok)
        throw std::runtime_error("the lists' digest could not be computed");
    out.resize(size);
    return out;
}

struct Refused {
    QString why;
};

// The file through SQLite's own interface: no Qt driver, and no connection name to keep apart from the
// host's own.
class File {
public:
    File(const QString& path, int flags) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) != SQLITE_OK) {
            // A handle that failed to open is still a handle: closed here, since no destructor will run.
            const Refused refused{db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory")};
            sqlite3_close_v2(db_);
            throw refused;
        }
        sqlite3_busy_timeout(db_, 2000);
    }
    ~File() { sqlite3_close_v2(db_); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    [[noreturn]] void fail() const {
        throw Refused{db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory")};
    }
    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }

    class Statement {
    public:
        Statement(File& file, const char* sql)
            : file_(file) {
            if (sqlite3_prepare_v2(file.db_, sql, -1, &stmt_, nullptr) != SQLITE_OK)
                file.fail();
        }
        ~Statement() { sqlite3_finalize(stmt_); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        // True at a row, false at the end.
        bool step() {
            const int rc = sqlite3_step(stmt_);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                file_.fail();
            return rc == SQLITE_ROW;
        }
        QString text(int column) const {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)),
                                     sqlite3_column_bytes(stmt_, column));
        }
        QByteArray blob(int column) const {
            const void* data = sqlite3_column_blob(stmt_, column);
            return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, column));
        }
        void bind(int index, const QByteArray& bytes, bool asText) {
            const int rc =
                asText ? sqlite3_bind_text(stmt_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT)
                       : sqlite3_bind_blob(stmt_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            if (rc != SQLITE_OK)
                file_.fail();
        }
        void run() {
            step();
            sqlite3_reset(stmt_);
        }

    private:
        File& file_;
        sqlite3_stmt* stmt_ = nullptr;
    };

private:
    sqlite3* db_ = nullptr;
};

ListFile::Contents read(const QString& path) {
    File file(path, SQLITE_OPEN_READONLY);
    ListFile::Contents contents;
    QString format;
    {
        File::Statement meta(file, "SELECT NAME, VALUE FROM META");
        while (meta.step()) {
            const QString name = meta.text(0);
            if (name == QLatin1String("FORMAT"))
                format = meta.text(1);
            else if (name == QLatin1String("DATABASE"))
                contents.database = meta.text(1);
        }
    }
    if (format != QString::number(ListFile::kFormat))
        throw Refused{QStringLiteral("format \"%1\", not %2").arg(format).arg(ListFile::kFormat)};
    File::Statement lists(file, "SELECT LISTKEY, VERSIONS, DIGEST, DATA FROM LISTS");
    while (lists.step()) {
        ListFile::Entry entry;
        entry.key = lists.text(0);
        const QString versions = lists.text(1);
        const QByteArray data = lists.blob(3);
        if (lists.blob(2) != digest(entry.key, versions, data) || !versionsOf(versions, entry.versions))
            throw Refused{QStringLiteral("the list %1 does not match its digest").arg(entry.key)};
        entry.packet = readPacketBinary(data, entry.key);
        contents.entries << std::move(entry);
    }
    return contents;
}

void write(const QString& path, const QString& database, const QList<ListFile::Entry>& entries) {
    File file(path, SQLITE_OPEN_READWRITE);
    // The file is renamed into place whole; a journal would only cost time.
    file.exec("PRAGMA journal_mode = OFF");
    file.exec("PRAGMA synchronous = OFF");
    file.exec("CREATE TABLE META (NAME TEXT PRIMARY KEY, VALUE TEXT NOT NULL)");
    file.exec("CREATE TABLE LISTS (LISTKEY TEXT PRIMARY KEY, VERSIONS TEXT NOT NULL, DIGEST BLOB NOT NULL, "
              "DATA BLOB NOT NULL)");
    file.exec("BEGIN");
    {
        File::Statement meta(file, "INSERT INTO META (NAME, VALUE) VALUES (?, ?)");
        for (const auto& [name, value] : {std::pair{QByteArray("FORMAT"), QByteArray::number(ListFile::kFormat)},
                                          {"DATABASE", database.toUtf8()}}) {
            meta.bind(1, name, true);
            meta.bind(2, value, true);
            meta.run();
        }
        File::Statement lists(file, "INSERT INTO LISTS (LISTKEY, VERSIONS, DIGEST, DATA) VALUES (?, ?, ?, ?)");
        for (const ListFile::Entry& entry : entries) {
            const QString versions = versionsText(entry.versions);
            const QByteArray data = writePacketBinary(entry.packet);
            lists.bind(1, entry.key.toUtf8(), true);
            lists.bind(2, versions.toUtf8(), true);
            lists.bind(3, digest(entry.key, versions, data), false);
            lists.bind(4, data, false);
            lists.run();
        }
    }
    file.exec("COMMIT");
}

void tellNotUsed(const QString& path, const QString& why) {
    qCInfo(lcService, "the kept lists in %s are not used (%s); they are read anew", qUtf8Printable(path),
           qUtf8Printable(why));
}

} // namespace

ListFile::Contents ListFile::readFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    try {
        return read(path);
    } catch (const Refused& refused) {
        tellNotUsed(path, refused.why);
    } catch (const std::exception& e) {
        tellNotUsed(path, QString::fromUtf8(e.what()));
    }
    return {};
}

ListFile::Contents ListFile::loadAt(const QString& connection) {
    Contents contents = readFile(path_);
    if (contents.database.isEmpty())
        return {};
    if (!contents.database.startsWith(connection + QChar(0x1F))) {
        tellNotUsed(path_, QStringLiteral("the lists of another database"));
        return {};
    }
    qCDebug(lcService, "%lld kept lists read from %s", qlonglong(contents.entries.size()), qUtf8Printable(path_));
    return contents;
}

namespace {

// What a writer killed half-way left: its temporary, never renamed. Any an hour old goes.
void removeStaleTemporaries(const QString& path) {
    const QFileInfo kept(path);
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& stale :
         QDir(kept.absolutePath()).entryInfoList({kept.fileName() + QStringLiteral(".*.tmp")}, QDir::Files))
        if (stale.lastModified() < hourAgo)
            QFile::remove(stale.absoluteFilePath());
}

} // namespace

bool ListFile::save(const QString& database, const QList<Entry>& entries) {
    removeStaleTemporaries(path_);
    // A name of this writer's own: other processes, and other writers of this one, write beside it.
    static std::atomic<int> writers{0};
    const QString temporary = QStringLiteral("%1.%2-%3.tmp").arg(path_).arg(::getpid()).arg(++writers);
    QString problem;
    // Created with the file's final mode before anything is written into it.
    if (const int fd = ::open(QFile::encodeName(temporary).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        fd < 0) {
        problem = QString::fromLocal8Bit(strerror(errno));
    } else {
        ::close(fd);
        try {
            write(temporary, database, entries);
        } catch (const Refused& refused) {
            problem = refused.why;
        } catch (const std::exception& e) {
            problem = QString::fromUtf8(e.what());
        }
        if (problem.isEmpty() &&
            ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path_).constData()) != 0)
            problem = QString::fromLocal8Bit(strerror(errno));
        if (!problem.isEmpty())
            QFile::remove(temporary);
    }
    if (!problem.isEmpty()) {
        if (!toldUnwritable_)
            qCWarning(lcService, "the lists cannot be kept in %s (%s): every new process reads them anew",
                      qUtf8Printable(path_), qUtf8Printable(problem));
        toldUnwritable_ = true;
        return false;
    }
    toldUnwritable_ = false;
    qCDebug(lcService, "%lld lists kept in %s", qlonglong(entries.size()), qUtf8Printable(path_));
    return true;
}

} // namespace cadcons
