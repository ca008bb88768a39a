#include "env_guard.h"
#include "routines/utility.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

const QByteArray kKeyA = QByteArray(64, '\x5a').toHex();
const QByteArray kKeyB = QByteArray(64, '\x17').toHex();

template <typename F> std::string cryptoError(F call) {
    try {
        call();
    } catch (const CryptoError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no CryptoError";
    return {};
}

class CriptoPlusTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("CADCONS_CRYPTO_KEY", kKeyA); }
    HostEnvironment env;
};

} // namespace

TEST_F(CriptoPlusTest, RoundTripsAndIsDeterministicPerKey) {
    for (const QString& plain : {QStringLiteral("1234"), QStringLiteral("ação€"), QStringLiteral("12345678901234")}) {
        const QString stored = CriptoPlus(plain);
        EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]{1,40}$").match(stored).hasMatch()) << stored.toStdString();
        EXPECT_EQ(CriptoPlus(plain), stored);
        EXPECT_EQ(DecriptoPlus(stored), plain);
        qputenv("CADCONS_CRYPTO_KEY", kKeyB);
        EXPECT_NE(CriptoPlus(plain), stored);
        EXPECT_THROW(DecriptoPlus(stored), CryptoError);
        qputenv("CADCONS_CRYPTO_KEY", kKeyA);
    }
    // Worked out apart from this code (RFC 5297 with the associated data "cadcons.CriptoPlus.v1"): stored
    // passwords must keep decrypting, so the format never drifts.
    EXPECT_EQ(CriptoPlus("1234"), "UKzwzSb6JwM94HzyU9Ffz2ryQ2g");
    EXPECT_EQ(DecriptoPlus("04WzMbMBfGdf1SyxGKemX5TRt4IvD4Pfpw"), "ação€");
    EXPECT_NE(CriptoPlus("1234"), CriptoPlus("1235"));
    EXPECT_EQ(CriptoPlus(""), "");
    EXPECT_EQ(DecriptoPlus(""), "");
}

TEST_F(CriptoPlusTest, RefusesWhatDoesNotFitItsColumn) {
    EXPECT_EQ(maxCriptoPlusInput(kSenhaConsWidth), 14);
    EXPECT_EQ(maxCriptoPlusInput(10), 0);
    for (int width : {kSenhaConsWidth, 41, 250}) {
        const int limit = maxCriptoPlusInput(width);
        EXPECT_LE(CriptoPlus(QString(limit, u'x'), width).size(), width);
        const std::string text = cryptoError([&] { CriptoPlus(QString(limit + 1, u'q'), width); });
        EXPECT_NE(text.find("at most " + std::to_string(limit)), std::string::npos) << text;
        EXPECT_EQ(text.find("qqq"), std::string::npos) << text;
    }
    // Counted in UTF-8 bytes: seven two-byte letters fit 40 characters, eight do not.
    EXPECT_NO_THROW(CriptoPlus(QString(7, u'ç')));
    EXPECT_THROW(CriptoPlus(QString(8, u'ç')), CryptoError);
}

TEST_F(CriptoPlusTest, RejectsAlteredText) {
    const QString stored = CriptoPlus("segredo");
    QStringList altered = {stored.chopped(1), stored + u'A', stored + u'=', "a b", "ção", "AAAA"};
    for (int i = 0; i < stored.size(); ++i)
        altered << QString(stored).replace(i, 1, stored[i] == u'A' ? u'B' : u'A');
    for (const QString& text : altered)
        EXPECT_THROW(DecriptoPlus(text), CryptoError) << text.toStdString();
}

TEST_F(CriptoPlusTest, KeyFromEnvironmentOrFileAndErrorsSayWhereNeverWhat) {
    const QString stored = CriptoPlus("1234");
    qunsetenv("CADCONS_CRYPTO_KEY");
    std::string text = cryptoError([] { CriptoPlus("1234"); });
    EXPECT_NE(text.find("CADCONS_CRYPTO_KEY"), std::string::npos) << text;
    EXPECT_NE(text.find((env.path() + "cadcons.key").toStdString()), std::string::npos) << text;

    // The default key file, then one named by the configuration; either only while no one else may read it.
    for (const auto& [name, setting] : {std::pair{"cadcons.key", ""}, std::pair{"keys/till.key", "keys/till.key"}}) {
        QDir(env.path()).mkpath("keys");
        QFile key(env.path() + name);
        ASSERT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(kKeyA + "\n");
        key.close();
        QFile ini(env.path() + "cadcons.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray("[crypto]\nkey_file=") + setting + "\n");
        ini.close();

        ASSERT_TRUE(key.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_EQ(CriptoPlus("1234"), stored) << name;
        ASSERT_TRUE(key.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        text = cryptoError([] { CriptoPlus("1234"); });
        EXPECT_NE(text.find("chmod 600"), std::string::npos) << text;
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_EQ(text.find("5a5a"), std::string::npos) << text;
        key.remove();
    }

    for (const QByteArray& bad : {kKeyA.left(126), kKeyA.left(127) + "g", QByteArray("feedface").repeated(16) + "00"}) {
        qputenv("CADCONS_CRYPTO_KEY", bad);
        text = cryptoError([] { CriptoPlus("1234"); });
        EXPECT_NE(text.find("CADCONS_CRYPTO_KEY"), std::string::npos) << text;
        EXPECT_EQ(text.find("5a5a"), std::string::npos) << text;
        EXPECT_EQ(text.find("feedface"), std::string::npos) << text;
    }
}
