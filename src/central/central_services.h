#pragma once

#include "routines/sibling.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <stdexcept>

// The sibling package's central services on a central database of our own: SenhaConsCentral reads a
// consumer there and stores the till password there; SetConsumidor publishes the consumers saved here.
//
// The central database is named by a connection string of the same syntax as the point-of-sale one
// (any provider): CADCONS_CENTRAL_CONNECTION, else the host configuration's
//
//   [central]
//   connection=Provider=QPSQL;Data Source=central.example:5432;Initial Catalog=pdv;User ID=pdv;Password=...
//
// Without either there is no central database: SenhaConsCentral fails with the reason in the log, and
// SetConsumidor leaves the consumers marked for a later publication. The central database has the
// consumer table of our schema.
//
// Everything here runs on the thread of the screen, as the services' callers do.
namespace cadcons {

class TrdmCadConsumidor;

// The local data service, the one the screen saves through, as the central services reach it: asked at
// each use, since the screen makes the service on its first opening. nullptr while there is none.
using LocalService = std::function<TrdmCadConsumidor*()>;

// No central database is configured. The text says where to configure one.
class CentralNotConfigured : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The central connection string, "" when none is configured.
QString centralConnectionString();

// The Qt connection "cadconsCentral", open. Made on first use and kept; opened again when it was
// closed; made anew when the configured connection string changed. Throws CentralNotConfigured,
// ConnectionStringError or DatabaseError.
QSqlDatabase centralDatabase();
// Closes and removes the central connection; the next use makes it anew.
void closeCentralDatabase();

// SenhaConsCentral:
//  - "GET_CONS" (customer, consumer; value "X"): result[0] := the consumer's record in the central
//    database as a DataPacket, with the columns and widths of getDadosConsumidor. No row when the
//    central database does not have the consumer: the caller then registers a new one.
//  - "UPDATE_SENHA" (customer, consumer, the stored form of the till password): the central row takes
//    the password. A consumer the central database does not have yet is copied there from the local
//    database with that password, so the password is never dropped; false only when neither has it.
// True on success. False on any failure, with the reason in the log (never a password); result is
// then left as it was. Branch and the two "1" arguments are not used.
bool senhaConsCentral(const LocalService& local, const QString& branch, const QString& customer,
                      const QString& consumer, const QString& value, const QString& arg5, const QString& arg6,
                      const QString& action, QVariantList& result);

// SetConsumidor. context: branch, host directory, IDEXCONSATFIL, IDEXCONSATGER. `data` is not used.
//  - IDEXCONSATGER "S": the local consumers marked "I" (inserted) or "A" (changed) are copied to the
//    central database in one transaction, then marked "S" locally. Without a central database nothing
//    is copied, the markers stay for a later publication and the log says why; this is no failure, as
//    the consumer is saved locally already.
//  - IDEXCONSATFIL "S": the branch's consumer file (consumerFilePath) is written anew from the local
//    database, without passwords and fingerprints.
// Returns QVariant(true) when everything asked for was done (also when nothing was asked for), else
// the error texts (QString), one per failed step; a failed step leaves the other one done.
QVariant setConsumidor(const LocalService& local, const QVariantList& context, QVariantList& data);

// Puts senhaConsCentral and setConsumidor, on `local`, in the sibling package's variables that are still
// empty.
void installDefaultCentralServices(LocalService local);

// The branch's consumer file below a host directory: Dados/Cadastros/Cad_Consumidor.cds.
QString consumerFilePath(const QString& hostDir);

// The steps of the publication, each usable on its own.

// One consumer row, every column of the consumer table.
struct ConsumerRow {
    QVariantList values; // in the order of consumerColumns(), ready to bind
    QVariant marker;     // IDATUCONSUMI as read
    QVariant changedAt;  // DTULTATUCSUM exactly as the driver handed it over, to compare it back
    QString customer() const;
    QString consumer() const;
};

// Every column of the consumer table.
const QStringList& consumerColumns();

// The local consumers waiting for publication (marker "I" or "A"), in key order. Throws DatabaseError.
QList<ConsumerRow> readPendingConsumers(const QSqlDatabase& local);
// Inserts or updates the rows in the central database, marked "S" there, in one transaction: all of
// them or, on failure, none (rolled back) and DatabaseError thrown.
void copyToCentral(QSqlDatabase& central, const QList<ConsumerRow>& rows);
// Marks the rows "S" locally in one transaction, each only while it still is as it was read (same
// marker, same time of change): a consumer saved again meanwhile stays marked for the next publication.
// Returns how many were marked. Throws DatabaseError, with nothing marked.
int markPublished(QSqlDatabase& local, const QList<ConsumerRow>& rows);
// Writes the branch's consumer file: every local consumer with the columns of getDadosConsumidor but
// the passwords and fingerprints, atomically. Throws DatabaseError or PacketFileError.
void writeConsumerFile(const QSqlDatabase& local, const QString& hostDir);

} // namespace cadcons
