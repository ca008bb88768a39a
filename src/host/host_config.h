#pragma once

#include <QString>

// The host's configuration: where the host lives and what it tells the module.
//
// The configuration file is "cadcons.ini" in the host directory, an INI file:
//
//   [database]
//   connection=Provider=QPSQL;Data Source=db.example:5432;Initial Catalog=pdv;User ID=pdv;Password=...
//   [crypto]
//   key=<128 hexadecimal digits: the 64-byte AES-SIV key>
//   [cep]
//   url=<base address of the postal-code web service>
//
// Environment variables override it: CADCONS_HOST_DIR (the host directory), CADCONS_CONNECTION
// (the connection string), CADCONS_CRYPTO_KEY (the key) and CADCONS_CEP_URL (the postal-code service).
namespace cadcons {

// Directory of the host executable with a trailing "/"; CADCONS_HOST_DIR overrides it.
QString hostDirectory();

// Full path of the configuration file.
QString hostConfigPath();

// A value of the configuration file, "" when the file or the key is missing. `key` is "group/name".
QString hostConfigValue(const QString& key);

} // namespace cadcons
