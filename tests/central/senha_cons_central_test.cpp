#include "central_fixture.h"

#include "config/connection.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace cadcons::test {
namespace {

bool getCons(const QString& customer, const QString& key, QVariantList& result) {
    return SenhaConsCentral(QStringLiteral("0001"), customer, key, QStringLiteral("X"), QStringLiteral("1"),
                            QStringLiteral("1"), QStringLiteral("GET_CONS"), result);
}

bool updateSenha(const QString& customer, const QString& key, const QString& value) {
    QVariantList result{QVariant()};
    return SenhaConsCentral(QStringLiteral("0001"), customer, key, value, QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("UPDATE_SENHA"), result);
}

DataPacket packetOf(const QVariantList& result) {
    EXPECT_EQ(result.size(), 1);
    EXPECT_EQ(result.value(0).metaType(), QMetaType::fromType<DataPacket>());
    return result.value(0).value<DataPacket>();
}

QString text(const DataPacket& packet, int row, const char* column) {
    return packet.rows.value(row).value(packet.fieldIndex(QLatin1String(column))).toString();
}

class SenhaConsCentralTest : public CentralTest {
protected:
    void SetUp() override {
        CentralTest::SetUp();
        installDefaultCentralServices([this] { return service_.get(); });
    }
};

TEST_P(SenhaConsCentralTest, GetConsReadsTheConsumerInTheCentralDatabase) {
    // Differs from the local row: the answer has to come from the central database.
    exec(central(), QStringLiteral("UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'ONLY CENTRAL' "
                                   "WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
                        .arg(kC1, consumerKey(1)));
    struct Case {
        const char* name;
        QString customer;
        QString key;
        QString code; // "" for no row
        QString nome;
    };
    const Case cases[] = {
        {"short code, brought to 21 characters", kC1, QStringLiteral("1"), consumerKey(1),
         QStringLiteral("ONLY CENTRAL")},
        {"full code", kC1, consumerKey(1), consumerKey(1), QStringLiteral("ONLY CENTRAL")},
        {"CPF", kC1, QStringLiteral("28491563709"), consumerKey(1), QStringLiteral("ONLY CENTRAL")},
        {"badge", kC1, QStringLiteral("1002"), consumerKey(2), QStringLiteral("JOSÉ CARLOS PEREIRA")},
        {"same code, other customer", kC2, QStringLiteral("1"), consumerKey(1), QStringLiteral("CARLOS EDUARDO SOUZA")},
        {"code of another customer's consumer", kC1, QStringLiteral("10"), {}, {}},
        {"unknown code", kC1, QStringLiteral("999"), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVariantList result{QVariant()};
        ASSERT_TRUE(getCons(c.customer, c.key, result)) << log_->text().toStdString();
        const DataPacket packet = packetOf(result);
        EXPECT_GE(packet.fieldIndex(QStringLiteral("CDCONSUMIDOR")), 0);
        if (c.code.isEmpty()) {
            EXPECT_TRUE(packet.rows.isEmpty());
            continue;
        }
        ASSERT_EQ(packet.rows.size(), 1);
        EXPECT_EQ(text(packet, 0, "CDCONSUMIDOR"), c.code);
        EXPECT_EQ(text(packet, 0, "NMCONSUMIDOR"), c.nome);
    }
}

TEST_P(SenhaConsCentralTest, GetConsAnswersAsTheLocalRecordDoes) {
    // Same data on both sides: the central answer is the local record's, field for field.
    const ServiceResult localRecord = getDadosConsumidor(*service_, kC1, QStringLiteral("4"));
    ASSERT_TRUE(isPacket(localRecord)) << std::get<QString>(localRecord).toStdString();
    const DataPacket expected = std::get<DataPacket>(localRecord);
    QVariantList result;
    ASSERT_TRUE(getCons(kC1, QStringLiteral("4"), result)) << log_->text().toStdString();
    const DataPacket actual = packetOf(result);

    ASSERT_EQ(actual.fields.size(), expected.fields.size());
    for (qsizetype i = 0; i < expected.fields.size(); ++i) {
        SCOPED_TRACE(expected.fields[i].name.toStdString());
        EXPECT_EQ(actual.fields[i].name, expected.fields[i].name);
        EXPECT_EQ(actual.fields[i].type, expected.fields[i].type);
        EXPECT_EQ(actual.fields[i].width, expected.fields[i].width);
    }
    ASSERT_EQ(actual.rows.size(), 1);
    ASSERT_EQ(expected.rows.size(), 1);
    EXPECT_EQ(actual.rows[0], expected.rows[0]);
    EXPECT_EQ(text(actual, 0, "NMPAIS"), QStringLiteral("Brasil"));
}

TEST_P(SenhaConsCentralTest, KeepsItsConnectionOpensItAgainAndFollowsTheConfiguration) {
    QVariantList result;
    ASSERT_TRUE(getCons(kC1, QStringLiteral("1"), result));
    ASSERT_TRUE(QSqlDatabase::contains(QStringLiteral("cadconsCentral")));
    QSqlDatabase::database(QStringLiteral("cadconsCentral"), false).close();
    ASSERT_TRUE(getCons(kC1, QStringLiteral("1"), result)) << log_->text().toStdString();
    EXPECT_TRUE(QSqlDatabase::database(QStringLiteral("cadconsCentral"), false).isOpen());
    EXPECT_EQ(packetOf(result).rows.size(), 1);

    if (GetParam().central == QLatin1String("postgres")) {
        // The server drops the connection: one call fails, the next one connects anew.
        exec(central(), QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE datname = current_database() AND pid <> pg_backend_pid()"));
        EXPECT_FALSE(getCons(kC1, QStringLiteral("1"), result));
        ASSERT_TRUE(getCons(kC1, QStringLiteral("1"), result)) << log_->text().toStdString();
        EXPECT_EQ(packetOf(result).rows.size(), 1);
    }

    // Another central database named now: the next call reads that one.
    const QString other = freshDatabase(GetParam().central);
    {
        const ConnectionSettings settings = parseConnectionString(other);
        QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, QStringLiteral("central-test-other"));
        applyConnectionSettings(db, settings);
        TryConnect(db);
        createSchema(db);
        exec(db, QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) "
                                "VALUES ('%1', '%2', 'IN THE OTHER ONE')")
                     .arg(kC1, consumerKey(1)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("central-test-other"));
    qputenv("CADCONS_CENTRAL_CONNECTION", other.toUtf8());
    ASSERT_TRUE(getCons(kC1, QStringLiteral("1"), result)) << log_->text().toStdString();
    EXPECT_EQ(text(packetOf(result), 0, "NMCONSUMIDOR"), QStringLiteral("IN THE OTHER ONE"));
}

TEST_P(SenhaConsCentralTest, UpdateSenhaStoresThePasswordCentrally) {
    exec(central(), QStringLiteral("DELETE FROM CONSUMIDOR WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
                        .arg(kC1, consumerKey(3)));
    struct Case {
        const char* name;
        QString consumer;
        QString value;
        bool ok;
    };
    const Case cases[] = {
        {"in the central database", consumerKey(1), QStringLiteral("c3RvcmVkLXBhc3N3b3JkLW9uZQ"), true},
        // Not published yet: copied there whole, with the new password.
        {"only in the local database", consumerKey(3), QStringLiteral("c3RvcmVkLXBhc3N3b3JkLXR3bw"), true},
        {"in neither", consumerKey(777), QStringLiteral("c3RvcmVkLXBhc3N3b3JkLXRocmVl"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DataPacket localBefore = consumerRow(local(), kC1, c.consumer);
        const DataPacket centralBefore = consumerRow(central(), kC1, c.consumer);
        const int centralCount = consumerCount(central());

        EXPECT_EQ(updateSenha(kC1, c.consumer, c.value), c.ok) << log_->text().toStdString();

        EXPECT_EQ(consumerRow(local(), kC1, c.consumer), localBefore) << "the local row is not touched";
        if (!c.ok) {
            EXPECT_EQ(consumerCount(central()), centralCount);
            EXPECT_TRUE(log_->text().contains(QStringLiteral("neither"))) << log_->text().toStdString();
            continue;
        }
        const DataPacket after = consumerRow(central(), kC1, c.consumer);
        EXPECT_EQ(column(central(), kC1, c.consumer, QStringLiteral("CDSENHACONS")), c.value);
        if (centralBefore.rows.isEmpty()) {
            EXPECT_EQ(consumerCount(central()), centralCount + 1);
            expectSameRow(localBefore, after, {QStringLiteral("CDSENHACONS"), QStringLiteral("IDATUCONSUMI")});
            EXPECT_EQ(column(central(), kC1, c.consumer, QStringLiteral("IDATUCONSUMI")), QStringLiteral("S"));
        } else {
            EXPECT_EQ(consumerCount(central()), centralCount);
            expectSameRow(centralBefore, after, {QStringLiteral("CDSENHACONS")});
        }
    }
    for (const Case& c : cases)
        EXPECT_FALSE(log_->text().contains(c.value)) << "a password reached the log";
}

TEST_P(SenhaConsCentralTest, FailsWithTheReasonLoggedWhenTheCentralTableIsMissing) {
    exec(central(), QStringLiteral("DROP TABLE CONSUMIDOR"));
    QVariantList result{QStringLiteral("untouched")};
    EXPECT_FALSE(getCons(kC1, QStringLiteral("1"), result));
    EXPECT_EQ(result, QVariantList{QStringLiteral("untouched")});
    EXPECT_FALSE(updateSenha(kC1, consumerKey(1), QStringLiteral("c2VjcmV0LXZhbHVl")));
    const QString log = log_->text();
    EXPECT_TRUE(log.contains(QStringLiteral("GET_CONS"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("UPDATE_SENHA"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("adqDadosCons"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("c2VjcmV0LXZhbHVl")));
}

INSTANTIATE_TEST_SUITE_P(Backends, SenhaConsCentralTest, ::testing::ValuesIn(backendPairs()), pairName);

// Without a database of the test's own.
class CentralConfiguration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("CADCONS_HOST_DIR", dir_.path().toUtf8());
        qunsetenv("CADCONS_CENTRAL_CONNECTION");
        saved_ = siblingServices();
        siblingServices() = SiblingServices{};
        closeCentralDatabase();
    }
    void TearDown() override {
        closeCentralDatabase();
        siblingServices() = saved_;
    }
    void writeIni(const QString& content) {
        QFile file(dir_.path() + QStringLiteral("/cadcons.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
    }

    EnvGuard env_{"CADCONS_HOST_DIR", "CADCONS_CENTRAL_CONNECTION"};
    QTemporaryDir dir_;
    SiblingServices saved_;
    LogCapture log_;
};

TEST_F(CentralConfiguration, ConnectionStringComesFromTheEnvironmentElseTheHostConfiguration) {
    struct Case {
        const char* name;
        const char* environment; // nullptr: unset
        const char* ini;
        const char* expected;
    };
    const Case cases[] = {
        {"neither", nullptr, "[database]\nconnection=Provider=QSQLITE;Data Source=/x/local.db\n", ""},
        {"host configuration", nullptr, "[central]\nconnection=Provider=QSQLITE;Data Source=/x/central.db\n",
         "Provider=QSQLITE;Data Source=/x/central.db"},
        {"environment wins", "Provider=QSQLITE;Data Source=/x/env.db",
         "[central]\nconnection=Provider=QSQLITE;Data Source=/x/central.db\n",
         "Provider=QSQLITE;Data Source=/x/env.db"},
        {"blank environment is no setting", "   ", "[central]\nconnection=Provider=QSQLITE;Data Source=/x/c.db\n",
         "Provider=QSQLITE;Data Source=/x/c.db"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.environment)
            qputenv("CADCONS_CENTRAL_CONNECTION", c.environment);
        else
            qunsetenv("CADCONS_CENTRAL_CONNECTION");
        writeIni(QString::fromUtf8(c.ini));
        EXPECT_EQ(centralConnectionString(), QString::fromUtf8(c.expected));
    }
}

TEST_F(CentralConfiguration, WithoutACentralDatabaseThePasswordServiceFailsClearly) {
    installDefaultCentralServices([]() -> TrdmCadConsumidor* { return nullptr; });
    QVariantList result{QStringLiteral("untouched")};
    EXPECT_FALSE(SenhaConsCentral("0001", kC1, "1", "X", "1", "1", "GET_CONS", result));
    EXPECT_EQ(result, QVariantList{QStringLiteral("untouched")});
    EXPECT_FALSE(SenhaConsCentral("0001", kC1, consumerKey(1), "c2VjcmV0LXZhbHVl", "1", "1", "UPDATE_SENHA", result));
    const QString log = log_.text();
    EXPECT_EQ(log.count(QStringLiteral("No central database is configured")), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("CADCONS_CENTRAL_CONNECTION")));
    EXPECT_FALSE(log.contains(QStringLiteral("c2VjcmV0LXZhbHVl")));
}

TEST_F(CentralConfiguration, FailuresAreLoggedWithoutSecrets) {
    installDefaultCentralServices([]() -> TrdmCadConsumidor* { return nullptr; });
    struct Case {
        const char* name;
        QString connection;
        QString action;
        QString expectedInLog;
    };
    const Case cases[] = {
        {"server that does not answer",
         QStringLiteral(
             "Provider=QPSQL;Data Source=127.0.0.1:1;Initial Catalog=pdv;User ID=pdv;Password=Pw-d0-not-log"),
         QStringLiteral("UPDATE_SENHA"), QStringLiteral("could not open")},
        {"database file that cannot be made",
         QStringLiteral("Provider=QSQLITE;Data Source=/nonexistent-dir/central/c.db"), QStringLiteral("GET_CONS"),
         QStringLiteral("could not open")},
        {"connection string that does not parse",
         QStringLiteral("Provider=QSQLITE;Data Source=/x/c.db;Password=Pw-d0-not-log"), QStringLiteral("GET_CONS"),
         QStringLiteral("Password does not apply")},
        {"unknown action", QStringLiteral("Provider=QSQLITE;Data Source=/x/c.db"), QStringLiteral("GET_SENHA"),
         QStringLiteral("unknown action")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        qputenv("CADCONS_CENTRAL_CONNECTION", c.connection.toUtf8());
        QVariantList result{QVariant()};
        EXPECT_FALSE(SenhaConsCentral("0001", kC1, consumerKey(1), "c2VjcmV0LXZhbHVl", "1", "1", c.action, result));
        const QString log = log_.text();
        EXPECT_TRUE(log.contains(c.expectedInLog)) << log.toStdString();
        EXPECT_TRUE(log.contains(c.action)) << log.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("Pw-d0-not-log"))) << log.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("c2VjcmV0LXZhbHVl"))) << log.toStdString();
    }
}

TEST_F(CentralConfiguration, DefaultsFillOnlyEmptyServices) {
    siblingServices().SetConsumidor = [](const QVariantList&, QVariantList&) {
        return QVariant(QStringLiteral("host"));
    };
    installDefaultCentralServices([]() -> TrdmCadConsumidor* { return nullptr; });
    QVariantList data(10);
    EXPECT_EQ(SetConsumidor({"0001", dir_.path(), "N", "N"}, data), QVariant(QStringLiteral("host")));
    ASSERT_TRUE(siblingServices().SenhaConsCentral);
    QVariantList result;
    EXPECT_FALSE(SenhaConsCentral("0001", kC1, "1", "X", "1", "1", "GET_CONS", result)) << "no central database";

    siblingServices() = SiblingServices{};
    installDefaultCentralServices([]() -> TrdmCadConsumidor* { return nullptr; });
    EXPECT_EQ(SetConsumidor({"0001", dir_.path(), "N", "N"}, data), QVariant(true));
}

} // namespace
} // namespace cadcons::test
