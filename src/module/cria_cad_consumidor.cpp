#include "module/cadconsumidor.h"

#include "central/central_services.h"
#include "config/connection.h"
#include "config/host_config.h"
#include "config/logging.h"
#include "fingerprint/digital_dialog.h"
#include "module/cadcons_module.h"
#include "registration/queue_sender.h"
#include "screen/cad_consumidor_form.h"
#include "service/host_service.h"
#include "service/rdm_cad_consumidor.h"
#include "widgets/dialogs.h"
#include "widgets/pesquisa.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <utility>

namespace cadcons {

namespace {

// The module starts when it is loaded, as it always has: the host directory is the one of that moment.
const bool moduleStarted = [] {
    CadConsModule::instance();
    return true;
}();

// The C interface's CadConsumidorLastError: one text per calling thread.
thread_local std::string lastError;

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return qobject_cast<const QApplication*>(app) && QThread::currentThread() == app->thread();
}

// A failure of the call: shown to the operator when a screen can show it, else written to standard error.
void report(const QString& text) {
    if (onGuiThread()) {
        try {
            Mensagem(text, QString(), QStringLiteral("N"), QStringLiteral("N"), kMsgErro, QString(),
                     QStringLiteral("002"), 0, nullptr);
            return;
        } catch (...) {
            // The dialog itself failed: standard error is all that is left.
        }
    }
    qCritical("CriaCadConsumidor: %s", qUtf8Printable(text));
}

// A connection to the X server named by DISPLAY, asked whether the server answers. Qt aborts the
// process when it cannot open the display, which a host must never suffer. The connection stays open
// until Qt has its own: an X server whose last client leaves resets, and a connection made during the
// reset is refused. libxcb is loaded only for this; when it is not there, Qt has no X platform to abort
// with either.
class XProbe {
public:
    XProbe() = default;
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;
    ~XProbe() { close(); }

    QString ask() {
        close();
        library_ = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library_)
            return {};
        using Connect = void* (*)(const char*, int*);
        using HasError = int (*)(void*);
        const auto connect = reinterpret_cast<Connect>(dlsym(library_, "xcb_connect"));
        const auto hasError = reinterpret_cast<HasError>(dlsym(library_, "xcb_connection_has_error"));
        disconnect_ = reinterpret_cast<Disconnect>(dlsym(library_, "xcb_disconnect"));
        if (!connect || !hasError || !disconnect_)
            return {};
        // A server resetting after another program left refuses for a moment: ask again before giving up.
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0) {
                disconnect_(connection_);
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            }
            connection_ = connect(nullptr, nullptr);
            if (!hasError(connection_))
                return {};
        }
        return QStringLiteral("no display: the X display \"%1\" does not answer").arg(qEnvironmentVariable("DISPLAY"));
    }

    void close() {
        if (connection_ && disconnect_)
            disconnect_(connection_);
        connection_ = nullptr;
        if (library_)
            dlclose(library_);
        library_ = nullptr;
    }

private:
    using Disconnect = void (*)(void*);
    void* library_ = nullptr;
    void* connection_ = nullptr;
    Disconnect disconnect_ = nullptr;
};

// Why Qt could not open a screen in this process, or "" when it can. The probe keeps its X connection.
QString displayProblem(XProbe& probe) {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM").section(u';', 0, 0).section(u':', 0, 0).trimmed();
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform.isEmpty()) {
        if (!x11 && !wayland)
            return QStringLiteral("no display: neither DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM is set");
        const QString x = x11 ? probe.ask() : QString();
        return x.isEmpty() || wayland ? QString() : x;
    }
    if (platform == u"xcb")
        return x11 ? probe.ask() : QStringLiteral("no display: QT_QPA_PLATFORM is xcb and DISPLAY is not set");
    if (platform.startsWith(u"wayland") && !wayland)
        return QStringLiteral("no display: QT_QPA_PLATFORM is %1 and WAYLAND_DISPLAY is not set").arg(platform);
    return {};
}

