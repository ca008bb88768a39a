#include "service/rdm_cad_consumidor.h"

#include "config/connection.h"
#include "config/host_config.h"
#include "config/logging.h"
#include "service/offline_queue.h"

#include <QSqlDriver>
#include <QSqlQuery>

namespace cadcons {

TrdmCadConsumidor::TrdmCadConsumidor(const QString& connectionName)
    : connectionName_(connectionName) {}

TrdmCadConsumidor::~TrdmCadConsumidor() {
    close();
    if (QSqlDatabase::contains(connectionName_))
        QSqlDatabase::removeDatabase(connectionName_);
}

QSqlDatabase TrdmCadConsumidor::adcCadConsumidor() const {
    return QSqlDatabase::database(connectionName_, false);
}

bool TrdmCadConsumidor::connected() const {
    return QSqlDatabase::contains(connectionName_) && adcCadConsumidor().isOpen();
}

void TrdmCadConsumidor::useListFile() {
    QString path;
    try {
        if (const ListDirectory directory = listDirectory(); !directory.path.isEmpty())
            path = directory.path + ListFile::fileName();
    } catch (const ConfigError& e) {
        // A wrong setting costs the kept file, not the call; the configuration check names it.
        qCWarning(lcService, "%s: the lists are not kept on disk", e.what());
    }
    lists_.useFile(path);
}

void TrdmCadConsumidor::open() {
    withoutDatabase_ = false;
    // A driver may keep reporting a connection open after the server dropped it; only a statement tells.
    // Reading the list versions is that statement where the database keeps them: one round trip for both.
    if (connected()) {
        const bool versions = lists_.check(adcCadConsumidor());
        if (versions || answers()) {
            if (!versions)
                lists_.noVersionsHere();
            suspect_ = false;
            return;
        }
        closeConnection();
    }
    lists_.suspend();
    {
        const TimedCall timed(lcHost, "connect");
        adcCadConsumidorBeforeConnect();
        QSqlDatabase db = adcCadConsumidor();
        TryConnect(db);
        adcCadConsumidorAfterConnect();
        closedOnPurpose_ = false;
        ++connectionsMade_;
        // Where it went, never with what password.
        qCDebug(lcHost).noquote() << "connected to" << db.driverName() << db.hostName() << db.databaseName()
                                  << db.userName();
    }
    lists_.connectionMade();
    // Where the lists are kept is read with the rest of the configuration, when the connection is made.
    useListFile();
    lists_.check(adcCadConsumidor());
    suspect_ = false;
}

bool TrdmCadConsumidor::openWithoutDatabase() {
    useListFile();
    withoutDatabase_ = QSqlDatabase::contains(connectionName_) && lists_.serveUnchecked(adcCadConsumidor());
    return withoutDatabase_;
}

OfflineQueue* TrdmCadConsumidor::offlineQueue() {
    QString path;
    if (offlineEnabled())
        if (const ListDirectory directory = listDirectory(); !directory.path.isEmpty())
            path = directory.path + OfflineQueue::fileName();
    if (path.isEmpty())
        queue_.reset();
    else if (!queue_ || queue_->path() != path)
        queue_ = std::make_unique<OfflineQueue>(path);
    return queue_.get();
}

void TrdmCadConsumidor::reviveIfBroken() {
    if (withoutDatabase_)
        throw DatabaseError(QStringLiteral("the database is out of reach; this call works without it"), QSqlError());
    // A connection closed on purpose stays closed; one lost under an operation is made anew, and tried
    // again before each later operation (each failure marks it again) until the server takes it.
    if (!suspect_ || inTransaction_ || closedOnPurpose_)
        return;
    suspect_ = false;
    if (answersNow())
        return;
    closeConnection();
    open();
}

bool TrdmCadConsumidor::answers() const {
    QSqlQuery probe(adcCadConsumidor());
    const bool ok =
        probe.exec(isOracle() ? QStringLiteral("SELECT 1 FROM DUAL") : QStringLiteral("SELECT 1")) && probe.next();
    probe.finish();
    return ok;
}

QSqlQuery& TrdmCadConsumidor::prepared(const char* name, const QString& text) {
    const auto kept = statements_.find(text);
    if (kept != statements_.end())
        return kept->second;
    QSqlQuery query(adcCadConsumidor());
    // Forward-only, Qt's PostgreSQL driver takes the rows as they come. Taken whole, the 60,000
    // neighbourhoods read in half the time on loopback, but the first opening over the store LAN took a
    // quarter longer: nothing is read until the last row has crossed the link.
    query.setForwardOnly(true);
    if (!query.prepare(text))
        throw DatabaseError(QStringLiteral("%1: the statement could not be prepared").arg(QLatin1String(name)),
                            query.lastError());
    return statements_.emplace(text, std::move(query)).first->second;
}

void TrdmCadConsumidor::forgetStatement(const QString& text) {
    statements_.erase(text);
}

void TrdmCadConsumidor::close() {
    closeConnection();
    suspect_ = false;
    closedOnPurpose_ = true;
}

void TrdmCadConsumidor::closeConnection() {
    statements_.clear(); // prepared on this connection; they go before it
    if (QSqlDatabase::contains(connectionName_))
        adcCadConsumidor().close();
    inTransaction_ = false;
}

void TrdmCadConsumidor::adcCadConsumidorBeforeConnect() {
    // Nothing of an earlier connection string survives: the driver itself may change, so the Qt
    // connection is made anew from what the host configuration says now.
    const ConnectionSettings settings = parseConnectionString(_GetStringConexKiv(QString()));
    statements_.clear();
    if (QSqlDatabase::contains(connectionName_))
        QSqlDatabase::removeDatabase(connectionName_);
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, connectionName_);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("The database driver %1 is not available").arg(settings.driver),
                            db.lastError());
    applyConnectionSettings(db, settings);
}

