// cadcons-db: creates the consumer database and fills it with demonstration data.

#include "cli.h"
#include "connection.h"
#include "rdm_cad_consumidor.h"
#include "schema.h"

#include <QCoreApplication>

using namespace cadcons;

namespace {

const char* const kHelp = R"(Usage: cadcons-db [--connection STR] COMMAND

Commands:
  init        create the tables and indexes of the consumer database
  seed-demo   fill it with demonstration data (countries, states, cities,
              neighbourhoods, postal codes, customers and a few consumers)

The connection string comes from --connection, else CADCONS_CONNECTION, else the
host configuration (cadcons.ini in the host directory), else an SQLite file
cadcons.db in the host directory. Examples:
  Provider=QSQLITE;Data Source=/var/lib/pdv/cadcons.db
  Provider=QPSQL;Data Source=dbhost:5432;Initial Catalog=pdv;User ID=pdv;Password=secret
  Provider=QODBC;Extended Properties="Driver={PostgreSQL Unicode};Server=dbhost;Database=pdv"
)";

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
        if (args.size() != 1)
            throw cli::UsageError(args.isEmpty() ? "a command is needed" : "exactly one command is expected");
        const QString command = args.first();
        if (command != QLatin1String("init") && command != QLatin1String("seed-demo"))
            throw cli::UsageError(("unknown command " + command).toStdString());

        TrdmCadConsumidor service;
        service.open();
        {
            QSqlDatabase db = service.adcCadConsumidor();
            if (command == QLatin1String("init"))
                createSchema(db);
            else
                seedDemo(db);
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
