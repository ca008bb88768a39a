#pragma once

#include <QTemporaryDir>
#include <map>
#include <optional>

// Points the host directory at a fresh temporary directory with the host's variables cleared, and puts
// the environment back afterwards.
class HostEnvironment {
public:
    HostEnvironment() {
        for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CRYPTO_KEY",
                                 "CADCONS_CRYPTO_KEY_FILE", "CADCONS_CENTRAL_CONNECTION", "CADCONS_CEP_URL",
                                 "CADCONS_LANGUAGE", "CADCONS_HOST_ENCODING", "CADCONS_CACHE_DIR", "CADCONS_OFFLINE"}) {
            saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
            qunsetenv(name);
        }
        qputenv("CADCONS_HOST_DIR", dir_.path().toUtf8());
    }
    ~HostEnvironment() {
        for (const auto& [name, value] : saved_)
            value ? qputenv(name, *value) : qunsetenv(name);
    }
    QString path() const { return dir_.path() + u'/'; }

private:
    QTemporaryDir dir_;
    std::map<const char*, std::optional<QByteArray>> saved_;
};