// Makes sure a widget application exists on this thread; the reason when it cannot.
QString applicationProblem() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(app))
            return QStringLiteral("the process's Qt application object is a %1, not a QApplication: the "
                                  "registration screen needs Qt Widgets")
                .arg(QString::fromLatin1(app->metaObject()->className()));
        return {}; // the calling thread is checked before, with the service's (callerThreadProblem)
    }
    XProbe probe;
    if (QString problem = displayProblem(probe); !problem.isEmpty())
        return problem;
    // Qt keeps argc by reference and argv for the application's life; the module is never unmapped.
    static int argc = 1;
    static char arg0[] = "cadconsumidor";
    static char* argv[] = {arg0, nullptr};
    // QApplication adopts the environment's locale for C; a host's number formatting must not change.
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string hostLocale = current ? current : "C";
    auto* app = new QApplication(argc, argv);
    std::setlocale(LC_ALL, hostLocale.c_str());
    // The host's windows, not ours, decide when its application ends.
    app->setQuitOnLastWindowClosed(false);
    return {};
}

struct Texts {
    QString code, name, customer;
};

// The end of every call: the code and name as the fields show them, then the form goes. A form that was
// never shown has only its placeholder texts, which are no answer for the host: the caller's code and
// name then stay as they came.
void destroyForm(QPointer<TfrmCadastroConsumidor>& form, bool shown, Texts& texts) {
    if (form && shown) {
        for (auto [name, target] : {std::pair{"lblCodCons", &texts.code}, std::pair{"lblNome", &texts.name}}) {
            if (const auto* label = form->findChild<QLabel*>(QLatin1String(name)))
                *target = label->text();
            else
                qCWarning(lcHost, "CriaCadConsumidor: the form has no label %s; the caller's text is handed back",
                          name);
        }
    }
    delete form.data();
}

// The operator's wait between two screens, in the debug log: from the touch that ended the last screen,
// through the host's turn, building the form and its opening, to the first paint of the next.
class WaitLog : public QObject {
public:
    static WaitLog& instance() {
        static WaitLog log;
        return log;
    }
    bool on() const { return lcHost().isDebugEnabled(); }
    void callStarts() {
        call_.start();
        if (on() && closed_.isValid())
            qCDebug(lcHost, "wait: the host called again %.1f ms after the last screen closed", ms(closed_));
    }
    void phase(const char* what) {
        if (on())
            qCDebug(lcHost, "wait: %s at %.1f ms of the call", what, ms(call_));
    }
    // From here to the screen's close: its first paint, and the last touch (the one that ends it).
    void watch() {
        painted_ = false;
        touch_.invalidate();
        if (on())
            qApp->installEventFilter(this);
    }
    void closed() {
        closed_.start();
        if (on()) {
            qApp->removeEventFilter(this);
            if (touch_.isValid())
                qCDebug(lcHost, "wait: the screen closed %.1f ms after the last touch", ms(touch_));
        }
    }
    void destroyed() {
        qApp->removeEventFilter(this); // also after a failed opening
        if (on())
            qCDebug(lcHost, "wait: the form closed and went in %.1f ms", ms(closed_));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyRelease)
            touch_.start();
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !painted_) {
            painted_ = true;
            qCDebug(lcHost, "wait: first paint at %.1f ms of the call%s", ms(call_),
                    closed_.isValid()
                        ? qPrintable(QStringLiteral(", %1 ms after the last screen closed").arg(ms(closed_), 0, 'f', 1))
                        : "");
        }
        return false;
    }

private:
    static double ms(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }
    QElapsedTimer call_, closed_, touch_;
    bool painted_ = false;
};

// Creates, initializes and shows the form, then hands its results back in `texts`. `error` receives the
// failure of the call, if any.
bool showScreen(Texts& texts, const QString& mode, QString& error) {
    CadConsModule& module = CadConsModule::instance();
    WaitLog& wait = WaitLog::instance();
    wait.callStarts();
    // The sibling package's services the host did not put in place itself.
    installDefaultPesquisa();
    installDefaultDigitalConsumidor();
    installDefaultCentralServices([&module] { return &module.service(); });

    bool result = false;
    bool shown = false;
    QPointer<TfrmCadastroConsumidor> form;
    try {
        form = new TfrmCadastroConsumidor(module.service(), module.hostDirectory());
        form->FormCreate();
        wait.phase("form built");
        wait.watch();
        form->InicializaForm(texts.code, texts.name, texts.customer, mode);
        wait.phase("opened");
        shown = true;
        form->exec();
        wait.closed();
        if (form) {
            texts.customer = form->registration().consumer.stCdCliente;
            result = form->saved();
        } else {
            error = QStringLiteral("the registration screen was destroyed while it was shown");
            qCWarning(lcHost, "CriaCadConsumidor: %s", qUtf8Printable(error));
        }
    } catch (const ShownError& e) {
        // Already shown to the operator: once is enough.
        error = QString::fromUtf8(e.what());
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        report(error);
    } catch (...) {
        error = QStringLiteral("the registration screen failed with an error of unknown kind");
        report(error);
    }
    destroyForm(form, shown, texts);
    wait.destroyed();
    return result;
}

