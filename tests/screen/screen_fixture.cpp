#include "screen_fixture.h"

#include "config/host_config.h"
#include "form_service.h"
#include "platform/packet_file.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace cadcons::test {

namespace {

QString dataFile(const char* name) {
    return QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QLatin1String(name);
}

// A connection of the fixture's own, beside the service's, for setting rows up.
class FixtureConnection {
public:
    explicit FixtureConnection(const QString& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(path);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
    }
    ~FixtureConnection() {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(kName, false); }

private:
    static inline const QString kName = QStringLiteral("screen-fixture");
};

} // namespace

void ScreenTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CRYPTO_KEY", "CADCONS_CEP_URL"}) {
        savedEnv_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qunsetenv(name);
    }
    qputenv("CADCONS_HOST_DIR", hostDir().toUtf8());
    qputenv("CADCONS_CONNECTION", QStringLiteral("Provider=QSQLITE;Data Source=%1cadcons.db").arg(hostDir()).toUtf8());
    ASSERT_NO_FATAL_FAILURE(recreateDatabase());
    ASSERT_TRUE(QDir(hostDir()).mkpath(QStringLiteral("Dados/Cadastros")));
    ASSERT_TRUE(QFile::copy(dataFile("PARAMETROSKIV.CDS"), parameterFile()));
    ASSERT_TRUE(QFile::copy(dataFile("Cad_Cliente.cds"), customerFile()));

    savedCentral_ = siblingServices().SenhaConsCentral;
    siblingServices().SenhaConsCentral = nullptr;
    savedPesquisa_ = siblingServices().Pesquisa;
    siblingServices().Pesquisa = [](ClientDataSet&, const QString&) { return false; };

    // The service object outlives every form, as it does in the host; the next initialization opens it
    // on this test's database.
    test::closeFormService();
}

void ScreenTest::TearDown() {
    form.reset();
    test::closeFormService();
    siblingServices().SenhaConsCentral = savedCentral_;
    siblingServices().Pesquisa = savedPesquisa_;
    for (const auto& [name, value] : savedEnv_)
        value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
}

void ScreenTest::recreateDatabase() {
    test::closeFormService();
    const QString database = hostDir() + QStringLiteral("cadcons.db");
    ASSERT_TRUE(!QFile::exists(database) || QFile::remove(database));
    FixtureConnection connection(database);
    QSqlDatabase db = connection.db();
    createSchema(db);
    seedDemo(db);
}

void ScreenTest::exec(const QString& sql) {
    FixtureConnection connection(hostDir() + QStringLiteral("cadcons.db"));
    QSqlQuery query(connection.db());
    ASSERT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

void ScreenTest::writeParameters(const std::map<QString, QVariant>& values, const QString& without) {
    DataPacket packet = readPacketFile(dataFile("PARAMETROSKIV.CDS"));
    for (const auto& [field, value] : values) {
        const int index = packet.fieldIndex(field);
        ASSERT_GE(index, 0) << field.toStdString();
        packet.rows[0][index] = value;
    }
    if (!without.isEmpty()) {
        const int index = packet.fieldIndex(without);
        ASSERT_GE(index, 0) << without.toStdString();
        packet.fields.removeAt(index);
        for (QVariantList& row : packet.rows)
            row.removeAt(index);
    }
    writePacketFile(packet, parameterFile());
}

void ScreenTest::scriptCentral(bool result, std::function<QVariant()> element0) {
    siblingServices().SenhaConsCentral = [this, result, element0](const QString& branch, const QString& customer,
                                                                  const QString& consumer, const QString& value,
                                                                  const QString& arg5, const QString& arg6,
                                                                  const QString& action, QVariantList& answer) {
        centralCalls << CentralCall{{branch, customer, consumer, value, arg5, arg6, action}, answer.size()};
        if (element0 && !answer.isEmpty())
            answer[0] = element0();
        return result;
    };
}

TfrmCadastroConsumidor& ScreenTest::newForm() {
    form.reset();
    form = std::make_unique<TfrmCadastroConsumidor>(test::formService(), hostDirectory());
    form->FormCreate();
    return *form;
}

TfrmCadastroConsumidor& ScreenTest::initialize(const QString& code, const QString& name, const QString& customer,
                                               const QString& mode) {
    newForm().InicializaForm(code, name, customer, mode);
    return *form;
}

QLabel* ScreenTest::labelOf(const char* name) const {
    auto* found = form->findChild<QLabel*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString ScreenTest::text(const char* name) const {
    const QLabel* found = labelOf(name);
    return found ? found->text() : QStringLiteral("<no label>");
}

bool ScreenTest::marked(const char* image) const {
    const QLabel* found = labelOf(image);
    return found && !found->pixmap().isNull();
}

QWidget* ScreenTest::control(const char* name) const {
    auto* found = form->findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void ScreenTest::clickAt(QWidget* target, QPoint point) {
    if (!form->isVisible()) {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, target->mapTo(form.get(), point));
}

void ScreenTest::click(const char* name) {
    if (QWidget* target = control(name))
        clickAt(target, target->rect().center());
}

int highlightedField(const TfrmCadastroConsumidor& form) {
    const QColor gray(128, 128, 128);
    int active = 0;
    for (int n = 1; n <= 24; ++n) {
        const QColor frame = form.fieldFrame(n)->brushColor();
        const QColor ink = form.fieldLabel(n)->palette().color(QPalette::WindowText);
        if (frame == gray && ink == QColor(Qt::black)) {
            if (active != 0)
                return -1;
            active = n;
        } else if (frame != QColor(Qt::white) || ink != gray) {
            return -1;
        }
    }
    return active;
}

} // namespace cadcons::test
