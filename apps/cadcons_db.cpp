// cadcons-db: creates the consumer database and fills it with demonstration data.

#include "central/central_services.h"
#include "cli.h"
#include "config/connection.h"
#include "config/host_config.h"
#include "registration/queue_sender.h"
#include "seed_scale.h"
#include "service/offline_queue.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <unistd.h>

using namespace cadcons;

namespace {

const char* const kHelp = R"(Usage: cadcons-db [--connection STR] COMMAND [OPTION...]

Commands:
  init        create the tables and indexes of the consumer database
  seed-demo   fill it with demonstration data (countries, states, cities,
              neighbourhoods, postal codes, customers and a few consumers)
  seed-scale  fill an empty database with a deterministic chain-sized data set,
              for measuring; the same options always give the same rows. It
              creates the tables first when the database has none (as init
              does), and refuses a database that already holds rows. Options,
              with the full scale as default:
                --states N          27 (1 to 27)
                --cities N          5570
                --neighbourhoods N  60000
                --ceps N            1000000 (postal codes)
                --customers N       1000 (the demonstration's three first)
                --consumers N       1000000
              Progress goes to standard error: a bar on a terminal, otherwise
              a line at every tenth.
  queue list  the registrations waiting on this till to be sent (made while the
              database was out of reach), in order: number, time, customer,
              code, name, and why the database refused one
  queue send  send the waiting registrations to the database now, as the next
              call that reaches it would; the exit status is 0 once none
              waits. Refused ones stay, marked, until dropped
  queue drop N
              remove waiting registration N for good (after a refusal)
  trim-list-changes
              trim the log of changed list rows that lets tills read only
              what changed; tills whose lists are older than what is left
              read those lists whole. For a scheduled job. Options (at least
              one):
                --days N            remove what is older than N days
                --versions N        keep the last N versions of each list

The connection string comes from --connection, else CADCONS_CONNECTION, else the
host configuration (cadcons.ini in the host directory), else an SQLite file
cadcons.db in the host directory. Examples:
  SQLite      Provider=QSQLITE;Data Source=/var/lib/pdv/cadcons.db
  PostgreSQL  Provider=QPSQL;Data Source=dbhost:5432;Initial Catalog=pdv;User ID=pdv;Password=secret
  ODBC        Provider=QODBC;Extended Properties="Driver={PostgreSQL Unicode};Server=dbhost;Database=pdv"
)";

const char* const kTables[] = {"PAIS",     "ESTADO",  "MUNICIPIO", "BAIRRO",    "CEP",
                               "TIPOCONS", "CLIENTE", "PARAVEND",  "CONSUMIDOR"};

// A numeric option of a command, with the largest value it takes.
struct NumberOption {
    const char* name;
    qint64 largest;
    std::function<void(qint64)> set;
};

// Takes the command's options from `args`, as --name N or --name=N; anything else starting with -- is
// refused.
void takeNumberOptions(QStringList& args, const QList<NumberOption>& known) {
    for (qsizetype i = 0; i < args.size();) {
        const QString arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            ++i;
            continue;
        }
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        const auto option = std::find_if(known.cbegin(), known.cend(),
                                         [&](const NumberOption& k) { return name == QLatin1String(k.name); });
        if (option == known.cend())
            throw cli::UsageError(("unknown option " + name).toStdString());
        QString value;
        if (eq >= 0) {
            value = arg.mid(eq + 1);
            args.remove(i);
        } else {
            if (i + 1 >= args.size())
                throw cli::UsageError((name + " needs a number").toStdString());
            value = args[i + 1];
            args.remove(i, 2);
        }
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok || n < 0 || n > option->largest)
            throw cli::UsageError((name + " needs a number, not \"" + value + "\"").toStdString());
        option->set(n);
    }
}

ScaleOptions takeScaleOptions(QStringList& args) {
    ScaleOptions options;
    const qint64 wide = std::numeric_limits<qint64>::max(), narrow = std::numeric_limits<int>::max();
    const auto count = [](int& to) { return [&to](qint64 n) { to = static_cast<int>(n); }; };
    takeNumberOptions(args, {
                                {"--states", narrow, count(options.states)},
                                {"--cities", narrow, count(options.cities)},
                                {"--neighbourhoods", narrow, count(options.neighbourhoods)},
                                {"--ceps", wide, [&](qint64 n) { options.ceps = n; }},
                                {"--customers", narrow, count(options.customers)},
                                {"--consumers", wide, [&](qint64 n) { options.consumers = n; }},
                            });
    return options;
}

