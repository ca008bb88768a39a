// The till's queue sent to the database once it answers again.

#include "registration/queue_sender.h"

#include "config/connection.h"
#include "config/logging.h"
#include "platform/client_data_set.h"
#include "platform/packet_file.h"
#include "routines/sibling.h"
#include "service/offline_queue.h"
#include "service/rdm_cad_consumidor.h"

namespace cadcons {

ServiceResult centralAnswer(const QVariant& answer) {
    if (answer.metaType() == QMetaType::fromType<DataPacket>())
        return answer.value<DataPacket>();
    if (answer.metaType() == QMetaType::fromType<bool>())
        return answer.toBool();
    const QString text = answer.toString();
    if (text.trimmed().startsWith(u'<')) {
        try {
            return readPacketXml(text.toUtf8(), QStringLiteral("the answer of SetConsumidor"));
        } catch (const PacketFileError&) {
            // Not a packet: the text is the reason, shown as it came.
        }
    }
    return text;
}

namespace {

// The database stopped answering: the record stays as it is, and so do the ones after it.
struct Unreachable {
    QString reason;
};

DataPacket packetOf(const ServiceResult& result) {
    if (const QString* error = std::get_if<QString>(&result))
        throw Unreachable{*error};
    const DataPacket* packet = std::get_if<DataPacket>(&result);
    return packet ? *packet : DataPacket();
}

// The consumers a check found, as "code-name" each; empty when it found none.
QString holders(const ServiceResult& result) {
    ClientDataSet found;
    found.setData(packetOf(result));
    QStringList out;
    for (found.first(); !found.eof(); found.next())
        out << found.asString(QStringLiteral("CDCONSUMIDOR")).trimmed() + u'-' +
                   found.asString(QStringLiteral("NMCONSUMIDOR")).trimmed();
    return out.join(QLatin1String(", "));
}

class Sender {
public:
    Sender(TrdmCadConsumidor& rdm, OfflineQueue& queue)
        : rdm_(rdm)
        , queue_(queue) {}

    // The record's save is in the database (now or from before); false when it stays in the queue, refused.
    bool send(const OfflineQueue::Record& record);
    void publish(const OfflineQueue::Record& record) {
        if (const QStringList context = centralContext(record); !central_.contains(context))
            central_ << context;
    }
    QString runCentral() const;

private:
    static QStringList centralContext(const OfflineQueue::Record& record) {
        return {record.values.cdFilial, record.values.dsDirCad, record.settings.exConsAtFil,
                record.settings.exConsAtGer};
    }
    bool refuse(const OfflineQueue::Record& record, const QString& reason) {
        qCWarning(lcService, "queued registration %lld (code %s) refused: %s", record.number,
                  qUtf8Printable(record.values.cdConsumidor.trimmed()), qUtf8Printable(reason));
        queue_.refuse(record.number, reason);
        return false;
    }

