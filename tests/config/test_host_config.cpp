#include "config/host_config.h"
#include "env_guard.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace cadcons;

namespace {

const QByteArray kKey = QByteArray(64, '\x3c').toHex();

void writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
    file.close();
    ASSERT_TRUE(file.setPermissions(permissions));
}

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr auto kEveryoneReads = kOwnerOnly | QFile::ReadGroup | QFile::ReadOther;

struct ConfigCase {
    const char* what;
    QByteArray ini;
    std::vector<std::pair<const char*, const char*>> environment;
    // Every text a problem must hold (the setting's name and what was expected); empty: no problem.
    std::vector<const char*> expected;
};

} // namespace

TEST(HostConfigTest, WrongSettingsAreNamedWithWhatWasExpected) {
    const std::vector<ConfigCase> cases = {
        {"a sound file",
         "[database]\nconnection=Provider=QSQLITE;Data Source=/tmp/x.db\n[cep]\nurl=https://cep.example/\n"
         "[screen]\nlanguage=en\n[host]\nencoding=Windows-1252\n[cache]\ndir=/"
         "tmp\nenabled=No\n[offline]\nenabled=YES\n; "
         "a comment\n# "
         "another\n",
         {},
         {}},
        {"typo in a name",
         "[database]\nconection=Provider=QSQLITE;Data Source=x\n",
         {},
         {"line 2", "unknown setting [database] conection", "[database] connection"}},
        {"unknown section", "[cripto]\nkey_file=x\n", {}, {"unknown setting [cripto] key_file", "[crypto] key_file"}},
        {"a line that is no setting", "[cep]\nhttp://cep.example\n", {}, {"line 2", "not a setting", "name=value"}},
        {"unknown provider",
         "[database]\nconnection=Provider=SQLOLEDB;Data Source=x\n",
         {},
         {"[database] connection", "SQLOLEDB", "Provider=QSQLITE"}},
        {"provider from the environment",
         "",
         {{"CADCONS_CONNECTION", "Data Source=x"}},
         {"CADCONS_CONNECTION", "Provider"}},
        {"central connection", "[central]\nconnection=Provider=QPSQL\n", {}, {"[central] connection", "QPSQL"}},
        {"postal-code service not on the web",
         "[cep]\nurl=ftp://cep.example/\n",
         {},
         {"[cep] url", "ftp://cep.example/", "http://HOST"}},
        {"postal-code service from the environment",
         "",
         {{"CADCONS_CEP_URL", "cep.example"}},
         {"CADCONS_CEP_URL", "https://HOST"}},
        {"a language that is none", "[screen]\nlanguage=english please\n", {}, {"[screen] language", "pt_BR"}},
        {"an encoding that is not offered",
         "[host]\nencoding=latin1\n",
         {},
         {"[host] encoding", "latin1", "utf-8 or windows-1252"}},
        {"an encoding from the environment over a sound file",
         "[host]\nencoding=utf-8\n",
         {{"CADCONS_HOST_ENCODING", "cp1252"}},
         {"CADCONS_HOST_ENCODING", "utf-8 or windows-1252"}},
        {"kept lists switched by neither yes nor no", "[cache]\nenabled=maybe\n", {}, {"[cache] enabled", "maybe"}},
        {"offline registration switched by neither yes nor no",
         "[offline]\nenabled=sometimes\n",
         {},
         {"[offline] enabled", "sometimes", "neither yes nor no"}},
        {"kept lists in a directory that is none",
         "[cache]\ndir=/nonexistent/lists\n",
         {},
         {"[cache] dir", "/nonexistent/lists", "not a directory"}},
        {"a missing host directory",
         "",
         {{"CADCONS_HOST_DIR", "/nonexistent/till/"}},
         {"CADCONS_HOST_DIR", "/nonexistent/till/", "not a directory"}},
        {"a named key file that is missing",
         "[crypto]\nkey_file=keys/till.key\n",
         {},
         {"[crypto] key_file", "till.key", "does not exist"}},
    };
    for (const ConfigCase& c : cases) {
        HostEnvironment env;
        writeFile(env.path() + "cadcons.ini", c.ini, kEveryoneReads);
        for (const auto& [name, value] : c.environment)
            qputenv(name, value);
        const QStringList problems = hostConfigProblems();
        const QString all = problems.join(u'\n');
        if (c.expected.empty()) {
            EXPECT_TRUE(problems.isEmpty()) << c.what << ": " << all.toStdString();
            continue;
        }
        EXPECT_EQ(problems.size(), 1) << c.what << ": " << all.toStdString();
        for (const char* text : c.expected)
            EXPECT_TRUE(all.contains(QString::fromUtf8(text)))
                << c.what << ": no \"" << text << "\" in " << all.toStdString();
    }
}