struct TrimOptions {
    std::optional<int> days;
    std::optional<qint64> versions;
};

TrimOptions takeTrimOptions(QStringList& args) {
    TrimOptions options;
    takeNumberOptions(args,
                      {
                          {"--days", 100000, [&](qint64 n) { options.days = static_cast<int>(n); }},
                          {"--versions", std::numeric_limits<qint64>::max(), [&](qint64 n) { options.versions = n; }},
                      });
    if (!options.days && !options.versions)
        throw cli::UsageError("trim-list-changes needs --days or --versions");
    return options;
}

// The tables of `init` when the database has none; a database that holds rows already is refused, as the
// seeded keys would clash with them.
void prepareForScale(QSqlDatabase& db) {
    const QStringList existing = db.tables();
    const bool hasSchema = std::any_of(existing.cbegin(), existing.cend(), [](const QString& t) {
        return t.compare(QLatin1String("CONSUMIDOR"), Qt::CaseInsensitive) == 0;
    });
    if (!hasSchema) {
        createSchema(db);
        return;
    }
    for (const char* table : kTables) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) || !query.next())
            throw DatabaseError(QStringLiteral("Could not count the rows of %1").arg(QLatin1String(table)),
                                query.lastError());
        if (query.value(0).toLongLong() > 0)
            throw std::runtime_error(QStringLiteral("seed-scale needs an empty database, and %1 holds rows")
                                         .arg(QLatin1String(table))
                                         .toStdString());
    }
}

// A bar redrawn in place on a terminal; plain lines at every tenth when standard error is a file or pipe.
class ProgressReport {
public:
    ProgressReport()
        : terminal_(isatty(fileno(stderr)) != 0) {
        clock_.start();
    }

    void operator()(qint64 done, qint64 total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        const qint64 seconds = clock_.elapsed() / 1000;
        if (terminal_) {
            if (clock_.elapsed() - lastDraw_ < 100 && done < total)
                return;
            lastDraw_ = clock_.elapsed();
            constexpr int kWidth = 40;
            const int filled = percent * kWidth / 100;
            cli::err(QStringLiteral("\r[%1%2] %3% %4/%5 rows %6 s%7")
                         .arg(QString(filled, u'#'), QString(kWidth - filled, u' '))
                         .arg(percent, 3)
                         .arg(done)
                         .arg(total)
                         .arg(seconds)
                         .arg(done >= total ? QStringLiteral("\n") : QString()));
        } else if (percent / 10 > lastTenth_) {
            lastTenth_ = percent / 10;
            cli::err(QStringLiteral("seed-scale: %1% (%2 of %3 rows, %4 s)\n")
                         .arg(percent)
                         .arg(done)
                         .arg(total)
                         .arg(seconds));
        }
    }

private:
    bool terminal_;
    QElapsedTimer clock_;
    qint64 lastDraw_ = -1000;
    int lastTenth_ = -1;
};

// Sends the queue now; 0 once nothing waits any more.
int sendCommand(OfflineQueue& queue) {
    TrdmCadConsumidor service;
    installDefaultCentralServices([&service] { return &service; });
    service.open();
    const QueueSending outcome = sendQueue(service, queue);
    if (outcome.busy)
        throw std::runtime_error("another process is sending the queue; nothing was sent");
    cli::out(QStringLiteral("%1 sent, %2 refused now, %3 waiting\n")
                 .arg(outcome.sent)
                 .arg(outcome.refused)
                 .arg(outcome.left));
    if (!outcome.central.isEmpty())
        cli::err(QStringLiteral("cadcons-db: the central registration failed: %1\n").arg(outcome.central));
    if (!outcome.stopped.isEmpty())
        throw std::runtime_error(("sending stopped: " + outcome.stopped).toStdString());
    return outcome.left == 0 ? 0 : 1;
}