    TrdmCadConsumidor& rdm_;
    OfflineQueue& queue_;
    QList<QStringList> central_; // the central registrations to run, one per call context
};

bool Sender::send(const OfflineQueue::Record& record) {
    const GravaConsumidor& v = record.values;
    // The reads of the checks go together, as an online Confirm's do.
    ConfirmChecks checks{v.cdCliente, {}, {}, {}, v.cdConsumidor};
    if (!v.nrCpfRespCon.trimmed().isEmpty())
        checks.cpf = {{QString(), v.nrCpfRespCon}};
    if (!v.nrRgConsumid.trimmed().isEmpty())
        checks.rg = {{v.cdConsumidor, v.nrRgConsumid}};
    if (record.settings.badgeChecked)
        checks.badge = {{QString(), v.cdIdConsumid}};
    prefetchConfirmChecks(rdm_, checks);
    struct DropReadsAhead {
        TrdmCadConsumidor& rdm;
        ~DropReadsAhead() { rdm.readsAhead().clear(); }
    } drop{rdm_};

    if (!holders(getValidaCons(rdm_, v.cdConsumidor, v.cdCliente)).isEmpty()) {
        const ServiceResult held = holdsQueuedSave(rdm_, v);
        if (const bool* yes = std::get_if<bool>(&held); yes && *yes) {
            qCInfo(lcService, "queued registration %lld: already in the database", record.number);
            return true;
        }
        if (const QString* error = std::get_if<QString>(&held))
            throw Unreachable{*error};
        return refuse(
            record,
            QStringLiteral("the code %1 was taken by another consumer meanwhile").arg(v.cdConsumidor.trimmed()));
    }
    QStringList decision;
    if (checks.cpf)
        if (const QString found = holders(getExisteCPF(rdm_, v.cdCliente, QString(), v.nrCpfRespCon)); !found.isEmpty())
            decision << QStringLiteral("CPF %1 also held by %2").arg(v.nrCpfRespCon, found);
    if (checks.rg)
        if (const QString found = holders(getExisteRG(rdm_, v.cdCliente, v.cdConsumidor, v.nrRgConsumid));
            !found.isEmpty())
            decision << QStringLiteral("RG %1 also held by %2").arg(v.nrRgConsumid, found);
    if (checks.badge)
        if (const QString found = holders(getExisteIdent(rdm_, QString(), v.cdIdConsumid)); !found.isEmpty())
            return refuse(record, QStringLiteral("the badge %1 is held by %2").arg(v.cdIdConsumid, found));
    if (!decision.isEmpty())
        queue_.decide(record.number, decision.join(QLatin1String("; ")) + QStringLiteral(": saved all the same"));

    const int connections = rdm_.connectionsMade();
    const ServiceResult saved = setGravaConsumidor(rdm_, v);
    if (!isError(saved))
        return true;
    // The database refused the save only when the connection that sent it still answers. One lost on the
    // way (its commit settled on a new one, or not yet) leaves the record queued: the next sending finds it
    // in the database, or sends it.
    if (rdm_.uncertainSave() || rdm_.connectionsMade() != connections || !rdm_.answersNow())
        throw Unreachable{std::get<QString>(saved)};
    return refuse(record, std::get<QString>(saved));
}

QString Sender::runCentral() const {
    QStringList failures;
    for (const QStringList& context : central_) {
        QVariantList data(10);
        const ServiceResult answer =
            centralAnswer(SetConsumidor({context[0], context[1], context[2], context[3]}, data));
        if (const QString* error = std::get_if<QString>(&answer))
            failures << *error;
        else if (const bool* taken = std::get_if<bool>(&answer); taken && !*taken)
            failures << QStringLiteral("the central registration did not take the consumers");
    }
    return failures.join(QLatin1String("; "));
}

} // namespace

QueueSending sendQueue(TrdmCadConsumidor& rdm, OfflineQueue& queue) {
    const TimedCall timed(lcService, "sendQueue");
    QueueSending outcome;
    try {
        const std::unique_ptr<OfflineQueue::SendLock> lock = queue.lockForSending();
        if (!lock) {
            outcome.busy = true;
            outcome.left = queue.waiting();
            return outcome;
        }
        Sender sender(rdm, queue);
        for (const OfflineQueue::Record& record : queue.records()) {
            if (!record.refused.isEmpty())
                continue;
            if (!sender.send(record)) {
                ++outcome.refused;
                continue;
            }
            // The commit is known: only now does the record go.
            queue.sent(record.number);
            sender.publish(record);
            ++outcome.sent;
        }
        outcome.central = sender.runCentral();
    } catch (const Unreachable& e) {
        outcome.stopped = e.reason;
    } catch (const std::exception& e) {
        outcome.stopped = QString::fromUtf8(e.what());
    }
    try {
        outcome.left = queue.waiting();
    } catch (const std::exception&) {
    }
    if (outcome.sent || outcome.refused || !outcome.stopped.isEmpty())
        qCInfo(lcService, "queue: %d sent, %d refused, %d waiting%s%s", outcome.sent, outcome.refused, outcome.left,
               outcome.stopped.isEmpty() ? "" : "; stopped: ", qUtf8Printable(outcome.stopped));
    if (!outcome.central.isEmpty())
        qCWarning(lcService, "queue: the central registration failed: %s", qUtf8Printable(outcome.central));
    return outcome;
}

QueueSending sendWaitingRegistrations(TrdmCadConsumidor& rdm) {
    QueueSending outcome;
    try {
        OfflineQueue* queue = rdm.offlineQueue();
        if (!queue || queue->waiting() == 0)
            return outcome;
        rdm.open();
        return sendQueue(rdm, *queue);
    } catch (const std::exception& e) {
        outcome.stopped = QString::fromUtf8(e.what());
        qCWarning(lcService, "queue: not sent: %s", e.what());
    }
    return outcome;
}

} // namespace cadcons
