#include "rdm_cad_consumidor.h"

#include "connection.h"

#include <QSqlDriver>

namespace cadcons {

TrdmCadConsumidor* rdmCadConsumidor = nullptr;

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

void TrdmCadConsumidor::open() {
    if (connected())
        return;
    adcCadConsumidorBeforeConnect();
    QSqlDatabase db = adcCadConsumidor();
    TryConnect(db);
    adcCadConsumidorAfterConnect();
}

void TrdmCadConsumidor::close() {
    if (QSqlDatabase::contains(connectionName_))
        adcCadConsumidor().close();
    inTransaction_ = false;
}

void TrdmCadConsumidor::adcCadConsumidorBeforeConnect() {
    // Nothing of an earlier connection string survives: the driver itself may change, so the Qt
    // connection is made anew from what the host configuration says now.
    const ConnectionSettings settings = parseConnectionString(_GetStringConexKiv(QString()));
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
    if (!db.transaction())
        throw DatabaseError(QStringLiteral("Could not begin a transaction"), db.lastError());
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
