#include "cli.h"

#include <cstdio>

namespace cadcons::cli {

namespace {

template <typename List> void takeConnection(List& args, QByteArray (*bytes)(const typename List::value_type&)) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QByteArray value;
        if (args[i] == "--connection") {
            if (i + 1 >= args.size())
                throw UsageError("--connection needs a connection string");
            value = bytes(args[i + 1]);
            args.remove(i, 2);
        } else if (args[i].startsWith("--connection=")) {
            value = bytes(args[i].mid(13));
            args.remove(i);
        } else {
            continue;
        }
        if (value.isEmpty())
            throw UsageError("--connection needs a connection string");
        qputenv("CADCONS_CONNECTION", value);
        return;
    }
}

} // namespace

void takeConnectionOption(QStringList& args) {
    takeConnection(
        args, +[](const QString& s) { return s.toUtf8(); });
}

void takeConnectionOption(QList<QByteArray>& args) {
    takeConnection(
        args, +[](const QByteArray& s) { return s; });
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
