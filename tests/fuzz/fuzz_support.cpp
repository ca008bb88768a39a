#include "fuzz_support.h"
#include "form_service.h"

#include "platform/client_data_set.h"
#include "routines/sibling.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace cadcons::fuzz {

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Thousands of inputs each warn about the same things; a crash report is what matters.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "Qt fatal: %s\n", qUtf8Printable(text));
            std::abort();
        }
    });
    // libFuzzer's own arguments are not Qt's.
    static int argc = 1;
    static char arg0[] = "cadcons-fuzz";
    static char* argv[] = {arg0, nullptr};
    new QApplication(argc, argv);
}

QByteArray Bytes::chunk(unsigned max) {
    const size_t want = std::min<size_t>(pick(max + 1), size_ - std::min(pos_, size_));
    QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(want));
    pos_ += want;
    return out;
}

QByteArray Bytes::rest() {
    if (empty())
        return {};
    QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(size_ - pos_));
    pos_ = size_;
    return out;
}

namespace {

const QString kPristine = QStringLiteral("pristine.db");

QString dataFile(const char* name) {
    return QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QLatin1String(name);
}

void require(bool ok, const QString& what) {
    if (!ok)
        throw std::runtime_error(what.toStdString());
}

} // namespace

HostDirectory::HostDirectory() {
    require(dir_.isValid(), QStringLiteral("no temporary directory"));
    require(QDir(path()).mkpath(QStringLiteral("Dados/Cadastros")), QStringLiteral("mkpath"));
    require(QFile::copy(dataFile("PARAMETROSKIV.CDS"), parameterFile()), QStringLiteral("parameter file"));
    require(QFile::copy(dataFile("Cad_Cliente.cds"), path() + QStringLiteral("Dados/Cadastros/Cad_Cliente.cds")),
            QStringLiteral("customer file"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz-seed"));
        db.setDatabaseName(path() + kPristine);
        require(db.open(), db.lastError().text());
        createSchema(db);
        seedDemo(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz-seed"));
    qputenv("CADCONS_HOST_DIR", path().toUtf8());
    qputenv("CADCONS_CONNECTION", QStringLiteral("Provider=QSQLITE;Data Source=%1").arg(database()).toUtf8());
    qunsetenv("CADCONS_CRYPTO_KEY");
    qunsetenv("CADCONS_CENTRAL_CONNECTION");
    // Nothing listens on port 1 of loopback: a web look-up is refused at once and never leaves the machine.
    qputenv("CADCONS_CEP_URL", "http://127.0.0.1:1");
    restoreDatabase();
}

void HostDirectory::restoreDatabase() const {
    cadcons::test::closeFormService();
    QFile::remove(database());
    require(QFile::copy(path() + kPristine, database()), QStringLiteral("database copy"));
}

void scriptDialogs(Bytes* bytes) {
    mensagemHandler() = [bytes](const MensagemArgs&) { return (bytes->byte() & 1) != 0; };
    SiblingServices& services = siblingServices();
    services.Pesquisa = [bytes](ClientDataSet& dataset, const QString&) {
        const int rows = dataset.recordCount();
        const unsigned choice = bytes->pick(unsigned(std::min(rows, 254)) + 1);
        if (choice == 0)
            return false;
        dataset.setRecNo(int(choice) - 1);
        return true;
    };
    services.DigitalConsumidor = [bytes](const QString&, const QString&, const QString&, QVariantList& templates) {
        if (bytes->byte() & 1) {
            templates = {QString::fromLatin1(bytes->chunk(64).toHex()), QString::fromLatin1(bytes->chunk(64).toHex())};
        }
    };
    services.SenhaConsCentral = [bytes](const QString&, const QString&, const QString&, const QString&, const QString&,
                                        const QString&, const QString&,
                                        QVariantList&) { return (bytes->byte() & 1) != 0; };
    services.SetConsumidor = [](const QVariantList&, QVariantList&) { return QVariant(true); };
}

} // namespace cadcons::fuzz
