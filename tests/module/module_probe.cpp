// A host for the tests: loads the module with dlopen, as the point of sale does, calls it, plays the
// operator (types the given code and name into their fields, leaves with the exit button) and prints
// what each call handed back, in hexadecimal so any byte survives.
//
//   module_probe LIBRARY none|gui|core CALLS CODE NAME CUSTOMER
//
// none: the module must create the Qt application itself; gui and core: this host creates one first.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <dlfcn.h>
#include <memory>

namespace {

int formsSeen = 0;
QString typedCode, typedName;

void playOperator() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (!modal->inherits("cadcons::TfrmCadastroConsumidor")) {
            // A message: note it and dismiss it, so nothing waits for a person.
            QStringList texts;
            for (const QLabel* label : modal->findChildren<QLabel*>())
                texts << label->text();
            std::printf("dialog %s\n", texts.join(u' ').toUtf8().toHex().constData());
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        ++formsSeen;
        auto* code = modal->findChild<QLabel*>(QStringLiteral("lblCodCons"));
        auto* name = modal->findChild<QLabel*>(QStringLiteral("lblNome"));
        auto* exit = modal->findChild<QWidget*>(QStringLiteral("lblSair"));
        if (!code || !name || !exit) {
            std::printf("form-incomplete\n");
            modal->close();
            return;
        }
        code->setText(typedCode);
        name->setText(typedName);
        QTest::mouseClick(exit, Qt::LeftButton);
    });
    timer->start(10);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: module_probe LIBRARY none|gui|core CALLS CODE NAME CUSTOMER\n");
        return 64;
    }
    const QByteArray app = argv[2];
    const int calls = std::atoi(argv[3]);
    typedCode = QString::fromUtf8(argv[4]);
    typedName = QString::fromUtf8(argv[5]);

    static int qtArgc = 1;
    std::unique_ptr<QCoreApplication> own;
    if (app == "gui") {
        own = std::make_unique<QApplication>(qtArgc, argv);
        playOperator();
    } else if (app == "core") {
        own = std::make_unique<QCoreApplication>(qtArgc, argv);
    } else {
        // Runs when the module creates the application; the operator starts with its first event loop.
        qAddPreRoutine(
            [] { QMetaObject::invokeMethod(QCoreApplication::instance(), playOperator, Qt::QueuedConnection); });
    }

    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using Cria = int (*)(char**, char**, char**, const char*);
    using Free = void (*)(char*);
    using LastError = const char* (*)();
    const auto cria = reinterpret_cast<Cria>(dlsym(library, "CriaCadConsumidor"));
    const auto release = reinterpret_cast<Free>(dlsym(library, "CadConsumidorFree"));
    const auto lastError = reinterpret_cast<LastError>(dlsym(library, "CadConsumidorLastError"));
    if (!cria || !release || !lastError) {
        std::fprintf(stderr, "missing entry points\n");
        return 1;
    }
    for (int i = 0; i < calls; ++i) {
        char* code = argv[4];
        char* name = argv[5];
        char* customer = argv[6];
        const int result = cria(&code, &name, &customer, "");
        std::printf("call %d %s %s %s %s\n", result, QByteArray(code).toHex().constData(),
                    QByteArray(name).toHex().constData(), QByteArray(customer).toHex().constData(),
                    QByteArray(lastError()).toHex().constData());
        for (char* p : {code, name, customer})
            release(p);
    }
    std::printf("forms %d\nlocale %s\n", formsSeen, std::setlocale(LC_ALL, nullptr));
    return 0;
}
