#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

// Diagnostics, silent by default apart from warnings; switched on with QT_LOGGING_RULES, e.g.
//   QT_LOGGING_RULES="cadcons.*.debug=true"
// They carry names, counts and durations, never a password, digest, fingerprint template, key or a
// connection's password.
Q_DECLARE_LOGGING_CATEGORY(lcService) // cadcons.service: each data-service call and its duration
Q_DECLARE_LOGGING_CATEGORY(lcScreen)  // cadcons.screen: the steps of the registration screen
Q_DECLARE_LOGGING_CATEGORY(lcHost)    // cadcons.host: configuration, connections, central services

namespace cadcons {

// Logs "<name>: <n> ms" to `category` when it goes out of scope.
class TimedCall {
public:
    TimedCall(const QLoggingCategory& (*category)(), const char* name)
        : category_(category())
        , name_(name) {
        if (category_.isDebugEnabled())
            timer_.start();
    }
    ~TimedCall();
    TimedCall(const TimedCall&) = delete;
    TimedCall& operator=(const TimedCall&) = delete;

private:
    const QLoggingCategory& category_;
    const char* name_;
    QElapsedTimer timer_;
};

} // namespace cadcons
