// cadcons-service: runs one operation of the consumer data service from a shell.

#include "cli.h"
#include "packet_file.h"
#include "rdm_cad_consumidor.h"

#include <QCoreApplication>
#include <functional>
#include <vector>

using namespace cadcons;

namespace {

struct Operation {
    const char* name;
    QStringList arguments; // names, in the operation's own order
    std::function<ServiceResult(const QStringList&)> run;
};

const std::vector<Operation>& operations() {
    static const std::vector<Operation> list = {
        {"getMunicipio", {}, [](const QStringList&) { return getMunicipio(); }},
        {"getEstado", {}, [](const QStringList&) { return getEstado(); }},
        {"getPais", {}, [](const QStringList&) { return getPais(); }},
        {"getBairro", {}, [](const QStringList&) { return getBairro(); }},
        {"getTipoCons", {}, [](const QStringList&) { return getTipoCons(); }},
        {"getTipoVenda", {}, [](const QStringList&) { return getTipoVenda(); }},
        {"getTipoConsPadrao", {"BRANCH"}, [](const QStringList& a) { return getTipoConsPadrao(a[0]); }},
        {"getParaVend", {"BRANCH"}, [](const QStringList& a) { return getParaVend(a[0]); }},
        {"getNomeCliente", {"CUSTOMER"}, [](const QStringList& a) { return getNomeCliente(a[0]); }},
        {"getDadosConsumidor",
         {"CUSTOMER", "KEY"},
         [](const QStringList& a) { return getDadosConsumidor(a[0], a[1]); }},
        {"getValidaCons", {"CONSUMER", "CUSTOMER"}, [](const QStringList& a) { return getValidaCons(a[0], a[1]); }},
        {"getExisteCPF",
         {"CUSTOMER", "CONSUMER", "CPF"},
         [](const QStringList& a) { return getExisteCPF(a[0], a[1], a[2]); }},
        {"getExisteRG",
         {"CUSTOMER", "CONSUMER", "RG"},
         [](const QStringList& a) { return getExisteRG(a[0], a[1], a[2]); }},
        {"getExisteIdent", {"CONSUMER", "BADGE"}, [](const QStringList& a) { return getExisteIdent(a[0], a[1]); }},
        {"getInfCEP",
         {"POSTALCODE"},
         [](const QStringList& a) -> ServiceResult {
             bool ok = true;
             ServiceResult r = getInfCEP(a[0], ok);
             if (!ok)
                 return QStringLiteral("getInfCEP failed");
             return r;
         }},
        {"setGravaConsumidor",
         {"CUSTOMER", "NAME",       "CODE",        "BADGE",     "COSTCENTRE", "TYPE",         "RG",      "CPF",
          "PHONE",    "PHONE2",     "PROCESSING",  "OPERATION", "BRANCH",     "HOSTDIR",      "COUNTRY", "STATE",
          "CITY",     "STREET",     "NUMBER",      "DISTRICT",  "POSTALCODE", "EMAIL",        "SEX",     "BIRTHDATE",
          "MOBILE",   "FINGER1",    "FINGER2",     "EXTERNAL",  "PASSWORD",   "SITEPASSWORD", "LOGIN",   "FLAGCPF",
          "FLAGCONF", "FLAGUPDCPF", "FLAGBALANCE", "SALETYPE",  "SITEMD5",    "TILLMD5"},
         [](const QStringList& a) {
             GravaConsumidor v;
             for (int i = 0; i < GravaConsumidor::kArgumentCount; ++i)
                 v.*GravaConsumidor::kArguments[i] = a[i];
             return setGravaConsumidor(v);
         }},
    };
    return list;
}

QString help() {
    QString text = QStringLiteral(
        "Usage: cadcons-service [--connection STR] OPERATION [ARG...]\n\n"
        "Runs one operation of the consumer data service and prints its result: a data packet as XML on\n"
        "standard output, 'true' after a save, or the error text on standard error (exit status 1).\n"
        "The connection comes from --connection, CADCONS_CONNECTION or the host configuration,\n"
        "as for cadcons-db (see cadcons-db --help).\n\nOperations:\n");
    // Two columns, so that the manual page made from this text lists one operation per entry.
    constexpr int kNameWidth = 20;
    for (const Operation& op : operations()) {
        text += QStringLiteral("  %1").arg(QLatin1String(op.name), -kNameWidth);
        if (op.arguments.isEmpty())
            text += QStringLiteral("(no arguments)");
        else if (op.arguments.size() > 8)
            text += QStringLiteral("%1 arguments:\n%2").arg(op.arguments.size()).arg(QString(), kNameWidth + 2);
        text += op.arguments.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    try {
        if (args.isEmpty() || args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
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
        const QString name = args.takeFirst();
        const Operation* operation = nullptr;
        for (const Operation& op : operations())
            if (name == QLatin1String(op.name))
                operation = &op;
        if (!operation)
            throw cli::UsageError(("unknown operation " + name).toStdString());
        if (args.size() != operation->arguments.size())
            throw cli::UsageError(QStringLiteral("%1 takes %2 argument(s), %3 given")
                                      .arg(name)
                                      .arg(operation->arguments.size())
                                      .arg(args.size())
                                      .toStdString());

        TrdmCadConsumidor service;
        service.open();
        rdmCadConsumidor = &service;
        const ServiceResult result = operation->run(args);
        rdmCadConsumidor = nullptr;

        if (const auto* packet = std::get_if<DataPacket>(&result)) {
            cli::out(QString::fromUtf8(writePacketXml(*packet)));
            return 0;
        }
        if (const auto* saved = std::get_if<bool>(&result)) {
            cli::out(*saved ? QStringLiteral("true\n") : QStringLiteral("false\n"));
            return *saved ? 0 : 1;
        }
        cli::err(QStringLiteral("cadcons-service: %1\n").arg(std::get<QString>(result)));
        return 1;
    } catch (const cli::UsageError& e) {
        cli::err(
            QStringLiteral("cadcons-service: %1\nTry 'cadcons-service --help'.\n").arg(QString::fromUtf8(e.what())));
        return 2;
    } catch (const std::exception& e) {
        rdmCadConsumidor = nullptr;
        cli::err(QStringLiteral("cadcons-service: %1\n").arg(QString::fromUtf8(e.what())));
        return 1;
    }
}