void fail(const QString& text) {
    lastError = text.toStdString();
    report(text);
}

// What both entry points share: one call at a time, arguments checked, a widget application present.
// `ran` tells whether the screen was attempted, and so whether `texts` now hold its results.
bool runCall(const QString& argumentProblem, Texts& texts, const QString& mode, bool& ran) {
    lastError.clear();
    ran = false;
    std::atomic<bool>& screenOpen = CadConsModule::instance().screenOpen();
    if (screenOpen.exchange(true)) {
        fail(QStringLiteral("the registration screen is already open: a new call must wait until it closes"));
        return false;
    }
    struct Release {
        std::atomic<bool>& open;
        ~Release() { open = false; }
    } release{screenOpen};
    if (!argumentProblem.isEmpty()) {
        fail(argumentProblem);
        return false;
    }
    // The service's connection belongs to the thread that first used it, maybe before any screen.
    if (const QString problem = callerThreadProblem(); !problem.isEmpty()) {
        fail(problem);
        return false;
    }
    if (const QString problem = applicationProblem(); !problem.isEmpty()) {
        fail(problem);
        return false;
    }
    // A wrong setting is named before anything uses it, rather than failing later in its own words.
    if (const QStringList problems = hostConfigProblems(); !problems.isEmpty()) {
        fail(QStringLiteral("the host configuration is wrong:\n") + problems.join(u'\n'));
        return false;
    }
    if (lcHost().isDebugEnabled()) {
        const ConnectionSettings database = parseConnectionString(_GetStringConexKiv());
        qCDebug(lcHost).noquote() << "host directory" << hostDirectory() << "database" << database.driver
                                  << database.hostName << database.databaseName << database.userName;
    }
    ran = true;
    QString error;
    const bool result = showScreen(texts, mode, error);
    // Set only now: a call refused while this one's screen was open has written its own text meanwhile.
    lastError = error.toStdString();
    return result;
}

// The host's code page, or why the setting that names it is wrong.
QString codePageProblem(CodePage& page) {
    try {
        page = hostCodePage();
        return {};
    } catch (const ConfigError& e) {
        return QStringLiteral("the host configuration is wrong:\n") + QString::fromUtf8(e.what());
    }
}

// Reads one of the host's strings; the reason when it cannot be read.
QString decodeArgument(const char* what, QByteArrayView bytes, CodePage page, QString& out) {
    if (bytes.contains('\0'))
        return QStringLiteral("the %1 contains a NUL character").arg(QLatin1String(what));
    qsizetype at = 0;
    if (decodeExact(bytes, page, out, at))
        return {};
    if (at < 0)
        return QStringLiteral("the %1 is not valid UTF-8 (a host that writes Windows-1252 says so with "
                              "[host] encoding=windows-1252 in cadcons.ini)")
            .arg(QLatin1String(what));
    return QStringLiteral("the %1 is not valid %2: byte 0x%3 at offset %4 is undefined in it")
        .arg(QLatin1String(what), codePageName(page))
        .arg(uint(static_cast<unsigned char>(bytes[at])), 2, 16, QLatin1Char('0'))
        .arg(at);
}

constexpr const char* kArgumentNames[] = {"consumer code", "consumer name", "customer code", "mode"};

