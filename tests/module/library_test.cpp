// The shared library as a host meets it: its exported symbols, and calls through dlopen in processes of
// their own (module_probe and cadcons-host).
#include "host_directory.h"
#include "qt_printers.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

Outcome run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not finish";
    }
    return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The caller's environment without anything that names a display.
QProcessEnvironment headless() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "CADCONS_LIBRARY", "CADCONS_CONNECTION"})
        env.remove(QLatin1String(name));
    return env;
}

TEST(ModuleLibrary, ExportsItsEntryPointsAndNothingElse) {
    const QString nm = QStandardPaths::findExecutable(QStringLiteral("nm"));
    if (nm.isEmpty())
        GTEST_SKIP() << "nm is not installed";
    const Outcome o =
        run(nm, {"-D", "--defined-only", CADCONS_MODULE_LIBRARY}, QProcessEnvironment::systemEnvironment());
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    std::set<QString> symbols;
    for (const QString& line : o.out.split(u'\n', Qt::SkipEmptyParts))
        symbols.insert(line.section(u' ', 1)); // "type name", without the address
    const std::set<QString> expected = {
        "T CriaCadConsumidor", // plain C names: no mangling
        "T CadConsumidorService",
        "T CadConsumidorFree",
        "T CadConsumidorLastError",
        "T _ZN7cadcons17CriaCadConsumidorERNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES6_S6_RKS5_",
    };
    EXPECT_EQ(symbols, expected);
}

// Processes that load the library, run in a host directory of their own.
class HostProcess : public ::testing::Test {
protected:
    void SetUp() override {
        const QString connection = prepareHostDirectory(dir_.path());
        ASSERT_FALSE(connection.isEmpty());
        env_ = headless();
        env_.insert(QStringLiteral("CADCONS_HOST_DIR"), dir_.path() + u'/');
        env_.insert(QStringLiteral("CADCONS_CONNECTION"), connection);
    }

    struct Call {
        int result;
        QByteArray code, name, customer, error;
    };
    struct ProbeRun {
        Outcome outcome;
        std::vector<Call> calls;
        int forms = -1;
        QString locale;
    };
    ProbeRun probe(const QString& app, int calls, const QByteArray& code, const QByteArray& name,
                   const QByteArray& customer) {
        ProbeRun r;
        r.outcome = run(QStringLiteral(CADCONS_MODULE_PROBE),
                        {CADCONS_MODULE_LIBRARY, app, QString::number(calls), QString::fromUtf8(code),
                         QString::fromUtf8(name), QString::fromUtf8(customer)},
                        env_);
        for (const QString& line : r.outcome.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(u' ');
            const auto hex = [&](int i) { return QByteArray::fromHex(f.value(i).toLatin1()); };
            if (f[0] == u"call")
                r.calls.push_back({f.value(1).toInt(), hex(2), hex(3), hex(4), hex(5)});
            else if (f[0] == u"forms")
                r.forms = f.value(1).toInt();
            else if (f[0] == u"locale")
                r.locale = f.value(1);
        }
        return r;
    }

    QTemporaryDir dir_;
    QProcessEnvironment env_;
};

TEST_F(HostProcess, ProbeCallsTheLibraryThroughDlopen) {
    const QByteArray longName = QString(QStringLiteral("Conceição Ñandú 😀 ")).repeated(600).left(10000).toUtf8();
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The host runs in the C locale; the application object must not leave it in this one.
    env_.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const struct {
        const char* app;
        int calls;
        int forms;
    } rows[] = {
        {"none", 2, 2}, // the module creates the application, and a second call still shows the screen
        {"gui", 1, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.app);
        const ProbeRun r = probe(QLatin1String(row.app), row.calls, "Código 7", longName, "000000000000000000002");
        ASSERT_EQ(r.outcome.exitCode, 0) << r.outcome.err.toStdString();
        EXPECT_EQ(r.forms, row.forms) << r.outcome.out.toStdString();
        ASSERT_EQ(int(r.calls.size()), row.calls);
        for (const Call& c : r.calls) {
            EXPECT_EQ(c.result, 0);
            EXPECT_EQ(c.code, "Código 7");
            EXPECT_EQ(c.name, longName);
            EXPECT_EQ(c.customer, ""); // left with the exit button
            EXPECT_EQ(c.error, "");
        }
        if (QLatin1String(row.app) == u"none") {
            EXPECT_EQ(r.locale, QStringLiteral("C"));
        }
    }
}

