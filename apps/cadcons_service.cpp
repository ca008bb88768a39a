// cadcons-service: runs one operation of the consumer data service from a shell, through the same call
// that libcadconsumidor offers hosts.

#include "cli.h"
#include "service/host_service.h"
#include "service/rdm_cad_consumidor.h"

#include <QCoreApplication>
#include <cstdio>

using namespace cadcons;

namespace {

QString help() {
    return QStringLiteral(
               "Usage: cadcons-service [--connection STR] OPERATION [ARG...]\n\n"
               "Runs one operation of the consumer data service and prints its result: a data packet as XML on\n"
               "standard output, 'true' after a save, or the error text on standard error (exit status 1).\n"
               "The connection comes from --connection, CADCONS_CONNECTION or the host configuration,\n"
               "as for cadcons-db (see cadcons-db --help). Arguments and result are in the host's encoding\n"
               "(CADCONS_HOST_ENCODING or [host] encoding; UTF-8 by default), as a host gets them from\n"
               "CadConsumidorService.\n\nOperations:\n") +
           serviceOperationList();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The arguments as bytes: under windows-1252 they are not the terminal's text.
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    try {
        if (args.isEmpty() || args.contains("--help") || args.contains("-h")) {
            if (args.isEmpty()) {
                cli::err(help());
                return 2;
            }
            cli::out(help());
            return 0;
        }
        cli::takeConnectionOption(args);
        if (args.isEmpty())
            throw cli::UsageError("an operation is needed");
        const QByteArray operation = args.takeFirst();
        const QList<QByteArrayView> views(args.cbegin(), args.cend());
        const HostServiceAnswer answer = [&] {
            TrdmCadConsumidor service;
            return runHostService(service, operation, views);
        }();
        switch (answer.kind) {
        case HostServiceAnswer::Done:
            std::fwrite(answer.result.constData(), 1, size_t(answer.result.size()), stdout);
            std::fputc('\n', stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case HostServiceAnswer::Misused:
            throw cli::UsageError(answer.error.toStdString());
        case HostServiceAnswer::Failed:
            break;
        }
        cli::err(QStringLiteral("cadcons-service: %1\n").arg(answer.error));
        return 1;
    } catch (const cli::UsageError& e) {
        cli::err(
            QStringLiteral("cadcons-service: %1\nTry 'cadcons-service --help'.\n").arg(QString::fromUtf8(e.what())));
        return 2;
    } catch (const std::exception& e) {
        cli::err(QStringLiteral("cadcons-service: %1\n").arg(QString::fromUtf8(e.what())));
        return 1;
    }
}