// Reads the four arguments of a call; the first reason one of them cannot be read.
QString decodeArguments(const QByteArrayView (&in)[4], CodePage page, Texts& texts, QString& mode) {
    QString* targets[] = {&texts.code, &texts.name, &texts.customer, &mode};
    for (int i = 0; i < 4; ++i)
        if (QString problem = decodeArgument(kArgumentNames[i], in[i], page, *targets[i]); !problem.isEmpty())
            return problem;
    return {};
}

// The three results in the host's code page. A text the code page cannot hold is not bent into
// another: that argument goes back as it came, and the returned reason says why.
QString encodeResults(const Texts& texts, CodePage page, const QByteArrayView (&in)[4], QByteArray (&out)[3]) {
    const QString* sources[] = {&texts.code, &texts.name, &texts.customer};
    QStringList problems;
    for (int i = 0; i < 3; ++i) {
        qsizetype at = 0;
        if (encodeExact(*sources[i], page, out[i], at))
            continue;
        out[i] = in[i].toByteArray();
        const char32_t character = sources[i]->at(at).isHighSurrogate() && at + 1 < sources[i]->size()
                                       ? QChar::surrogateToUcs4(sources[i]->at(at), sources[i]->at(at + 1))
                                       : sources[i]->at(at).unicode();
        problems << QStringLiteral("the %1 at the end of the call holds \"%2\" (U+%3), which %4 cannot hold: it is "
                                   "handed back as it was given")
                        .arg(QLatin1String(kArgumentNames[i]), QString::fromUcs4(&character, 1))
                        .arg(uint(character), 4, 16, QLatin1Char('0'))
                        .arg(codePageName(page));
    }
    return problems.join(u'\n');
}

// A failure after the screen has closed: kept beside whatever the call itself left.
void noteAfterCall(const QString& problem) {
    if (problem.isEmpty())
        return;
    qCWarning(lcHost, "CriaCadConsumidor: %s", qUtf8Printable(problem));
    lastError += (lastError.empty() ? "" : "\n") + problem.toStdString();
}

// Both entry points: decodes the host's four strings from its code page and runs the screen, unless
// `problem` (what the caller found already) or the decoding stops it. When the screen ran, `out` holds the
// three answers in the host's code page, and what could not be encoded is noted.
bool decodeAndRun(QString problem, const QByteArrayView (&in)[4], QByteArray (&out)[3], bool& ran) {
    CodePage page = CodePage::Utf8;
    if (problem.isEmpty())
        problem = codePageProblem(page);
    Texts texts;
    QString modeText;
    if (problem.isEmpty())
        problem = decodeArguments(in, page, texts, modeText);
    const bool result = runCall(problem, texts, modeText, ran);
    if (ran)
        noteAfterCall(encodeResults(texts, page, in, out));
    return result;
}

char* copyOut(QByteArrayView bytes) {
    auto* out = static_cast<char*>(std::malloc(size_t(bytes.size()) + 1));
    if (out) {
        // An empty view may have no data at all, and memcpy must not be handed a null source.
        if (!bytes.isEmpty())
            std::memcpy(out, bytes.data(), size_t(bytes.size()));
        out[bytes.size()] = '\0';
    }
    return out;
}

int callFromC(char** code, char** name, char** customer, const char* mode) {
    char** const refs[] = {code, name, customer};
    QByteArrayView in[4];
    for (int i = 0; i < 3; ++i)
        in[i] = refs[i] && *refs[i] ? QByteArrayView(*refs[i], qsizetype(std::strlen(*refs[i]))) : QByteArrayView();
    in[3] = mode ? QByteArrayView(mode, qsizetype(std::strlen(mode))) : QByteArrayView();

    QString problem;
    for (int i = 0; i < 3 && problem.isEmpty(); ++i)
        if (!refs[i])
            problem = QStringLiteral("the address of the %1 is NULL: pass the address of a char* (which may be NULL)")
                          .arg(QLatin1String(kArgumentNames[i]));
    // The host's strings stay the host's: every answer is a new string, all or none.
    QByteArray outBytes[3];
    bool ran = false;
    const bool result = decodeAndRun(problem, in, outBytes, ran);
    char* out[3] = {};
    bool complete = true;
    for (int i = 0; i < 3; ++i)
        if (refs[i] && !(out[i] = copyOut(ran ? QByteArrayView(outBytes[i]) : in[i])))
            complete = false;
    if (!complete) {
        for (char*& p : out)
            std::free(std::exchange(p, nullptr));
        lastError = "out of memory for the strings handed back";
    }
    for (int i = 0; i < 3; ++i)
        if (refs[i])
            *refs[i] = out[i];
    return result ? 1 : 0;
}

