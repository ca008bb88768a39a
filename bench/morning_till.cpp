// One till of bench/morning: a process of its own that makes the first opening of the registration, as a
// till does at its first call of the day, without widgets.
//
//   bench_morning_till --prepare HOSTDIR
//       writes the host directory's parameter file and customer list for the database of CADCONS_CONNECTION
//       (the customer of the first sale parameters), and prints {"customer":"…","consumer":"…"}: one of
//       that customer's consumers, the one each till opens.
//   bench_morning_till --customer C --consumer K
//       with CADCONS_CONNECTION, CADCONS_HOST_DIR and CADCONS_CACHE_DIR set: loads, prints {"ready":true},
//       waits for a line on stdin (the start of every till at once), runs Registration::InicializaForm for
//       that consumer (which connects, as the first call does), and prints one line of JSON: wall ms of the
//       connection and of the whole opening (the connection included), the till's own CPU ms in the
//       opening, the lists read from the database, and whether it opened as expected.

#include "bench_host.h"
#include "config/connection.h"
#include "platform/data_packet.h"
#include "registration/registration.h"
#include "registration/registration_operator.h"
#include "routines/messages.h"
#include "service/rdm_cad_consumidor.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <time.h>

using namespace cadcons;

namespace {

void print(const QJsonObject& object) {
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Nobody stands at this till: an error told is kept for the report, a question is answered no.
class Unattended : public RegistrationOperator {
public:
    bool ask(const QString& text, const QString&, const QString&) override {
        told << QStringLiteral("asked: ") + text;
        return false;
    }
    void tell(const QString& text, const QString&, int, const QString&, int) override { told << text; }
    void moveTo(int) override {}
    void showWithoutDatabase(const QString&) override {}
    QStringList told;
};

// The connection's own time comes from the service's "connect" timing in cadcons.host, the one place that
// sees where connecting ends inside the opening.
double connectMs = -1;
QtMessageHandler previousHandler = nullptr;

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category && qstrcmp(context.category, "cadcons.host") == 0 && type == QtDebugMsg) {
        if (text.startsWith(QLatin1String("connect ")) && text.endsWith(QLatin1String(" ms")))
            connectMs = text.mid(8, text.size() - 11).toDouble();
        return;
    }
    previousHandler(type, context, text);
}

// The host directory as bench_screen makes it: the parameter file of the first sale parameters' branch and
// customer, and the chain's customer list.
int prepare(const QString& hostDir) {
    const ConnectionSettings settings = parseConnectionString(qEnvironmentVariable("CADCONS_CONNECTION"));
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, QStringLiteral("morning-prepare"));
    applyConnectionSettings(db, settings);
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    QString branch, customer;
    {
        QSqlQuery q =
            bench::run(db, QStringLiteral("SELECT CDFILIAL, CDCLIENTE FROM PARAVEND ORDER BY CDFILIAL, CDCLIENTE"));
        if (!q.next())
            throw std::runtime_error("the database has no sale parameters (PARAVEND)");
        branch = q.value(0).toString();
        customer = q.value(1).toString();
    }
    QString consumer;
    {
        QSqlQuery q =
            bench::run(db, QStringLiteral("SELECT MIN(CDCONSUMIDOR) FROM CONSUMIDOR WHERE CDCLIENTE = ?"), {customer});
        if (q.next())
            consumer = q.value(0).toString();
    }
    if (consumer.isEmpty())
        throw std::runtime_error("the customer of the sale parameters has no consumer");

    bench::writeHostFiles(db, hostDir, branch, customer);
    print({{"customer", customer}, {"consumer", consumer}});
    return 0;
}

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

int till(const QString& customer, const QString& consumer) {
    using Clock = std::chrono::steady_clock;
    const QString hostDir = qEnvironmentVariable("CADCONS_HOST_DIR");
    if (hostDir.isEmpty() || qEnvironmentVariableIsEmpty("CADCONS_CONNECTION") ||
        qEnvironmentVariableIsEmpty("CADCONS_CACHE_DIR"))
        throw std::runtime_error("CADCONS_HOST_DIR, CADCONS_CONNECTION and CADCONS_CACHE_DIR must be set");
    QLoggingCategory::setFilterRules(QStringLiteral("cadcons.host.debug=true"));
    previousHandler = qInstallMessageHandler(onMessage);

    // The driver's library is loaded before the start: what is timed is the till's work and its link.
    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("morning-load"));
    QSqlDatabase::removeDatabase(QStringLiteral("morning-load"));
    TrdmCadConsumidor service;
    Unattended op;
    Registration registration(service, op, hostDir.endsWith(u'/') ? hostDir : hostDir + u'/');
    print({{"ready", true}});
    std::string line;
    if (!std::getline(std::cin, line))
        return 1;

    QJsonObject result;
    const double cpuAtStart = processCpuMs();
    const Clock::time_point start = Clock::now();
    QString error;
    try {
        registration.InicializaForm(consumer, QString(), customer, QString());
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    const double openingMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuMs = processCpuMs() - cpuAtStart;
    if (error.isEmpty() && registration.consumer.stOperacao != u"2")
        error = QStringLiteral("the consumer did not open as stored: ") + op.told.join(QLatin1String("; "));
    if (error.isEmpty() && !op.told.isEmpty())
        error = op.told.join(QLatin1String("; "));
    result.insert(QLatin1String("connect_ms"), connectMs);
    result.insert(QLatin1String("opening_ms"), openingMs);
    result.insert(QLatin1String("cpu_ms"), cpuMs);
    result.insert(QLatin1String("lists_from_db"), service.lists().readsFromDatabase());
    result.insert(QLatin1String("ok"), error.isEmpty());
    if (!error.isEmpty())
        result.insert(QLatin1String("error"), error);
    print(result);
    return error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args[1] == u"--prepare")
            return prepare(args[2]);
        if (args.size() == 5 && args[1] == u"--customer" && args[3] == u"--consumer")
            return till(args[2], args[4]);
        std::fputs("usage: bench_morning_till --prepare HOSTDIR | --customer C --consumer K\n", stderr);
        return 2;
    } catch (const std::exception& e) {
        print({{"ok", false}, {"error", QString::fromUtf8(e.what())}});
        return 1;
    }
}
