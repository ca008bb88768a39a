#include "config/logging.h"

Q_LOGGING_CATEGORY(lcService, "cadcons.service", QtWarningMsg)
Q_LOGGING_CATEGORY(lcScreen, "cadcons.screen", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHost, "cadcons.host", QtWarningMsg)

namespace cadcons {

TimedCall::~TimedCall() {
    if (timer_.isValid())
        qCDebug(category_).noquote() << name_
                                     << QStringLiteral("%1 ms").arg(double(timer_.nsecsElapsed()) / 1e6, 0, 'f', 2);
}

} // namespace cadcons