int serviceFromC(const char* operation, int argc, const char* const* argv, char** result) {
    lastError.clear();
    if (result)
        *result = nullptr;
    QString problem;
    if (!result)
        problem = QStringLiteral("the address of the result is NULL: pass the address of a char*");
    else if (!operation)
        problem = QStringLiteral("the operation is NULL: pass its name, as cadcons-service --help lists them");
    else if (argc < 0 || (argc > 0 && !argv))
        problem = QStringLiteral("%1 is given %2 argument(s) at address %3: pass argc >= 0 and, when it is not 0, "
                                 "an array of argc strings")
                      .arg(QString::fromUtf8(operation))
                      .arg(argc)
                      .arg(argv ? QStringLiteral("non-NULL") : QStringLiteral("NULL"));
    QList<QByteArrayView> arguments;
    for (int i = 0; problem.isEmpty() && i < argc; ++i) {
        if (!argv[i])
            problem = QStringLiteral("argument %1 of %2 is NULL: pass \"\" for an empty one")
                          .arg(i + 1)
                          .arg(QString::fromUtf8(operation));
        else
            arguments << QByteArrayView(argv[i], qsizetype(std::strlen(argv[i])));
    }
    CadConsModule& module = CadConsModule::instance();
    if (problem.isEmpty() && module.screenOpen())
        problem = QStringLiteral("the registration screen is open: a service operation must wait until it closes");
    if (problem.isEmpty()) {
        // Registrations made on this till while the database was out of reach go first, as at an opening.
        installDefaultCentralServices([&module] { return &module.service(); });
        sendWaitingRegistrations(module.service());
        const HostServiceAnswer answer =
            runHostService(module.service(), QByteArrayView(operation, qsizetype(std::strlen(operation))), arguments);
        if (answer.kind == HostServiceAnswer::Done) {
            *result = copyOut(answer.result);
            if (*result)
                return 1;
            problem = QStringLiteral("out of memory for the result");
        } else {
            problem = answer.error;
        }
    }
    lastError = problem.toStdString();
    qCWarning(lcHost, "CadConsumidorService: %s", qUtf8Printable(problem));
    return 0;
}

} // namespace

bool CriaCadConsumidor(std::string& code, std::string& name, std::string& customer, const std::string& mode) noexcept {
    try {
        const std::string* args[] = {&code, &name, &customer, &mode};
        QByteArrayView in[4];
        for (int i = 0; i < 4; ++i)
            in[i] = QByteArrayView(args[i]->data(), qsizetype(args[i]->size()));
        QByteArray out[3];
        bool ran = false;
        const bool result = decodeAndRun({}, in, out, ran);
        if (ran) {
            std::string outCode = out[0].toStdString(), outName = out[1].toStdString(),
                        outCustomer = out[2].toStdString();
            code = std::move(outCode);
            name = std::move(outName);
            customer = std::move(outCustomer);
        }
        return result;
    } catch (...) {
        lastError = "out of memory";
        return false;
    }
}

} // namespace cadcons

extern "C" {

int CriaCadConsumidor(char** code, char** name, char** customer, const char* mode) {
    try {
        return cadcons::callFromC(code, name, customer, mode);
    } catch (...) {
        // Only memory can run out here; the host's pointers are not left looking like ours.
        for (char** ref : {code, name, customer})
            if (ref)
                *ref = nullptr;
        cadcons::lastError = "out of memory";
        return 0;
    }
}

int CadConsumidorService(const char* operation, int argc, const char* const* argv, char** result) {
    try {
        return cadcons::serviceFromC(operation, argc, argv, result);
    } catch (...) {
        // Only memory can run out here, before a result exists.
        if (result)
            *result = nullptr;
        cadcons::lastError = "out of memory";
        return 0;
    }
}

void CadConsumidorFree(char* text) {
    std::free(text);
}

const char* CadConsumidorLastError(void) {
    return cadcons::lastError.c_str();
}

} // extern "C"
