#include "config/connection.h"
#include "config/host_config.h"
#include "env_guard.h"

#include <QFile>
#include <QSqlQuery>
#include <QUuid>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cadcons;

namespace {

// A local TCP port nobody listens on: bound by us, then released.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    EXPECT_TRUE(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Runs `body` on a fresh connection set up from `connection`.
template <typename F> void withConnection(const QString& connection, F body) {
    const ConnectionSettings settings = parseConnectionString(connection);
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, name);
        applyConnectionSettings(db, settings);
        body(db);
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

TEST(HostConfig, DirectoryConfigAndConnectionFallBackInOrder) {
    HostEnvironment env;
    qputenv("CADCONS_HOST_DIR", env.path().chopped(1).toUtf8()); // the "/" is added
    EXPECT_EQ(hostConfigPath(), env.path() + "cadcons.ini");
    EXPECT_EQ(_GetStringConexKiv(), "Provider=QSQLITE;Data Source=" + env.path() + "cadcons.db");

    // Written by hand (";" and "," unquoted) and as QSettings writes it (quoted, escaped).
    QFile ini(env.path() + "cadcons.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("; comment\n[Database]\r\nconnection = Provider=QPSQL;Data Source=h,1;Initial Catalog=pdv\n"
              "[cep]\nurl=\"a;b=\\\"c\\\"\"\n");
    ini.close();
    EXPECT_EQ(hostConfigValue("database/connection"), "Provider=QPSQL;Data Source=h,1;Initial Catalog=pdv");
    EXPECT_EQ(hostConfigValue("cep/url"), "a;b=\"c\"");
    EXPECT_EQ(hostConfigValue("cep/missing"), "");
    EXPECT_EQ(_GetStringConexKiv(), hostConfigValue("database/connection"));
    qputenv("CADCONS_CONNECTION", "Provider=QSQLITE;Data Source=/x.db");
    EXPECT_EQ(_GetStringConexKiv(), "Provider=QSQLITE;Data Source=/x.db");

    // The default still parses back to its file when the directory name holds ";" and quotes.
    qunsetenv("CADCONS_CONNECTION");
    qputenv("CADCONS_HOST_DIR", "/opt/a;b \"c\"/");
    EXPECT_EQ(parseConnectionString(_GetStringConexKiv()).databaseName, "/opt/a;b \"c\"/cadcons.db");
}

TEST(Connection, ParsesTheThreeProviders) {
    const struct {
        const char* text;
        ConnectionSettings expected;
    } cases[] = {
        {"Provider=QSQLITE;Data Source=/var/pdv.db;", {"QSQLITE", "/var/pdv.db", {}, -1, {}, {}, {}}},
        {"provider = qpsql ; DATA SOURCE=db.example:5433;Initial Catalog=pdv;User ID=u;Password='p;w''d'",
         {"QPSQL", "pdv", "db.example", 5433, "u", "p;w'd", {}}},
        {"Provider=QPSQL;Data Source=[::1];Initial Catalog=pdv;Connect Options=\"connect_timeout=3;sslmode=disable\"",
         {"QPSQL", "pdv", "::1", -1, {}, {}, "connect_timeout=3;sslmode=disable"}},
        {R"(Provider=QODBC;Extended Properties="Driver={PostgreSQL Unicode};Server=127.0.0.1;Database=""x""")",
         {"QODBC", R"(Driver={PostgreSQL Unicode};Server=127.0.0.1;Database="x")", {}, -1, {}, {}, {}}},
    };
    for (const auto& [text, e] : cases) {
        const ConnectionSettings s = parseConnectionString(text);
        EXPECT_EQ(std::tie(s.driver, s.databaseName, s.hostName, s.port, s.userName, s.password, s.connectOptions),
                  std::tie(e.driver, e.databaseName, e.hostName, e.port, e.userName, e.password, e.connectOptions))
            << text;
    }
}

TEST(Connection, RefusesBadStringsWithoutShowingThePassword) {
    const std::pair<const char*, const char*> cases[] = {
        {"Provider=MSDAORA.1;Data Source=x", "MSDAORA.1"},
        {"Data Source=x.db", "Provider"},
        {"Provider=QSQLITE", "Data Source"},
        {"Provider=QPSQL;Data Source=h;Password=Sekr3t", "Initial Catalog"},
        {"Provider=QPSQL;Data Source=h:99999;Initial Catalog=d;Password=Sekr3t", "port"},
        {"Provider=QPSQL;Data Source=h:;Initial Catalog=d;Password=Sekr3t", "port"},
        {"Provider=QPSQL;Data Source=h;Initial Catalog=d;Password=Sek;r3t", "quotes"},
        {"Provider=QPSQL;Data Source=h;Initial Catalog=d;Password=\"Sekr3t", "closing quote"},
        {"Provider=QSQLITE;Data Source=a.db;Password=Sekr3t", "does not apply"},
        {"Provider=QSQLITE;Data Source=a.db;Data Source=b.db", "twice"},
        {"Provider=QSQLITE;Data Sorce=a.db", "Data Sorce"},
        {"Provider=QODBC;User ID=u;Password=Sekr3t", "Extended Properties"},
    };
    for (const auto& [text, mentions] : cases) {
        try {
            parseConnectionString(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ConnectionStringError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(mentions), std::string::npos) << what;
            EXPECT_EQ(what.find("Sek"), std::string::npos) << what;
            EXPECT_EQ(what.find("r3t"), std::string::npos) << what;
        }
    }
}

TEST(Connection, FailuresSayWhatToFixAndHideThePassword) {
    const QString port = QString::number(closedPort());
    const QString missingDir = "/nonexistent-" + QUuid::createUuid().toString(QUuid::Id128) + "/cadcons.db";
    const std::pair<QString, QStringList> cases[] = {
        {"Provider=QPSQL;Data Source=127.0.0.1:" + port +
             ";Initial Catalog=pdv;User ID=caixa;Password=Pg-S3cr3t;Connect Options=connect_timeout=3",
         {"QPSQL", "127.0.0.1:" + port, "\"pdv\"", "caixa"}},
        {"Provider=QODBC;Extended Properties=\"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port +
             ";Database=pdv;UID=caixa;PWD={Pg-S3cr3t}\"",
         {"QODBC", "PWD=***"}},
        {"Provider=QSQLITE;Data Source=" + missingDir, {"QSQLITE", missingDir}},
    };
    for (const auto& [connection, expected] : cases) {
        const QStringList mentions = expected + QStringList{"TryConnect", "Database message:"};
        withConnection(connection, [&mentions](QSqlDatabase& db) {
            try {
                TryConnect(db);
                ADD_FAILURE() << "connected to " << db.databaseName().toStdString();
            } catch (const DatabaseError& e) {
                const QString text = QString::fromUtf8(e.what());
                for (const QString& part : mentions)
                    EXPECT_TRUE(text.contains(part)) << part.toStdString() << " not in: " << e.what();
                EXPECT_FALSE(text.contains("S3cr3t")) << e.what();
                EXPECT_EQ(ADOExceptionMessage(e, db).toStdString(), e.what()); // passed on unchanged
            }
        });
    }
    // Whatever a driver echoes, the password is taken out.
    withConnection("Provider=QPSQL;Data Source=h;Initial Catalog=d;Password=Hunter2!", [](QSqlDatabase& db) {
        const QString text = ADOExceptionMessage(std::runtime_error("login u/Hunter2! refused"), db, "getPais");
        EXPECT_TRUE(text.startsWith("getPais: login u/*** refused\n")) << text.toStdString();
    });
}

// Messages the drivers gave here, and passwords of 1 to 12 characters whose letters stand in them: a
// password is masked where it stands as a token, and the rest of the text stays as the driver wrote it.
TEST(Connection, APasswordIsMaskedAsATokenAndTheMessageStaysReadable) {
    const QString messages[] = {
        "server closed the connection unexpectedly",
        "FATAL:  password authentication failed for user \"caixa\"",
        "unable to open database file Error opening database",
        "[unixODBC][Driver Manager]Data source name not found and no default driver specified",
    };
    const char* passwords[] = {"x",       "ab",       "und",       "pass",       "senha",      "secret",
                               "Hunter2", "12345678", "passw0rd!", "unexpected", "Senha-1234", "S3cr3t-senha"};
    for (const char* password : passwords) {
        withConnection(QStringLiteral("Provider=QPSQL;Data Source=h;Initial Catalog=d;Password=") + password,
                       [&](QSqlDatabase& db) {
                           for (const QString& message : messages) {
                               SCOPED_TRACE(std::string(password) + " in " + message.toStdString());
                               const auto said = [&db](const QString& text) {
                                   return ADOExceptionMessage(std::runtime_error(text.toStdString()), db);
                               };
                               EXPECT_TRUE(said(message).startsWith(message + u'\n')) << said(message).toStdString();
                               const QString echoed = message + " (user caixa/" + password + ", '" + password + "')";
                               EXPECT_TRUE(said(echoed).startsWith(message + " (user caixa/***, '***')\n"))
                                   << said(echoed).toStdString();
                           }
                       });
    }
}

TEST(Connection, SqliteSessionWaitsForABusyFile) {
    HostEnvironment env;
    qputenv("CADCONS_CONNECTION",
            "Provider=QSQLITE;Data Source=" + env.path().toUtf8() + "c.db;Connect Options=QSQLITE_BUSY_TIMEOUT=1");
    withConnection(_GetStringConexKiv(), [](QSqlDatabase& db) {
        TryConnect(db);
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("PRAGMA busy_timeout") && query.next());
        EXPECT_EQ(query.value(0).toInt(), 5000);
        EXPECT_THROW(applyConnectionSettings(db, parseConnectionString("Provider=QSQLITE;Data Source=x")),
                     std::logic_error);
        db.close();
        EXPECT_THROW(SetADODBSession(db), DatabaseError);
        EXPECT_THROW(applyConnectionSettings(db, parseConnectionString("Provider=QPSQL;Data Source=h;Initial "
                                                                       "Catalog=d")),
                     ConnectionStringError);
    });
}