void TrdmCadConsumidor::adcCadConsumidorAfterConnect() {
    QSqlDatabase db = adcCadConsumidor();
    SetADODBSession(db);
}

void TrdmCadConsumidor::MtsDataModuleActivate() {
    QSqlDatabase db = adcCadConsumidor();
    TryConnect(db);
}

void TrdmCadConsumidor::MtsDataModuleDeactivate() {
    close();
}

void TrdmCadConsumidor::StartTrans() {
    if (inTransaction_)
        return;
    QSqlDatabase db = adcCadConsumidor();
    if (db.driverName() == QLatin1String("QSQLITE")) {
        // SQLite's plain BEGIN takes the write lock only at the first write: a save that reads the stored
        // row first would then fail at once with "database is locked" when another till's save holds the
        // read lock too, instead of waiting its turn. IMMEDIATE takes the write lock at the start and
        // waits for it like any busy file.
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw DatabaseError(QStringLiteral("Could not begin a transaction"), begin.lastError());
    } else if (!db.transaction()) {
        throw DatabaseError(QStringLiteral("Could not begin a transaction"), db.lastError());
    }
    inTransaction_ = true;
}

void TrdmCadConsumidor::CommitTrans() {
    if (!inTransaction_)
        return;
    QSqlDatabase db = adcCadConsumidor();
    // A failed commit leaves the transaction open for the roll-back that the caller's error path does.
    if (!db.commit())
        throw DatabaseError(QStringLiteral("Could not commit the transaction"), db.lastError());
    inTransaction_ = false;
}

void TrdmCadConsumidor::RollbackTrans() {
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    adcCadConsumidor().rollback();
}

bool TrdmCadConsumidor::isOracle() const {
    const QSqlDatabase db = adcCadConsumidor();
    return db.driver() && db.driver()->dbmsType() == QSqlDriver::Oracle;
}

} // namespace cadcons
