// A till that saves registrations through the data service, one after another, and says on standard
// output which ones it was told were saved. The crash and full-disk tests run it, kill it or starve
// it, and then check the database against what it said.
//
//   stress_saver burst FIRST TEMPLATE_CHARS
//       inserts FIRST, FIRST+1, ... and after every third insert updates the one before it, until
//       killed; prints "I n" or "U n" after each save that returned true.
//   stress_saver fill FIRST COUNT TEMPLATE_CHARS MAX_FILE_BYTES
//       no file may grow past MAX_FILE_BYTES (RLIMIT_FSIZE); inserts COUNT registrations with growing
//       templates and prints "I n" or "E n text" for each.
//
// The database is the one CADCONS_CONNECTION names.

#include "service/rdm_cad_consumidor.h"
#include "stress_support.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Straight to the pipe, unbuffered: a line written is a line the parent sees, even after a kill.
void say(const QString& line) {
    const std::string bytes = (line + u'\n').toStdString();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            std::_Exit(3);
        done += static_cast<std::size_t>(n);
    }
}

bool saved(const cadcons::ServiceResult& result, QString& error) {
    if (const auto* text = std::get_if<QString>(&result)) {
        error = *text;
        return false;
    }
    return std::holds_alternative<bool>(result) && std::get<bool>(result);
}

int usage() {
    std::fputs("usage: stress_saver burst FIRST TEMPLATE_CHARS | fill FIRST COUNT TEMPLATE_CHARS MAX_FILE_BYTES\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return usage();

    cadcons::TrdmCadConsumidor service(QStringLiteral("stress-saver"));
    try {
        service.open();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot open the database: %s\n", e.what());
        return 1;
    }
    say(QStringLiteral("READY"));

    QString error;
    if (args[0] == QLatin1String("burst") && args.size() == 3) {
        const qint64 first = args[1].toLongLong();
        const int templateChars = args[2].toInt();
        for (qint64 n = first;; ++n) {
            if (!saved(cadcons::setGravaConsumidor(service, cadcons::stress::registration(n, 1, templateChars)),
                       error)) {
                say(QStringLiteral("E %1 %2").arg(n).arg(error.simplified()));
                return 1;
            }
            say(QStringLiteral("I %1").arg(n));
            if ((n - first) % 3 == 2) {
                if (!saved(cadcons::setGravaConsumidor(service, cadcons::stress::registration(n - 1, 2, templateChars)),
                           error)) {
                    say(QStringLiteral("E %1 %2").arg(n - 1).arg(error.simplified()));
                    return 1;
                }
                say(QStringLiteral("U %1").arg(n - 1));
            }
        }
    }
    if (args[0] == QLatin1String("fill") && args.size() == 5) {
        const qint64 first = args[1].toLongLong();
        const int count = args[2].toInt();
        const int templateChars = args[3].toInt();
        // A write past the limit must fail with EFBIG, as a full disk fails with ENOSPC, rather than
        // kill the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{args[4].toULongLong(), args[4].toULongLong()};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            std::perror("setrlimit");
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            const qint64 n = first + i;
            if (saved(
                    cadcons::setGravaConsumidor(service, cadcons::stress::registration(n, 1, templateChars * (i + 1))),
                    error))
                say(QStringLiteral("I %1").arg(n));
            else
                say(QStringLiteral("E %1 %2").arg(n).arg(error.simplified()));
        }
        return 0;
    }
    return usage();
}
