#pragma once

#include "platform/service_result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The data service as hosts and the command line reach it: operations by name, strings in the host's
// code page. One table, so the library and cadcons-service cannot come to disagree.
namespace cadcons {

class TrdmCadConsumidor;

struct ServiceOperation {
    const char* name;
    QStringList arguments; // names, in the operation's own order
    std::function<ServiceResult(TrdmCadConsumidor&, const QStringList&)> run;
};

const std::vector<ServiceOperation>& serviceOperations();

// Every operation with its argument names, one to a line, as --help shows them.
QString serviceOperationList();

// Why the calling thread may not use the service's connection, "" when it may: with a Qt application,
// its thread; without one, the first thread that asked (a database connection serves one thread).
QString callerThreadProblem();

struct HostServiceAnswer {
    enum Kind {
        Done,    // `result` holds the packet as XML, or "true" after a save
        Misused, // unknown operation or wrong number of arguments
        Failed,  // anything else: thread, configuration, arguments, connection, the operation's error text
    } kind = Failed;
    QByteArray result; // in the host's code page
    QString error;
};

// Runs one operation on `service` (connected here as the screen connects it), after the same
// configuration check as the screen. Never throws but for memory.
HostServiceAnswer runHostService(TrdmCadConsumidor& service, QByteArrayView operation,
                                 const QList<QByteArrayView>& arguments);

} // namespace cadcons
