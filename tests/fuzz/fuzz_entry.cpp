// The C entry point's string handling: any bytes (invalid UTF-8 included) in code, name, customer and
// mode, and NULL for any pointer. Either the host directory is missing, so the call fails before the
// screen opens, or the screen opens on the demonstration database and a timer leaves it. Whatever
// comes back must be freeable with CadConsumidorFree, and a call that failed early hands back copies
// of what went in.
#include "fuzz_support.h"
#include "module/cadconsumidor.h"
#include "screen/cad_consumidor_form.h"

#include <QApplication>
#include <QTimer>
#include <QUtf8StringView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

cadcons::fuzz::HostDirectory* host = nullptr;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_entry: %s\n", what);
        std::abort();
    }
}

// Leaves the screen as soon as it is shown: by the exit key or by closing the window.
class Leaver {
public:
    explicit Leaver(bool byExitKey) {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, byExitKey] {
            cadcons::TfrmCadastroConsumidor* form = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* shown = qobject_cast<cadcons::TfrmCadastroConsumidor*>(widget); shown && shown->isVisible())
                    form = shown;
            if (!form)
                return;
            if (byExitKey)
                form->lblSairClick();
            else
                form->close();
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cadcons::fuzz::ensureApplication();
    host = new cadcons::fuzz::HostDirectory;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons;
    fuzz::Bytes in(data, size);
    const uint8_t flags = in.byte();
    static fuzz::Bytes none(nullptr, 0);
    fuzz::scriptDialogs(&none);

    const bool opens = flags & 1;
    if (opens) {
        qputenv("CADCONS_HOST_DIR", host->path().toUtf8());
        qputenv("CADCONS_CONNECTION", QStringLiteral("Provider=QSQLITE;Data Source=%1").arg(host->database()).toUtf8());
        host->restoreDatabase();
    } else {
        const QString missing = host->path() + QStringLiteral("missing/");
        qputenv("CADCONS_HOST_DIR", missing.toUtf8());
        qputenv("CADCONS_CONNECTION",
                QStringLiteral("Provider=QSQLITE;Data Source=%1cadcons.db").arg(missing).toUtf8());
        host->restoreDatabase(); // closes the service's connection, so the next call must open the missing one
    }

    // Four NUL-terminated strings, each possibly NULL; bytes past a NUL are cut off as C would.
    QByteArray args[4];
    for (QByteArray& arg : args)
        arg = in.chunk(64);
    const bool null[4] = {bool(flags & 2), bool(flags & 4), bool(flags & 8), bool(flags & 16)};
    char* inputs[3];
    for (int i = 0; i < 3; ++i)
        inputs[i] = null[i] ? nullptr : args[i].data(); // QByteArray data is NUL-terminated
    char* code = inputs[0];
    char* name = inputs[1];
    char* customer = inputs[2];

    if (flags & 32) {
        // The C++ overload: NUL characters inside the strings are refused, never cut.
        std::string s[4];
        for (int i = 0; i < 4; ++i)
            s[i].assign(args[i].constData(), size_t(args[i].size()));
        const std::string before[3] = {s[0], s[1], s[2]};
        Leaver leaver(flags & 64);
        const bool saved = CriaCadConsumidor(s[0], s[1], s[2], s[3]);
        check(!saved, "a consumer saved without a confirm");
        for (int i = 0; i < 4; ++i)
            if (args[i].contains('\0') || !QUtf8StringView(args[i].constData(), args[i].size()).isValidUtf8()) {
                for (int k = 0; k < 3; ++k)
                    check(s[k] == before[k], "a refused call changed the caller's strings");
                check(*CadConsumidorLastError() != '\0', "a refused call left no error");
                break;
            }
        return 0;
    }

    int saved = 0;
    {
        Leaver leaver(flags & 64);
        saved = CriaCadConsumidor(&code, &name, &customer, null[3] ? nullptr : args[3].constData());
    }
    check(saved == 0, "a consumer saved without a confirm");
    char* const outputs[3] = {code, name, customer};
    // For writing seeds by hand: what each call did.
    if (static const bool verbose = qEnvironmentVariableIsSet("CADCONS_FUZZ_VERBOSE"); verbose)
        std::fprintf(stderr, "call: opens=%d error=\"%s\" code=\"%s\" name=\"%s\" customer=\"%s\"\n", int(opens),
                     CadConsumidorLastError(), code ? code : "(null)", name ? name : "(null)",
                     customer ? customer : "(null)");
    for (int i = 0; i < 3; ++i) {
        // A new string every time, never the caller's.
        check(outputs[i] != nullptr, "a string came back NULL");
        check(outputs[i] != inputs[i], "the caller's string came back");
        check(QUtf8StringView(outputs[i]).isValidUtf8() || !QUtf8StringView(inputs[i] ? inputs[i] : "").isValidUtf8(),
              "a string came back invalid");
    }
    if (!opens) {
        // Failed before the screen: each string is a copy of what went in.
        for (int i = 0; i < 3; ++i)
            check(std::strcmp(outputs[i], inputs[i] ? inputs[i] : "") == 0, "a failed call changed a string");
        check(*CadConsumidorLastError() != '\0', "a failed call left no error");
    }
    for (char* out : outputs)
        CadConsumidorFree(out);
    return 0;
}
