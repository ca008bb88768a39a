#include "service/host_service.h"

#include "config/host_config.h"
#include "config/logging.h"
#include "platform/packet_file.h"
#include "service/rdm_cad_consumidor.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>

namespace cadcons {

namespace {

QStringList saveArgumentNames() {
    QStringList names;
    for (const SaveArgument& argument : kSaveArguments)
        names << QLatin1String(argument.name);
    return names;
}

// The reference lists' operations, which take no argument, then `others`.
std::vector<ServiceOperation> withListOperations(std::vector<ServiceOperation> others) {
    std::vector<ServiceOperation> operations;
    for (const ListOperation& list : kListOperations)
        operations.push_back(
            {list.name, {}, [read = list.read](TrdmCadConsumidor& rdm, const QStringList&) { return read(rdm); }});
    operations.insert(operations.end(), others.begin(), others.end());
    return operations;
}

} // namespace

const std::vector<ServiceOperation>& serviceOperations() {
    static const std::vector<ServiceOperation> list = withListOperations({
        {"getTipoConsPadrao",
         {"BRANCH"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getTipoConsPadrao(rdm, a[0]); }},
        {"getParaVend",
         {"BRANCH"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getParaVend(rdm, a[0]); }},
        {"getNomeCliente",
         {"CUSTOMER"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getNomeCliente(rdm, a[0]); }},
        {"getDadosConsumidor",
         {"CUSTOMER", "KEY"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getDadosConsumidor(rdm, a[0], a[1]); }},
        {"getValidaCons",
         {"CONSUMER", "CUSTOMER"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getValidaCons(rdm, a[0], a[1]); }},
        {"getExisteCPF",
         {"CUSTOMER", "CONSUMER", "CPF"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getExisteCPF(rdm, a[0], a[1], a[2]); }},
        {"getExisteRG",
         {"CUSTOMER", "CONSUMER", "RG"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getExisteRG(rdm, a[0], a[1], a[2]); }},
        {"getExisteIdent",
         {"CONSUMER", "BADGE"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) { return getExisteIdent(rdm, a[0], a[1]); }},
        {"getInfCEP",
         {"POSTALCODE"},
         [](TrdmCadConsumidor& rdm, const QStringList& a) -> ServiceResult {
             bool ok = true;
             ServiceResult r = getInfCEP(rdm, a[0], ok);
             if (!ok)
                 return QStringLiteral("getInfCEP failed");
             return r;
         }},
        {"setGravaConsumidor", saveArgumentNames(),
         [](TrdmCadConsumidor& rdm, const QStringList& a) {
             GravaConsumidor v;
             for (qsizetype i = 0; i < a.size(); ++i)
                 v.*kSaveArguments[i].member = a[i];
             return setGravaConsumidor(rdm, v);
         }},
    });
    return list;
}

QString serviceOperationList() {
    // Two columns, so that the manual page made from the program's help lists one operation per entry.
    constexpr int kNameWidth = 20;
    QString text;
    for (const ServiceOperation& op : serviceOperations()) {
        text += QStringLiteral("  %1").arg(QLatin1String(op.name), -kNameWidth);
        if (op.arguments.isEmpty())
            text += QStringLiteral("(no arguments)");
        else if (op.arguments.size() > 8)
            text += QStringLiteral("%1 arguments:\n%2").arg(op.arguments.size()).arg(QString(), kNameWidth + 2);
        text += op.arguments.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return text;
}

QString callerThreadProblem() {
    static std::atomic<Qt::HANDLE> firstThread{nullptr};
    const Qt::HANDLE current = QThread::currentThreadId();
    if (const QCoreApplication* app = QCoreApplication::instance()) {
        if (QThread::currentThread() != app->thread())
            return QStringLiteral("called on a thread other than the one that runs the Qt application");
        return {};
    }
    Qt::HANDLE expected = nullptr;
    if (!firstThread.compare_exchange_strong(expected, current) && expected != current)
        return QStringLiteral("called on a thread other than the one that made the first call");
    return {};
}

namespace {

HostServiceAnswer failed(HostServiceAnswer::Kind kind, const QString& error) {
    HostServiceAnswer answer;
    answer.kind = kind;
    answer.error = error;
    return answer;
}

// A name as the host wrote it, short enough for a message whatever it holds.
QString shown(QByteArrayView bytes) {
    const QString text = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 60)));
    return bytes.size() > 60 ? text + QStringLiteral("...") : text;
}

