#include "cli.h"

#include <cstdio>

namespace cadcons::cli {

void takeConnectionOption(QStringList& args) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString value;
        if (args[i] == QLatin1String("--connection")) {
            if (i + 1 >= args.size())
                throw UsageError("--connection needs a connection string");
            value = args[i + 1];
            args.remove(i, 2);
        } else if (args[i].startsWith(QLatin1String("--connection="))) {
            value = args[i].mid(13);
            args.remove(i);
        } else {
            continue;
        }
        if (value.isEmpty())
            throw UsageError("--connection needs a connection string");
        qputenv("CADCONS_CONNECTION", value.toUtf8());
        return;
    }
}

void out(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void err(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace cadcons::cli
