#pragma once

#include "platform/service_result.h"

#include <QString>
#include <QVariant>

namespace cadcons {

class TrdmCadConsumidor;
class OfflineQueue;

// What one sending of the till's queue did.
struct QueueSending {
    int sent = 0;      // committed (or found committed) and gone from the queue
    int refused = 0;   // refused by the database this time; they stay, marked, until dropped
    int left = 0;      // still waiting
    bool busy = false; // another process was sending: this one sent nothing
    QString stopped;   // why it stopped before the end (the database out of reach, the queue unreadable)
    QString central;   // the central registration's failure after the saves, if any
};

// Sends the registrations waiting on this till, oldest first, on the service's open connection. Each goes
// through the checks an online Confirm makes, saved in its own transaction, and leaves the queue once its
// commit is known; the central registration follows the saves. A code taken meanwhile (by someone else),
// a badge held by another consumer or a save the database refuses leaves the record in the queue, marked
// with the reason. A CPF or RG that other consumers hold is the operator's question online: the record is
// saved, since the consumer stood at the till with those documents, and the holders are kept as its
// decision. A record whose save is already in the database (sent before, its answer or process lost) is
// not saved again. One process sends at a time. Never throws.
QueueSending sendQueue(TrdmCadConsumidor& rdm, OfflineQueue& queue);

// The queue of `rdm`'s till sent, when there is one with records waiting and the database answers: the
// connection is opened for it. Never throws.
QueueSending sendWaitingRegistrations(TrdmCadConsumidor& rdm);

// The central registration answers with a data packet (or true) when it has taken the consumer, and with
// the reason otherwise.
ServiceResult centralAnswer(const QVariant& answer);

} // namespace cadcons