// The operation of that name; nullptr after saying which there are.
const ServiceOperation* findOperation(QByteArrayView operation, QString& problem) {
    QStringList names;
    for (const ServiceOperation& candidate : serviceOperations()) {
        if (operation == QByteArrayView(candidate.name))
            return &candidate;
        names << QLatin1String(candidate.name);
    }
    problem = QStringLiteral("unknown operation %1; the operations are %2")
                  .arg(shown(operation), names.join(QLatin1String(", ")));
    return nullptr;
}

// The arguments in the host's code page, as texts; false with the problem. Values are never repeated in a
// message: a password may be among them.
bool decodeValues(const ServiceOperation& op, const QList<QByteArrayView>& arguments, CodePage page,
                  QStringList& values, QString& problem) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString value;
        qsizetype at = 0;
        if (!decodeExact(arguments[i], page, value, at)) {
            problem =
                QStringLiteral("argument %1 (%2) of %3 is not valid %4%5")
                    .arg(i + 1)
                    .arg(op.arguments[i], QLatin1String(op.name), codePageName(page))
                    .arg(at < 0 ? QString()
                                : QStringLiteral(": byte 0x%1 at offset %2 is undefined in it")
                                      .arg(uint(static_cast<unsigned char>(arguments[i][at])), 2, 16, QLatin1Char('0'))
                                      .arg(at));
            return false;
        }
        values << value;
    }
    return true;
}

// Runs the operation on the data service and turns its result into the host's answer.
HostServiceAnswer runOperation(TrdmCadConsumidor& service, const ServiceOperation& op, const QStringList& values,
                               CodePage page) {
    const QString name = QLatin1String(op.name);
    qCDebug(lcService) << "host call" << name;
    try {
        service.open();
        const ServiceResult result = op.run(service, values);
        if (const auto* text = std::get_if<QString>(&result))
            return failed(HostServiceAnswer::Failed, *text);
        HostServiceAnswer answer;
        answer.kind = HostServiceAnswer::Done;
        if (const auto* packet = std::get_if<DataPacket>(&result))
            answer.result = writePacketXml(*packet, page);
        else if (std::get<bool>(result))
            answer.result = "true";
        else
            return failed(HostServiceAnswer::Failed, QStringLiteral("%1 did not save and gave no reason").arg(name));
        return answer;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        return failed(HostServiceAnswer::Failed, QString::fromUtf8(e.what()));
    }
}

} // namespace

HostServiceAnswer runHostService(TrdmCadConsumidor& service, QByteArrayView operation,
                                 const QList<QByteArrayView>& arguments) {
    QString problem;
    const ServiceOperation* op = findOperation(operation, problem);
    if (!op)
        return failed(HostServiceAnswer::Misused, problem);
    if (arguments.size() != op->arguments.size())
        return failed(HostServiceAnswer::Misused,
                      QStringLiteral("%1 takes %2 argument(s)%3, %4 given")
                          .arg(QLatin1String(op->name))
                          .arg(op->arguments.size())
                          .arg(op->arguments.isEmpty() ? QString() : QStringLiteral(": ") + op->arguments.join(u' '))
                          .arg(arguments.size()));

    if (const QString threadProblem = callerThreadProblem(); !threadProblem.isEmpty())
        return failed(HostServiceAnswer::Failed, threadProblem);
    if (const QStringList problems = hostConfigProblems(); !problems.isEmpty())
        return failed(HostServiceAnswer::Failed,
                      QStringLiteral("the host configuration is wrong:\n") + problems.join(u'\n'));
    const CodePage page = hostCodePage();
    QStringList values;
    if (!decodeValues(*op, arguments, page, values, problem))
        return failed(HostServiceAnswer::Failed, problem);
    return runOperation(service, *op, values, page);
}

} // namespace cadcons