// The till's queue of registrations waiting to be sent, beside its kept lists; no database needed but to send.
int queueCommand(const QStringList& args) {
    const bool list = args == QStringList{QStringLiteral("list")};
    const bool send = args == QStringList{QStringLiteral("send")};
    const bool drop = args.size() == 2 && args.first() == QLatin1String("drop");
    if (!list && !send && !drop)
        throw cli::UsageError("queue takes list, send, or drop and a record's number");
    const ListDirectory directory = listDirectory();
    if (directory.path.isEmpty())
        throw std::runtime_error(
            QStringLiteral("there is no queue: the till keeps no lists (%1)").arg(directory.setting).toStdString());
    OfflineQueue queue(directory.path + OfflineQueue::fileName());
    if (!queue.damagedFile().isEmpty())
        cli::err(QStringLiteral("cadcons-db: the queue could not be read and was moved aside to %1\n")
                     .arg(queue.damagedFile()));
    if (drop) {
        bool ok = false;
        const qint64 number = args[1].toLongLong(&ok);
        if (!ok)
            throw cli::UsageError(("queue drop needs a record's number, not \"" + args[1] + "\"").toStdString());
        if (!queue.remove(number))
            throw std::runtime_error(QStringLiteral("the queue has no record %1").arg(number).toStdString());
        cli::out(QStringLiteral("record %1 removed\n").arg(number));
        return 0;
    }
    if (send)
        return sendCommand(queue);
    for (const OfflineQueue::Record& r : queue.records()) {
        cli::out(QStringLiteral("%1\t%2\t%3\t%4\t%5%6%7\n")
                     .arg(r.number)
                     .arg(r.queued.toString(Qt::ISODate), r.values.cdCliente, r.values.cdConsumidor,
                          r.values.nmConsumidor,
                          r.refused.isEmpty() ? QString() : QStringLiteral("\trefused: ") + r.refused,
                          r.decision.isEmpty() ? QString() : QStringLiteral("\tdecided: ") + r.decision));
    }
    if (const QStringList decisions = queue.decisions(); !decisions.isEmpty())
        cli::out(QStringLiteral("Sent, with a decision taken in the operator's place:\n  %1\n")
                     .arg(decisions.join(QLatin1String("\n  "))));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    try {
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            cli::out(QString::fromUtf8(kHelp));
            return 0;
        }
        cli::takeConnectionOption(args);
        if (!args.isEmpty() && args.first() == QLatin1String("queue"))
            return queueCommand(args.mid(1));
        const bool scale = args.contains(QLatin1String("seed-scale"));
        const bool trim = args.contains(QLatin1String("trim-list-changes"));
        const ScaleOptions scaleOptions = scale ? takeScaleOptions(args) : ScaleOptions();
        const TrimOptions trimOptions = trim ? takeTrimOptions(args) : TrimOptions();
        if (args.size() != 1)
            throw cli::UsageError(args.isEmpty() ? "a command is needed" : "exactly one command is expected");
        const QString command = args.first();
        if (command != QLatin1String("init") && command != QLatin1String("seed-demo") &&
            command != QLatin1String("seed-scale") && command != QLatin1String("trim-list-changes"))
            throw cli::UsageError(("unknown command " + command).toStdString());

        TrdmCadConsumidor service;
        service.open();
        {
            QSqlDatabase db = service.adcCadConsumidor();
            if (command == QLatin1String("init")) {
                createSchema(db);
            } else if (command == QLatin1String("seed-demo")) {
                seedDemo(db);
            } else if (trim) {
                const qint64 removed = trimListChanges(db, trimOptions.days, trimOptions.versions);
                cli::out(QStringLiteral("%1 list changes removed\n").arg(removed));
            } else {
                prepareForScale(db);
                ProgressReport report;
                seedScale(db, scaleOptions, std::ref(report));
            }
        }
        return 0;
    } catch (const cli::UsageError& e) {
        cli::err(QStringLiteral("cadcons-db: %1\nTry 'cadcons-db --help'.\n").arg(QString::fromUtf8(e.what())));
        return 2;
    } catch (const std::exception& e) {
        cli::err(QStringLiteral("cadcons-db: %1\n").arg(QString::fromUtf8(e.what())));
        return 1;
    }
}
