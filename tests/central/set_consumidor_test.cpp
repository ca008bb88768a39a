#include "central_fixture.h"

#include "platform/packet_file.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

namespace cadcons::test {
namespace {

const QString kS = QStringLiteral("S");
const QString kN = QStringLiteral("N");

class SetConsumidorTest : public CentralTest {
protected:
    void SetUp() override {
        CentralTest::SetUp();
        installDefaultCentralServices([this] { return service_.get(); });
    }

    QVariant publish(const QString& toBranch, const QString& toCentral, const QString& dir = QString()) {
        QVariantList data(10);
        return SetConsumidor({QStringLiteral("0001"), dir.isNull() ? hostDir() : dir, toBranch, toCentral}, data);
    }

    // The keys preparePendingChanges leaves waiting, in key order.
    static QList<std::pair<QString, QString>> pendingKeys() {
        return {{kC1, consumerKey(2)}, {kC2, consumerKey(1)}, {kC2, consumerKey(99)}};
    }

    QString consumerFile() const { return consumerFilePath(hostDir()); }
};

void expectSuccess(const QVariant& answer, const QString& log) {
    EXPECT_EQ(answer.metaType(), QMetaType::fromType<bool>()) << answer.toString().toStdString() << "\n"
                                                              << log.toStdString();
    EXPECT_TRUE(answer.toBool());
}

QString expectErrorText(const QVariant& answer) {
    EXPECT_EQ(answer.metaType(), QMetaType::fromType<QString>());
    const QString text = answer.toString();
    EXPECT_FALSE(text.trimmed().isEmpty());
    return text;
}

TEST_P(SetConsumidorTest, CopiesTheChangedConsumersCentrallyAndMarksThemPublished) {
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    expectSuccess(publish(kN, kS), log_->text());

    for (const auto& [customer, consumer] : pendingKeys()) {
        SCOPED_TRACE(consumer.toStdString());
        EXPECT_EQ(column(local(), customer, consumer, QStringLiteral("IDATUCONSUMI")), kS);
        expectSameRow(consumerRow(local(), customer, consumer), consumerRow(central(), customer, consumer));
    }
    EXPECT_EQ(consumerCount(central()), 8);
    // Marked published before: not copied again.
    EXPECT_EQ(column(central(), kC2, consumerKey(10), QStringLiteral("NMCONSUMIDOR")),
              QStringLiteral("FERNANDA LIMA COSTA"));
    EXPECT_FALSE(QFile::exists(consumerFile()));
    EXPECT_TRUE(log_->text().contains(QStringLiteral("3 consumers copied"))) << log_->text().toStdString();

    // Nothing waits any more: a second publication changes nothing.
    const QStringList centralMarkers = markers(central());
    expectSuccess(publish(kN, kS), log_->text());
    EXPECT_EQ(markers(central()), centralMarkers);
    EXPECT_FALSE(markers(local()).join(u' ').contains(QStringLiteral("=A")));
}

TEST_P(SetConsumidorTest, DoesWhatTheTwoFlagsAsk) {
    struct Case {
        const char* name;
        QString toBranch;
        QString toCentral;
        bool file;
        bool published;
    };
    // Those that publish nothing first: the central row then still is the demonstration one.
    const Case cases[] = {
        {"neither", kN, kN, false, false},
        {"branch file only", kS, kN, true, false},
        {"flags are exact", QStringLiteral("s"), QStringLiteral("Sim"), false, false},
        {"central only", kN, kS, false, true},
        {"both", kS, kS, true, true},
    };
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exec(local(),
             QStringLiteral("UPDATE CONSUMIDOR SET IDATUCONSUMI = 'A' WHERE CDCONSUMIDOR = '%1'").arg(consumerKey(2)));
        QFile::remove(consumerFile());
        const QStringList localBefore = markers(local());
        const QStringList centralBefore = markers(central());

        expectSuccess(publish(c.toBranch, c.toCentral), log_->text());
        EXPECT_EQ(QFile::exists(consumerFile()), c.file);
        EXPECT_EQ(column(local(), kC1, consumerKey(2), QStringLiteral("IDATUCONSUMI")),
                  c.published ? kS : QStringLiteral("A"));
        EXPECT_EQ(column(central(), kC1, consumerKey(2), QStringLiteral("NMCONSUMIDOR")),
                  c.published ? QStringLiteral("JOSE C. PEREIRA") : QStringLiteral("JOSÉ CARLOS PEREIRA"));
        if (!c.published) {
            EXPECT_EQ(markers(local()), localBefore);
            EXPECT_EQ(markers(central()), centralBefore);
        }
    }
}

TEST_P(SetConsumidorTest, WithoutACentralDatabaseLeavesTheConsumersWaiting) {
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    qunsetenv("CADCONS_CENTRAL_CONNECTION");
    const QStringList localBefore = markers(local());
    const QStringList centralBefore = markers(central());

    expectSuccess(publish(kN, kS), log_->text());
    EXPECT_EQ(markers(local()), localBefore);
    EXPECT_EQ(markers(central()), centralBefore);
    EXPECT_TRUE(log_->text().contains(QStringLiteral("no central database is configured")))
        << log_->text().toStdString();

    // Configured later: the waiting consumers go then.
    qputenv("CADCONS_CENTRAL_CONNECTION", centralConnection_.toUtf8());
    expectSuccess(publish(kN, kS), log_->text());
    for (const auto& [customer, consumer] : pendingKeys())
        expectSameRow(consumerRow(local(), customer, consumer), consumerRow(central(), customer, consumer));
}

TEST_P(SetConsumidorTest, CentralFailureCopiesNothingAndLeavesTheMarkers) {
    struct Case {
        const char* name;
        std::function<void(CentralTest&)> breakCentral;
    };
    const bool postgres = GetParam().central == QLatin1String("postgres");
    // The new consumer comes last in key order: the copies before it must be undone.
    const QString refuseNewConsumer =
        postgres ? QStringLiteral("ALTER TABLE CONSUMIDOR ADD CONSTRAINT CK_REFUSED CHECK (CDIDCONSUMID <> 'BADGE-99')")
                 : QStringLiteral("CREATE TRIGGER TR_REFUSED BEFORE INSERT ON CONSUMIDOR "
                                  "WHEN NEW.CDIDCONSUMID = 'BADGE-99' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    const QStringList localBefore = markers(local());

    exec(central(), refuseNewConsumer);
    QString text = expectErrorText(publish(kN, kS));
    EXPECT_TRUE(text.contains(consumerKey(99))) << text.toStdString();
    EXPECT_EQ(markers(local()), localBefore);
    EXPECT_EQ(column(central(), kC1, consumerKey(2), QStringLiteral("NMCONSUMIDOR")),
              QStringLiteral("JOSÉ CARLOS PEREIRA"))
        << "the copy before the refused one was not rolled back";
    EXPECT_EQ(consumerCount(central()), 7);
    for (const QString& secret : storedSecrets()) {
        EXPECT_FALSE(text.contains(secret)) << text.toStdString();
        EXPECT_FALSE(log_->text().contains(secret));
    }
    // PostgreSQL quotes the refused row whole: its secrets were there to hide.
    if (postgres) {
        EXPECT_TRUE(text.contains(QStringLiteral("***"))) << text.toStdString();
    }

    exec(central(), QStringLiteral("DROP TABLE CONSUMIDOR"));
    text = expectErrorText(publish(kN, kS));
    EXPECT_TRUE(text.contains(QStringLiteral("central database"))) << text.toStdString();
    EXPECT_EQ(markers(local()), localBefore);
    EXPECT_TRUE(log_->text().contains(text)) << "the reason is logged too";
}

TEST_P(SetConsumidorTest, LeavesAConsumerSavedAgainMeanwhileForTheNextPublication) {
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    const QList<ConsumerRow> rows = readPendingConsumers(local());
    ASSERT_EQ(rows.size(), 3);

    // Meanwhile: kC1/2 is saved again (its marker stays "A"); another publisher takes kC2/1.
    exec(local(), QStringLiteral("UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'NEWER NAME', "
                                 "DTULTATUCSUM = '2024-08-01 09:00:00' WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
                      .arg(kC1, consumerKey(2)));
    exec(local(),
         QStringLiteral("UPDATE CONSUMIDOR SET IDATUCONSUMI = 'S' WHERE CDCLIENTE = '%1' AND CDCONSUMIDOR = '%2'")
             .arg(kC2, consumerKey(1)));

    QSqlDatabase centralDb = centralDatabase();
    copyToCentral(centralDb, rows);
    QSqlDatabase localDb = local();
    EXPECT_EQ(markPublished(localDb, rows), 1);
    EXPECT_EQ(column(local(), kC1, consumerKey(2), QStringLiteral("IDATUCONSUMI")), QStringLiteral("A"));
    EXPECT_EQ(column(local(), kC2, consumerKey(99), QStringLiteral("IDATUCONSUMI")), kS);
    EXPECT_EQ(column(central(), kC1, consumerKey(2), QStringLiteral("NMCONSUMIDOR")),
              QStringLiteral("JOSE C. PEREIRA"));

    expectSuccess(publish(kN, kS), log_->text());
    EXPECT_EQ(column(local(), kC1, consumerKey(2), QStringLiteral("IDATUCONSUMI")), kS);
    expectSameRow(consumerRow(local(), kC1, consumerKey(2)), consumerRow(central(), kC1, consumerKey(2)));
}

TEST_P(SetConsumidorTest, WritesTheBranchFileWithoutSecrets) {
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    const QStringList expectedFields = {
        "CDCONSUMIDOR", "NMCONSUMIDOR", "NRRGCONSUMID",  "NRCPFRESPCON",    "DSENDECONS",   "NMBAIRCONS",
        "CDPAIS",       "NMPAIS",       "SGESTADO",      "CDMUNICIPIO",     "NMMUNICIPIO",  "NRCEPCONS",
        "NRTELECONS",   "NRTELE2CONS",  "CDCLIENTE",     "IDSEXOCONS",      "DTNASCCONS",   "DSEMAILCONS",
        "CDIDCONSUMID", "CDEXCONSUMID", "NRCELULARCONS", "CDTIPOCONS",      "NMTIPOCONS",   "NRENDECONS",
        "NMLOGINCONS",  "IDVERSALDCON", "IDIMPCPFCUPOM", "IDCADCONFLIBCON", "IDATUCPFCONS", "IDTPVENDACONS"};
    struct Case {
        const char* name;
        QString dir; // as SetConsumidor receives it
    };
    const Case cases[] = {
        {"host directory with a trailing slash", hostDir()},
        {"host directory without one", hostDir().chopped(1)},
        {"no host directory: the host's own", QStringLiteral("")},
    };
    const QStringList markersBefore = markers(local());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(consumerFile()).absolutePath()));
        {
            QFile stale(consumerFile());
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
            stale.write(QByteArray(200000, 'x'));
        }

        expectSuccess(publish(kS, kN, c.dir), log_->text());

        QFile file(consumerFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (const QString& secret : storedSecrets())
            EXPECT_FALSE(bytes.contains(secret.toUtf8())) << secret.toStdString();
        const DataPacket packet = readPacketFile(consumerFile());
        QStringList names;
        for (const FieldDef& field : packet.fields)
            names << field.name;
        EXPECT_EQ(names, expectedFields);
        EXPECT_EQ(packet.rows.size(), consumerCount(local()));
        const int jose = [&] {
            for (qsizetype i = 0; i < packet.rows.size(); ++i) {
                if (packet.rows[i][0] == consumerKey(2) && packet.rows[i][14] == kC1)
                    return int(i);
            }
            return -1;
        }();
        ASSERT_GE(jose, 0);
        EXPECT_EQ(packet.rows[jose][1].toString(), QStringLiteral("JOSE C. PEREIRA"));
        EXPECT_EQ(packet.rows[jose][7].toString(), QStringLiteral("Brasil"));
        EXPECT_EQ(packet.fields[1].width, 50);
        // Replaced whole, with nothing of the writing left beside it.
        EXPECT_EQ(QDir(QFileInfo(consumerFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("Cad_Consumidor.cds")});
    }
    EXPECT_EQ(markers(local()), markersBefore);
}

TEST_P(SetConsumidorTest, AFileThatCannotBeWrittenIsReportedAndThePublicationStillHappens) {
    ASSERT_NO_FATAL_FAILURE(preparePendingChanges());
    // A directory where the file should be.
    ASSERT_TRUE(QDir().mkpath(consumerFile()));

    const QString text = expectErrorText(publish(kS, kS));
    EXPECT_TRUE(text.contains(QStringLiteral("Cad_Consumidor.cds"))) << text.toStdString();
    for (const auto& [customer, consumer] : pendingKeys()) {
        EXPECT_EQ(column(local(), customer, consumer, QStringLiteral("IDATUCONSUMI")), kS);
        expectSameRow(consumerRow(local(), customer, consumer), consumerRow(central(), customer, consumer));
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SetConsumidorTest, ::testing::ValuesIn(backendPairs()), pairName);

} // namespace
} // namespace cadcons::test
