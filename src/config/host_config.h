#pragma once

#include "platform/text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

// The host's configuration: where the host lives and what it tells the module. One file,
// "cadcons.ini" in the host directory (documented in the README, section Configuration):
//
//   [database]  connection=<connection string of the point-of-sale database>
//   [central]   connection=<connection string of the central database>
//   [cep]       url=<base address of the postal-code web service>
//   [crypto]    key_file=<file holding the 128 hexadecimal digits of the password cipher's key>
//   [screen]    language=<language of the captions, e.g. en; Portuguese by default>
//   [host]      encoding=<code page of the host's strings at the entry points: utf-8 (the default) or
//               windows-1252>
//   [cache]     dir=<directory of the till's kept lists; the host directory by default>
//               enabled=<yes (the default) or no>
//   [offline]   enabled=<yes or no (the default): new consumers registered while the database is out of
//               reach, kept beside the lists and sent when it answers again>
//
// Environment variables override it: CADCONS_HOST_DIR, CADCONS_CONNECTION, CADCONS_CENTRAL_CONNECTION,
// CADCONS_CEP_URL, CADCONS_CRYPTO_KEY_FILE (or the key itself in CADCONS_CRYPTO_KEY), CADCONS_LANGUAGE,
// CADCONS_HOST_ENCODING, CADCONS_CACHE_DIR, CADCONS_OFFLINE.
namespace cadcons {

// Directory of the host executable with a trailing "/"; CADCONS_HOST_DIR overrides it.
QString hostDirectory();

// Full path of the configuration file.
QString hostConfigPath();

// A value of the configuration file, "" when the file or the key is missing. `key` is "group/name".
QString hostConfigValue(const QString& key);

// A setting that is wrong: the text names the setting and says what was expected.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file named by a setting: absolute as it stands, else relative to the host directory.
QString hostPath(const QString& path);

// The key file of the password cipher and the name of the setting that chose it:
// CADCONS_CRYPTO_KEY_FILE, else key_file of [crypto], else "cadcons.key" in the host directory.
struct SettingPath {
    QString path;
    QString setting;
};
SettingPath cryptoKeyFile();

// The contents of a file holding a secret. Refuses (ConfigError naming `setting`) a file that anyone
// but its owner may read or write, a missing one and one over 4 KiB.
QByteArray readSecretFile(const QString& path, const QString& setting);

// The language the host asked for (CADCONS_LANGUAGE, else language of [screen]); "" for the system's.
QString hostLanguage();

// The code page of the strings a host hands the entry points and gets back (CADCONS_HOST_ENCODING,
// else encoding of [host]); UTF-8 when neither is set. Throws ConfigError naming the setting for any
// value but utf-8 or windows-1252 (in any letter case).
CodePage hostCodePage();

// The directory where the till keeps the reference lists it has read (CADCONS_CACHE_DIR, else dir of
// [cache], else the host directory), with the setting that chose it; an empty directory when enabled of
// [cache] is "no". Throws ConfigError naming the setting for an enabled that is neither yes nor no.
struct ListDirectory {
    QString path; // with a trailing "/"
    QString setting;
};
ListDirectory listDirectory();

// Whether new consumers may be registered while the database is out of reach (CADCONS_OFFLINE, else enabled
// of [offline]); off when neither is set. Throws ConfigError naming the setting for a value that is neither
// yes nor no.
bool offlineEnabled();

// Every wrong setting of the configuration file and the environment, each naming the setting and what
// was expected; empty when all is well. Reads the key file (and forgets it) to check it.
QStringList hostConfigProblems();

} // namespace cadcons