// Off unless asked for; the environment over the file (a wrong value is a row of the table above).
TEST(HostConfigTest, OfflineRegistrationIsOffUnlessAskedFor) {
    const struct {
        const char* ini;
        const char* environment;
        bool on;
    } cases[] = {{"", nullptr, false},
                 {"[offline]\nenabled=yes\n", nullptr, true},
                 {"[offline]\nenabled=No\n", nullptr, false},
                 {"[offline]\nenabled=yes\n", "no", false},
                 {"", "yes", true}};
    for (const auto& c : cases) {
        HostEnvironment env;
        writeFile(env.path() + "cadcons.ini", c.ini, kEveryoneReads);
        if (c.environment)
            qputenv("CADCONS_OFFLINE", c.environment);
        EXPECT_EQ(offlineEnabled(), c.on) << c.ini << " / " << (c.environment ? c.environment : "");
    }
}

TEST(HostConfigTest, KeyFileMustBeTheOwnersAloneAndHoldAKey) {
    struct KeyCase {
        const char* what;
        QByteArray content;
        QFile::Permissions permissions;
        const char* expected; // "" when the key is fine
    };
    const std::vector<KeyCase> cases = {
        {"owner only", kKey + "\n", kOwnerOnly, ""},
        {"readable by everyone", kKey, kEveryoneReads, "chmod 600"},
        {"readable by the group", kKey, kOwnerOnly | QFile::ReadGroup, "mode 0640"},
        {"writable by others", kKey, kOwnerOnly | QFile::WriteOther, "mode 0602"},
        {"too short", kKey.left(100), kOwnerOnly, "128 hexadecimal digits"},
        {"not hexadecimal", kKey.left(127) + "z", kOwnerOnly, "128 hexadecimal digits"},
    };
    for (const KeyCase& c : cases) {
        HostEnvironment env;
        writeFile(env.path() + "cadcons.key", c.content, c.permissions);
        const QString all = hostConfigProblems().join(u'\n');
        if (!*c.expected) {
            EXPECT_TRUE(all.isEmpty()) << c.what << ": " << all.toStdString();
            continue;
        }
        EXPECT_TRUE(all.contains(QLatin1String(c.expected))) << c.what << ": " << all.toStdString();
        EXPECT_TRUE(all.contains(QLatin1String("cadcons.key"))) << c.what << ": " << all.toStdString();
        // The key itself never appears in a message.
        EXPECT_FALSE(all.contains(QLatin1String(kKey.left(16)))) << c.what;
    }
}

TEST(HostConfigTest, ConfigurationThatAnyoneMayChangeIsRefused) {
    HostEnvironment env;
    writeFile(env.path() + "cadcons.ini", "[cep]\nurl=https://cep.example/\n", kEveryoneReads | QFile::WriteOther);
    const QString all = hostConfigProblems().join(u'\n');
    EXPECT_TRUE(all.contains(QLatin1String("anyone may change it"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QLatin1String("mode 0646"))) << all.toStdString();
}

TEST(HostConfigTest, FilesNamedBySettingsAreRelativeToTheHostDirectory) {
    HostEnvironment env;
    EXPECT_EQ(hostPath("keys/till.key"), env.path() + "keys/till.key");
    EXPECT_EQ(hostPath("/etc/cadcons/till.key"), "/etc/cadcons/till.key");
    writeFile(env.path() + "cadcons.ini", "[crypto]\nkey_file=/etc/cadcons/till.key\n[screen]\nlanguage=en\n",
              kEveryoneReads);
    EXPECT_EQ(cryptoKeyFile().path, "/etc/cadcons/till.key");
    EXPECT_EQ(hostLanguage(), "en");
    qputenv("CADCONS_CRYPTO_KEY_FILE", "other.key");
    qputenv("CADCONS_LANGUAGE", "pt_BR");
    EXPECT_EQ(cryptoKeyFile().path, env.path() + "other.key");
    EXPECT_EQ(cryptoKeyFile().setting, "CADCONS_CRYPTO_KEY_FILE");
    EXPECT_EQ(hostLanguage(), "pt_BR");
}