TEST_F(HostProcess, LibraryRefusesWhatWouldAbortTheHost) {
    const struct {
        const char* label;
        const char* app;
        const char* variable;
        const char* value;
        const char* complaint;
    } rows[] = {
        {"no display at all", "none", nullptr, nullptr, "no display"},
        {"X display that does not answer", "none", "DISPLAY", ":87", "does not answer"},
        {"xcb platform without DISPLAY", "none", "QT_QPA_PLATFORM", "xcb", "no display"},
        {"application without widgets", "core", "QT_QPA_PLATFORM", "offscreen", "QApplication"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QProcessEnvironment saved = env_;
        if (row.variable)
            env_.insert(QLatin1String(row.variable), QLatin1String(row.value));
        const ProbeRun r = probe(QLatin1String(row.app), 1, "7", "Ana", "000000000000000000003");
        env_ = saved;
        EXPECT_FALSE(r.outcome.crashed);
        ASSERT_EQ(r.outcome.exitCode, 0) << r.outcome.err.toStdString();
        ASSERT_EQ(r.calls.size(), 1u);
        EXPECT_EQ(r.calls[0].result, 0);
        EXPECT_TRUE(r.calls[0].error.contains(row.complaint)) << r.calls[0].error.toStdString();
        EXPECT_TRUE(r.outcome.err.contains(QLatin1String(row.complaint))) << r.outcome.err.toStdString();
        // Handed back as they came.
        EXPECT_EQ(std::tie(r.calls[0].code, r.calls[0].name, r.calls[0].customer),
                  std::make_tuple(QByteArray("7"), QByteArray("Ana"), QByteArray("000000000000000000003")));
        EXPECT_EQ(r.forms, 0);
    }
}

// The C example host reaches the data service before any screen, Qt application or display exists.
TEST_F(HostProcess, ExampleHostReachesTheDataService) {
    QStringList save = {"--service", "setGravaConsumidor"};
    for (const QByteArray& a : saveArguments("000000000000000000088", "Ana", "segredo"))
        save << QString::fromUtf8(a);
    const std::tuple<QStringList, int, const char*> rows[] = {
        {{}, 2, "^sale types=[1-9][0-9]*\n.*error=no display"},
        {save, 0, "^true\n$"},
        {{"--service", "getNada"}, 2, "^error=unknown operation getNada; the operations are getMunicipio"},
        {{"--service", "getNomeCliente"}, 2, "^error=getNomeCliente takes 1 argument\\(s\\): CUSTOMER, 0 given"},
    };
    for (const auto& [args, exitCode, pattern] : rows) {
        const Outcome o = run(QStringLiteral(CADCONS_EXAMPLE_PROGRAM), args, env_);
        EXPECT_EQ(o.exitCode, exitCode) << o.err.toStdString();
        EXPECT_TRUE(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(o.out).hasMatch())
            << o.out.toStdString();
    }
}

TEST_F(HostProcess, HostProgram) {
    const QString host = QStringLiteral(CADCONS_HOST_PROGRAM);
    const struct {
        const char* label;
        QStringList args; // through the shell when the first is "-c", for bytes a QString cannot carry
        QStringList vars;
        int exitCode;
        const char* stdoutHas;
        const char* stderrHas;
    } rows[] = {
        {"help", {"--help"}, {}, 0, "--loop", ""},
        {"no display", {"--loop"}, {}, 2, "", "xvfb-run -a scripts/run"},
        {"no display, the other way", {}, {}, 2, "", "QT_QPA_PLATFORM=offscreen"},
        {"unknown argument", {"--bogus"}, {}, 64, "", "unknown argument --bogus"},
        {"option without its value", {"--code"}, {}, 64, "", "--code needs a value"},
        {"library missing",
         {},
         {"QT_QPA_PLATFORM=offscreen", "CADCONS_LIBRARY=/nonexistent/libcadconsumidor.so"},
         1,
         "",
         "/nonexistent/libcadconsumidor.so"},
        {"X display that does not answer", {}, {"DISPLAY=:87"}, 2, "\"saved\":false", "does not answer"},
        // Not UTF-8: refused before any screen, handed back as it came, and the line stays valid JSON.
        {"invalid UTF-8",
         {"-c", "exec \"$0\" --name \"$(printf 'Jo\\343o')\""},
         {"QT_QPA_PLATFORM=offscreen"},
         1,
         "\"name\":\"Jo\\ufffdo\"",
         "not valid UTF-8"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QProcessEnvironment env = env_;
        for (const QString& var : row.vars)
            env.insert(var.section(u'=', 0, 0), var.section(u'=', 1));
        const bool shell = row.args.value(0) == u"-c";
        const Outcome o =
            shell ? run(QStringLiteral("/bin/sh"), row.args + QStringList{host}, env) : run(host, row.args, env);
        EXPECT_FALSE(o.crashed);
        EXPECT_EQ(o.exitCode, row.exitCode) << o.err.toStdString();
        EXPECT_TRUE(o.out.contains(QLatin1String(row.stdoutHas))) << o.out.toStdString();
        EXPECT_TRUE(o.err.contains(QLatin1String(row.stderrHas))) << o.err.toStdString();
    }
}

} // namespace
